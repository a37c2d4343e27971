// From the kernel's statistics of one sample to the figures the vendor property answers, so that
// the program's own formulas show them: the carrier-to-noise ratio as the level value, the change
// of the bit-error counters as the error and cycle counts.
#pragma once

#include <cstdint>
#include <linux/dvb/frontend.h>

#include "platform/tuning/model/driver.h"

namespace tuning {

// One sample as the frontend reports it: the status bits, and the statistics of one FE_GET_PROPERTY.
// The level and ratio take the C/N and the bit counters; the metrics take all of it.
struct Statistics {
    std::uint32_t status = 0;
    dtv_fe_stats cnr{};
    dtv_fe_stats strength{};
    dtv_fe_stats post_errors{}; // after the inner code
    dtv_fe_stats post_total{};
    dtv_fe_stats pre_errors{}; // before it, where a driver counts only there
    dtv_fe_stats pre_total{};
    dtv_fe_stats error_blocks{};
    dtv_fe_stats total_blocks{};
};

// A layer's transmission parameters, as DTV_ISDBT_LAYER*_ read them back after lock.
struct LayerParameters {
    std::uint32_t modulation = 0;
    std::uint32_t fec = 0;
    std::uint32_t segments = 0; // 0: not in use (the kernel's "not set" is larger than 13)
    std::uint32_t interleaving = 0;
};
struct IsdbtParameters {
    bool known = false;
    bool partial_reception = false;
    LayerParameters layers[3];
};

// Where the bit-error counters stood when their total last moved, and the ratio that window
// counted. As libdvbv5 does, the window moves only when the driver's total has changed: a driver
// that refreshes its counters less often than the program samples shows the last ratio it
// counted meanwhile. A tune starts a fresh window, counting from zero (drivers restart their
// counters when they tune), with no ratio yet.
struct CounterWindow {
    enum class Pair { none, post, pre };
    Pair pair = Pair::none;
    std::uint64_t errors = 0;
    std::uint64_t total = 0;
    std::uint32_t error_count = 0; // the last ratio, as the property carries it; a cycle count of
    std::uint32_t cycle_count = 0; // zero before any window counted
};

// 5505024 / 10^(C/N / 20) for a C/N in 0.001 dB, rounded, within 1 to 0xFFFFFF.
std::uint32_t level_value_for(std::int64_t cnr_millidecibels);
// The error and cycle counts whose e / (n * 1632) is nearest errors / bits within 24 and 16 bits;
// no bits give a cycle count of zero.
void count_errors(std::uint64_t errors, std::uint64_t bits, Figures &figures);
// One sample's figures; moves the window on to this sample when the total has moved.
Figures figures_from(const Statistics &statistics, CounterWindow &window);
// The sample as the program's record keeps it: each value where the kernel marks it given, index
// 0 the whole channel and 1 to 3 ISDB-T's layers A to C (statistics in the API's layout); the
// layers' parameters, margins and verdicts, judged against the report before.
ReceiverFigures receiver_figures_from(const Statistics &statistics, bool counts_restarted,
                                      const IsdbtParameters &parameters, const ReceiverFigures &before);

} // namespace tuning
