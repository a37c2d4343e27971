#include "platform/linux/metrics_page.h"

#include <charconv>
#include <cmath>

namespace linux_platform {

namespace {

const char *const layer_labels[receiver_parts] = {nullptr, "layer=\"a\"", "layer=\"b\"", "layer=\"c\""};

// Not "bits_total": Prometheus's lint takes bits for a size, to be given in bytes.
struct Counted {
    ReceiverCount kind;
    const char *name; // after quorvex_frontend_ or quorvex_frontend_layer_
    const char *help;
};
const Counted counted[] = {
    {count_pre_error_bits, "pre_bit_errors_total", "Bits in error before the inner code"},
    {count_pre_bits, "pre_bit_count_total", "Bits counted before the inner code"},
    {count_post_error_bits, "post_bit_errors_total", "Bits in error after the inner code"},
    {count_post_bits, "post_bit_count_total", "Bits counted after the inner code"},
    {count_error_blocks, "error_blocks_total", "Blocks received in error"},
    {count_blocks, "blocks_total", "Blocks received"},
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

std::string number(std::uint64_t value)
{
    char text[24];
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

void family(std::string &page, const std::string &name, const char *type, const std::string &help)
{
    page += "# HELP " + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void sample(std::string &page, const std::string &name, const std::string &labels, const std::string &value)
{
    page += name;
    if (!labels.empty())
        page += '{' + labels + '}';
    page += ' ' + value + '\n';
}

void summary(std::string &page, const std::string &name, const std::string &labels, const Observations &observed)
{
    sample(page, name + "_sum", labels, number(observed.sum));
    sample(page, name + "_count", labels, number(observed.count));
}

// ISDB-T's layers under one name, each labelled with its layer and what more labels gives it.
template <typename Given, typename Labels, typename Value>
void each_layer(std::string &page, const std::string &name, const char *type, const std::string &help, Given given,
                Labels labels, Value value)
{
    bool named = false;
    for (int part = part_layer_a; part < receiver_parts; ++part) {
        if (!given(part))
            continue;
        if (!named)
            family(page, name, type, help);
        named = true;
        sample(page, name, std::string(layer_labels[part]) + labels(part), value(part));
    }
}

// The whole channel under one name, and ISDB-T's layers under another, so that sum() over the
// layers adds the layers alone. Each part is on the page where the driver gave it, a layer no less
// than the whole.
template <typename Given, typename Value>
void whole_and_layers(std::string &page, const std::string &name, const char *type, const std::string &help,
                      Given given, Value value)
{
    if (given(part_whole)) {
        family(page, "quorvex_frontend_" + name, type, help + '.');
        sample(page, "quorvex_frontend_" + name, "", value(part_whole));
    }
    each_layer(
        page, "quorvex_frontend_layer_" + name, type, help + ", per ISDB-T layer.", given,
        [](int) { return std::string(); }, value);
}

void measures(std::string &page, const char *name, const char *help, const Measure (&measure)[receiver_parts])
{
    whole_and_layers(
        page, name, "gauge", help, [&](int part) { return measure[part].given; },
        [&](int part) { return number(measure[part].value); });
}

// ISDB-T's layers in use, where the driver describes them: what each carries, what it needs and
// its margin, each absent where not given.
void layers(std::string &page, const ReceiverFigures &receiver)
{
    const auto described = [&](int part) {
        return receiver.layers_known && receiver.layers[part - part_layer_a].in_use;
    };
    const auto layer = [&](int part) -> const LayerReport & { return receiver.layers[part - part_layer_a]; };
    const auto name = [](const char *given) { return given == nullptr ? std::string() : std::string(given); };
    each_layer(
        page, "quorvex_frontend_layer_info", "gauge",
        "What each ISDB-T layer in use carries: its modulation, code rate and segments.", described,
        [&](int part) {
            return ",modulation=\"" + name(layer(part).modulation) + "\",code_rate=\"" + name(layer(part).code_rate) +
                   "\",segments=\"" + number(static_cast<std::uint64_t>(layer(part).segments)) + '"';
        },
        [](int) { return std::string("1"); });
    each_layer(
        page, "quorvex_frontend_layer_required_carrier_to_noise_decibels", "gauge",
        "The C/N each ISDB-T layer's modulation and code rate need for quasi-error-free reception.",
        [&](int part) { return described(part) && layer(part).required_db.given; }, [](int) { return std::string(); },
        [&](int part) { return number(layer(part).required_db.value); });
    each_layer(
        page, "quorvex_frontend_layer_margin_decibels", "gauge",
        "Each ISDB-T layer's C/N above what its modulation and code rate need.",
        [&](int part) { return described(part) && layer(part).margin_db.given; }, [](int) { return std::string(); },
        // To the 0.001 dB a driver gives C/N in, without the binary fraction the difference leaves.
        [&](int part) { return number(std::round(layer(part).margin_db.value * 1000) / 1000); });
}

// The last sample's own figures: absent when it had none.
void reported(std::string &page, const ReceiverFigures &receiver)
{
    if (receiver.status_given) {
        family(page, "quorvex_frontend_status", "gauge", "The frontend's status flags at the last sample, 1 when set.");
        const std::pair<const char *, std::uint32_t> flags[] = {{"signal", has_signal},
                                                                {"carrier", has_carrier},
                                                                {"viterbi", has_viterbi},
                                                                {"sync", has_sync},
                                                                {"lock", has_lock}};
        for (const auto &[flag, bit] : flags)
            sample(page, "quorvex_frontend_status", std::string("flag=\"") + flag + "\"",
                   (receiver.status & bit) != 0 ? "1" : "0");
    }
    measures(page, "carrier_to_noise_decibels", "The carrier-to-noise ratio the driver reports",
             receiver.carrier_to_noise_db);
    measures(page, "signal_strength_dbm", "The signal strength the driver reports, in dB relative to a milliwatt",
             receiver.signal_strength_dbm);
    layers(page, receiver);
}

void count(RisingCounter &counter, std::uint64_t value)
{
    counter.total += value >= counter.last ? value - counter.last : value;
    counter.last = value;
    counter.offered = true;
}

} // namespace

void tally_sample(const SampleRecord &record, MetricsSnapshot &snapshot)
{
    snapshot.sampled = true;
    snapshot.last = record;
    ++snapshot.samples[record.state];
    if (record.sample.level == reading_value) {
        Observations &levels = record.sample.level_db < 0 ? snapshot.levels_below_zero : snapshot.levels;
        levels.sum += std::fabs(record.sample.level_db);
        ++levels.count;
    }
    if (record.sample.ratio == reading_value) {
        snapshot.ratios.sum += record.sample.error_ratio;
        ++snapshot.ratios.count;
    }
    // Without a report the counters stay as they were.
    const ReceiverFigures &receiver = record.receiver;
    if (!receiver.reported)
        return;
    for (int kind = 0; kind < receiver_counts; ++kind) {
        for (int part = 0; part < receiver_parts; ++part) {
            RisingCounter &counter = snapshot.counters[kind][part];
            // After the driver's mark, even a part it does not give now counts from zero when it does.
            if (receiver.counts_restarted)
                counter.last = 0;
            if (receiver.counts[kind][part].given)
                count(counter, receiver.counts[kind][part].value);
        }
    }
}

std::string metrics_page(const MetricsSnapshot &snapshot)
{
    std::string page;
    const SampleRecord &last = snapshot.last;
    if (snapshot.sampled) {
        family(page, "quorvex_info", "gauge", "What the monitor runs: its version, the tuner's driver and device.");
        sample(page, "quorvex_info",
               "version=\"" + label(snapshot.version) + "\",driver=\"" + label(last.tuner.driver) + "\",device=\"" +
                   label(last.tuner.device) + "\",mode=\"" + (last.tuner.watched ? "watches" : "tunes") + "\"" +
                   (last.tuner.uncalibrated ? ",level=\"uncalibrated\"" : ""),
               "1");
    }
    family(page, "quorvex_samples_total", "counter", "Samples taken, by the state the log gives them.");
    for (int state = 0; state < sample_state_count; ++state)
        sample(page, "quorvex_samples_total",
               std::string("state=\"") + sample_state_word(static_cast<SampleState>(state)) + "\"",
               number(snapshot.samples[state]));
    family(page, "quorvex_sampled_level_decibels", "summary",
           "Every sample's level, by its sign: the sum of the magnitudes, and the count.");
    summary(page, "quorvex_sampled_level_decibels", "sign=\"positive\"", snapshot.levels);
    summary(page, "quorvex_sampled_level_decibels", "sign=\"negative\"", snapshot.levels_below_zero);
    family(page, "quorvex_sampled_bit_error_ratio", "summary", "Every sample's bit-error ratio.");
    summary(page, "quorvex_sampled_bit_error_ratio", "", snapshot.ratios);

    if (snapshot.sampled) {
        family(page, "quorvex_last_sample_timestamp_seconds", "gauge", "When the last sample was taken.");
        sample(page, "quorvex_last_sample_timestamp_seconds", "", number(static_cast<double>(last.time)));
        if (last.sample.level == reading_value) {
            family(page, "quorvex_level_decibels", "gauge", "The last sample's level.");
            sample(page, "quorvex_level_decibels", "", number(last.sample.level_db));
        }
        if (last.sample.ratio == reading_value) {
            family(page, "quorvex_bit_error_ratio", "gauge", "The last sample's bit-error ratio.");
            sample(page, "quorvex_bit_error_ratio", "", number(last.sample.error_ratio));
        }
        family(page, "quorvex_tuned_frequency_hertz", "gauge", "The frequency of the channel in force.");
        sample(page, "quorvex_tuned_frequency_hertz", "", number(last.frequency_khz * 1000.0));
        // Off both plans there is no channel, only the frequency.
        if (!last.off_plan) {
            family(page, "quorvex_channel", "gauge", "The channel in force, by band.");
            sample(page, "quorvex_channel", is_cable(last.catv) ? "band=\"CATV\"" : "band=\"UHF\"",
                   number(static_cast<double>(last.channel)));
        }
        if (last.receiver.reported)
            reported(page, last.receiver);
    }
    for (const Counted &c : counted) {
        const RisingCounter(&counters)[receiver_parts] = snapshot.counters[c.kind];
        whole_and_layers(
            page, c.name, "counter", c.help, [&](int part) { return counters[part].offered; },
            [&](int part) { return number(counters[part].total); });
    }
    return page;
}

} // namespace linux_platform
