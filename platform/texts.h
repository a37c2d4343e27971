// Texts for people (help, usage errors, the lines on standard error that say what to do) in the
// user's language; texts for scripts (the console line, the log, the metrics) never pass here.
// On Linux, the gettext catalogue of the domain "quorvex" for the locale's messages; on Windows the
// text itself, since a program with a window has no standard error a user reads.
#pragma once

#include <string>

// Marks a text for the catalogue that is translated where it is shown, and shown as it is elsewhere.
constexpr const char *for_translation(const char *english) { return english; }
// The translation of a format keeps its conversions, which the compiler checks against the English.
#ifdef __GNUC__
#define QUORVEX_FORMAT_ARG [[gnu::format_arg(1)]]
#else
#define QUORVEX_FORMAT_ARG
#endif
#ifdef _WIN32
QUORVEX_FORMAT_ARG inline const char *translated(const char *english) { return english; }
#else
QUORVEX_FORMAT_ARG const char *translated(const char *english);
#endif

// printf's text, for a translated line that is not written at once.
#ifdef __GNUC__
[[gnu::format(printf, 1, 2)]]
#endif
std::string
formatted(const char *pattern, ...);
