// The metrics are a Linux service: on Windows the command line refuses an address for them, and
// there is nothing to publish to.
#include "platform/platform.h"

bool start_metrics(const std::wstring &) { return false; }

void stop_metrics() {}

void publish_sample(const SampleRecord &, const WindowView &) {}
