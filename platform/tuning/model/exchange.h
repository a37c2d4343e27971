// The tuning platform's model as the program meets it: plain C++ with no COM types, so that any
// COM skin (the Linux platform here, an in-process server under Wine) can sit on top of it.
//
// It holds the device world (which devices sit in which category), the pins each kind of filter
// exposes, the COM apartment count, and the exchange with the tuner driver in use: tuning, and the
// vendor property's answers. Nothing in it records: what tests watch is the test world's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tuning {

using Result = std::int32_t; // a COM result code, 0 for S_OK

const Result unexpected = static_cast<Result>(0x8000FFFF);
const Result invalid_argument = static_cast<Result>(0x80070057);
const Result device_not_connected = static_cast<Result>(0x8007048F);
const Result not_supported = static_cast<Result>(0x80070032);
const Result unspecified_failure = static_cast<Result>(0x80004005);

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

// A Get's answer of the vendor property, or a failing Set or Get.
struct PropertyAnswer {
    std::uint32_t value = 0;
    std::uint32_t bytes = 4;
    Result set_result = 0;
    Result get_result = 0;
};

// --- The world as a whole
// A fresh world as the program starts in it: the simulated tuner at its defaults, the expected
// devices, nothing tuned.
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
const char *name_of(FilterKind kind); // the kind of object a filter is counted as

// --- The COM apartment
Result co_initialize(); // S_OK the first time, S_FALSE while already initialised
bool co_uninitialize(); // false when there was nothing to undo
int apartment_initialisations();
// Whether COM was ever initialised and is no longer: on Windows the in-process servers are gone.
bool apartment_closed();

// --- The tuner driver, through the tuner filter
Result tune(int frequency_khz);
int tuned_frequency_khz(); // the last frequency the driver took, 0 before any
// A device another program holds is only watched: nothing is tuned, and the frequency is the one
// the driver last saw it tuned to (kHz). watch_only asks for that even when no program holds it.
bool watching(int &frequency_khz);
void watch_only();
void tuner_filter_created();
void tuner_filter_destroyed(); // the last one lets the driver close its device
// The vendor property: a Set chooses a selector, a Get of the same selector answers it.
Result property_set(std::uint32_t selector);
Result property_get(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes);

} // namespace tuning
