// The alignment tone through winmm's wave output: a few short buffers in turn, each filled again
// by a thread of the program's own as the device hands it back. A device that cannot be opened,
// or that fails while playing, is one line, and silence.
#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/sound.h"
#include "platform/tone/tone.h"

namespace {

const int buffer_count = 4;
const int buffer_samples = tone::sample_rate / 50; // 20 ms: the pitch follows within 80 ms

HWAVEOUT device = nullptr;
HANDLE buffer_done = nullptr;
HANDLE feeder = nullptr;
std::atomic<bool> stopping{false};
WAVEHDR headers[buffer_count];
std::int16_t buffers[buffer_count][buffer_samples];

// The system's own texts are translated; these are the same in every language.
const char *reason_for(MMRESULT result)
{
    switch (result) {
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_NODRIVER: return "no sound device";
    case MMSYSERR_ALLOCATED: return "the sound device is in use";
    case MMSYSERR_NOMEM: return "not enough memory for the sound device";
    default: return "the sound device failed";
    }
}

bool queue(WAVEHDR &header)
{
    tone::synth().render(reinterpret_cast<std::int16_t *>(header.lpData), buffer_samples);
    const MMRESULT result = waveOutWrite(device, &header, sizeof header);
    if (result != MMSYSERR_NOERROR)
        tone::report_no_sound(reason_for(result));
    return result == MMSYSERR_NOERROR;
}

DWORD WINAPI feed(LPVOID)
{
    bool playing = true;
    while (playing && !stopping.load()) {
        WaitForSingleObject(buffer_done, INFINITE);
        for (WAVEHDR &header : headers)
            if (playing && !stopping.load() && (header.dwFlags & WHDR_DONE) != 0)
                playing = queue(header);
    }
    return 0;
}

} // namespace

void start_tone()
{
    if (device != nullptr)
        return;
    tone::arm_report();
    tone::synth().set_pitch(0);
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = tone::sample_rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = sizeof(std::int16_t);
    format.nAvgBytesPerSec = tone::sample_rate * format.nBlockAlign;
    buffer_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const MMRESULT opened =
        waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(buffer_done), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        device = nullptr;
        tone::report_no_sound(reason_for(opened));
        CloseHandle(buffer_done);
        buffer_done = nullptr;
        return;
    }
    stopping = false;
    for (int i = 0; i < buffer_count; ++i) {
        headers[i] = {};
        headers[i].lpData = reinterpret_cast<LPSTR>(buffers[i]);
        headers[i].dwBufferLength = sizeof buffers[i];
        waveOutPrepareHeader(device, &headers[i], sizeof headers[i]);
        // Prepared, not yet played: the feeder fills it at once.
        headers[i].dwFlags |= WHDR_DONE;
    }
    feeder = CreateThread(nullptr, 0, feed, nullptr, 0, nullptr);
    SetEvent(buffer_done);
}

void set_tone_pitch(double hz) { tone::synth().set_pitch(hz); }

void play_tone_tick() { tone::synth().tick(); }

void stop_tone()
{
    if (device == nullptr)
        return;
    tone::fade_out(buffer_count * buffer_samples * 1000 / tone::sample_rate);
    stopping = true;
    SetEvent(buffer_done);
    if (feeder != nullptr) {
        WaitForSingleObject(feeder, INFINITE);
        CloseHandle(feeder);
        feeder = nullptr;
    }
    // Hands every buffer back, so each can be unprepared.
    waveOutReset(device);
    for (WAVEHDR &header : headers)
        waveOutUnprepareHeader(device, &header, sizeof header);
    waveOutClose(device);
    device = nullptr;
    CloseHandle(buffer_done);
    buffer_done = nullptr;
}
