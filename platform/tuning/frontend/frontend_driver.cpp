#include "platform/tuning/frontend/frontend_driver.h"

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
        if (descriptor_ < 0) {
            // Non-blocking: the window must never wait on a driver.
            const int opened = kernel().open(frontend_->path, O_RDWR | O_NONBLOCK);
            if (opened < 0)
                return report(-opened, frontend_->path + ": " + reason(-opened));
            descriptor_ = opened;
        }
        const bool isdbt = frontend_->delivery_system == SYS_ISDBT;
        const std::int64_t frequency_hz = std::int64_t{frequency_khz} * 1000 + (isdbt ? isdbt_offset_hz : 0);
        dtv_property properties[] = {
            property(DTV_CLEAR),
            property(DTV_DELIVERY_SYSTEM, frontend_->delivery_system),
            property(DTV_FREQUENCY, static_cast<std::uint32_t>(frequency_hz)),
            property(DTV_BANDWIDTH_HZ, bandwidth_hz),
            property(DTV_TUNE),
        };
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        if (const int failed = kernel().ioctl(descriptor_, FE_SET_PROPERTY, &request))
            return report(-failed, frontend_->path + ": tune to " + std::to_string(frequency_hz) + " Hz (" +
                                       (isdbt ? "ISDB-T" : "DVB-T") + ", 6 MHz): " + reason(-failed));
        window_ = {};
        return 0;
    }

    void close() override
    {
        if (descriptor_ >= 0)
            kernel().close(descriptor_);
        descriptor_ = -1;
    }

    void set_frontend(std::optional<Frontend> frontend)
    {
        close();
        frontend_ = std::move(frontend);
        looked_for_missing_ = false;
    }

    TunerIdentity identity() const override { return {"frontend", frontend_ ? frontend_->path : ""}; }

    const std::optional<Statistics> &last() const { return last_; }
    bool looked_for_missing() const { return looked_for_missing_; }

protected:
    Result read(Figures &figures) override
    {
        last_.reset();
        if (descriptor_ < 0)
            return unexpected;
        Statistics statistics;
        if (const int failed = kernel().ioctl(descriptor_, FE_READ_STATUS, &statistics.status))
            return result_for(-failed);
        dtv_property properties[] = {
            property(DTV_STAT_CNR),
            property(DTV_STAT_SIGNAL_STRENGTH),
            property(DTV_STAT_POST_ERROR_BIT_COUNT),
            property(DTV_STAT_POST_TOTAL_BIT_COUNT),
            property(DTV_STAT_PRE_ERROR_BIT_COUNT),
            property(DTV_STAT_PRE_TOTAL_BIT_COUNT),
            property(DTV_STAT_ERROR_BLOCK_COUNT),
            property(DTV_STAT_TOTAL_BLOCK_COUNT),
        };
        dtv_properties request{static_cast<std::uint32_t>(std::size(properties)), properties};
        if (const int failed = kernel().ioctl(descriptor_, FE_GET_PROPERTY, &request))
            return result_for(-failed);
        statistics.cnr = properties[0].u.st;
        statistics.strength = properties[1].u.st;
        statistics.post_errors = properties[2].u.st;
        statistics.post_total = properties[3].u.st;
        statistics.pre_errors = properties[4].u.st;
        statistics.pre_total = properties[5].u.st;
        statistics.error_blocks = properties[6].u.st;
        statistics.total_blocks = properties[7].u.st;
        figures = figures_from(statistics, window_);
        last_ = statistics;
        return 0;
    }

private:
    static Result report(int error, const std::string &line)
    {
        std::fprintf(stderr, "%s\n", line.c_str());
        return result_for(error);
    }

    std::optional<Frontend> frontend_;
    bool looked_for_missing_ = false;
    int descriptor_ = -1;
    CounterWindow window_;
    std::optional<Statistics> last_; // of the last sample, none when it could not be read
};

FrontendDriver frontend;

} // namespace

void use_frontend(std::optional<Frontend> found)
{
    frontend.set_frontend(std::move(found));
    use_driver(frontend);
}

const Statistics *frontend_statistics() { return &driver() == &frontend && frontend.last() ? &*frontend.last() : nullptr; }

bool looked_for_missing_frontend() { return frontend.looked_for_missing(); }

} // namespace tuning
