#include "platform/tuning/simulated/simulated_driver.h"

#include "platform/tuning/simulated/signal.h"

namespace tuning {

namespace {

class SimulatedDriver final : public Driver {
public:
    std::vector<Device> devices() override { return tuner_devices(); }

    Result tune(int frequency_khz) override
    {
        frequency_khz_ = frequency_khz;
        return 0;
    }

    Result read(Figures &figures) override
    {
        if (unplug_after >= 0 && samples_ >= static_cast<std::uint64_t>(unplug_after))
            return device_not_connected;
        figures = figures_for(frequency_khz_, seed, ++samples_);
        return 0;
    }

    void restart()
    {
        seed = 1;
        unplug_after = -1;
        frequency_khz_ = 0;
        samples_ = 0;
    }

    std::uint64_t seed = 1;
    int unplug_after = -1;

private:
    int frequency_khz_ = 0;
    std::uint64_t samples_ = 0;
};

SimulatedDriver simulated;

} // namespace

Driver &simulated_driver() { return simulated; }

void restart_simulated_driver() { simulated.restart(); }

void set_seed(std::uint64_t seed) { simulated.seed = seed; }

void set_unplug_after(int samples) { simulated.unplug_after = samples; }

} // namespace tuning
