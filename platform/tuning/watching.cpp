// What the program asks the Linux platform about a tuner that another program may hold, answered
// by the driver in use.
#include "platform/platform.h"
#include "platform/tuning/model/exchange.h"

bool watching_tuner(int &frequency_khz) { return tuning::watching(frequency_khz); }

void watch_tuner_only() { tuning::watch_only(); }
