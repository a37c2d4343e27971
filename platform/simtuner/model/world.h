// The simulated tuning platform's model: plain C++ with no COM types, so that any COM skin
// (the Linux stand-in here, an in-process server elsewhere) can sit on top of it.
//
// It holds the device world (which devices sit in which category), the pins each kind of filter
// exposes, the fault plan, the call log, the live reference counts of every object handed out,
// the COM apartment count and the tuner driver with its signal model.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Result = std::int32_t; // a COM result code, 0 for S_OK

enum class Category { network_tuner, receiver_component, transport_information, other };
enum class FilterKind { network_provider, tuner, capture, demultiplexer, transport_information, other };

struct Device {
    std::wstring friendly_name;
    Category category;
    FilterKind kind;
    bool storage_binds = true; // BindToStorage gives a property bag
    bool name_readable = true; // the bag's Read of "FriendlyName" succeeds
    bool binds = true;         // BindToObject gives the filter
};

struct PinLayout {
    std::wstring name;
    bool output;
    std::string media; // pins connect only when their media agree
};

struct PropertyAnswer {
    std::uint32_t value = 0;
    std::uint32_t bytes = 4;
    Result set_result = 0;
    Result get_result = 0;
};

struct Call {
    std::string op;
    std::string arg;
};

struct LiveObject {
    std::string kind;
    long references;
};

// --- The world as a whole
void reset();                                   // the expected tuner, default seed, no faults, empty log
bool apply_scenario(std::string_view scenario); // false for an unknown name
void ensure_started();                          // first use: the scenario named by the environment

// --- Device layout, in enumeration order
std::vector<Device> standard_devices();
void set_devices(std::vector<Device> devices);
std::vector<Device> devices_in(Category category);

// --- Pins each kind of filter exposes, in enumeration order
const std::vector<PinLayout> &pins_of(FilterKind kind);
void set_pins(FilterKind kind, std::vector<PinLayout> pins);

// --- Fault plan: make an operation fail with a result code. `op` names the operation
// ("AddFilter"), optionally with its argument ("CoCreateInstance CLSID_DVBTuningSpace"). The fault
// hits the at_call-th matching call and the (times - 1) after it; times 0 means every call from then.
void fail(std::string op, Result result, int at_call = 1, int times = 1);

// Logs the call and answers the injected result for it, 0 when none.
Result check(std::string_view op, std::string_view arg = {});

// --- Call log
const std::vector<Call> &calls();
void clear_calls();
std::vector<std::string> args_of(std::string_view op);

// --- Live objects
int track(std::string kind); // a new object holding one reference
long add_ref(int id);
long release(int id);
std::vector<LiveObject> live_objects();
int over_releases();
std::string_view name_of(FilterKind kind); // the kind of object a filter is counted as

// --- Log file, for a skin whose process a test cannot look into: once opened, every call is
// appended as it is made ("call <op> <arg>"), and write_live_objects appends the objects still
// alive ("live <kind> <references>", "live-objects <count>", "over-releases <count>").
void log_to_file(const std::string &path);
void write_live_objects();

// --- The COM apartment
Result co_initialize(); // S_OK the first time, S_FALSE while already initialised
bool co_uninitialize(); // false when there was nothing to undo
int apartment_initialisations();

// --- The tuner driver
void tune(int frequency_khz);
int tuned_frequency_khz();
void set_seed(std::uint64_t seed);
void set_unplug_after(int samples); // negative: never
void answer(std::uint32_t selector, PropertyAnswer answer);
void answer_all(PropertyAnswer answer); // every selector, e.g. a failing Set
void clear_answers();                   // back to the signal model's figures
Result property_set(std::uint32_t selector);
Result property_get(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes);

} // namespace sim
