#include "platform/linux/live_page.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace linux_platform {

// The window's client area, 334 x 171, at the page's top left: the chart drawn on a canvas of
// that size at the window's coordinates, the texts at the window's places over it in the fonts the
// window's faces find on Debian (its 12-pixel cell holds an 11-pixel font), and the settings
// strip read-only. Below it, the settings in force and the last sample in words.
const char *const live_page_document = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Quorvex</title>
<link rel="stylesheet" href="/page.css">
<script src="/page.js" defer></script>
</head>
<body>
<div id="window">
<canvas id="chart" width="334" height="171"></canvas>
<span class="scale" id="unit">(dB)</span><span class="scale" id="top">100</span><span class="scale" id="middle"> 50</span><span class="scale" id="bottom">  0</span>
<div id="header"></div>
<span id="value"></span>
<span id="peak"></span>
<span class="label" id="interval-label">Interval:</span><span class="field" id="interval"></span><span class="label" id="seconds-label">(s)</span>
<span class="label" id="channel-label">Ch:</span><span class="field" id="channel"></span><span id="catv">CATV</span>
</div>
<table id="settings">
<tr><th>Channel</th><td id="channel-in-force"></td></tr>
<tr><th>Band</th><td id="band"></td></tr>
<tr><th>Frequency</th><td id="frequency"></td></tr>
<tr><th>Interval</th><td id="interval-in-force"></td></tr>
<tr><th>Mode</th><td id="mode"></td></tr>
<tr><th>Tuner</th><td id="tuner"></td></tr>
<tr><th>Last sample</th><td id="sample"></td></tr>
<tr><th>Samples</th><td id="samples"></td></tr>
</table>
<p id="status">connecting</p>
<p><a href="/metrics">Metrics</a></p>
</body>
</html>
)";

// The chart as the window draws it, pixel for pixel: GDI's rectangles leave out their right and
// bottom edges, a bar is outlined in the default black pen, and a level draws a bar as high as
// its whole decibels, one to the pixel from y = 120, none at or below 0 dB.
const char *const live_page_script = R"("use strict";
const chart = document.getElementById("chart").getContext("2d");
const black = "#000000";
const grid = "#408080";
const bar = "#32ff00";
const peak = "#ff6000";
const verdicts = {"": "#a0a0a0", good: "#a0ffa0", marginal: "#ffe600", failing: "#ff4040"};

function fill(left, top, right, bottom, colour) {
  chart.fillStyle = colour;
  chart.fillRect(left, top, right - left, bottom - top);
}

function outlined(left, top, right, bottom, colour) {
  fill(left, top, right, bottom, black);
  if (right - left > 2 && bottom - top > 2)
    fill(left + 1, top + 1, right - 1, bottom - 1, colour);
}

function draw(view) {
  chart.clearRect(0, 0, 334, 171);
  outlined(19, 19, 322, 122, black);
  for (let x = 20; x <= 320; x += 10)
    fill(x, 20, x + 1, 120, grid);
  for (let y = 20; y <= 120; y += 10)
    fill(20, y, 320, y + 1, grid);
  fill(30, 168, 230, 169, grid);
  // In alignment mode, a line for each layer in use, on black over the grid.
  chart.font = '11px "MS UI Gothic", IPAPGothic, "Noto Sans CJK JP", sans-serif';
  chart.textBaseline = "top";
  view.layers.forEach((layer, i) => {
    const top = 22 + 13 * i;
    fill(21, top, 210, top + 13, black);
    chart.fillStyle = verdicts[layer.verdict];
    chart.fillText(layer.layer, 24, top);
    chart.fillText(layer.modulation + " " + layer.code_rate, 36, top);
    const margin = layer.margin === null ? "--" : (layer.margin < 0 ? "" : "+") + layer.margin.toFixed(1);
    chart.textAlign = "right";
    chart.fillText(margin, 134, top);
    chart.textAlign = "left";
    chart.fillText("dB", 138, top);
    chart.fillText(layer.verdict || "--", 158, top);
  });
  view.levels.forEach((level, i) => {
    if (level !== null && level > 0) {
      const x = 22 + 10 * i;
      outlined(x, 120 - Math.trunc(level), x + 7, 120, bar);
    }
  });
  if (view.alignment && view.peak !== null && view.peak > 0) {
    const y = 120 - Math.trunc(view.peak);
    fill(20, y - 1, 321, y + 1, peak);
  }
}

function show(id, text) {
  document.getElementById(id).textContent = text;
}

function update(view) {
  draw(view);
  show("header", view.header);
  show("value", view.value);
  show("peak", view.alignment ? "Peak " + (view.peak === null ? "  --" : view.peak.toFixed(1).padStart(4)) + " dB" : "");
  show("interval", String(view.interval_s));
  show("channel", view.off_plan ? "" : String(view.channel));
  document.getElementById("catv").classList.toggle("checked", view.band === "CATV");
  show("channel-in-force", view.off_plan ? "none: the frequency is on neither plan" : String(view.channel));
  show("band", view.off_plan ? "" : view.band);
  show("frequency", (view.frequency_khz / 1000).toFixed(3) + " MHz");
  show("interval-in-force", view.interval_s + " s");
  show("mode", view.alignment ? "alignment, 4 samples/s" : "a sample every interval");
  show("tuner", view.driver + (view.device ? " " + view.device : "") + (view.watched ? ", watched: another program tunes it" : ""));
  show("sample", view.samples === 0 ? "none yet" : new Date(view.time * 1000).toISOString() + ", " + view.state);
  show("samples", String(view.samples));
}

const events = new EventSource("/events");
events.onopen = () => show("status", "live: a sample at every tick");
// The browser connects again by itself, unless the server refused the page (too many open).
events.onerror = () => show("status", events.readyState === EventSource.CLOSED ? "refused: too many pages open" : "reconnecting");
events.onmessage = (message) => update(JSON.parse(message.data));
)";

const char *const live_page_style = R"(body { margin: 0; font: 13px sans-serif; }
#window { position: relative; width: 334px; height: 171px; background: #f0f0f0; overflow: hidden;
          font: 11px "MS UI Gothic", IPAPGothic, "Noto Sans CJK JP", sans-serif; line-height: 12px; }
#window > * { position: absolute; white-space: pre; }
#chart { left: 0; top: 0; }
.scale { left: 2px; font: 9px "DejaVu Sans Mono", monospace; line-height: 9px; }
#unit { top: 8px; }
#top { top: 18px; }
#middle { top: 68px; }
#bottom { top: 118px; }
#header { left: 30px; top: 5px; width: 280px; text-align: center; }
#value { left: 305px; top: 125px; }
#peak { left: 22px; top: 125px; color: #ff6000; }
#interval-label { left: 35px; top: 155px; }
#interval { left: 77px; top: 154px; width: 15px; }
#seconds-label { left: 95px; top: 155px; }
#channel-label { left: 125px; top: 155px; }
#channel { left: 145px; top: 154px; width: 15px; }
.field { height: 12px; text-align: right; background: #ffffff; }
#catv { left: 175px; top: 154px; padding-left: 15px; }
#catv::before { content: "\2610"; position: absolute; left: 0; }
#catv.checked::before { content: "\2611"; }
#settings { margin: 8px 0 0 8px; border-collapse: collapse; }
#settings th { text-align: left; padding: 1px 12px 1px 0; font-weight: normal; color: #555555; }
#status, p { margin: 8px; }
)";

const char *const live_page_policy = "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
                                     "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

namespace {

// JSON has no infinities: a level without a value is null.
std::string json_number(double value)
{
    if (!std::isfinite(value))
        return "null";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string json_text(const std::string &text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string json_flag(bool flag) { return flag ? "true" : "false"; }

std::string json_name(const char *name) { return json_text(name == nullptr ? "--" : name); }

// The lines alignment mode writes over the chart: the layers in use, where the receiver reports
// them.
std::string json_layers(const WindowView &view, const ReceiverFigures &receiver)
{
    std::string layers;
    for (int layer = 0; layer < isdbt_layers && view.alignment && receiver.layers_known; ++layer) {
        const LayerReport &report = receiver.layers[layer];
        if (!report.in_use)
            continue;
        layers += std::string(layers.empty() ? "" : ",") + "{\"layer\":\"" + static_cast<char>('A' + layer) +
                  "\",\"modulation\":" + json_name(report.modulation) +
                  ",\"code_rate\":" + json_name(report.code_rate) +
                  ",\"margin\":" + (report.margin_db.given ? json_number(report.margin_db.value) : "null") +
                  ",\"verdict\":" + json_text(layer_verdict_word(report.verdict)) + "}";
    }
    return "[" + layers + "]";
}

} // namespace

std::string live_page_event(const MetricsSnapshot &snapshot)
{
    const std::uint64_t samples =
        std::accumulate(std::begin(snapshot.samples), std::end(snapshot.samples), std::uint64_t{0});
    const SampleRecord &last = snapshot.last;
    const WindowView &view = snapshot.view;
    std::string levels;
    for (const double level : view.levels) {
        // Appended apart: GCC 12 at -O3 takes a literal joined to a temporary for an overlapping copy.
        levels += levels.empty() ? "" : ",";
        levels += json_number(level);
    }
    return "id: " + std::to_string(samples) + "\ndata: {\"samples\":" + std::to_string(samples) +
           ",\"time\":" + std::to_string(last.time) + ",\"state\":" + json_text(sample_state_word(last.state)) +
           ",\"header\":" + json_text(view.header) + ",\"value\":" + json_text(view.value) + ",\"levels\":[" + levels +
           "],\"channel\":" + std::to_string(last.channel) +
           ",\"band\":" + (is_cable(last.catv) ? "\"CATV\"" : "\"UHF\"") +
           ",\"frequency_khz\":" + std::to_string(last.frequency_khz) + ",\"off_plan\":" + json_flag(last.off_plan) +
           ",\"interval_s\":" + std::to_string(view.interval_s) + ",\"alignment\":" + json_flag(view.alignment) +
           ",\"peak\":" + (view.peak_held ? json_number(view.peak_level_db) : "null") +
           ",\"layers\":" + json_layers(view, last.receiver) + ",\"driver\":" + json_text(last.tuner.driver) +
           ",\"device\":" + json_text(last.tuner.device) + ",\"watched\":" + json_flag(last.tuner.watched) + "}\n\n";
}

} // namespace linux_platform
