// The metrics for Prometheus: a Linux service beside the program, on a thread of its own. On
// Windows there is none, and an address for it is refused.
#pragma once

#include <string>

#include "platform/sample_record.h"

// What is wrong with the address the metrics are to be served at ("[ADDRESS:]PORT", an IPv6
// address in brackets), in the words of a usage error; empty when it will do. Linux's alone: on
// Windows the command line refuses every address.
std::wstring metrics_address_problem(const std::wstring &address);
// Serves /metrics and the live page at the address from now on; false, with the reason on standard error, when it
// cannot be bound.
bool start_metrics(const std::wstring &address);
void stop_metrics();
// What the window shows after a tick, for the live page beside the metrics: the chart's levels,
// the header and the value box as it draws them (UTF-8), and the mode in force. The record says
// the rest: channel, band, frequency, the tuner's driver and whether it is only watched.
const int window_view_levels = 30;
struct WindowView {
    double levels[window_view_levels]; // oldest first
    std::string header;
    std::string value;
    int interval_s;
    bool alignment;
    bool peak_held;
    double peak_level_db; // for peak_held
};
// The tick's record and what the window shows, for the scrapes and pages that follow. The server
// answers from a copy: neither waits on the other beyond that copy.
void publish_sample(const SampleRecord &record, const WindowView &view);
