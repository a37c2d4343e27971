// What the kernel's error numbers mean to the program and to its user. The words are fixed
// English, not the C library's messages, so a diagnostic reads the same under every locale.
#pragma once

#include <string>

#include "platform/tuning/model/exchange.h"

namespace tuning {

// The reason after a device's name in a diagnostic line, e.g. "busy: another program is tuning it".
std::string reason(int error);
// The result code a failed kernel call gives the program; device_not_connected once the device has gone.
Result result_for(int error);

} // namespace tuning
