#include "platform/tuning/simulated/simulated_driver.h"

#include <algorithm>
#include <iterator>

#include "platform/tuner_level.h"
#include "platform/tuning/simulated/receiver.h"
#include "platform/tuning/simulated/signal.h"

namespace tuning {

namespace {

template <std::size_t Bytes> bool one_of(const std::uint32_t (&selectors)[Bytes], std::uint32_t selector)
{
    return std::find(std::begin(selectors), std::end(selectors), selector) != std::end(selectors);
}

class SimulatedDriver final : public FigureDriver {
public:
    std::vector<Device> devices() override
    {
        std::vector<Device> devices = tuner_devices();
        switch (trouble.devices) {
        case SimulatedTrouble::Devices::tuner: break;
        case SimulatedTrouble::Devices::none: devices.clear(); break;
        case SimulatedTrouble::Devices::tuner_without_capture:
            // Another maker's receiver sits where the capture filter would.
            devices[1] = {L"Generic BDA Receiver Component", Category::receiver_component, FilterKind::other};
            break;
        case SimulatedTrouble::Devices::unbindable_tuner: devices[0].binds = false; break;
        }
        return devices;
    }

    Result tune(int frequency_khz) override
    {
        frequency_khz_ = frequency_khz;
        tuned_ = true;
        return 0;
    }

    Result select(std::uint32_t selector) override
    {
        return trouble.set_result != 0 ? trouble.set_result : FigureDriver::select(selector);
    }

    Result answer(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes) override
    {
        if (trouble.get_result != 0)
            return trouble.get_result;
        if (const Result failed = FigureDriver::answer(selector, value, bytes))
            return failed;
        if ((trouble.zero_level && one_of(tuner_level::level_selectors, selector)) ||
            (trouble.zero_cycles && one_of(tuner_level::cycle_count_selectors, selector)))
            value = 0;
        bytes = trouble.answer_bytes;
        return 0;
    }

    TunerIdentity identity() const override { return {"simulated", ""}; }

    ReceiverFigures reported() const override { return report_.reported ? report_ : ReceiverFigures{}; }

    void restart()
    {
        seed = 1;
        trouble = {};
        frequency_khz_ = 0;
        samples_ = 0;
        report_ = {};
    }

    std::uint64_t seed = 1;
    SimulatedTrouble trouble;

protected:
    Result read(Figures &figures) override
    {
        if (trouble.unplug_after >= 0 && samples_ >= static_cast<std::uint64_t>(trouble.unplug_after)) {
            report_.reported = false;
            return device_not_connected;
        }
        figures = figures_for(frequency_khz_, seed, ++samples_, trouble.steady);
        report_ = receiver_report(figures, reception_at(frequency_khz_), report_, tuned_);
        tuned_ = false;
        return 0;
    }

private:
    int frequency_khz_ = 0;
    std::uint64_t samples_ = 0;
    bool tuned_ = false;       // since the last report
    ReceiverFigures report_{}; // the last, and the counts since the last tune
};

SimulatedDriver simulated;

} // namespace

Driver &simulated_driver() { return simulated; }

void restart_simulated_driver() { simulated.restart(); }

void set_seed(std::uint64_t seed) { simulated.seed = seed; }

void set_trouble(const SimulatedTrouble &trouble) { simulated.trouble = trouble; }

} // namespace tuning
