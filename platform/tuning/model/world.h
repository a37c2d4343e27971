// The tuning platform's model: plain C++ with no COM types, so that any COM skin (the Linux
// platform here, an in-process server elsewhere) can sit on top of it.
//
// It holds the device world (which devices sit in which category), the pins each kind of filter
// exposes, the fault plan, the call log, the live reference counts of every object handed out,
// the COM apartment count, and the vendor property's exchange with the tuner driver in use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tuning {

using Result = std::int32_t; // a COM result code, 0 for S_OK

const Result unexpected = static_cast<Result>(0x8000FFFF);
const Result invalid_argument = static_cast<Result>(0x80070057);
const Result device_not_connected = static_cast<Result>(0x8007048F);
const Result not_supported = static_cast<Result>(0x80070032);

class Driver;

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
// A fresh world on the simulated tuner: the expected devices, default seed, no faults, an empty
// call log that records every call.
void reset();
// A fresh world as the program starts in it: as reset(), but recording no calls.
void reset_for_program();
// First use by the program: reset_for_program, unless the process set a world up already.
void ensure_started();
// The driver behind the tuner and capture filters from now on; the device world becomes its
// devices and the system's transport information filter.
void use_driver(Driver &driver);
Driver &driver();

// --- Device layout, in enumeration order
std::vector<Device> standard_devices();
// A driver's device: the tuner and capture filters under the names the program looks for.
std::vector<Device> tuner_devices();
void set_devices(std::vector<Device> devices);
std::vector<Device> devices_in(Category category);

// --- Pins each kind of filter exposes, in enumeration order
const std::vector<PinLayout> &pins_of(FilterKind kind);
void set_pins(FilterKind kind, std::vector<PinLayout> pins);

// --- Fault plan: make an operation fail with a result code. `op` names the operation
// ("AddFilter"), optionally with its argument ("CoCreateInstance CLSID_DVBTuningSpace"). The fault
// hits the at_call-th matching call and the (times - 1) after it; times 0 means every call from then.
void fail(std::string op, Result result, int at_call = 1, int times = 1);

// Logs a call on an object and answers the injected result for it, 0 when none.
Result check(std::string_view op, std::string_view arg = {});
// The same for a call on the COM runtime itself, which needs no apartment.
Result check_runtime(std::string_view op, std::string_view arg = {});

// --- Call log. Recorded in memory only while asked for: a monitor runs for days.
void record_calls(bool on);
const std::vector<Call> &calls();
void clear_calls();
std::vector<std::string> args_of(std::string_view op);

// --- Live objects
int track(std::string kind); // a new object holding one reference
long add_ref(int id);
long release(int id);
std::vector<LiveObject> live_objects();
int over_releases();
// Calls on objects after the last CoUninitialize: on Windows the in-process servers are unloaded
// then, and such a call would run code that is gone.
int calls_outside_apartment();
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

// --- The tuner driver, through the tuner filter
Result tune(int frequency_khz);
int tuned_frequency_khz(); // the last frequency the driver took, 0 before any
void tuner_filter_created();
void tuner_filter_destroyed(); // the last one lets the driver close its device
// Raw answers for tests, in place of the driver's figures.
void answer(std::uint32_t selector, PropertyAnswer answer);
void answer_all(PropertyAnswer answer); // every selector, e.g. a failing Set
void clear_answers();                   // back to the signal model's figures
Result property_set(std::uint32_t selector);
Result property_get(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes);

} // namespace tuning
