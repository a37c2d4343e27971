// The alignment tone: a platform service on the system's sound output (the wave output of winmm on
// Windows, PulseAudio's client library on Linux, which reaches PipeWire too). The program asks for
// a pitch, silence or a tick, and knows nothing of devices. It never waits long for the device:
// without one, or when the one there fails, one line on standard error and the tone stays silent.
#pragma once

// Opens the sound output, silent at first.
void start_tone();
// Glides to the pitch in Hz without a click; 0 fades out to silence.
void set_tone_pitch(double hz);
// One short low tick.
void play_tone_tick();
void stop_tone();
