// What the Windows and Linux sound outputs share: the tone's samples, and the line that tells the
// user there is no sound.
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

// "quorvex: no sound: REASON; the alignment mode runs silent", once per start of the tone.
void report_no_sound(const char *reason);
void arm_report();

} // namespace tone
