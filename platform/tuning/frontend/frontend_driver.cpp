#include "platform/tuning/frontend/frontend_driver.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <iterator>
#include <string>
#include <sys/ioctl.h>
#include <vector>

#include "platform/texts.h"
#include "platform/tuning/frontend/errors.h"
#include "platform/tuning/frontend/kernel.h"
#include "platform/tuning/frontend/layouts.h"
#include "platform/tuning/frontend/statistics.h"

namespace tuning {

namespace {

const std::uint32_t bandwidth_hz = 6000000;
// ISDB-T's centre frequency sits 1/7 MHz above the channel plan's.
const std::int64_t isdbt_offset_hz = 1000000 / 7;

dtv_property property(std::uint32_t command, std::uint32_t data = 0)
{
    dtv_property p{};
    p.cmd = command;
    p.u.data = data;
    return p;
}

// DTV_FREQUENCY in kHz: it is in Hz, but in kHz already for satellite systems.
int kilohertz(std::uint32_t frequency, std::uint32_t delivery_system)
{
    switch (delivery_system) {
    case SYS_DVBS:
    case SYS_DVBS2:
    case SYS_ISDBS:
    case SYS_TURBO:
    case SYS_DSS: return static_cast<int>(frequency);
    default: return static_cast<int>((std::uint64_t{frequency} + 500) / 1000);
    }
}

// Where the driver stands with its frontend. Each state holds a descriptor or none:
//
//   absent   none        no frontend was found
//   closed   none        found, not open: before the first tune, and once the tuner is released
//   owned    read-write  tuned by the program, to its last tune's frequency
//   watched  read-only   held by another program, or watched when asked to: the kernel allows
//                        nothing but queries, and the program makes none but FE_READ_STATUS and
//                        FE_GET_PROPERTY; its frequency is the one last read back
//   gone     none        the device vanished; looked for again at every sample, it comes back as
//                        it was: owned, tuned again to its frequency, or watched
enum class State { absent, closed, owned, watched, gone };

// May the program take the tuner? When it is free, yes, and while another program holds it the
// program watches instead; asked only to watch (--watch), never.
enum class Policy { take_when_free, watch_only };

// What the last sample reported: nothing, it could not be read; or the snapshot, either the first
// since the counters restarted (a tune: the program's, a replug's, or the holder's seen as a new
// frequency; or watching begun, where they are counted from zero too) or counting on from the
// report before.
enum class Report { nothing, restarted, counting_on };

// ISDB-T's parameters, in the order parameters_from reads them.
const std::uint32_t layer_commands[] = {
    DTV_ISDBT_PARTIAL_RECEPTION,
    DTV_ISDBT_LAYERA_MODULATION,
    DTV_ISDBT_LAYERA_FEC,
    DTV_ISDBT_LAYERA_SEGMENT_COUNT,
    DTV_ISDBT_LAYERA_TIME_INTERLEAVING,
    DTV_ISDBT_LAYERB_MODULATION,
    DTV_ISDBT_LAYERB_FEC,
    DTV_ISDBT_LAYERB_SEGMENT_COUNT,
    DTV_ISDBT_LAYERB_TIME_INTERLEAVING,
    DTV_ISDBT_LAYERC_MODULATION,
    DTV_ISDBT_LAYERC_FEC,
    DTV_ISDBT_LAYERC_SEGMENT_COUNT,
    DTV_ISDBT_LAYERC_TIME_INTERLEAVING,
};

IsdbtParameters parameters_from(const dtv_property *read)
{
    IsdbtParameters parameters;
    parameters.known = true;
    parameters.partial_reception = read[0].u.data == 1;
    for (std::size_t layer = 0; layer < 3; ++layer) {
        const dtv_property *values = read + 1 + 4 * layer;
        parameters.layers[layer] = {values[0].u.data, values[1].u.data, values[2].u.data, values[3].u.data};
    }
    return parameters;
}

// An open the policy refuses, beside the kernel's error numbers.
const int refused = -1;

class FrontendDriver final : public FigureDriver {
public:
    std::vector<Device> devices() override
    {
        looked_for_missing_ = state_ == State::absent;
        if (state_ == State::absent)
            return {};
        return tuner_devices();
    }

    Result tune(int frequency_khz) override
    {
        switch (state_) {
        case State::absent: return unexpected;
        case State::gone: return report(ENODEV, tune_failed(frequency_khz, ENODEV));
        case State::owned: return set_frequency(frequency_khz);
        case State::closed:
        case State::watched: break;
        }
        const State before = state_;
        const int failed = move_to(State::owned);
        if (failed == 0)
            return set_frequency(frequency_khz);
        // Nothing was tuned, and watching goes on: as asked, or told why.
        if (before == State::watched)
            return failed == refused ? 0 : report(failed, frontend_.path + ": " + reason(failed));
        if (failed == refused)
            return watch(translated("watching it without tuning"));
        if (failed == EBUSY)
            return watch(translated("in use by another program: watching it without tuning"));
        return report(failed, frontend_.path + ": " + reason(failed));
    }

    void close() override
    {
        if (state_ != State::absent)
            move_to(State::closed);
    }

    void watch_only() override { policy_ = Policy::watch_only; }

    bool watching(int &frequency_khz) override
    {
        frequency_khz = frequency_khz_;
        return state_ == State::watched || (state_ == State::gone && was_ == State::watched);
    }

    bool find_again() override
    {
        if (state_ != State::gone)
            return false;
        // Only a change in /dev/dvb is worth a search; it is searched when it is seen and once more
        // when it has settled, as a device's nodes may come a moment after its directory.
        std::vector<DirectoryEntry> now = adapters(adapter_);
        const bool settled = now == seen_;
        seen_ = now;
        if (now == searched_)
            return false;
        if (settled)
            searched_ = std::move(now);
        std::optional<Frontend> found = find_frontend(adapter_);
        if (!found.has_value())
            return false;
        frontend_ = std::move(*found);
        if (was_ == State::watched)
            return watch(translated("found again: watching it without tuning")) == 0;
        const int failed = move_to(State::owned);
        if (failed == EBUSY)
            return watch(translated("found again, in use by another program: watching it without tuning")) == 0;
        if (failed != 0) {
            report(failed, frontend_.path + ": " + reason(failed));
            return false;
        }
        // Found but not tuned: still gone, until /dev/dvb changes again.
        if (set_frequency(frequency_khz_) != 0) {
            move_to(State::gone);
            return false;
        }
        std::fprintf(stderr, translated("%s: found again: tuned to %s\n"), frontend_.path.c_str(),
                     tuning_text(frequency_khz_).c_str());
        return true;
    }

    void set_frontend(std::optional<Frontend> found, std::optional<unsigned> adapter)
    {
        move_to(found.has_value() ? State::closed : State::absent);
        frontend_ = std::move(found).value_or(Frontend{});
        policy_ = Policy::take_when_free;
        adapter_ = adapter;
        looked_for_missing_ = false;
    }

    TunerIdentity identity() const override { return {"frontend", state_ == State::absent ? "" : frontend_.path}; }

    ReceiverFigures reported() const override { return report_ == Report::nothing ? ReceiverFigures{} : receiver_; }
    bool looked_for_missing() const { return looked_for_missing_; }

protected:
    Result read(Figures &figures) override
    {
        // Read only while owned or watched: the program samples once its first tune has succeeded
        // (a failed one releases the tuner), and the exchange fails a gone device's samples itself.
        Statistics statistics;
        std::vector<dtv_property> properties = {
            property(DTV_STAT_CNR),
            property(DTV_STAT_SIGNAL_STRENGTH),
            property(DTV_STAT_POST_ERROR_BIT_COUNT),
            property(DTV_STAT_POST_TOTAL_BIT_COUNT),
            property(DTV_STAT_PRE_ERROR_BIT_COUNT),
            property(DTV_STAT_PRE_TOTAL_BIT_COUNT),
            property(DTV_STAT_ERROR_BLOCK_COUNT),
            property(DTV_STAT_TOTAL_BLOCK_COUNT),
            property(DTV_FREQUENCY),
            property(DTV_DELIVERY_SYSTEM),
        };
        // ISDB-T's layer parameters ride along, in the same call, until they have been read with
        // the lock: again after each tune and each lost lock.
        const std::size_t statistics_count = properties.size();
        const bool ask_layers = frontend_.delivery_system == SYS_ISDBT && !parameters_.known;
        if (ask_layers)
            for (const std::uint32_t command : layer_commands)
                properties.push_back(property(command));
        dtv_properties request{static_cast<std::uint32_t>(properties.size()), properties.data()};
        int failed = kernel().ioctl(descriptor_, FE_READ_STATUS, &statistics.status);
        if (failed == 0)
            failed = kernel().ioctl(descriptor_, FE_GET_PROPERTY, &request);
        // A busy driver has no news: the last snapshot since the tune stands for this sample.
        if (failed == -EAGAIN && snapshot_.has_value()) {
            report_ = Report::counting_on;
            receiver_.counts_restarted = false;
            return 0;
        }
        if (failed != 0) {
            report_ = Report::nothing;
            const Result result = result_for(-failed);
            if (result == device_not_connected)
                lose();
            return result;
        }
        statistics.cnr = properties[0].u.st;
        statistics.strength = properties[1].u.st;
        statistics.post_errors = properties[2].u.st;
        statistics.post_total = properties[3].u.st;
        statistics.pre_errors = properties[4].u.st;
        statistics.pre_total = properties[5].u.st;
        statistics.error_blocks = properties[6].u.st;
        statistics.total_blocks = properties[7].u.st;
        const int khz = kilohertz(properties[8].u.data, properties[9].u.data);
        if (state_ == State::watched && khz != frequency_khz_) {
            // The other program tuned anew, and the driver restarted its counters.
            frequency_khz_ = khz;
            restart_counts();
        }
        const bool locked = (statistics.status & FE_HAS_LOCK) != 0;
        if (ask_layers && locked)
            parameters_ = parameters_from(&properties[statistics_count]);
        if (!locked)
            parameters_ = {};
        report_ = snapshot_.has_value() ? Report::counting_on : Report::restarted;
        figures = figures_from(statistics, window_);
        snapshot_ = statistics;
        const ReceiverFigures before = receiver_;
        receiver_ = receiver_figures_from(in_api_layout(statistics, frontend_.name, parameters_),
                                          report_ == Report::restarted, parameters_, before);
        return 0;
    }

private:
    static Result report(int error, const std::string &line)
    {
        std::fprintf(stderr, "%s\n", line.c_str());
        return result_for(error);
    }

    // The one way from state to state, and so the one place the frontend is opened and closed. It
    // opens what the next state holds (read-write to own the frontend, read-only to watch it;
    // non-blocking, as the window must never wait on a driver) before it lets go of what this one
    // held, so that a failed open leaves the state as it was; and it refuses to own the frontend
    // while the policy says the program may not take the tuner. 0, the error number of the open
    // that failed, or refused.
    int move_to(State next)
    {
        if (next == State::owned && policy_ == Policy::watch_only)
            return refused;
        int opened = -1;
        if (next == State::owned || next == State::watched) {
            opened = kernel().open(frontend_.path, (next == State::owned ? O_RDWR : O_RDONLY) | O_NONBLOCK);
            if (opened < 0)
                return -opened;
        }
        if (descriptor_ >= 0)
            kernel().close(descriptor_);
        if (next == State::gone)
            was_ = state_;
        if (next == State::absent || next == State::closed)
            frequency_khz_ = 0;
        state_ = next;
        descriptor_ = opened;
        // What was read belongs to the descriptor it was read from.
        restart_counts();
        return 0;
    }

    std::int64_t frequency_hz(int frequency_khz) const
    {
        return std::int64_t{frequency_khz} * 1000 + (frontend_.delivery_system == SYS_ISDBT ? isdbt_offset_hz : 0);
    }

    // "479142857 Hz (ISDB-T, 6 MHz)"
    std::string tuning_text(int frequency_khz) const
    {
        return std::to_string(frequency_hz(frequency_khz)) + " Hz (" +
               (frontend_.delivery_system == SYS_ISDBT ? "ISDB-T" : "DVB-T") + ", 6 MHz)";
    }

    std::string tune_failed(int frequency_khz, int error) const
    {
        return formatted(translated("%s: tune to %s: %s"), frontend_.path.c_str(), tuning_text(frequency_khz).c_str(),
                         reason(error).c_str());
    }

    Result set_frequency(int frequency_khz)
    {
        dtv_property properties[] = {
            property(DTV_CLEAR),
            property(DTV_DELIVERY_SYSTEM, frontend_.delivery_system),
            property(DTV_FREQUENCY, static_cast<std::uint32_t>(frequency_hz(frequency_khz))),
            property(DTV_BANDWIDTH_HZ, bandwidth_hz),
            property(DTV_TUNE),
        };
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        if (const int failed = kernel().ioctl(descriptor_, FE_SET_PROPERTY, &request))
            return report(-failed, tune_failed(frequency_khz, -failed));
        frequency_khz_ = frequency_khz;
        restart_counts();
        return 0;
    }

    // Watches the frontend, and reads what the other program tuned at once, so the window shows
    // its channel from the first paint.
    Result watch(const std::string &why)
    {
        if (const int failed = move_to(State::watched))
            return report(failed, frontend_.path + ": " + reason(failed));
        std::fprintf(stderr, "%s: %s\n", frontend_.path.c_str(), why.c_str());
        dtv_property properties[] = {property(DTV_FREQUENCY), property(DTV_DELIVERY_SYSTEM)};
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        if (kernel().ioctl(descriptor_, FE_GET_PROPERTY, &request) == 0)
            frequency_khz_ = kilohertz(properties[0].u.data, properties[1].u.data);
        return 0;
    }

    // Drivers restart their counters when they tune: a fresh window, and nothing read since.
    void restart_counts()
    {
        window_ = {};
        snapshot_.reset();
        report_ = Report::nothing;
        receiver_ = {};
        parameters_ = {};
    }

    // The device has gone: it is let go, and looked for at the next sample, in case it came back
    // already (plugged in again between two samples).
    void lose()
    {
        std::fprintf(stderr, translated("%s: %s: looking for it again\n"), frontend_.path.c_str(),
                     reason(ENODEV).c_str());
        move_to(State::gone);
        seen_ = adapters(adapter_);
        searched_.clear();
    }

    State state_ = State::absent;
    Frontend frontend_{};                  // all but absent: where it was found last
    int descriptor_ = -1;                  // owned: read-write; watched: read-only; none in the others
    int frequency_khz_ = 0;                // owned: the program's last tune; watched: the holder's, as last read;
                                           // gone: as it was, to tune again when it comes back (0 before any)
    State was_ = State::owned;             // gone: owned or watched, as it comes back
    std::vector<DirectoryEntry> seen_;     // gone: /dev/dvb at the last look
    std::vector<DirectoryEntry> searched_; // gone: /dev/dvb at the last search that settled

    // Read from the descriptor since the last tune: the counters' window, the last snapshot (none
    // right after the tune, which makes the next report the first since the counters restarted),
    // and what the last sample reported.
    CounterWindow window_;
    std::optional<Statistics> snapshot_;
    Report report_ = Report::nothing;
    ReceiverFigures receiver_{}; // what the last report was, for the record and the next verdicts
    IsdbtParameters parameters_; // ISDB-T's layers as read with the lock since the tune

    Policy policy_ = Policy::take_when_free;
    std::optional<unsigned> adapter_; // where to look for it again
    bool looked_for_missing_ = false;
};

FrontendDriver frontend;

} // namespace

void use_frontend(std::optional<Frontend> found, std::optional<unsigned> adapter)
{
    frontend.set_frontend(std::move(found), adapter);
    use_driver(frontend);
}

bool looked_for_missing_frontend() { return &driver() == &frontend && frontend.looked_for_missing(); }

} // namespace tuning
