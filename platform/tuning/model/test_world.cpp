#include "platform/tuning/model/test_world.h"

#include <cstdio>
#include <initializer_list>
#include <map>

#include "platform/tuning/model/observer.h"

namespace tuning {

namespace {

struct Fault {
    std::string op;
    Result result;
    int at_call;
    int times;
    int seen = 0;
};

struct Object {
    const char *kind;
    long references;
    int generation;
    std::function<void()> free; // empty once freed
};

class TestWorld final : public Observer {
public:
    TestWorld() = default;
    // The zombies go with the world, at the latest when the process ends.
    ~TestWorld() override { free_zombies(); }
    TestWorld(const TestWorld &) = delete;
    TestWorld &operator=(const TestWorld &) = delete;

    Result call(std::string_view op, const std::string &arg, bool on_object) override
    {
        if (on_object)
            note_object_call();
        if (recording)
            calls.push_back({std::string(op), arg});
        log_line({"call", op, arg});
        return injected_result(op, arg);
    }

    int track(const char *kind, std::function<void()> free) override
    {
        objects.push_back({kind, 1, generation, std::move(free)});
        return static_cast<int>(objects.size()) - 1;
    }

    long add_ref(int id) override
    {
        note_object_call();
        return ++objects[id].references;
    }

    long release(int id) override
    {
        Object &object = objects[id];
        if (std::string_view(object.kind) != "BSTR") // strings belong to no apartment
            note_object_call();
        if (object.references == 0) {
            ++over_released;
            return -1;
        }
        return --object.references;
    }

    const PropertyAnswer *forced_answer(std::uint32_t selector) override
    {
        const auto found = answers.find(selector);
        if (found != answers.end())
            return &found->second;
        return answer_every_selector ? &every_selector_answer : nullptr;
    }

    void restart()
    {
        ++generation;
        free_zombies();
        faults.clear();
        recording = true;
        calls.clear();
        calls_outside_apartment = 0;
        over_released = 0;
        answers.clear();
        answer_every_selector = false;
    }

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

    std::vector<Fault> faults;
    bool recording = true;
    std::vector<Call> calls;
    int calls_outside_apartment = 0;
    int over_released = 0;
    std::map<std::uint32_t, PropertyAnswer> answers;
    bool answer_every_selector = false;
    PropertyAnswer every_selector_answer;
    std::vector<Object> objects; // outlives reset(), so late releases of old objects stay harmless
    int generation = 0;
    std::FILE *log_file = nullptr;

private:
    void free_zombies()
    {
        for (Object &object : objects) {
            if (object.references == 0 && object.free) {
                std::function<void()> free = std::move(object.free);
                object.free = nullptr;
                free();
            }
        }
    }

    void note_object_call()
    {
        if (apartment_closed())
            ++calls_outside_apartment;
    }

    Result injected_result(std::string_view op, const std::string &arg)
    {
        const std::string qualified = std::string(op) + " " + arg;
        Result injected = 0;
        for (Fault &fault : faults) {
            if (fault.op != op && fault.op != qualified)
                continue;
            ++fault.seen;
            const bool hit =
                fault.seen >= fault.at_call && (fault.times == 0 || fault.seen < fault.at_call + fault.times);
            if (hit && injected == 0)
                injected = fault.result;
        }
        std::erase_if(faults, [](const Fault &f) { return f.times != 0 && f.seen >= f.at_call + f.times - 1; });
        return injected;
    }
};

TestWorld world;

} // namespace

void reset()
{
    reset_for_program();
    world.restart();
    observer = &world;
}

void fail(std::string op, Result result, int at_call, int times)
{
    world.faults.push_back({std::move(op), result, at_call, times});
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

std::vector<LiveObject> live_objects()
{
    std::vector<LiveObject> live;
    for (const Object &object : world.objects)
        if (object.generation == world.generation && object.references > 0)
            live.push_back({object.kind, object.references});
    return live;
}

int over_releases() { return world.over_released; }

int calls_outside_apartment() { return world.calls_outside_apartment; }

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

void log_to_file(const std::string &path)
{
    if (world.log_file == nullptr)
        world.log_file = std::fopen(path.c_str(), "ab"); // the same bytes on every platform
}

void write_live_objects()
{
    const std::vector<LiveObject> live = live_objects();
    for (const LiveObject &object : live)
        world.log_line({"live", object.kind, std::to_string(object.references)});
    world.log_line({"live-objects", std::to_string(live.size())});
    world.log_line({"over-releases", std::to_string(world.over_released)});
}

} // namespace tuning
