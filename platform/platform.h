// The one way out of the system: COM, DirectShow with the BDA tuning model, and the tuner's
// driver. On Windows these are the SDK itself; elsewhere the project's own declarations, backed
// by the simulated tuning platform.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
// The DirectShow headers bring strsafe.h, which would rename the C library's swprintf.
#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE
#endif
// Order matters: each SDK header needs the ones before it.
// clang-format off
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <shellapi.h>
#include <dshow.h>
#include <ks.h>
#include <ksproxy.h>
#include <bdatypes.h>
#include <tuner.h>
// clang-format on
#else
#include "platform/compat/com.h"
#include "platform/compat/crt.h"
#include "platform/compat/dshow.h"
#include "platform/compat/fileapi.h"
#include "platform/compat/shellapi.h"
#include "platform/compat/stringapiset.h"
#include "platform/compat/tuner.h"
#include "platform/compat/wingdi.h"
#include "platform/compat/winuser.h"
#endif

#include "platform/metrics.h"
#include "platform/sample_record.h"
#include "platform/sound.h"
#include "platform/system_guids.h"
#include "platform/texts.h"
#include "platform/tuner_level.h"

// A tuner another program holds can only be watched (Linux): the program then tunes nothing, and
// what the tuner receives is what the other program tuned, the frequency in kHz that
// watching_tuner reports. watch_tuner_only asks for that even when no program holds the tuner.
// On Windows the program owns the tuner it tunes and receives what it requested.
// What the tuner's driver reported with the sample just taken, beside the vendor property's
// figures: on Linux a kernel frontend's statistics; on Windows the vendor property is all there is.
// The tuner itself, for the outputs that name it (the metrics, on Linux).
// The receivers of a Linux machine: use_tuner_device takes the one at a path the user named
// (a DVB frontend or a PT or PX tuner's node), "" once it is in use, else what is wrong with the
// path; list_tuners writes one line per receiver on standard output, false when it could not.
#ifdef _WIN32
inline bool watching_tuner(int &) { return false; }
inline void watch_tuner_only() {}
inline ReceiverFigures receiver_figures() { return {}; }
inline TunerSource tuner_source() { return {}; }
#else
bool watching_tuner(int &frequency_khz);
void watch_tuner_only();
ReceiverFigures receiver_figures();
TunerSource tuner_source();
std::wstring use_tuner_device(const std::wstring &path);
bool list_tuners();
#endif
