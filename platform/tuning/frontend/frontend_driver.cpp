#include "platform/tuning/frontend/frontend_driver.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <iterator>
#include <string>
#include <sys/ioctl.h>

#include "platform/tuning/frontend/errors.h"
#include "platform/tuning/frontend/kernel.h"
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

// The driver owns the frontend it tunes (open for writing), or, while another program holds it
// or when asked to, only watches it: open read-only, where the kernel allows nothing but queries,
// and the program makes none but FE_READ_STATUS and FE_GET_PROPERTY. A device that goes is looked
// for again at every sample, and tuned again, or watched, once it is back.
class FrontendDriver final : public FigureDriver {
public:
    std::vector<Device> devices() override
    {
        looked_for_missing_ = !frontend_.has_value();
        if (!frontend_.has_value())
            return {};
        return tuner_devices();
    }

    Result tune(int frequency_khz) override
    {
        if (!frontend_.has_value())
            return unexpected;
        if (gone_)
            return report(ENODEV, frontend_->path + ": tune to " + tuning_text(frequency_khz) + ": " + reason(ENODEV));
        if (descriptor_ < 0 && watch_only_)
            return watch("watching it without tuning");
        if (!writes_) {
            // Non-blocking: the window must never wait on a driver.
            const int opened = kernel().open(frontend_->path, O_RDWR | O_NONBLOCK);
            if (opened == -EBUSY && descriptor_ < 0)
                return watch("in use by another program: watching it without tuning");
            if (opened < 0)
                return report(-opened, frontend_->path + ": " + reason(-opened));
            let_go();
            descriptor_ = opened;
            writes_ = true;
            watching_ = false;
        }
        return set_frequency(frequency_khz);
    }

    void close() override
    {
        let_go();
        gone_ = false;
        watching_ = false;
        watched_khz_ = 0;
    }

    void watch_only() override { watch_only_ = true; }

    bool watching(int &frequency_khz) override
    {
        frequency_khz = watched_khz_;
        return watching_;
    }

    bool find_again() override
    {
        if (!gone_)
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
        frontend_ = std::move(found);
        gone_ = false;
        if (watching_)
            return watch("found again: watching it without tuning") == 0 || lose_quietly();
        const int opened = kernel().open(frontend_->path, O_RDWR | O_NONBLOCK);
        if (opened == -EBUSY)
            return watch("found again, in use by another program: watching it without tuning") == 0 || lose_quietly();
        if (opened < 0) {
            report(-opened, frontend_->path + ": " + reason(-opened));
            return lose_quietly();
        }
        descriptor_ = opened;
        writes_ = true;
        if (set_frequency(tuned_khz_) != 0)
            return lose_quietly();
        std::fprintf(stderr, "%s: found again: tuned to %s\n", frontend_->path.c_str(),
                     tuning_text(tuned_khz_).c_str());
        return true;
    }

    void set_frontend(std::optional<Frontend> frontend, std::optional<unsigned> adapter)
    {
        close();
        frontend_ = std::move(frontend);
        looked_for_missing_ = false;
        adapter_ = adapter;
        watch_only_ = false;
        tuned_khz_ = 0;
    }

    TunerIdentity identity() const override { return {"frontend", frontend_ ? frontend_->path : ""}; }

    const std::optional<Statistics> &last() const { return last_; }
    ReceiverFigures reported() const override
    {
        return last_ ? receiver_figures_from(*last_, restarted_) : ReceiverFigures{};
    }
    bool looked_for_missing() const { return looked_for_missing_; }

protected:
    Result read(Figures &figures) override
    {
        if (descriptor_ < 0) {
            last_.reset();
            return unexpected;
        }
        Statistics statistics;
        dtv_property properties[] = {
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
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        int failed = kernel().ioctl(descriptor_, FE_READ_STATUS, &statistics.status);
        if (failed == 0)
            failed = kernel().ioctl(descriptor_, FE_GET_PROPERTY, &request);
        // A busy driver has no new figures: the last snapshot's stand for this sample.
        if (failed == -EAGAIN && snapshot_) {
            restarted_ = false;
            return 0;
        }
        if (failed != 0) {
            last_.reset();
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
        restarted_ = !snapshot_;
        if (watching_ && khz != watched_khz_) {
            // The other program tuned anew, and the driver restarted its counters.
            watched_khz_ = khz;
            window_ = {};
            restarted_ = true;
        }
        figures = figures_from(statistics, window_);
        snapshot_ = true;
        last_ = statistics;
        return 0;
    }

private:
    static Result report(int error, const std::string &line)
    {
        std::fprintf(stderr, "%s\n", line.c_str());
        return result_for(error);
    }

    std::int64_t frequency_hz(int frequency_khz) const
    {
        return std::int64_t{frequency_khz} * 1000 + (frontend_->delivery_system == SYS_ISDBT ? isdbt_offset_hz : 0);
    }

    // "479142857 Hz (ISDB-T, 6 MHz)"
    std::string tuning_text(int frequency_khz) const
    {
        return std::to_string(frequency_hz(frequency_khz)) + " Hz (" +
               (frontend_->delivery_system == SYS_ISDBT ? "ISDB-T" : "DVB-T") + ", 6 MHz)";
    }

    Result set_frequency(int frequency_khz)
    {
        dtv_property properties[] = {
            property(DTV_CLEAR),
            property(DTV_DELIVERY_SYSTEM, frontend_->delivery_system),
            property(DTV_FREQUENCY, static_cast<std::uint32_t>(frequency_hz(frequency_khz))),
            property(DTV_BANDWIDTH_HZ, bandwidth_hz),
            property(DTV_TUNE),
        };
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        if (const int failed = kernel().ioctl(descriptor_, FE_SET_PROPERTY, &request))
            return report(-failed,
                          frontend_->path + ": tune to " + tuning_text(frequency_khz) + ": " + reason(-failed));
        tuned_khz_ = frequency_khz;
        fresh_window();
        return 0;
    }

    // Opens the frontend read-only to watch it, and reads what the other program tuned at once,
    // so the window shows its channel from the first paint.
    Result watch(const std::string &why)
    {
        const int opened = kernel().open(frontend_->path, O_RDONLY | O_NONBLOCK);
        if (opened < 0)
            return report(-opened, frontend_->path + ": " + reason(-opened));
        descriptor_ = opened;
        writes_ = false;
        watching_ = true;
        std::fprintf(stderr, "%s: %s\n", frontend_->path.c_str(), why.c_str());
        fresh_window();
        dtv_property properties[] = {property(DTV_FREQUENCY), property(DTV_DELIVERY_SYSTEM)};
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        if (kernel().ioctl(descriptor_, FE_GET_PROPERTY, &request) == 0)
            watched_khz_ = kilohertz(properties[0].u.data, properties[1].u.data);
        return 0;
    }

    void fresh_window()
    {
        window_ = {};
        snapshot_ = false;
    }

    void let_go()
    {
        if (descriptor_ >= 0)
            kernel().close(descriptor_);
        descriptor_ = -1;
        writes_ = false;
    }

    // The device has gone: it is let go, and looked for at the next sample, in case it came back
    // already (plugged in again between two samples).
    void lose()
    {
        std::fprintf(stderr, "%s: %s: looking for it again\n", frontend_->path.c_str(), reason(ENODEV).c_str());
        let_go();
        gone_ = true;
        seen_ = adapters(adapter_);
        searched_.clear();
    }

    // Found but not taken again: still gone, until /dev/dvb changes again.
    bool lose_quietly()
    {
        let_go();
        gone_ = true;
        return false;
    }

    std::optional<Frontend> frontend_;
    bool looked_for_missing_ = false;
    std::optional<unsigned> adapter_; // where to look for it again
    int descriptor_ = -1;
    bool writes_ = false;     // the descriptor is open for writing: the driver owns the frontend
    bool watching_ = false;   // it only watches, and will again if the device comes back
    bool watch_only_ = false; // asked to watch even a frontend no other program holds
    bool gone_ = false;       // the device has gone
    bool snapshot_ = false;   // a snapshot since the last tune, to stand for a busy driver's
    int tuned_khz_ = 0;       // the last frequency the driver tuned, tuned again when it comes back
    int watched_khz_ = 0;     // the frequency the watched device was last seen tuned to
    CounterWindow window_;
    bool restarted_ = false;               // the last sample was the first since a tune
    std::optional<Statistics> last_;       // of the last sample, none when it could not be read; a busy
                                           // driver's last
    std::vector<DirectoryEntry> seen_;     // /dev/dvb at the last look
    std::vector<DirectoryEntry> searched_; // /dev/dvb at the last search that settled
};

FrontendDriver frontend;

} // namespace

void use_frontend(std::optional<Frontend> found, std::optional<unsigned> adapter)
{
    frontend.set_frontend(std::move(found), adapter);
    use_driver(frontend);
}

const Statistics *frontend_statistics()
{
    return &driver() == &frontend && frontend.last() ? &*frontend.last() : nullptr;
}

bool looked_for_missing_frontend() { return frontend.looked_for_missing(); }

} // namespace tuning
