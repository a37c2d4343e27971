// What the Windows and Linux sound outputs share: the tone's samples, and the lines that tell the
// user the sound has gone and is back.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tone {

const int sample_rate = 48000; // mono, 16-bit

// A sine whose pitch glides to each new one and whose loudness fades in and out, so that neither
// a change of pitch nor a start or a stop clicks; and ticks, each a short low burst with soft
// edges. Asked for on one thread, rendered on the sound output's.
class Synth {
public:
    void set_pitch(double hz) { target_hz_.store(hz, std::memory_order_relaxed); }
    void tick() { ticks_asked_.fetch_add(1, std::memory_order_relaxed); }
    void render(std::int16_t *samples, std::size_t count);
    // On the rendering thread, before a new output's first samples: what an output that went away
    // was playing is gone with it, so the tone fades in from silence rather than starting loud.
    void start_from_silence();

private:
    std::atomic<double> target_hz_{0.0};
    std::atomic<unsigned> ticks_asked_{0};
    // The rendering thread's own.
    unsigned ticks_played_ = 0;
    double hz_ = 0.0;
    double phase_ = 0.0;
    double gain_ = 0.0;
    std::size_t tick_at_ = 0; // samples into the tick being played
    bool ticking_ = false;
};

Synth &synth();

// Fades the tone out and waits until what the output holds ahead has played, so that stopping the
// output cuts nothing but silence.
void fade_out(int buffered_ms);

// "quorvex: no sound: REASON; the alignment mode runs silent": once when the sound goes, however
// often it is tried again, and again only after it has come back.
void report_no_sound(const char *reason);
// "quorvex: sound: the sound server is back; the tone plays again", after a loss only.
void report_sound_back();
// Each start of the tone reports afresh.
void arm_report();

} // namespace tone
