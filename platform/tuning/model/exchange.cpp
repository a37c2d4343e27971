#include "platform/tuning/model/exchange.h"

#include <map>

#include "platform/tuner_level.h"
#include "platform/tuning/model/driver.h"
#include "platform/tuning/model/observer.h"
#include "platform/tuning/simulated/simulated_driver.h"

namespace tuning {

Observer *observer = nullptr;

namespace {

struct Exchange {
    std::vector<Device> devices = standard_devices();
    std::map<FilterKind, std::vector<PinLayout>> pins;
    int apartment = 0;
    bool apartment_opened = false; // CoInitialize succeeded at least once
    int frequency_khz = 0;
    int tuner_filters = 0;
    bool unplugged = false;
    bool selected = false; // a Set chose a selector, which the next Get may answer
    std::uint32_t selector = 0;
};

Exchange exchange;
Driver *current_driver = nullptr;
bool started = false;

Device system_transport_information_filter()
{
    return {L"BDA MPEG2 Transport Information Filter", Category::transport_information,
            FilterKind::transport_information};
}

std::map<FilterKind, std::vector<PinLayout>> standard_pins()
{
    return {
        {FilterKind::network_provider, {{L"Antenna Out", true, "bda-antenna"}}},
        {FilterKind::tuner, {{L"Input0", false, "bda-antenna"}, {L"MPEG2 Transport", true, "bda-transport"}}},
        {FilterKind::capture,
         {{L"MPEG2 Transport", false, "bda-transport"}, {L"MPEG2 Transport Out", true, "mpeg2-ts"}}},
        {FilterKind::demultiplexer,
         {{L"MPEG-2 Stream", false, "mpeg2-ts"},
          {L"Video", true, "mpeg2-video"},
          {L"Audio", true, "mpeg2-audio"},
          {L"PSI", true, "mpeg2-sections"}}},
        {FilterKind::transport_information, {{L"Input", false, "mpeg2-sections"}}},
        {FilterKind::other, {}},
    };
}

// The device has left the system: it fails every exchange and no longer enumerates.
void unplug()
{
    exchange.unplugged = true;
    std::erase_if(exchange.devices,
                  [](const Device &d) { return d.kind == FilterKind::tuner || d.kind == FilterKind::capture; });
}

void plug_back()
{
    exchange.unplugged = false;
    exchange.devices = current_driver->devices();
    exchange.devices.push_back(system_transport_information_filter());
}

} // namespace

void reset_for_program()
{
    exchange = Exchange{};
    exchange.pins = standard_pins();
    started = true;
    restart_simulated_driver();
    use_driver(simulated_driver());
}

void ensure_started()
{
    if (!started)
        reset_for_program();
}

void use_driver(Driver &driver)
{
    if (current_driver != nullptr && current_driver != &driver)
        current_driver->close();
    current_driver = &driver;
    exchange.devices = driver.devices();
    exchange.devices.push_back(system_transport_information_filter());
}

Driver &driver() { return *current_driver; }

std::vector<Device> standard_devices()
{
    std::vector<Device> devices = tuner_devices();
    devices.push_back(system_transport_information_filter());
    return devices;
}

std::vector<Device> tuner_devices()
{
    return {
        {L"SKNET HDTV BDA Digital Tuner_0", Category::network_tuner, FilterKind::tuner},
        {L"SKNET HDTV BDA Digital Capture_0", Category::receiver_component, FilterKind::capture},
    };
}

void set_devices(std::vector<Device> devices) { exchange.devices = std::move(devices); }

std::vector<Device> devices_in(Category category)
{
    std::vector<Device> found;
    for (const Device &device : exchange.devices)
        if (device.category == category)
            found.push_back(device);
    return found;
}

const std::vector<PinLayout> &pins_of(FilterKind kind) { return exchange.pins[kind]; }

void set_pins(FilterKind kind, std::vector<PinLayout> pins) { exchange.pins[kind] = std::move(pins); }

const char *name_of(FilterKind kind)
{
    switch (kind) {
    case FilterKind::network_provider: return "NetworkProvider";
    case FilterKind::tuner: return "TunerFilter";
    case FilterKind::capture: return "CaptureFilter";
    case FilterKind::demultiplexer: return "Demultiplexer";
    case FilterKind::transport_information: return "TransportInformationFilter";
    case FilterKind::other: return "OtherFilter";
    }
    return "Filter";
}

Result co_initialize()
{
    exchange.apartment_opened = true;
    return exchange.apartment++ == 0 ? 0 : 1;
}

bool co_uninitialize()
{
    if (exchange.apartment == 0)
        return false;
    --exchange.apartment;
    return true;
}

int apartment_initialisations() { return exchange.apartment; }

bool apartment_closed() { return exchange.apartment_opened && exchange.apartment == 0; }

Result tune(int frequency_khz)
{
    if (const Result refused = current_driver->tune(frequency_khz))
        return refused;
    int watched_khz = 0;
    if (!current_driver->watching(watched_khz))
        exchange.frequency_khz = frequency_khz;
    return 0;
}

int tuned_frequency_khz() { return exchange.frequency_khz; }

bool watching(int &frequency_khz)
{
    ensure_started();
    return current_driver->watching(frequency_khz);
}

void watch_only()
{
    ensure_started();
    current_driver->watch_only();
}

void tuner_filter_created() { ++exchange.tuner_filters; }

void tuner_filter_destroyed()
{
    if (--exchange.tuner_filters == 0)
        current_driver->close();
}

static const PropertyAnswer *forced_answer(std::uint32_t selector)
{
    return observer != nullptr ? observer->forced_answer(selector) : nullptr;
}

Result property_set(std::uint32_t selector)
{
    // A device that has gone fails every exchange; its driver looks for it once a sample, at the
    // sample's first Set.
    if (exchange.unplugged) {
        if (selector != tuner_level::level_selectors[0] || !current_driver->find_again())
            return device_not_connected;
        plug_back();
    }
    if (const PropertyAnswer *forced = forced_answer(selector); forced != nullptr && forced->set_result != 0)
        return forced->set_result;
    if (const Result failed = current_driver->select(selector)) {
        if (failed == device_not_connected)
            unplug();
        return failed;
    }
    exchange.selected = true;
    exchange.selector = selector;
    return 0;
}

Result property_get(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes)
{
    bytes = 0;
    if (exchange.unplugged)
        return device_not_connected;
    if (!exchange.selected || exchange.selector != selector)
        return unexpected; // the driver answers only the selector it was just given
    if (const PropertyAnswer *forced = forced_answer(selector)) {
        if (forced->get_result != 0)
            return forced->get_result;
        value = forced->value;
        bytes = forced->bytes;
        return 0;
    }
    return current_driver->answer(selector, value, bytes);
}

} // namespace tuning
