// What stands behind the tuner and capture filters: a tuner driver. The COM objects and the
// exchange answer the program from whichever driver is in use, through this one narrow seam.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sample_record.h"
#include "platform/tuning/model/exchange.h"

namespace tuning {

// What a driver is, for those who ask what the monitor runs on.
struct TunerIdentity {
    std::string driver;        // "frontend", "chardev" or "simulated"
    std::string device;        // the node; empty for the simulated tuner
    bool uncalibrated = false; // its level is not a C/N in dB that can be trusted
};

class Driver {
public:
    Driver() = default;
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;
    virtual ~Driver() = default;

    // The tuner and capture filters the driver's device appears as; empty when there is none.
    virtual std::vector<Device> devices() = 0;
    // Tunes to a frequency of the channel plan (kHz); a failure code when the device refuses.
    virtual Result tune(int frequency_khz) = 0;
    // The vendor property's Set of a selector; device_not_connected once the device has gone.
    virtual Result select(std::uint32_t selector) = 0;
    // The Get that follows it: the 4-byte value and the count of bytes answered.
    virtual Result answer(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes) = 0;
    // The last tuner filter was released: the device may be let go.
    virtual void close() {}
    virtual TunerIdentity identity() const = 0;

    // Another program may hold the device; the driver then only watches it. watch_only, before the
    // first tune, asks it never to tune the device: to watch it even when no other program holds it.
    virtual void watch_only() {}
    // Whether the driver only watches its device, with the frequency in kHz it last saw the device
    // tuned to (0 before any).
    virtual bool watching(int & /*frequency_khz*/) { return false; }
    // The device has gone: looks for it again, at no more than a directory read while it is
    // missing, and brings it back as it was (tuned to the last frequency, or watched). True once
    // it is back.
    virtual bool find_again() { return false; }
    // What the device reported with the last sample beside the vendor figures; nothing when it
    // reports nothing more, or the sample could not be read.
    virtual ReceiverFigures reported() const { return {}; }
};

// One sample's figures, as the vendor property's selectors carry them.
struct Figures {
    std::uint32_t level_value = 0; // 24 bits: 5505024 / v is the level as a power ratio
    std::uint32_t error_count = 0; // 24 bits
    std::uint32_t cycle_count = 0; // 16 bits
    bool error_counts = true;      // false: the device counts no errors, so their reads fail
};

// A driver that reads one sample's figures when the first level selector is chosen, as a
// demodulator latches its registers, and answers every selector from them.
class FigureDriver : public Driver {
public:
    Result select(std::uint32_t selector) override;
    Result answer(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes) override;

protected:
    virtual Result read(Figures &figures) = 0;

private:
    Figures figures_;
};

} // namespace tuning
