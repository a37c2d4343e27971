// What a scrape reads: the tally the ticks keep of their records, and the page made from it in the
// Prometheus text format (0.0.4). Every figure comes from the records; the page carries no
// timestamps, so Prometheus stamps each scrape itself and marks a series stale at the first
// scrape that lacks it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/metrics.h"
#include "platform/sample_record.h"

namespace linux_platform {

// A driver's count as a counter Prometheus can take: it only rises. A restart (the driver's mark
// after a tune, or a count that went down, a driver's reset) counts the new count whole.
struct RisingCounter {
    bool offered = false; // given by the driver once: on the page from then on
    std::uint64_t total = 0;
    std::uint64_t last = 0;
};

// Every sample's value, where a gauge read at each scrape would miss those between scrapes: a
// summary's sum and count.
struct Observations {
    double sum = 0;
    std::uint64_t count = 0;
};

struct MetricsSnapshot {
    std::string version;
    bool sampled = false;
    SampleRecord last{};
    std::uint64_t samples[sample_state_count] = {};
    // A sum may only rise for rate() to take it: levels below 0 dB are summed apart, by magnitude.
    Observations levels;
    Observations levels_below_zero;
    Observations ratios;
    RisingCounter counters[receiver_counts][receiver_parts];
    WindowView view{}; // the live page's, of the last sample
};

// Takes one tick's record into the tally.
void tally_sample(const SampleRecord &record, MetricsSnapshot &snapshot);
std::string metrics_page(const MetricsSnapshot &snapshot);

} // namespace linux_platform
