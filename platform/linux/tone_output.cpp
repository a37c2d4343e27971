// The alignment tone through PulseAudio's client library, which PipeWire's PulseAudio server
// answers too: a playback stream fed from the library's own thread. Everything that talks to the
// server happens on that thread, so the caller never waits for it. A server that is missing,
// refuses, goes away or does not answer within a second is one line, and silence; the library's
// thread tries again once a second, and when a server answers the tone plays again, with one line.
#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>

#include "platform/sound.h"
#include "platform/texts.h"
#include "platform/tone/tone.h"

namespace {

struct Output {
    pa_threaded_mainloop *loop = nullptr;
    pa_time_event *retry = nullptr;
    // The library thread's own while the loop runs; the caller's once it has stopped.
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    std::atomic<bool> sounding{false};
};

Output output;

// How long an attempt may wait for the server's answer, and how long after a loss the next starts.
const pa_usec_t retry_after = PA_USEC_PER_SEC;
const int buffered_ms = 50; // what the server holds ahead: the pitch follows within about this

// In the program's words, which its catalogue translates, rather than the library's.
const char *reason_for(int error)
{
    switch (error) {
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_NOENTITY:
    case PA_ERR_INVALIDSERVER: return translated("no sound server");
    case PA_ERR_ACCESS: return translated("the sound server refused access");
    case PA_ERR_TIMEOUT: return translated("the sound server does not answer");
    case PA_ERR_CONNECTIONTERMINATED: return translated("the sound server went away");
    default: return translated("the sound server failed");
    }
}

// The functions below run on the library's thread, and drop_connection on the caller's too once
// the loop has stopped.

void try_again_later()
{
    timeval at{};
    pa_timeval_add(pa_gettimeofday(&at), retry_after);
    pa_threaded_mainloop_get_api(output.loop)->time_restart(output.retry, &at);
}

void lose(const char *reason)
{
    output.sounding = false;
    tone::report_no_sound(reason);
    try_again_later();
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
    case PA_STREAM_READY:
        output.sounding = true;
        tone::report_sound_back();
        break;
    case PA_STREAM_FAILED: lose(reason_for(pa_context_errno(output.context))); break;
    default: break;
    }
}

void open_stream(pa_context *context)
{
    const pa_sample_spec samples = {PA_SAMPLE_S16LE, tone::sample_rate, 1};
    output.stream = pa_stream_new(context, "alignment tone", &samples, nullptr);
    if (output.stream == nullptr) {
        lose(reason_for(pa_context_errno(context)));
        return;
    }
    pa_stream_set_state_callback(output.stream, stream_state_changed, nullptr);
    pa_stream_set_write_callback(output.stream, write_samples, nullptr);
    tone::synth().start_from_silence();
    const auto bytes = static_cast<std::uint32_t>(pa_usec_to_bytes(buffered_ms * PA_USEC_PER_MSEC, &samples));
    const pa_buffer_attr buffering = {static_cast<std::uint32_t>(-1), bytes, static_cast<std::uint32_t>(-1), bytes / 4,
                                      static_cast<std::uint32_t>(-1)};
    if (pa_stream_connect_playback(output.stream, nullptr, &buffering, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        lose(reason_for(pa_context_errno(context)));
}

void context_state_changed(pa_context *context, void *)
{
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: open_stream(context); break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: lose(reason_for(pa_context_errno(context))); break;
    default: break;
    }
}

// The ends of a connection the program lets go are no loss to report: the callbacks go first.
// A failed connection is let go here too, never inside its own callbacks.
void drop_connection()
{
    if (output.stream != nullptr) {
        pa_stream_set_state_callback(output.stream, nullptr, nullptr);
        pa_stream_disconnect(output.stream);
        pa_stream_unref(output.stream);
        output.stream = nullptr;
    }
    if (output.context != nullptr) {
        pa_context_set_state_callback(output.context, nullptr, nullptr);
        pa_context_disconnect(output.context);
        pa_context_unref(output.context);
        output.context = nullptr;
    }
}

void connect()
{
    output.context = pa_context_new(pa_threaded_mainloop_get_api(output.loop), "Quorvex");
    if (output.context == nullptr) {
        lose(translated("the sound library cannot start"));
        return;
    }
    pa_context_set_state_callback(output.context, context_state_changed, nullptr);
    // No server is started for the program: one that is not running is no sound.
    if (pa_context_connect(output.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        lose(reason_for(pa_context_errno(output.context)));
}

// At the start, a second after each attempt and a second after a loss, unless the tone plays:
// an attempt still on its way has waited long enough, and a new one starts.
void try_again(pa_mainloop_api *, pa_time_event *, const timeval *, void *)
{
    if (output.sounding)
        return;
    if (output.context != nullptr && PA_CONTEXT_IS_GOOD(pa_context_get_state(output.context)))
        tone::report_no_sound(reason_for(PA_ERR_TIMEOUT));
    drop_connection();
    try_again_later();
    connect();
}

} // namespace

void start_tone()
{
    if (output.loop != nullptr)
        return;
    tone::arm_report();
    tone::synth().set_pitch(0);
    output.sounding = false;
    output.loop = pa_threaded_mainloop_new();
    if (output.loop != nullptr) {
        // The loop is not running yet, so its events are the caller's to set: the first attempt at once.
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(output.loop);
        timeval now{};
        output.retry = api->time_new(api, pa_gettimeofday(&now), try_again, nullptr);
        if (pa_threaded_mainloop_start(output.loop) >= 0)
            return;
        pa_threaded_mainloop_free(output.loop);
        output.loop = nullptr;
    }
    tone::report_no_sound(translated("the sound library cannot start"));
}

void set_tone_pitch(double hz) { tone::synth().set_pitch(hz); }

void play_tone_tick() { tone::synth().tick(); }

void stop_tone()
{
    if (output.loop == nullptr)
        return;
    if (output.sounding)
        tone::fade_out(buffered_ms);
    // Waits only for the callback under way, none of which waits for the server.
    pa_threaded_mainloop_stop(output.loop);
    drop_connection();
    pa_threaded_mainloop_free(output.loop);
    output.loop = nullptr;
    output.retry = nullptr;
}
