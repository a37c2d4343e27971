// ISDB-T's layers: what each modulation and code rate needs, and each layer's margin and verdict,
// worked out once here for every driver that reports layers.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/sample_record.h"

namespace tuning {

// The kernel's names (enum fe_modulation, enum fe_code_rate) as users read them; null when the
// value is none ISDB-T uses.
const char *isdbt_modulation_name(std::uint32_t modulation);
const char *isdbt_code_rate_name(std::uint32_t fec);
// The C/N in dB a layer needs for quasi-error-free reception; nothing for a pair off the table.
std::optional<double> required_cnr_db(std::uint32_t modulation, std::uint32_t fec);
// Each layer in use gets its required C/N, margin and verdict, from its own C/N where the driver
// gives one, else the whole channel's; failing too when its error blocks rose since the report
// before (none after the counts restarted).
void judge_layers(ReceiverFigures &figures, const ReceiverFigures &before,
                  const std::uint32_t (&modulation)[isdbt_layers], const std::uint32_t (&fec)[isdbt_layers]);

} // namespace tuning
