#include "platform/linux/metrics_page.h"

#include <charconv>
#include <cmath>
#include <initializer_list>

namespace linux_platform {

namespace {

const char *const layers[] = {"a", "b", "c"};

struct Counted {
    FrontendCounter kind;
    const char *name;
    const char *help;
};
const Counted counted[] = {
    {pre_error_bits, "quorvex_frontend_pre_error_bits_total", "Bits in error before the inner code."},
    {pre_bits, "quorvex_frontend_pre_bits_total", "Bits counted before the inner code."},
    {post_error_bits, "quorvex_frontend_post_error_bits_total", "Bits in error after the inner code."},
    {post_bits, "quorvex_frontend_post_bits_total", "Bits counted after the inner code."},
    {error_blocks, "quorvex_frontend_error_blocks_total", "Blocks received in error."},
    {blocks, "quorvex_frontend_blocks_total", "Blocks received."},
};

// Numbers as Prometheus reads them, whatever the locale: whole numbers whole, the others in the
// shortest form that reads back the same.
std::string number(double value)
{
    char text[32];
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::string(text, std::to_chars(text, text + sizeof text, static_cast<long long>(value)).ptr);
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string label(const std::string &value)
{
    std::string escaped;
    for (const char c : value) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '"': escaped += "\\\""; break;
        case '\n': escaped += "\\n"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

void family(std::string &page, const char *name, const char *type, const char *help)
{
    page += "# HELP ";
    page += name;
    page += ' ';
    page += help;
    page += "\n# TYPE ";
    page += name;
    page += ' ';
    page += type;
    page += '\n';
}

void sample(std::string &page, const char *name, const std::string &labels, double value, const std::string &at = {})
{
    page += name;
    if (!labels.empty())
        page += '{' + labels + '}';
    page += ' ' + number(value);
    if (!at.empty())
        page += ' ' + at;
    page += '\n';
}

// The whole (index 0) unlabelled, then one value per layer.
template <typename Value> void per_layer(std::string &page, const char *name, std::uint8_t length, Value value)
{
    for (std::uint8_t index = 0; index < length && index < MAX_DTV_STATS; ++index)
        sample(page, name, index == 0 ? "" : std::string("layer=\"") + layers[index - 1] + "\"", value(index));
}

void decibels(std::string &page, const char *name, const char *help, const dtv_fe_stats &statistic)
{
    std::uint8_t length = 0;
    while (length < statistic.len && length < MAX_DTV_STATS && statistic.stat[length].scale == FE_SCALE_DECIBEL)
        ++length;
    if (length == 0)
        return;
    family(page, name, "gauge", help);
    per_layer(page, name, length, [&](int i) { return static_cast<double>(statistic.stat[i].svalue) / 1000.0; });
}

void frontend(std::string &page, const tuning::Statistics &statistics, const FrontendCounters &counters)
{
    family(page, "quorvex_frontend_status", "gauge", "The frontend's status flags at the last sample, 1 when set.");
    const std::pair<const char *, std::uint32_t> flags[] = {{"signal", FE_HAS_SIGNAL},
                                                            {"carrier", FE_HAS_CARRIER},
                                                            {"viterbi", FE_HAS_VITERBI},
                                                            {"sync", FE_HAS_SYNC},
                                                            {"lock", FE_HAS_LOCK}};
    for (const auto &[flag, bit] : flags)
        sample(page, "quorvex_frontend_status", std::string("flag=\"") + flag + "\"",
               (statistics.status & bit) != 0 ? 1 : 0);
    decibels(page, "quorvex_frontend_carrier_to_noise_decibels", "The carrier-to-noise ratio the driver reports.",
             statistics.cnr);
    decibels(page, "quorvex_frontend_signal_strength_dbm",
             "The signal strength the driver reports, in dB relative to a milliwatt.", statistics.strength);
    for (const Counted &c : counted) {
        if (counters.length[c.kind] == 0)
            continue;
        family(page, c.name, "counter", c.help);
        per_layer(page, c.name, counters.length[c.kind],
                  [&](int i) { return static_cast<double>(counters.counter[c.kind][i].total); });
    }
}

} // namespace

void count_frontend(const tuning::Statistics &statistics, FrontendCounters &counters)
{
    const dtv_fe_stats *by_kind[counter_kinds] = {&statistics.pre_errors,   &statistics.pre_total,
                                                  &statistics.post_errors,  &statistics.post_total,
                                                  &statistics.error_blocks, &statistics.total_blocks};
    for (int kind = 0; kind < counter_kinds; ++kind) {
        const dtv_fe_stats &statistic = *by_kind[kind];
        std::uint8_t length = 0;
        for (; length < statistic.len && length < MAX_DTV_STATS; ++length) {
            if (statistic.stat[length].scale != FE_SCALE_COUNTER)
                break;
            counters.counter[kind][length].count(statistic.stat[length].uvalue);
        }
        // A counter once offered stays on the page, at its sum, while a sample lacks it.
        if (length > counters.length[kind])
            counters.length[kind] = length;
    }
}

std::string metrics_page(const MetricsSnapshot &snapshot)
{
    std::string page;
    family(page, "quorvex_info", "gauge", "What the monitor runs: its version, the tuner's driver and device.");
    sample(page, "quorvex_info",
           "version=\"" + label(snapshot.version) + "\",driver=\"" + label(snapshot.driver) + "\",device=\"" +
               label(snapshot.device) + "\",mode=\"" + label(snapshot.mode) + "\"",
           1);
    family(page, "quorvex_samples_total", "counter", "Samples taken, by the state the log gives them.");
    for (int state = 0; state < sample_state_count; ++state)
        sample(page, "quorvex_samples_total",
               std::string("state=\"") + sample_state_word(static_cast<SampleState>(state)) + "\"",
               static_cast<double>(snapshot.samples[state]));
    if (!snapshot.sampled)
        return page;

    const SampleRecord &last = snapshot.last;
    family(page, "quorvex_last_sample_timestamp_seconds", "gauge", "When the last sample was taken.");
    sample(page, "quorvex_last_sample_timestamp_seconds", "", static_cast<double>(last.time));
    // The sample's own time, so that each sample is one point of the series however the scrapes fall.
    const std::string at = std::to_string(static_cast<long long>(last.time) * 1000);
    if (last.sample.level == reading_value) {
        family(page, "quorvex_level_decibels", "gauge", "The last sample's level.");
        sample(page, "quorvex_level_decibels", "", last.sample.level_db, at);
    }
    if (last.sample.ratio == reading_value) {
        family(page, "quorvex_bit_error_ratio", "gauge", "The last sample's bit-error ratio.");
        sample(page, "quorvex_bit_error_ratio", "", last.sample.error_ratio, at);
    }
    family(page, "quorvex_tuned_frequency_hertz", "gauge", "The frequency of the channel in force.");
    sample(page, "quorvex_tuned_frequency_hertz", "", last.frequency_khz * 1000.0);
    // Off both plans there is no channel, only the frequency.
    if (!last.off_plan) {
        family(page, "quorvex_channel", "gauge", "The channel in force, by band.");
        sample(page, "quorvex_channel", is_cable(last.catv) ? "band=\"CATV\"" : "band=\"UHF\"", last.channel);
    }
    if (snapshot.frontend)
        frontend(page, *snapshot.frontend, snapshot.counters);
    return page;
}

} // namespace linux_platform
