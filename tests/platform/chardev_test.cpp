// The PT and PX tuners' character devices at the ioctl seam, for what the CUSE double in the
// virtual machine (tests/kernel/chardev.sh) cannot show: each family's nodes and limits, the ISDB-T
// mode of the multi-system tuners (its argument travels by value), a tune that does not lock; and
// the C/N conversion worked out by hand.
#include <cerrno>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/tuning/chardev/carrier_to_noise.h"
#include "platform/tuning/chardev/chardev_driver.h"
#include "platform/tuning/chardev/ptx_ioctl.h"
#include "platform/tuning/frontend/kernel.h"
#include "platform/tuning/receivers.h"
#include "support/sim_fixture.h"

namespace {

// Nodes under /dev as the PT and PX drivers make them: one open at a time, the family's error for
// a second, every request written down.
class ChardevKernel final : public tuning::Kernel {
public:
    explicit ChardevKernel(std::vector<std::string> nodes, int busy_error = EALREADY)
        : nodes_(std::move(nodes)), busy_error_(busy_error)
    {
        tuning::use_kernel(this);
    }
    ~ChardevKernel() override { tuning::use_kernel(nullptr); }

    std::vector<tuning::DirectoryEntry> entries(const std::string &directory) override
    {
        std::vector<tuning::DirectoryEntry> found;
        if (directory == "/dev")
            for (const std::string &node : nodes_)
                found.push_back({node, 7});
        return found;
    }
    int open(const std::string &path, int) override
    {
        if (held)
            return -busy_error_;
        journal.push_back("open " + path);
        open_ = true;
        return 3;
    }
    int ioctl(int, unsigned long request, void *argument) override
    {
        if (request == tuning::ptx_set_system_mode)
            journal.push_back("set_system_mode " + std::to_string(reinterpret_cast<unsigned long>(argument)));
        else if (request == tuning::ptx_set_channel && channel_error != 0)
            return -channel_error;
        else if (request == tuning::ptx_set_channel)
            journal.push_back("set_channel " + std::to_string(static_cast<tuning::PtxFrequency *>(argument)->number));
        else
            return -ENOTTY;
        return 0;
    }
    int close(int) override
    {
        journal.push_back("close");
        open_ = false;
        return 0;
    }

    bool held = false;     // another program has the node open
    int channel_error = 0; // what PTX_SET_CHANNEL answers
    std::vector<std::string> journal;

private:
    std::vector<std::string> nodes_;
    int busy_error_;
    bool open_ = false;
};

class ChardevTest : public SimTest {};

TEST_F(ChardevTest, EachFamilyTunesItsOwnNumbersAndRefusesTheRest)
{
    struct Row {
        const char *node;
        int frequency_khz;
        std::vector<std::string> journal;
        std::string line;
    } rows[] = {
        {"px4video2", 165000, {"open /dev/px4video2", "set_channel 12"}, ""}, // CATV 22
        {"px4video2", 225000, {"open /dev/px4video2", "set_channel 22"}, ""}, // CATV 23
        {"pt1video3",
         767000,
         {"open /dev/pt1video3", "set_channel 112"}, // UHF 62
         "/dev/pt1video3: pt1_drv hands over two of the three bytes of its C/N: the level is uncalibrated\n"},
        {"pxmlt5video0", 473000, {"open /dev/pxmlt5video0", "set_system_mode 16", "set_channel 63"}, ""},
        {"px4video2",
         713000,
         {},
         "/dev/px4video2: 713000 kHz: px4_drv has no frequency number for it (it tunes UHF 13 to 52)\n"},
        {"pt3video2",
         767000,
         {},
         "/dev/pt3video2: 767000 kHz: pt3_drv has no frequency number for it (it tunes UHF 13 to 61)\n"},
    };
    for (const Row &row : rows) {
        ChardevKernel kernel({row.node});
        tuning::Result result = 0;
        const Captured captured = capture([&] {
            tuning::use_chardev(*tuning::chardev_named(row.node));
            result = tuning::driver().tune(row.frequency_khz);
        });
        tuning::driver().close();
        std::vector<std::string> expected = row.journal;
        if (!expected.empty())
            expected.push_back("close");
        EXPECT_EQ(kernel.journal, expected) << row.node << " " << row.frequency_khz;
        EXPECT_EQ(captured.err, row.line);
        EXPECT_EQ(result == 0, !row.journal.empty());
    }
}

TEST_F(ChardevTest, ATuneThatCannotBeMadeSaysWhy)
{
    const std::string tune = "/dev/px4video2: tune to frequency number 63 (473142857 Hz, ISDB-T): ";
    struct Row {
        bool watch_only;
        int channel_error;
        std::string line;
    } rows[] = {
        {false, EAGAIN, tune + "no signal: the tuner did not lock\n"},
        {false, ENODEV, tune + "the device has gone\n"},
        {true, 0, "/dev/px4video2: cannot be watched: this driver lets one program open a tuner at a time\n"},
    };
    for (const Row &row : rows) {
        ChardevKernel kernel({"px4video2"});
        kernel.channel_error = row.channel_error;
        tuning::use_chardev(*tuning::chardev_named("px4video2"));
        if (row.watch_only)
            tuning::driver().watch_only();
        tuning::Result result = 0;
        const Captured captured = capture([&] { result = tuning::driver().tune(473000); });
        tuning::driver().close();
        EXPECT_NE(result, 0);
        // A device gone is looked for again; a node that did not lock stays open for the next tune.
        EXPECT_EQ(captured.err, row.channel_error == ENODEV
                                    ? "/dev/px4video2: the device has gone: looking for it again\n" + row.line
                                    : row.line);
    }
}

TEST_F(ChardevTest, OnlyTerrestrialNodesAreTaken)
{
    {
        ChardevKernel kernel({"px4video1", "px4video0", "pt3video6", "px4video2"});
        tuning::use_first_receiver(std::nullopt);
        EXPECT_EQ(tuning::driver().identity().device, "/dev/pt3video6") << "pt3_drv's nodes first";
    }
    ChardevKernel kernel({"px4video1", "px4video0"});
    const Captured captured = capture([] { tuning::use_first_receiver(std::nullopt); });
    EXPECT_EQ(captured.err, "/dev/px4video0: satellite only (ISDB-S): passed over\n"
                            "/dev/px4video1: satellite only (ISDB-S): passed over\n");
    EXPECT_EQ(tuning::driver().identity().driver, "frontend") << "no tuner";
    EXPECT_EQ(tuning::use_receiver_at("/dev/px4video0"),
              "/dev/px4video0: satellite only (ISDB-S); Quorvex receives ISDB-T");
}

TEST(CarrierToNoise, TheKernelsFormulaWorkedOutByHand)
{
    // P = 10 log10(5505024 / raw); C/N = 0.024 P^4 - 1.6 P^3 + 39.8 P^2 + 549.1 P + 3096.5 (0.001 dB)
    //   raw 5505024: P = 0              -> 3096.5
    //   raw 55050:   P = 20.0000197     -> 3840 - 12800 + 15920 + 10982 + 3096.5 = 21038.5, + 0.02
    //   raw 5505:    P = 30.0000189     -> 19440 - 43200 + 35820 + 16473 + 3096.5 = 31629.5, + 0.02
    const std::pair<std::uint32_t, double> rows[] = {{5505024, 3.0965}, {55050, 21.0385}, {5505, 31.6295}};
    for (const auto &[raw, decibels] : rows)
        EXPECT_NEAR(static_cast<double>(*tuning::carrier_to_noise_millidecibels(raw)) / 1000.0, decibels, 0.002) << raw;
    EXPECT_FALSE(tuning::carrier_to_noise_millidecibels(0).has_value()) << "the register's zero has no figure";
}

} // namespace
