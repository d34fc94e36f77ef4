-- ZVX in Ardour, headless, on the dummy backend.
--   ardour7-lua ardour-session.lua create FOLDER: a MIDI track with the LV2
--     plug-in; its controls as Ardour shows them, a preset applied, a
--     parameter set, a note heard; saved.
--   ardour7-lua ardour-session.lua reopen FOLDER: the session loaded in a
--     fresh Ardour (one process cannot: its engine does not restart), the
--     values kept, a note heard.
--   ardour7-lua ardour-session.lua vst FOLDER: the VST 2.4 module (found
--     through LXVST_PATH and Ardour's scan cache) on a MIDI track; its
--     controls as Ardour shows them, a note heard.
--   ardour7-lua ardour-session.lua vst3-create|vst3-reopen FOLDER: the VST3
--     bundle (found in ~/.vst3 through Ardour's scan cache) as create and
--     reopen do the LV2 bundle, a program chosen from its program list.
local mode, folder = arg and arg[1], arg and arg[2]
local modes = {create = true, reopen = true, vst = true, ["vst3-create"] = true, ["vst3-reopen"] = true}
assert(modes[mode] and folder, "usage: ardour7-lua ardour-session.lua create|reopen|vst|vst3-create|vst3-reopen FOLDER")
local kUri = "https://zvx.audio/lv2/zvx"

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
backend:set_device_name("Silence")
backend:set_sample_rate(48000)
backend:set_buffer_size(256)
assert(AudioEngine:start(false) == 0, "the dummy engine did not start")

-- The loudest the track's meter shows in half a second after a bass drum hit.
local function hitAndListen(processor, track)
  local parser = ARDOUR.RawMidiParser()
  for _, byte in ipairs({0x90, 36, 127}) do
    if parser:process_byte(byte) then
      assert(processor:to_insert():write_immediate_event(Evoral.EventType.MIDI_EVENT, parser:buffer_size(),
                                                         parser:midi_buffer()))
    end
  end
  local loudest = -math.huge
  for _ = 1, 50 do
    ARDOUR.LuaAPI.usleep(10000)
    loudest = math.max(loudest, track:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak))
  end
  return loudest
end

local function value(processor, index)
  return (ARDOUR.LuaAPI.get_processor_param(processor, index, true))
end

local kept = folder .. "/expected-values"

-- What Ardour makes of the controls: 83 inputs, of which 13 toggles, the 4
-- sample menus (enumerations in LV2 and VST3, integer 0 to 7 in VST), and the
-- 19 that change nothing left out of automation (hidden in LV2; in VST3 not
-- inputs at all, as hosts cannot change them).
local function describe(zvx, format, inputs)
  local plugin = zvx:to_insert():plugin(0)
  local controls, toggles, menus = 0, 0, 0
  for i = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_is_control(i) and plugin:parameter_is_input(i) then
      controls = controls + 1
      local _, refs = plugin:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
      local d = refs[2]
      if d.toggled then toggles = toggles + 1 end
      if d.enumeration or (d.integer_step and not d.toggled and d.upper == 7) then menus = menus + 1 end
    end
  end
  local automatable = zvx:to_insert():to_automatable():all_automatable_params():size()
  print(string.format("ZVX (%s) in Ardour: %d controls, %d toggles, %d sample menus, %d automatable", format,
                      controls, toggles, menus, automatable))
  assert(controls == (inputs or 83), "controls: " .. controls)
  assert(toggles == 13, "toggles: " .. toggles)
  assert(menus == 4, "sample menus: " .. menus)
  assert(automatable == 64, "automatable: " .. automatable)
end

local function drumTrack(session)
  local tracks = session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
                                        ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, ARDOUR.PluginInfo(),
                                        nil, nil, 1, "Drums", ARDOUR.PresentationInfo.max_order,
                                        ARDOUR.TrackMode.Normal, true)
  return tracks:front()
end

if mode == "vst3-create" then
  local session = assert(create_session(folder, "zvx", 48000), "no session")
  local track = drumTrack(session)
  local zvx = ARDOUR.LuaAPI.new_plugin(session, "ZVX", ARDOUR.PluginType.VST3, "")
  assert(not zvx:isnil(), "Ardour does not find the VST3 plug-in ZVX")
  assert(track:add_processor_by_index(zvx, 0, nil, true) == 0, "the plug-in could not be added")
  local plugin = zvx:to_insert():plugin(0)
  describe(zvx, "VST3", 64)
  print(string.format("ZVX (VST3) in Ardour: %d audio outputs", zvx:to_insert():output_streams():n_audio()))

  local preset = plugin:preset_by_label("Lo-Fi Kit")
  assert(preset, "no program Lo-Fi Kit in the program list")
  local before = value(zvx, 0)
  assert(plugin:load_preset(preset), "the program was not chosen")
  ARDOUR.LuaAPI.usleep(100000)
  ARDOUR.LuaAPI.set_processor_param(zvx, 1, 0.25)
  local loudest = hitAndListen(zvx, track)
  print(string.format("ZVX (VST3) in Ardour: program %q (Volume %.3f, was %.3f), a hit peaks at %.1f dBFS",
                      preset.label, value(zvx, 0), before, loudest))
  assert(loudest > -20, "the hit was not heard")

  local file = assert(io.open(kept, "w"))
  file:write(string.format("%.17g %.17g\n", value(zvx, 0), value(zvx, 1)))
  file:close()
  assert(session:save_state("", false, false, false, false, false) == 0, "the session was not saved")
elseif mode == "vst" then
  local session = assert(create_session(folder, "zvx", 48000), "no session")
  local track = drumTrack(session)
  local zvx = ARDOUR.LuaAPI.new_plugin(session, "ZVX", ARDOUR.PluginType.LXVST, "")
  assert(not zvx:isnil(), "Ardour does not find the VST module ZVX")
  assert(track:add_processor_by_index(zvx, 0, nil, true) == 0, "the plug-in could not be added")
  describe(zvx, "VST 2.4")
  local loudest = hitAndListen(zvx, track)
  print(string.format("ZVX (VST 2.4) in Ardour: a hit peaks at %.1f dBFS", loudest))
  assert(loudest > -20, "the hit was not heard")
elseif mode == "create" then
  local session = assert(create_session(folder, "zvx", 48000), "no session")
  local track = drumTrack(session)
  local zvx = ARDOUR.LuaAPI.new_plugin(session, kUri, ARDOUR.PluginType.LV2, "")
  assert(not zvx:isnil(), "Ardour does not find " .. kUri)
  assert(track:add_processor_by_index(zvx, 0, nil, true) == 0, "the plug-in could not be added")
  local plugin = zvx:to_insert():plugin(0)
  describe(zvx, "LV2")

  local preset = plugin:preset_by_label("008 Lo-Fi Kit")
  assert(preset and preset.uri == kUri .. "#preset9", "no preset 008 Lo-Fi Kit")
  assert(plugin:load_preset(preset), "the preset was not applied")
  ARDOUR.LuaAPI.set_processor_param(zvx, 1, 0.25)
  local loudest = hitAndListen(zvx, track)
  print(string.format("ZVX (LV2) in Ardour: preset %q, a hit peaks at %.1f dBFS", preset.label, loudest))
  assert(loudest > -20, "the hit was not heard")

  local file = assert(io.open(kept, "w"))
  file:write(string.format("%.17g %.17g\n", value(zvx, 0), value(zvx, 1)))
  file:close()
  assert(session:save_state("", false, false, false, false, false) == 0, "the session was not saved")
else  -- reopen, vst3-reopen
  local file = assert(io.open(kept, "r"))
  local first, second = file:read("n", "n")
  file:close()
  local session = assert(load_session(folder, "zvx"), "the session did not load")
  local track = session:route_by_name("Drums")
  local zvx = track:nth_plugin(0)
  assert(not zvx:isnil(), "the reopened track has no plug-in")
  assert(value(zvx, 0) == first and value(zvx, 1) == second,
         string.format("reopened with %g %g, saved with %g %g", value(zvx, 0), value(zvx, 1), first, second))
  local loudest = hitAndListen(zvx, track:to_track())
  print(string.format("the session reopened: the values kept, a hit peaks at %.1f dBFS", loudest))
  assert(loudest > -20, "the reopened plug-in was not heard")
  if mode == "vst3-reopen" then
    -- Bounced: the session's first two seconds exported (freewheeling: the
    -- plug-in renders offline) with a hit every half second from a Lua
    -- processor before the plug-in (zvx-test-hits.lua, in the caller's
    -- script folder), for the caller to listen to in FOLDER/bounce/*.wav
    -- (16-bit, at the session's rate).
    local hits = ARDOUR.LuaAPI.new_luaproc(session, "ZVX Test Hits")
    assert(not hits:isnil(), "no ZVX Test Hits processor")
    assert(track:add_processor_by_index(hits, 0, nil, true) == 0, "the hits could not be added")
    local export = session:simple_export()
    export:set_range(0, 2 * 48000)
    export:set_folder(folder .. "/bounce")
    export:set_name("zvx-bounce")
    export:set_preset("75969a1c-3133-4694-864b-a1fa50e43348")  -- Ardour's "WAV @ session-rate"
    assert(export:run_export(), "the session was not bounced")
    -- Gone before the session: Ardour's export settings outliving its ports crash it.
    export = nil
    collectgarbage()
    -- Each half second of the bounce holds its hit.
    local wav = assert(io.open(folder .. "/bounce/zvx-bounce.wav", "rb"), "no bounce written")
    local bytes = wav:read("a")
    wav:close()
    local at = 13
    while at + 8 <= #bytes and bytes:sub(at, at + 3) ~= "data" do
      at = at + 8 + string.unpack("<I4", bytes, at + 4)
    end
    assert(at + 8 <= #bytes, "the bounce has no data")
    local first, frames = at + 8, string.unpack("<I4", bytes, at + 4) // 4
    local peaks = {}
    for half = 0, 3 do
      local peak = 0
      for frame = half * 24000, math.min((half + 1) * 24000, frames) - 1 do
        peak = math.max(peak, math.abs(string.unpack("<i2", bytes, first + 4 * frame)))
      end
      peaks[#peaks + 1] = string.format("%.1f", 20 * math.log(math.max(peak, 1) / 32768, 10))
      assert(peak > 32768 * 0.05, "a half second of the bounce is silent: " .. table.concat(peaks, " "))
    end
    print("the session bounced: each half second peaks at " .. table.concat(peaks, ", ") .. " dBFS")
  end
end
close_session()
