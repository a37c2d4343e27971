// The alignment tone's samples: a change of pitch glides, as the mode's page says, over about
// 15 ms (a time constant: two thirds of the way there after 15 ms) rather than jumping, and a new
// output fades the tone in over 10 ms. The pitch is read from the samples alone, from the time
// between rising zero crossings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/tone/tone.h"

namespace {

struct Pitch {
    double ms; // the middle of a period, from the change of pitch
    double hz;
};

std::vector<Pitch> pitches_of(const std::vector<std::int16_t> &samples, std::size_t change_at)
{
    std::vector<Pitch> pitches;
    double last = -1;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] >= 0 || samples[i] < 0)
            continue;
        // Between the two samples, on the straight line through them.
        const double at =
            static_cast<double>(i - 1) + samples[i - 1] / static_cast<double>(samples[i - 1] - samples[i]);
        if (last >= 0)
            pitches.push_back({((at + last) / 2 - static_cast<double>(change_at)) * 1000 / tone::sample_rate,
                               tone::sample_rate / (at - last)});
        last = at;
    }
    return pitches;
}

TEST(ToneTest, APitchChangeGlidesWithATimeConstantOf15Ms)
{
    // 100 ms at 400 Hz, then 100 ms after 800 Hz is asked for.
    const std::size_t change_at = tone::sample_rate / 10;
    std::vector<std::int16_t> samples(2 * change_at);
    tone::Synth synth;
    synth.set_pitch(400);
    synth.render(samples.data(), change_at);
    synth.set_pitch(800);
    synth.render(samples.data() + change_at, change_at);
    const std::vector<Pitch> pitches = pitches_of(samples, change_at);

    // 800 - 400 e^(-t / 15 ms), worked by hand.
    const Pitch expected[] = {{-20, 400.0}, {5, 513.39}, {15, 652.85}, {30, 745.87}, {60, 792.67}};
    for (const Pitch &row : expected) {
        std::size_t k = 1;
        while (k + 1 < pitches.size() && pitches[k].ms < row.ms)
            ++k;
        const Pitch &before = pitches[k - 1];
        const Pitch &after = pitches[k];
        const double heard = before.hz + (after.hz - before.hz) * (row.ms - before.ms) / (after.ms - before.ms);
        EXPECT_NEAR(heard, row.hz, row.hz * 0.005) << row.ms << " ms after the change";
    }
}

// An output that comes back after one went away hears the tone fade in again, not start at full
// loudness (a click): full is 0.3 of full scale, 9830, reached after 480 samples, so the first 48
// reach a tenth of it at most.
TEST(ToneTest, ANewOutputHearsTheToneFadeInAfresh)
{
    std::vector<std::int16_t> samples(tone::sample_rate / 10);
    tone::Synth synth;
    synth.set_pitch(400);
    synth.render(samples.data(), samples.size());
    synth.start_from_silence();
    synth.render(samples.data(), samples.size());
    const auto loudest = [&](std::size_t from, std::size_t to) {
        int peak = 0;
        for (std::size_t i = from; i < to; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        return peak;
    };
    EXPECT_LE(loudest(0, 48), 983);
    EXPECT_GE(loudest(480, 960), 9800);
}

} // namespace
