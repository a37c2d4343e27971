// Receivers as they live on Linux: beside a recorder that holds the frontend, which the program
// then only watches (and the kernel lets a read-only descriptor do nothing but query), and
// unplugged and plugged back in while the program runs.
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/ioctl.h>

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

    static int watched_khz()
    {
        int frequency_khz = -1;
        return watching_tuner(frequency_khz) ? frequency_khz : -1;
    }

    std::optional<FakeKernel> fake;
};

struct WatchStart {
    const char *cause;
    bool held;
    const char *line;
    int watched_khz;
};

// The program starts beside a recorder, or is asked to watch: it opens the frontend read-only and
// makes no call on it but queries, and tunes nothing.
TEST_F(FrontendWatchTest, TheProgramWatchesAFrontendAnotherProgramHoldsOrWhenAsked)
{
    const WatchStart cases[] = {
        {"a recorder holds it", true,
         "/dev/dvb/adapter0/frontend0: in use by another program: watching it without tuning\n", 521143},
        {"--watch", false, "/dev/dvb/adapter0/frontend0: watching it without tuning\n", 0},
    };
    for (const WatchStart &c : cases) {
        tuning::reset();
        FakeFrontend &node = use_receiver();
        int recorder = -1;
        if (c.held)
            recorder = fake->hold(frontend0, SYS_ISDBT, 521142857); // terrestrial 21, as ISDB-T tunes it
        else
            watch_tuner_only();
        const std::size_t tunes_before = node.set_properties.size();
        EXPECT_EQ(start_tuner().err, c.line) << c.cause;
        EXPECT_EQ(watched_khz(), c.watched_khz) << c.cause;
        EXPECT_EQ(fake->open_flags().back(), O_RDONLY | O_NONBLOCK) << c.cause;
        node.cnr = decibels(24082);
        node.count(1632, 1632ULL * 50000);
        const Captured captured = sample();
        EXPECT_EQ(captured.out, " 24.1 |  2.00E-05\n") << c.cause;
        EXPECT_EQ(captured.err, "") << c.cause;
        EXPECT_EQ(node.set_properties.size(), tunes_before) << c.cause << ": nothing tuned";
        EXPECT_EQ(tuning::tuned_frequency_khz(), 0) << c.cause;
        release_tuner();
        if (recorder >= 0)
            fake->close(recorder);
    }
}

// The recorder retunes: the program follows the frequency and counts from the recorder's tune,
// as the driver restarted its counters there. (Apply beside it is the whole program's test.)
TEST_F(FrontendWatchTest, TheRecordersRetuneStartsANewCounterWindow)
{
    FakeFrontend &node = use_receiver();
    const int recorder = fake->hold(frontend0, SYS_ISDBT, 521142857);
    start_tuner();
    node.count(100, 1000000);
    EXPECT_EQ(sample().out, " 28.0 |  1.00E-04\n");
    fake->retune(recorder, SYS_ISDBT, 249142857); // cable 27
    node.count(300, 2000000);
    EXPECT_EQ(sample().out, " 28.0 |  1.50E-04\n") << "300 / 2000000 since the tune, not 200 / 1000000";
    EXPECT_EQ(watched_khz(), 249143);
    release_tuner();
    fake->close(recorder);
}

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
    const char *what;
    std::optional<unsigned> adapter; // QUORVEX_ADAPTER
    bool watched;                    // a recorder held the tuner before the pull
    bool held_when_back;             // and holds it when it comes back
    bool lingers;                    // the gone device's node stays until it comes back
    std::vector<std::string> back;   // where the device comes back, in turn; none: at once
    const char *line;                // on standard error when it is back
};

// A device pulled out fails its samples, costs a directory read a tick while it is missing, and is
// found again at once when it comes back (the same adapter when one is named, else the first
// suitable one): tuned to the last frequency, or watched as before, with one line each way.
TEST_F(FrontendWatchTest, ADevicePulledOutAndPluggedBackIsTakenUpAsItWas)
{
    const std::string frontend1 = "/dev/dvb/adapter1/frontend0";
    const Replug cases[] = {
        {"back as it was",
         {},
         false,
         false,
         false,
         {frontend0},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"back between two samples",
         {},
         false,
         false,
         false,
         {},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"its dead node lingering until then",
         {},
         false,
         false,
         true,
         {frontend0},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"back on another adapter",
         {},
         false,
         false,
         false,
         {frontend1},
         "/dev/dvb/adapter1/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"QUORVEX_ADAPTER=0: another adapter is not it",
         0u,
         false,
         false,
         false,
         {frontend1, frontend0},
         "/dev/dvb/adapter0/frontend0: found again: tuned to 479142857 Hz (ISDB-T, 6 MHz)\n"},
        {"watched before the pull",
         {},
         true,
         false,
         false,
         {frontend0},
         "/dev/dvb/adapter0/frontend0: found again: watching it without tuning\n"},
        {"taken by a recorder meanwhile",
         {},
         false,
         true,
         false,
         {frontend0},
         "/dev/dvb/adapter0/frontend0: found again, in use by another program: watching it without tuning\n"},
    };
    for (const Replug &c : cases) {
        tuning::reset();
        FakeFrontend *node = &use_receiver(c.adapter);
        int recorder = c.watched ? fake->hold(frontend0, SYS_ISDBT, 479142857) : -1;
        start_tuner();
        if (!c.watched) {
            ASSERT_EQ(tune_channel(14, 0), 0) << c.what; // the last frequency, 479000 kHz
        }
        node->count(0, 1000000);
        ASSERT_EQ(sample().out, " 28.0 |  0.00E+00\n") << c.what;

        if (c.lingers)
            node->failure = ENODEV;
        else
            fake->remove(frontend0);
        if (recorder >= 0)
            fake->close(recorder);
        if (c.back.empty())
            node = &fake->add(frontend0, {SYS_ISDBT});
        EXPECT_EQ(sample().err, "/dev/dvb/adapter0/frontend0: the device has gone: looking for it again\n"
                                "get_level: IKsPropertySet.Set hr=8007048F\n")
            << c.what;
        for (const std::string &path : c.back) {
            for (int tick = 0; tick < 3; ++tick) {
                const int reads = fake->directory_reads();
                const Captured missing = sample();
                EXPECT_EQ(missing.out, "") << c.what;
                EXPECT_EQ(missing.err, "get_level: IKsPropertySet.Set hr=8007048F\n") << c.what;
                // The first look after the pull searches what is there.
                if (tick > 0) {
                    EXPECT_LE(fake->directory_reads() - reads, 1) << c.what << ": at most a directory read a tick";
                }
            }
            if (c.lingers)
                fake->remove(frontend0);
            node = &fake->add(path, {SYS_ISDBT});
        }
        recorder = c.held_when_back ? fake->hold(frontend0, SYS_ISDBT, 521142857) : -1;
        const std::size_t tunes = node->set_properties.size();
        const Captured back = sample();
        EXPECT_EQ(back.err, c.line) << c.what;
        EXPECT_EQ(back.out, " 28.0 | --------- \n") << c.what << ": a fresh window";
        if (c.watched || c.held_when_back) {
            EXPECT_EQ(node->set_properties.size(), tunes) << c.what << ": nothing tuned";
        } else {
            ASSERT_EQ(node->set_properties.size(), tunes + 1) << c.what;
            EXPECT_EQ(node->set_properties.back(), tune_to(SYS_ISDBT, 479142857)) << c.what;
        }
        EXPECT_EQ(tuning::devices_in(tuning::Category::network_tuner).size(), 1u) << c.what << ": enumerates again";
        release_tuner();
        if (recorder >= 0)
            fake->close(recorder);
        EXPECT_EQ(fake->open_descriptors(), 0) << c.what;
    }
}

} // namespace
