#include "platform/tuning/chardev/chardev_driver.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>

#include "platform/texts.h"
#include "platform/tuning/chardev/carrier_to_noise.h"
#include "platform/tuning/chardev/frequency_numbers.h"
#include "platform/tuning/chardev/ptx_ioctl.h"
#include "platform/tuning/frontend/errors.h"
#include "platform/tuning/frontend/kernel.h"
#include "platform/tuning/frontend/statistics.h"

namespace tuning {

namespace {

// ISDB-T's centre frequency sits 1/7 MHz above the channel plan's; the drivers' tables add it.
const std::int64_t isdbt_offset_hz = 1000000 / 7;

// Where the driver stands with its node:
//   closed  no descriptor: before the first tune, and once the tuner is released
//   owned   open, tuned to its last tune's frequency number
//   gone    the node vanished; looked for again at every sample, it is tuned again when it comes back
enum class State { closed, owned, gone };

bool device_gone(int error) { return error == ENODEV || error == EIO || error == ENOTCONN || error == ENXIO; }

class ChardevDriver final : public FigureDriver {
public:
    std::vector<Device> devices() override { return tuner_devices(); }

    Result tune(int frequency_khz) override
    {
        const int number = frequency_number(frequency_khz);
        if (number < 0 || number > chardev_.family->highest_number)
            return report(EINVAL, number > chardev_.family->highest_number
                                      ? formatted(translated("%s: %d kHz: %s has no frequency number for it (it tunes "
                                                             "UHF 13 to %d)"),
                                                  chardev_.path.c_str(), frequency_khz,
                                                  std::string(chardev_.family->driver).c_str(),
                                                  chardev_.family->highest_number - 50)
                                      : formatted(translated("%s: %d kHz: %s has no frequency number for it"),
                                                  chardev_.path.c_str(), frequency_khz,
                                                  std::string(chardev_.family->driver).c_str()));
        if (watch_only_)
            return report(EBUSY,
                          formatted(translated("%s: cannot be watched: %s"), chardev_.path.c_str(), one_program()));
        if (state_ == State::gone)
            return report(ENODEV, chardev_.path + ": " + reason(ENODEV));
        if (state_ == State::closed) {
            if (const int failed = open_node())
                return report(failed, failed == chardev_.family->busy_error
                                          ? formatted(translated("%s: in use by another program; %s"),
                                                      chardev_.path.c_str(), one_program())
                                          : chardev_.path + ": " + reason(failed));
        }
        if (const int failed = set_channel(number))
            return report(failed, formatted(translated("%s: tune to %s: %s"), chardev_.path.c_str(),
                                            tuning_text(frequency_khz).c_str(), tune_reason(failed).c_str()));
        frequency_khz_ = frequency_khz;
        return 0;
    }

    void close() override
    {
        if (descriptor_ >= 0)
            kernel().close(descriptor_);
        descriptor_ = -1;
        if (state_ == State::owned)
            state_ = State::closed;
    }

    void watch_only() override { watch_only_ = true; }

    bool find_again() override
    {
        if (state_ != State::gone)
            return false;
        // A node that came back has a new inode: only then is it opened, once.
        std::optional<DirectoryEntry> now;
        for (DirectoryEntry &entry : kernel().entries("/dev"))
            if (entry.name == chardev_.name)
                now = std::move(entry);
        if (!now.has_value() || now == tried_)
            return false;
        tried_ = now;
        const int failed = open_node();
        if (failed == 0 && set_channel(frequency_number(frequency_khz_)) == 0) {
            std::fprintf(stderr, translated("%s: found again: tuned to %s\n"), chardev_.path.c_str(),
                         tuning_text(frequency_khz_).c_str());
            return true;
        }
        if (failed == chardev_.family->busy_error)
            std::fprintf(stderr, translated("%s: found again, in use by another program; %s\n"), chardev_.path.c_str(),
                         one_program());
        close();
        state_ = State::gone;
        return false;
    }

    TunerIdentity identity() const override { return {"chardev", chardev_.path, !chardev_.family->calibrated}; }

    ReceiverFigures reported() const override
    {
        ReceiverFigures figures{};
        if (!cnr_.has_value())
            return figures;
        figures.reported = true;
        figures.carrier_to_noise_db[part_whole] = {true, static_cast<double>(*cnr_) / 1000.0};
        return figures;
    }

    void set_chardev(Chardev chardev)
    {
        close();
        chardev_ = std::move(chardev);
        state_ = State::closed;
        watch_only_ = false;
        frequency_khz_ = 0;
        tried_.reset();
        if (!chardev_.family->calibrated)
            std::fprintf(stderr,
                         translated("%s: %s hands over two of the three bytes of its C/N: the level is uncalibrated\n"),
                         chardev_.path.c_str(), std::string(chardev_.family->driver).c_str());
    }

protected:
    Result read(Figures &figures) override
    {
        cnr_.reset();
        figures.error_counts = false;
        // Declared as a pointer's size; the drivers write the low 32 bits.
        std::uint32_t raw[2] = {0, 0};
        if (const int failed = -kernel().ioctl(descriptor_, ptx_get_cnr, raw)) {
            if (device_gone(failed))
                lose();
            return result_for(device_gone(failed) ? ENODEV : failed);
        }
        cnr_ = carrier_to_noise_millidecibels(raw[0]);
        figures.level_value = cnr_.has_value() ? level_value_for(*cnr_) : 0;
        return 0;
    }

private:
    static const char *one_program() { return translated("this driver lets one program open a tuner at a time"); }

    static Result report(int error, const std::string &line)
    {
        std::fprintf(stderr, "%s\n", line.c_str());
        return result_for(error);
    }

    // px4_drv answers EAGAIN when the demodulator does not lock within its wait.
    static std::string tune_reason(int error)
    {
        return error == EAGAIN ? translated("no signal: the tuner did not lock") : reason(error);
    }

    // "frequency number 63 (473142857 Hz, ISDB-T)"
    static std::string tuning_text(int frequency_khz)
    {
        const std::string hertz = std::to_string(std::int64_t{frequency_khz} * 1000 + isdbt_offset_hz);
        return formatted(translated("frequency number %d (%s Hz, ISDB-T)"), frequency_number(frequency_khz),
                         hertz.c_str());
    }

    // Opens the node, in ISDB-T mode where it receives more than one system. 0 or the error number.
    int open_node()
    {
        const int opened = kernel().open(chardev_.path, O_RDONLY);
        if (opened < 0)
            return -opened;
        descriptor_ = opened;
        state_ = State::owned;
        if (chardev_.family->multi_system) {
            // The mode travels in the argument itself, not behind a pointer.
            if (const int failed =
                    -kernel().ioctl(descriptor_, ptx_set_system_mode, reinterpret_cast<void *>(ptx_isdb_t_system))) {
                std::fprintf(stderr, translated("%s: ISDB-T mode: %s\n"), chardev_.path.c_str(),
                             reason(failed).c_str());
                close();
                return failed;
            }
        }
        return 0;
    }

    int set_channel(int number)
    {
        PtxFrequency frequency{number, 0};
        const int failed = -kernel().ioctl(descriptor_, ptx_set_channel, &frequency);
        if (failed != 0 && device_gone(failed))
            lose();
        return failed;
    }

    void lose()
    {
        if (state_ == State::gone)
            return;
        std::fprintf(stderr, translated("%s: %s: looking for it again\n"), chardev_.path.c_str(),
                     reason(ENODEV).c_str());
        close();
        state_ = State::gone;
        tried_.reset();
        for (DirectoryEntry &entry : kernel().entries("/dev"))
            if (entry.name == chardev_.name)
                tried_ = std::move(entry);
    }

    Chardev chardev_{};
    State state_ = State::closed;
    int descriptor_ = -1;
    int frequency_khz_ = 0;               // the last tune's, tuned again after a replug
    std::optional<DirectoryEntry> tried_; // gone: the node as last seen, not opened again until it changes
    std::optional<std::int64_t> cnr_;     // the last sample's C/N in 0.001 dB
    bool watch_only_ = false;
};

ChardevDriver chardev_driver;

} // namespace

void use_chardev(Chardev chardev)
{
    chardev_driver.set_chardev(std::move(chardev));
    use_driver(chardev_driver);
}

} // namespace tuning
