// What the simulated tuner reports beside the vendor figures, as an ISDB-T receiver would: its
// lock, the C/N of the whole channel and of each layer, the signal strength, the bit and block
// counts, each layer's a share of the whole's, so that the layers' counts add up to the whole's,
// and the layers' parameters with their margins. Two layers carry the multiplex: A (QPSK 2/3,
// one segment) and B (64QAM 3/4, twelve), which needs 13.5 dB more and so fails first as the level
// falls. All of it follows from the sample's vendor figures, so a seed reproduces it as it does
// them.
#pragma once

#include "platform/sample_record.h"
#include "platform/tuning/model/driver.h"
#include "platform/tuning/simulated/signal.h"

namespace tuning {

// The report of a sample that gave these figures: its counts go on from the report before, or,
// after a tune, start from the sample's own. Without a lock the receiver knows no layers.
ReceiverFigures receiver_report(const Figures &figures, Reception reception, const ReceiverFigures &before, bool tuned);

} // namespace tuning
