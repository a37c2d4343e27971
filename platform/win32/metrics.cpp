// The metrics are a Linux service: on Windows an address for them is refused, and there is nothing
// to publish to.
#include "platform/platform.h"

std::wstring metrics_address_problem(const std::wstring &) { return L"the metrics are served on Linux only"; }

bool start_metrics(const std::wstring &) { return false; }

void stop_metrics() {}

void publish_sample(const SampleRecord &, const WindowView &) {}
