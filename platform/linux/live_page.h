// The live page: what the window shows, in a browser, for a receiver without a screen. A document,
// its script and its style, all served from the metrics' own address and nothing from another
// host, and a stream of server-sent events, one a tick, that the script draws from. Read-only: the
// page changes no setting.
#pragma once

#include <string>

#include "platform/linux/metrics_page.h"

namespace linux_platform {

extern const char *const live_page_document; // at /
extern const char *const live_page_script;   // at /page.js
extern const char *const live_page_style;    // at /page.css
// What the page may load, as its Content-Security-Policy: its own script, style and events only.
extern const char *const live_page_policy;

// The event that carries the snapshot to every open page: its figures as JSON in one data line,
// with the count of samples as the event's id.
std::string live_page_event(const MetricsSnapshot &snapshot);

} // namespace linux_platform
