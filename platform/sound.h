// The alignment tone: a platform service on the system's sound output (the wave output of winmm on
// Windows, PulseAudio's client library on Linux, which reaches PipeWire too). The program asks for
// a pitch, silence or a tick, and knows nothing of devices. None of these calls waits for the
// device: without one, or when the one there fails, one line on standard error and silence; on
// Linux the tone comes back by itself, with one more line, when a sound server answers again.
#pragma once

// Opens the sound output, silent at first.
void start_tone();
// Glides to the pitch in Hz without a click; 0 fades out to silence.
void set_tone_pitch(double hz);
// One short low tick.
void play_tone_tick();
void stop_tone();
