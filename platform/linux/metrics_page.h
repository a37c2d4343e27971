// What a scrape reads: the snapshot each tick publishes, and the page made from it in the
// Prometheus text format (0.0.4).
#pragma once

#include <cstdint>
#include <linux/dvb/frontend.h>
#include <optional>
#include <string>

#include "platform/sample_record.h"
#include "platform/tuning/frontend/statistics.h"

namespace linux_platform {

// A driver's counter as a counter Prometheus can take: it only rises. A count that goes down was
// restarted (a retune, a driver's reset), and the sum goes on from what it counts since.
struct RisingCounter {
    std::uint64_t total = 0;
    std::uint64_t last = 0;
    void count(std::uint64_t value)
    {
        total += value >= last ? value - last : value;
        last = value;
    }
};

// The frontend's counters, each summed per value the kernel gives: the whole, then ISDB-T's layers.
enum FrontendCounter { pre_error_bits, pre_bits, post_error_bits, post_bits, error_blocks, blocks, counter_kinds };
struct FrontendCounters {
    RisingCounter counter[counter_kinds][MAX_DTV_STATS];
    std::uint8_t length[counter_kinds] = {}; // how many values the kernel gave, 0 when it offers none
};

struct MetricsSnapshot {
    std::string version;
    std::string driver; // "frontend" or "simulated"
    std::string device;
    std::string mode; // "tunes" or "watches"
    bool sampled = false;
    SampleRecord last{};
    std::uint64_t samples[sample_state_count] = {};
    std::optional<tuning::Statistics> frontend; // of the last sample, when it was read
    FrontendCounters counters;
};

// Moves the counters on by a sample's statistics.
void count_frontend(const tuning::Statistics &statistics, FrontendCounters &counters);
std::string metrics_page(const MetricsSnapshot &snapshot);

} // namespace linux_platform
