// The test world: what tests, and the Wine fixture, watch and steer in the tuning platform. Linked
// into them only; the installed program has none of it.
//
// It holds the fault plan, the call log, the live reference counts of every object handed out
// (released objects stay as zombies until the next reset), and raw property answers in place of
// the driver's. The device layout and pins are the exchange's own (exchange.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/tuning/model/exchange.h"

namespace tuning {

struct Call {
    std::string op;
    std::string arg;
};

struct LiveObject {
    std::string kind;
    long references;
};

// A fresh world on the simulated tuner, watched: the expected devices, default seed, no faults,
// and a call log that records every call. Frees the zombies of the world before.
void reset();

// --- Fault plan: make an operation fail with a result code. `op` names the operation
// ("AddFilter"), optionally with its argument ("CoCreateInstance CLSID_DVBTuningSpace"). The fault
// hits the at_call-th matching call and the (times - 1) after it; times 0 means every call from then.
void fail(std::string op, Result result, int at_call = 1, int times = 1);

// --- Call log. Recorded in memory only while asked for: the Wine fixture runs for as long as a test
// lets it.
void record_calls(bool on);
const std::vector<Call> &calls();
void clear_calls();
std::vector<std::string> args_of(std::string_view op);

// --- Live objects
std::vector<LiveObject> live_objects();
int over_releases();
// Calls on objects after the last CoUninitialize: on Windows the in-process servers are unloaded
// then, and such a call would run code that is gone.
int calls_outside_apartment();

// --- Raw answers, in place of the driver's figures
void answer(std::uint32_t selector, PropertyAnswer answer);
void answer_all(PropertyAnswer answer); // every selector, e.g. a failing Set
void clear_answers();                   // back to the driver's figures

// --- Log file, for a skin whose process a test cannot look into: once opened, every call is
// appended as it is made ("call <op> <arg>"), and write_live_objects appends the objects still
// alive ("live <kind> <references>", "live-objects <count>", "over-releases <count>").
void log_to_file(const std::string &path);
void write_live_objects();

} // namespace tuning
