// The alignment tone through PulseAudio's client library, which PipeWire's PulseAudio server
// answers too: a playback stream fed from the library's own thread. Starting waits at most a
// second for the server; a server that is missing, refuses or fails is one line, and silence.
#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/sound.h"
#include "platform/tone/tone.h"

namespace {

enum class State { connecting, playing, failed };

struct Output {
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    State state = State::connecting;
};

Output output;

const auto answer_limit = std::chrono::seconds(1);
const int buffered_ms = 50; // what the server holds ahead: the pitch follows within about this

// The library's own words are translated; these are the same under every locale.
const char *reason_for(int error)
{
    switch (error) {
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_NOENTITY:
    case PA_ERR_INVALIDSERVER: return "no sound server";
    case PA_ERR_ACCESS: return "the sound server refused access";
    case PA_ERR_TIMEOUT: return "the sound server does not answer";
    case PA_ERR_CONNECTIONTERMINATED: return "the sound server went away";
    default: return "the sound server failed";
    }
}

// On the library's thread.
void settle(State state, const char *reason = nullptr)
{
    {
        const std::lock_guard<std::mutex> lock(output.mutex);
        if (output.state == State::failed)
            return;
        output.state = state;
    }
    output.changed.notify_all();
    if (reason != nullptr)
        tone::report_no_sound(reason);
}

void write_samples(pa_stream *stream, size_t bytes, void *)
{
    void *data = nullptr;
    if (pa_stream_begin_write(stream, &data, &bytes) < 0 || data == nullptr)
        return;
    tone::synth().render(static_cast<std::int16_t *>(data), bytes / sizeof(std::int16_t));
    pa_stream_write(stream, data, bytes - bytes % sizeof(std::int16_t), nullptr, 0, PA_SEEK_RELATIVE);
}

void stream_state_changed(pa_stream *stream, void *)
{
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY: settle(State::playing); break;
    case PA_STREAM_FAILED: settle(State::failed, reason_for(pa_context_errno(output.context))); break;
    default: break;
    }
}

void open_stream(pa_context *context)
{
    const pa_sample_spec samples = {PA_SAMPLE_S16LE, tone::sample_rate, 1};
    output.stream = pa_stream_new(context, "alignment tone", &samples, nullptr);
    if (output.stream == nullptr) {
        settle(State::failed, reason_for(pa_context_errno(context)));
        return;
    }
    pa_stream_set_state_callback(output.stream, stream_state_changed, nullptr);
    pa_stream_set_write_callback(output.stream, write_samples, nullptr);
    const auto bytes = static_cast<std::uint32_t>(pa_usec_to_bytes(buffered_ms * PA_USEC_PER_MSEC, &samples));
    const pa_buffer_attr buffering = {static_cast<std::uint32_t>(-1), bytes, static_cast<std::uint32_t>(-1), bytes / 4,
                                      static_cast<std::uint32_t>(-1)};
    if (pa_stream_connect_playback(output.stream, nullptr, &buffering, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        settle(State::failed, reason_for(pa_context_errno(context)));
}

void context_state_changed(pa_context *context, void *)
{
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: open_stream(context); break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: settle(State::failed, reason_for(pa_context_errno(context))); break;
    default: break;
    }
}

} // namespace

void start_tone()
{
    if (output.loop != nullptr)
        return;
    tone::arm_report();
    tone::synth().set_pitch(0);
    output.state = State::connecting;
    output.loop = pa_threaded_mainloop_new();
    if (output.loop == nullptr) {
        tone::report_no_sound("the sound library cannot start");
        return;
    }
    output.context = pa_context_new(pa_threaded_mainloop_get_api(output.loop), "Quorvex");
    if (output.context == nullptr) {
        tone::report_no_sound("the sound library cannot start");
        stop_tone();
        return;
    }
    pa_context_set_state_callback(output.context, context_state_changed, nullptr);
    // No server is started for the program: one that is not running is no sound.
    if (pa_context_connect(output.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(output.loop) < 0) {
        tone::report_no_sound(reason_for(pa_context_errno(output.context)));
        stop_tone();
        return;
    }
    std::unique_lock<std::mutex> lock(output.mutex);
    if (!output.changed.wait_for(lock, answer_limit, [] { return output.state != State::connecting; })) {
        output.state = State::failed;
        lock.unlock();
        tone::report_no_sound(reason_for(PA_ERR_TIMEOUT));
        stop_tone();
        return;
    }
    if (output.state == State::failed) {
        lock.unlock();
        stop_tone();
    }
}

void set_tone_pitch(double hz) { tone::synth().set_pitch(hz); }

void play_tone_tick() { tone::synth().tick(); }

void stop_tone()
{
    if (output.loop == nullptr)
        return;
    bool playing = false;
    {
        const std::lock_guard<std::mutex> lock(output.mutex);
        playing = output.state == State::playing;
    }
    if (playing)
        tone::fade_out(buffered_ms);
    // With the library's thread stopped, its objects are the caller's alone; their ends are no
    // failure to report.
    pa_threaded_mainloop_stop(output.loop);
    if (output.stream != nullptr) {
        pa_stream_set_state_callback(output.stream, nullptr, nullptr);
        pa_stream_disconnect(output.stream);
        pa_stream_unref(output.stream);
    }
    if (output.context != nullptr) {
        pa_context_set_state_callback(output.context, nullptr, nullptr);
        pa_context_disconnect(output.context);
        pa_context_unref(output.context);
    }
    pa_threaded_mainloop_free(output.loop);
    output.loop = nullptr;
    output.context = nullptr;
    output.stream = nullptr;
}
