-- ZVX in Ardour, headless, on the dummy backend.
--   ardour7-lua ardour-session.lua create FOLDER: a MIDI track with the LV2
--     plug-in; a preset applied, a parameter set, a note heard; saved.
--   ardour7-lua ardour-session.lua reopen FOLDER: the session loaded in a
--     fresh Ardour (one process cannot: its engine does not restart), the
--     values kept, a note heard.
local mode, folder = arg and arg[1], arg and arg[2]
assert((mode == "create" or mode == "reopen") and folder, "usage: ardour7-lua ardour-session.lua create|reopen FOLDER")
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

if mode == "create" then
  local session = assert(create_session(folder, "zvx", 48000), "no session")
  local tracks = session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
                                        ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, ARDOUR.PluginInfo(),
                                        nil, nil, 1, "Drums", ARDOUR.PresentationInfo.max_order,
                                        ARDOUR.TrackMode.Normal, true)
  local track = tracks:front()
  local zvx = ARDOUR.LuaAPI.new_plugin(session, kUri, ARDOUR.PluginType.LV2, "")
  assert(not zvx:isnil(), "Ardour does not find " .. kUri)
  assert(track:add_processor_by_index(zvx, 0, nil, true) == 0, "the plug-in could not be added")
  local plugin = zvx:to_insert():plugin(0)

  local controls = 0
  for i = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_is_control(i) and plugin:parameter_is_input(i) then controls = controls + 1 end
  end
  assert(controls == 83, "controls: " .. controls)

  local preset = plugin:preset_by_label("Lo-Fi Kit")
  assert(preset and preset.uri == kUri .. "#preset9", "no preset Lo-Fi Kit")
  assert(plugin:load_preset(preset), "the preset was not applied")
  ARDOUR.LuaAPI.set_processor_param(zvx, 1, 0.25)
  local loudest = hitAndListen(zvx, track)
  print(string.format("ZVX in Ardour: %d controls, preset %q, a hit peaks at %.1f dBFS", controls, preset.label,
                      loudest))
  assert(loudest > -20, "the hit was not heard")

  local file = assert(io.open(kept, "w"))
  file:write(string.format("%.17g %.17g\n", value(zvx, 0), value(zvx, 1)))
  file:close()
  assert(session:save_state("", false, false, false, false, false) == 0, "the session was not saved")
else
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
end
close_session()
