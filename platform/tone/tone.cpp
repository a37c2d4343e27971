#include "platform/tone/tone.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <thread>

#include "platform/texts.h"

namespace tone {

namespace {

const double amplitude = 0.3 * 32767; // of the tone: about -10 dB of full scale
const double glide_s = 0.015;         // the pitch's time constant on a change
const double fade_s = 0.010;          // from silence to full loudness, and back
// A tick: low, and too short to be taken for a tone.
const double tick_hz = 200.0;
const double tick_s = 0.040;
const double tick_amplitude = 0.5 * 32767;
const double two_pi = 2 * std::numbers::pi;

std::atomic<bool> reported{false};

} // namespace

void Synth::render(std::int16_t *samples, std::size_t count)
{
    const double glide = 1.0 - std::exp(-1.0 / (glide_s * sample_rate));
    const double fade_step = 1.0 / (fade_s * sample_rate);
    const auto tick_length = static_cast<std::size_t>(tick_s * sample_rate);
    const double target = target_hz_.load(std::memory_order_relaxed);
    const unsigned asked = ticks_asked_.load(std::memory_order_relaxed);
    if (asked != ticks_played_) {
        ticks_played_ = asked;
        ticking_ = true;
        tick_at_ = 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        // A tone that starts from silence starts at its pitch; one that sounds glides to it.
        if (target > 0 && gain_ == 0.0)
            hz_ = target;
        else if (target > 0)
            hz_ += (target - hz_) * glide;
        gain_ = target > 0 ? std::fmin(gain_ + fade_step, 1.0) : std::fmax(gain_ - fade_step, 0.0);
        phase_ = std::fmod(phase_ + two_pi * hz_ / sample_rate, two_pi);
        double value = amplitude * gain_ * std::sin(phase_);
        if (ticking_) {
            const double t = static_cast<double>(tick_at_) / sample_rate;
            const double envelope =
                0.5 - 0.5 * std::cos(two_pi * static_cast<double>(tick_at_) / static_cast<double>(tick_length));
            value += tick_amplitude * envelope * std::sin(two_pi * tick_hz * t);
            ticking_ = ++tick_at_ < tick_length;
        }
        samples[i] = static_cast<std::int16_t>(std::lround(std::fmax(-32767.0, std::fmin(32767.0, value))));
    }
}

void Synth::start_from_silence()
{
    gain_ = 0.0;
    ticking_ = false;
}

Synth &synth()
{
    static Synth the_synth;
    return the_synth;
}

void fade_out(int buffered_ms)
{
    synth().set_pitch(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(buffered_ms) + std::chrono::duration<double>(2 * fade_s));
}

void arm_report() { reported.store(false); }

void report_no_sound(const char *reason)
{
    if (reported.exchange(true))
        return;
    std::fprintf(stderr, translated("quorvex: no sound: %s; the alignment mode runs silent\n"), reason);
    std::fflush(stderr);
}

void report_sound_back()
{
    if (!reported.exchange(false))
        return;
    std::fputs(translated("quorvex: sound: the sound server is back; the tone plays again\n"), stderr);
    std::fflush(stderr);
}

} // namespace tone
