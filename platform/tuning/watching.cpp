// What the program asks the Linux platform about its tuner beside the vendor property (whether
// another program holds it, what the driver reported, which tuner it is), answered by the driver
// in use.
#include <cstdio>
#include <utility>

#include "platform/linux/wide_text.h"

#include "platform/platform.h"
#include "platform/tuning/model/driver.h"
#include "platform/tuning/model/exchange.h"
#include "platform/tuning/receivers.h"

bool watching_tuner(int &frequency_khz) { return tuning::watching(frequency_khz); }

void watch_tuner_only() { tuning::watch_only(); }

ReceiverFigures receiver_figures() { return tuning::driver().reported(); }

TunerSource tuner_source()
{
    tuning::TunerIdentity identity = tuning::driver().identity();
    int frequency_khz = 0;
    return {std::move(identity.driver), std::move(identity.device), tuning::watching(frequency_khz),
            identity.uncalibrated};
}

std::wstring use_tuner_device(const std::wstring &path)
{
    return linux_platform::from_system_bytes(tuning::use_receiver_at(linux_platform::to_system_bytes(path)).c_str());
}

bool list_tuners() { return tuning::list_receivers(stdout); }
