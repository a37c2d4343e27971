// What the program asks the Linux platform about its tuner beside the vendor property (whether
// another program holds it, what the driver reported, which tuner it is), answered by the driver
// in use.
#include <utility>

#include "platform/platform.h"
#include "platform/tuning/model/driver.h"
#include "platform/tuning/model/exchange.h"

bool watching_tuner(int &frequency_khz) { return tuning::watching(frequency_khz); }

void watch_tuner_only() { tuning::watch_only(); }

ReceiverFigures receiver_figures() { return tuning::driver().reported(); }

TunerSource tuner_source()
{
    tuning::TunerIdentity identity = tuning::driver().identity();
    int frequency_khz = 0;
    return {std::move(identity.driver), std::move(identity.device), tuning::watching(frequency_khz)};
}
