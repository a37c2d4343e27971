// Receivers as they live on Linux: beside a recorder that holds the frontend, whose channel the
// program shows, and unplugged and plugged back in while the program runs.
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "platform/tuning/frontend/discovery.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "support/fake_frontend.h"
#include "support/sim_fixture.h"

namespace {

class FrontendWatchTest : public SimTest {
protected:
    void TearDown() override
    {
        SimTest::TearDown();
        EXPECT_EQ(fake->refusals(), 0) << "nothing the kernel refuses a reader was tried";
        EXPECT_EQ(fake->open_descriptors(), 0) << "every descriptor closed";
    }

    // A fresh kernel with one ISDB-T receiver, which the driver stands for.
    FakeFrontend &use_receiver(std::optional<unsigned> adapter = {})
    {
        fake.emplace();
        FakeFrontend &node = fake->add(frontend0, {SYS_ISDBT});
        tuning::use_frontend(tuning::find_frontend(adapter), adapter);
        return node;
    }

    Captured start_tuner()
    {
        int up = 0;
        Captured captured = capture([&] { up = init_tuner(); });
        EXPECT_EQ(up, 1) << captured.err;
        return captured;
    }

    static Captured sample()
    {
        return capture([] { take_sample(); });
    }

    std::optional<FakeKernel> fake;
};

struct ReadBack {
    std::uint32_t delivery_system;
    std::uint32_t frequency; // as DTV_FREQUENCY carries it
    int channel;
    int catv;
    int frequency_khz;
    bool off_plan;
};

// What the recorder tuned, as the sample's record carries it to the header, the strip and the
// log: the channel of either plan within a quarter of a channel's width, or the frequency itself.
TEST_F(FrontendWatchTest, TheChannelTheRecorderTunedIsReadBackOnBothPlansAndOffThem)
{
    const ReadBack rows[] = {
        {SYS_ISDBT, 521142857, 21, 0, 521000, false}, // terrestrial, 1/7 MHz above the plan
        {SYS_DVBT, 473000000, 13, 0, 473000, false},  // on the plan itself
        {SYS_ISDBT, 111142857, 13, 1, 111000, false}, // cable, low part
        {SYS_DVBT, 465000000, 63, 1, 465000, false},  // cable, high part
        {SYS_DVBT, 774500000, 63, 0, 773000, false},  // a quarter of a channel above terrestrial 63
        {SYS_DVBT, 471500000, 13, 0, 473000, false},  // a quarter below terrestrial 13
        {SYS_DVBT, 469000000, 0, 0, 469000, true},    // between the plans
        {SYS_DVBT, 500000000, 0, 0, 500000, true},    // between terrestrial 17 and 18
        {SYS_DVBS, 1550000, 0, 0, 1550000, true},     // a satellite system counts in kHz
    };
    FakeFrontend &node = use_receiver();
    node.delivery_systems.push_back(SYS_DVBS);
    const int recorder = fake->hold(frontend0, SYS_ISDBT, 521142857);
    start_tuner();
    for (const ReadBack &row : rows) {
        node.frequency = row.frequency; // what the recorder tuned
        node.system = row.delivery_system;
        SampleRecord record{};
        capture([&] { record = record_sample(); });
        EXPECT_EQ(record.off_plan, row.off_plan) << row.frequency;
        EXPECT_EQ(record.frequency_khz, row.frequency_khz) << row.frequency;
        if (!row.off_plan) {
            EXPECT_EQ(record.channel, row.channel) << row.frequency;
            EXPECT_EQ(record.catv, row.catv) << row.frequency;
        }
    }
    fake->close(recorder);
}

struct Replug {
    const char *where;
    std::optional<unsigned> adapter; // QUORVEX_ADAPTER
    bool lingers;                    // the gone device's node stays until it comes back
    std::vector<std::string> back;   // where the device comes back, in turn; none: at once
    const char *line;                // on standard error when it is back
};

// A device pulled out costs a directory read a tick while it is missing, and is found again as
// soon as it comes back: on the same adapter when one is named, else wherever it is first found.
// (How it comes back, tuned or watched, is the driver's state table's.)
TEST_F(FrontendWatchTest, ADevicePulledOutIsFoundAgainWhereverItComesBack)
{
    const std::string frontend1 = "/dev/dvb/adapter1/frontend0";
    const Replug cases[] = {
        {"where it was",
         {},
         false,
         {frontend0},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"where it was, between two samples",
         {},
         false,
         {},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"where it was, its dead node lingering until then",
         {},
         true,
         {frontend0},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"on another adapter",
         {},
         false,
         {frontend1},
         "/dev/dvb/adapter1/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"on the adapter QUORVEX_ADAPTER=0 names, not another",
         0u,
         false,
         {frontend1, frontend0},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
    };
    for (const Replug &c : cases) {
        tuning::reset();
        FakeFrontend *node = &use_receiver(c.adapter);
        start_tuner();
        ASSERT_EQ(tune_channel(14, 0), 0) << c.where; // the last frequency, 479000 kHz
        sample();
        if (c.lingers)
            node->failure = ENODEV;
        else
            fake->remove(frontend0);
        if (c.back.empty())
            node = &fake->add(frontend0, {SYS_ISDBT});
        sample(); // the device has gone
        for (const std::string &path : c.back) {
            for (int tick = 0; tick < 3; ++tick) {
                const int reads = fake->directory_reads();
                EXPECT_EQ(sample().out, "") << c.where;
                // The first look after the pull searches what is there.
                if (tick > 0) {
                    EXPECT_LE(fake->directory_reads() - reads, 1) << c.where << ": at most a directory read a tick";
                }
            }
            if (c.lingers)
                fake->remove(frontend0);
            node = &fake->add(path, {SYS_ISDBT});
        }
        const Captured back = sample();
        EXPECT_EQ(back.err, c.line) << c.where;
        EXPECT_EQ(back.out, " 28.0 | --------- \n") << c.where;
        ASSERT_FALSE(node->set_properties.empty()) << c.where;
        EXPECT_EQ(node->set_properties.back(), tune_to(SYS_ISDBT, 479142857)) << c.where;
        release_tuner();
        EXPECT_EQ(fake->open_descriptors(), 0) << c.where;
    }
}

} // namespace
