// The metrics for Prometheus: a Linux service beside the program, on a thread of its own. On
// Windows there is none, and an address for it is refused.
#pragma once

#include <string>

#include "platform/sample_record.h"

// What is wrong with the address the metrics are to be served at ("[ADDRESS:]PORT", an IPv6
// address in brackets), in the words of a usage error; empty when it will do.
std::wstring metrics_address_problem(const std::wstring &address);
// Serves /metrics at the address from now on; false, with the reason on standard error, when it
// cannot be bound.
bool start_metrics(const std::wstring &address);
void stop_metrics();
// The tick's record, for the scrapes that follow. The server answers from a copy: neither waits
// on the other beyond that copy.
void publish_sample(const SampleRecord &record);
