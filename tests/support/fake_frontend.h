// DVB frontends as the kernel's documented ABI shows them, behind the kernel seam: status bits,
// property arrays with their lengths and scales, error numbers, the open rules (any number of
// readers, one writer, EBUSY for a second), and the rule for readers: a descriptor opened
// read-only may only query (_IOR calls but FE_GET_EVENT), EPERM for the rest. Tuning parameters
// belong to the frontend, so every descriptor reads what its writer tuned. A device unplugged
// takes its nodes with it; plugged in again, its adapter's directory is made anew. While a
// FakeKernel lives it is the only kernel the frontend driver sees; outside one the seam finds no
// devices, so no test reaches the machine's own /dev/dvb.
#pragma once

#include <cstdint>
#include <linux/dvb/frontend.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/tuning/frontend/kernel.h"

// The statistics a frontend reports, as the kernel carries them.
dtv_fe_stats decibels(std::int64_t millidecibels);
dtv_fe_stats counter(std::uint64_t count);
dtv_fe_stats not_available(); // the driver offers it, without a figure now
dtv_fe_stats not_offered();   // the driver has no such statistic: length 0

const std::string frontend0 = "/dev/dvb/adapter0/frontend0";

// What one FE_SET_PROPERTY carried: each command with its value, in order.
using Properties = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
// The properties of a tune as the kernel's documentation asks for them.
Properties tune_to(std::uint32_t delivery_system, std::uint32_t frequency_hz);

struct FakeFrontend {
    std::vector<std::uint32_t> delivery_systems;
    std::string name = "Fake ISDB-T demod";            // FE_GET_INFO's
    std::map<std::uint32_t, std::uint32_t> parameters; // DTV_ISDBT_* as read back; 0 where unset
    bool permitted = true;                             // false: opening it gives EACCES
    int failure = 0;                                   // every ioctl fails with this error, e.g. ENODEV once unplugged
    int tune_failure = 0;                              // FE_SET_PROPERTY fails with this
    int status_failure = 0;                            // FE_READ_STATUS fails with this
    int statistics_failure = 0;                        // FE_GET_PROPERTY of statistics fails with this
    std::uint32_t lowest_hz = 90000000;                // the tuner's range: a tune outside it gives EINVAL
    std::uint32_t highest_hz = 770000000;
    std::uint32_t status = FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK;
    dtv_fe_stats cnr = decibels(28000);
    dtv_fe_stats post_errors = counter(0);
    dtv_fe_stats post_total = counter(0);
    dtv_fe_stats pre_errors = not_offered();
    dtv_fe_stats pre_total = not_offered();
    // What its writer tuned last, as DTV_FREQUENCY and DTV_DELIVERY_SYSTEM read back.
    std::uint32_t frequency = 0;
    std::uint32_t system = 0;
    std::vector<Properties> set_properties;

    // The post-inner-code counters: the bits counted since the last tune.
    void count(std::uint64_t errors, std::uint64_t total);
    // What the driver does when it tunes.
    void restart_counters();
};

class FakeKernel final : public tuning::Kernel {
public:
    FakeKernel();
    ~FakeKernel() override;

    // A frontend node such as "/dev/dvb/adapter0/frontend0"; its directories appear with it,
    // beside the demux and dvr nodes every adapter has.
    FakeFrontend &add(const std::string &path, std::vector<std::uint32_t> delivery_systems);
    FakeFrontend &frontend(const std::string &path);
    // The device unplugged: its node goes, and its descriptors fail with ENODEV.
    void remove(const std::string &path);
    // Another program, a recorder say, opens the frontend for writing and tunes it; then tunes it
    // anew on the descriptor it got.
    int hold(const std::string &path, std::uint32_t delivery_system, std::uint32_t frequency_hz);
    void retune(int descriptor, std::uint32_t delivery_system, std::uint32_t frequency_hz);

    std::vector<tuning::DirectoryEntry> entries(const std::string &directory) override;
    int open(const std::string &path, int flags) override;
    int ioctl(int descriptor, unsigned long request, void *argument) override;
    int close(int descriptor) override;

    // From now on every call made on the seam is written down, in order: "readdir /dev/dvb",
    // "open(O_RDWR|O_NONBLOCK)", "FE_SET_PROPERTY 479142857 Hz", "FE_READ_STATUS", "close"; one that
    // failed with its error number's name, "open(O_RDWR|O_NONBLOCK) = EBUSY".
    void start_journal();
    const std::vector<std::string> &journal() const { return journal_; }
    // The descriptors open now, each with whether it writes.
    std::vector<std::pair<int, bool>> descriptors() const;
    int open_descriptors() const { return static_cast<int>(open_.size()); }
    const std::vector<int> &open_flags() const { return open_flags_; } // of every open that succeeded
    int ioctls() const { return ioctls_; }
    int refusals() const { return refusals_; } // calls refused on a read-only descriptor
    int directory_reads() const { return directory_reads_; }

private:
    struct Open {
        std::string path;
        bool writes;
        int device; // the plugging of the node it was opened on
    };
    int open_node(const std::string &path, int flags);
    int call(int descriptor, unsigned long request, void *argument);
    int get_property(FakeFrontend &node, dtv_properties &request);
    int set_property(FakeFrontend &node, const dtv_properties &request);

    std::map<std::string, FakeFrontend> nodes_;
    std::map<std::string, int> devices_;               // node -> the device plugged there now
    std::map<std::string, std::uint64_t> directories_; // adapter directory -> its inode
    int next_device_ = 1;
    std::uint64_t next_inode_ = 1000;
    std::map<int, Open> open_;
    int next_descriptor_ = 100;
    std::vector<int> open_flags_;
    int ioctls_ = 0;
    int refusals_ = 0;
    int directory_reads_ = 0;
    bool journaling_ = false;
    std::vector<std::string> journal_;
};
