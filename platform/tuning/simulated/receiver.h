// What the simulated tuner reports beside the vendor figures, as an ISDB-T receiver with three
// layers would: its lock, the C/N of the whole channel and of each layer, the signal strength,
// and the bit and block counts, each layer's a share of the whole's, so that the layers' counts
// add up to the whole's. All of it follows from the sample's vendor figures, so a seed reproduces
// it as it does them.
#pragma once

#include "platform/sample_record.h"
#include "platform/tuning/model/driver.h"
#include "platform/tuning/simulated/signal.h"

namespace tuning {

// The report of a sample that gave these figures: its counts go on from the report before, or,
// after a tune, start from the sample's own. Without a lock the receiver knows no layers.
ReceiverFigures receiver_report(const Figures &figures, Reception reception, const ReceiverFigures &before, bool tuned);

} // namespace tuning
