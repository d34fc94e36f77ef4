ardour {
	["type"]    = "dsp",
	name        = "ZVX Test Hits",
	category    = "Utility",
	license     = "MIT",
	author      = "ZVX",
	description = [[A bass drum hit at velocity 127 every half second, for the tests' bounces.]]
}

function dsp_ioconfig ()
	return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } }
end

local rate = 48000
local next_hit = 0

function dsp_init (sample_rate)
	rate = sample_rate
	next_hit = 0
end

function dsp_run (_, _, n_samples)
	local count = 1
	-- Notes from the track pass on; a hit (note-on, note-off 10 ms later) joins them.
	for _, event in pairs (midiin) do
		midiout[count] = { time = event["time"], data = event["data"] }
		count = count + 1
	end
	while next_hit < n_samples do
		midiout[count] = { time = next_hit + 1, data = { 0x90, 36, 127 } }
		count = count + 1
		next_hit = next_hit + math.floor (rate / 2)
	end
	next_hit = next_hit - n_samples
end
