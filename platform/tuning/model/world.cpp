#include "platform/tuning/model/world.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>

#include "platform/tuning/model/driver.h"
#include "platform/tuning/simulated/simulated_driver.h"

namespace tuning {

namespace {

const std::uint32_t first_level_selector = 0x8B20;

struct Fault {
    std::string op;
    Result result;
    int at_call;
    int times;
    int seen = 0;
};

struct Object {
    std::string kind;
    long references;
    int generation;
};

struct World {
    std::vector<Device> devices = standard_devices();
    std::map<FilterKind, std::vector<PinLayout>> pins;
    std::vector<Fault> faults;
    bool recording = true;
    std::vector<Call> calls;
    int apartment = 0;
    bool apartment_opened = false; // CoInitialize succeeded at least once
    int calls_outside_apartment = 0;
    int frequency_khz = 0;
    int tuner_filters = 0;
    Figures figures{};
    bool unplugged = false;
    std::map<std::uint32_t, PropertyAnswer> answers;
    bool answer_every_selector = false;
    PropertyAnswer every_selector_answer;
    std::uint32_t last_set_selector = 0;
    bool set_done = false;
};

World world;
Driver *current_driver = nullptr;
bool started = false;
int generation = 0;
int over_released = 0;
std::vector<Object> objects; // outlives reset(), so late releases of old objects stay harmless
std::FILE *log_file = nullptr;

// One line of words separated by blanks, the empty ones left out.
void log_line(std::initializer_list<std::string_view> words)
{
    if (log_file == nullptr)
        return;
    const char *separator = "";
    for (const std::string_view word : words) {
        if (word.empty())
            continue;
        std::fputs(separator, log_file);
        std::fwrite(word.data(), 1, word.size(), log_file);
        separator = " ";
    }
    std::fputc('\n', log_file);
    std::fflush(log_file); // a test reads it while the process runs
}

void note_call(std::string_view op, std::string_view arg)
{
    if (world.recording)
        world.calls.push_back({std::string(op), std::string(arg)});
    log_line({"call", op, arg});
}

Result injected_result(std::string_view op, std::string_view arg)
{
    const std::string qualified = std::string(op) + " " + std::string(arg);
    Result injected = 0;
    for (Fault &fault : world.faults) {
        if (fault.op != op && fault.op != qualified)
            continue;
        ++fault.seen;
        const bool hit = fault.seen >= fault.at_call && (fault.times == 0 || fault.seen < fault.at_call + fault.times);
        if (hit && injected == 0)
            injected = fault.result;
    }
    std::erase_if(world.faults, [](const Fault &f) { return f.times != 0 && f.seen >= f.at_call + f.times - 1; });
    return injected;
}

void note_object_call()
{
    if (world.apartment_opened && world.apartment == 0)
        ++world.calls_outside_apartment;
}

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

std::uint32_t figure_byte(std::uint32_t selector, bool &known)
{
    const Figures &f = world.figures;
    known = true;
    switch (selector) {
    case 0x8B20: return (f.level_value >> 16) & 0xFF;
    case 0x8C20: return (f.level_value >> 8) & 0xFF;
    case 0x8D20: return f.level_value & 0xFF;
    case 0xA020: return (f.error_count >> 16) & 0xFF;
    case 0xA120: return (f.error_count >> 8) & 0xFF;
    case 0xA220: return f.error_count & 0xFF;
    case 0xA620: return (f.cycle_count >> 8) & 0xFF;
    case 0xA720: return f.cycle_count & 0xFF;
    default: known = false; return 0;
    }
}

} // namespace

void reset()
{
    world = World{};
    world.pins = standard_pins();
    ++generation;
    over_released = 0;
    started = true;
    restart_simulated_driver();
    use_driver(simulated_driver());
}

void reset_for_program()
{
    reset();
    record_calls(false);
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
    world.devices = driver.devices();
    world.devices.push_back(system_transport_information_filter());
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

void set_devices(std::vector<Device> devices) { world.devices = std::move(devices); }

std::vector<Device> devices_in(Category category)
{
    std::vector<Device> found;
    for (const Device &device : world.devices)
        if (device.category == category)
            found.push_back(device);
    return found;
}

const std::vector<PinLayout> &pins_of(FilterKind kind) { return world.pins[kind]; }

void set_pins(FilterKind kind, std::vector<PinLayout> pins) { world.pins[kind] = std::move(pins); }

void fail(std::string op, Result result, int at_call, int times)
{
    world.faults.push_back({std::move(op), result, at_call, times});
}

Result check(std::string_view op, std::string_view arg)
{
    note_object_call();
    note_call(op, arg);
    return injected_result(op, arg);
}

Result check_runtime(std::string_view op, std::string_view arg)
{
    note_call(op, arg);
    return injected_result(op, arg);
}

void record_calls(bool on)
{
    world.recording = on;
    if (!on)
        world.calls.clear();
}

const std::vector<Call> &calls() { return world.calls; }

void clear_calls() { world.calls.clear(); }

std::vector<std::string> args_of(std::string_view op)
{
    std::vector<std::string> args;
    for (const Call &call : world.calls)
        if (call.op == op)
            args.push_back(call.arg);
    return args;
}

int track(std::string kind)
{
    objects.push_back({std::move(kind), 1, generation});
    return static_cast<int>(objects.size()) - 1;
}

long add_ref(int id)
{
    note_object_call();
    return ++objects[id].references;
}

long release(int id)
{
    Object &object = objects[id];
    if (object.kind != "BSTR") // strings belong to no apartment
        note_object_call();
    if (object.references == 0) {
        ++over_released;
        return 0;
    }
    return --object.references;
}

std::vector<LiveObject> live_objects()
{
    std::vector<LiveObject> live;
    for (const Object &object : objects)
        if (object.generation == generation && object.references > 0)
            live.push_back({object.kind, object.references});
    return live;
}

int over_releases() { return over_released; }

int calls_outside_apartment() { return world.calls_outside_apartment; }

std::string_view name_of(FilterKind kind)
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

void log_to_file(const std::string &path)
{
    if (log_file == nullptr)
        log_file = std::fopen(path.c_str(), "ab"); // the same bytes on every platform
}

void write_live_objects()
{
    const std::vector<LiveObject> live = live_objects();
    for (const LiveObject &object : live)
        log_line({"live", object.kind, std::to_string(object.references)});
    log_line({"live-objects", std::to_string(live.size())});
    log_line({"over-releases", std::to_string(over_released)});
}

Result co_initialize()
{
    world.apartment_opened = true;
    return world.apartment++ == 0 ? 0 : 1;
}

bool co_uninitialize()
{
    if (world.apartment == 0)
        return false;
    --world.apartment;
    return true;
}

int apartment_initialisations() { return world.apartment; }

Result tune(int frequency_khz)
{
    if (const Result refused = current_driver->tune(frequency_khz))
        return refused;
    world.frequency_khz = frequency_khz;
    return 0;
}

int tuned_frequency_khz() { return world.frequency_khz; }

void tuner_filter_created() { ++world.tuner_filters; }

void tuner_filter_destroyed()
{
    if (--world.tuner_filters == 0)
        current_driver->close();
}

void answer(std::uint32_t selector, PropertyAnswer answer) { world.answers[selector] = answer; }

void answer_all(PropertyAnswer answer)
{
    world.answer_every_selector = true;
    world.every_selector_answer = answer;
}

void clear_answers()
{
    world.answers.clear();
    world.answer_every_selector = false;
}

static const PropertyAnswer *override_for(std::uint32_t selector)
{
    const auto found = world.answers.find(selector);
    if (found != world.answers.end())
        return &found->second;
    return world.answer_every_selector ? &world.every_selector_answer : nullptr;
}

Result property_set(std::uint32_t selector)
{
    if (world.unplugged)
        return device_not_connected;
    if (const PropertyAnswer *forced = override_for(selector); forced != nullptr && forced->set_result != 0)
        return forced->set_result;
    if (selector == first_level_selector) {
        if (const Result failed = current_driver->read(world.figures)) {
            if (failed == device_not_connected) {
                // The device has left the system: it fails every exchange and no longer enumerates.
                world.unplugged = true;
                std::erase_if(world.devices, [](const Device &d) {
                    return d.kind == FilterKind::tuner || d.kind == FilterKind::capture;
                });
            }
            return failed;
        }
    }
    world.last_set_selector = selector;
    world.set_done = true;
    return 0;
}

Result property_get(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes)
{
    bytes = 0;
    if (world.unplugged)
        return device_not_connected;
    if (!world.set_done || world.last_set_selector != selector)
        return unexpected; // the driver answers only the selector it was just given
    if (const PropertyAnswer *forced = override_for(selector)) {
        if (forced->get_result != 0)
            return forced->get_result;
        value = forced->value;
        bytes = forced->bytes;
        return 0;
    }
    bool known = false;
    const std::uint32_t figure = figure_byte(selector, known);
    if (!known)
        return invalid_argument;
    if (selector >= 0xA020 && selector <= 0xA220 && !world.figures.error_counts)
        return not_supported;
    // The upper bytes carry other registers of the demodulator.
    const std::uint32_t other = (world.figures.level_value * 0x9E3779B1u ^ selector) & 0xFFFFFF;
    value = other << 8 | figure;
    bytes = 4;
    return 0;
}

} // namespace tuning
