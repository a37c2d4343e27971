// The program's tuner code on a kernel frontend: what each tune sends, what each sample costs and
// reads, how a busy, refused or vanished device shows, and that every descriptor is closed.
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/ioctl.h>

#include "platform/tuning/frontend/discovery.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "support/fake_frontend.h"
#include "support/sim_fixture.h"

namespace {

class FrontendDriverTest : public SimTest {
protected:
    void TearDown() override
    {
        SimTest::TearDown();
        EXPECT_EQ(fake.open_descriptors(), 0) << "every descriptor closed";
    }

    FakeFrontend &use_receiver(std::vector<std::uint32_t> delivery_systems)
    {
        FakeFrontend &node = fake.add(frontend0, std::move(delivery_systems));
        tuning::use_frontend(tuning::find_frontend({}));
        return node;
    }

    // One tick's sample: what it wrote to standard output and standard error.
    Captured sample()
    {
        return capture([] { take_sample(); });
    }

    FakeKernel fake;
};

TEST_F(FrontendDriverTest, AnIsdbtTuneSendsTheCentreFrequencyInOneSetProperty)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up(); // terrestrial 13, 473000 kHz
    ASSERT_EQ(node.set_properties.size(), 1u);
    EXPECT_EQ(node.set_properties[0], tune_to(SYS_ISDBT, 473142857));

    EXPECT_EQ(tune_channel(62, 0), 0);
    EXPECT_EQ(tune_channel(13, 1), 0);
    EXPECT_EQ(tune_channel(63, 1), 0);
    ASSERT_EQ(node.set_properties.size(), 4u);
    EXPECT_EQ(node.set_properties[1], tune_to(SYS_ISDBT, 767142857)) << "terrestrial 62";
    EXPECT_EQ(node.set_properties[2], tune_to(SYS_ISDBT, 111142857)) << "cable 13";
    EXPECT_EQ(node.set_properties[3], tune_to(SYS_ISDBT, 465142857)) << "cable 63";
    EXPECT_EQ(tuning::args_of("put_TuneRequest"), (std::vector<std::string>{"473000", "767000", "111000", "465000"}));
}

TEST_F(FrontendDriverTest, ADvbtTuneSendsThePlansFrequency)
{
    FakeFrontend &node = use_receiver({SYS_DVBT, SYS_DVBT2, SYS_DVBC_ANNEX_A});
    bring_tuner_up();
    EXPECT_EQ(tune_channel(27, 1), 0);
    ASSERT_EQ(node.set_properties.size(), 2u);
    EXPECT_EQ(node.set_properties[0], tune_to(SYS_DVBT, 473000000)) << "terrestrial 13";
    EXPECT_EQ(node.set_properties[1], tune_to(SYS_DVBT, 249000000)) << "cable 27";
}

TEST_F(FrontendDriverTest, TheFrontendIsOpenedOnceForTuningNonBlockingAndClosedWithTheTuner)
{
    use_receiver({SYS_ISDBT});
    bring_tuner_up();
    EXPECT_EQ(tune_channel(20, 0), 0);
    EXPECT_EQ(tune_channel(21, 0), 0);
    ASSERT_EQ(fake.open_flags().size(), 2u) << "discovery, then the graph";
    EXPECT_EQ(fake.open_flags()[0], O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(fake.open_flags()[1], O_RDWR | O_NONBLOCK);
    EXPECT_EQ(fake.open_descriptors(), 1);
    release_tuner();
    EXPECT_EQ(fake.open_descriptors(), 0);
    EXPECT_EQ(fake.closes(), 2);

    bring_tuner_up(); // a new graph opens it again
    EXPECT_EQ(fake.open_descriptors(), 1);
}

struct RefusedTune {
    const char *cause;
    std::function<void(FakeKernel &, FakeFrontend &)> provoke;
    int channel;
    const char *line;
};

// A tune that fails names the device and the reason, then the program's own line, and nothing is
// tuned. (The program's path on from there, the box and exit code 1, is
// tests/display/frontend_program_test.cpp's.)
TEST_F(FrontendDriverTest, ATuneTheFrontendRefusesSaysWhyOnStandardError)
{
    const RefusedTune cases[] = {
        {"no permission", [](FakeKernel &, FakeFrontend &node) { node.permitted = false; }, 13,
         "/dev/dvb/adapter0/frontend0: permission denied: join the video group (adduser $USER video) and log in "
         "again\n"},
        {"out of the driver's range", [](FakeKernel &, FakeFrontend &node) { node.highest_hz = 700000000; }, 62,
         "/dev/dvb/adapter0/frontend0: tune to 767142857 Hz (ISDB-T, 6 MHz): refused by the driver\n"},
        {"any other error", [](FakeKernel &, FakeFrontend &node) { node.tune_failure = EOPNOTSUPP; }, 14,
         "/dev/dvb/adapter0/frontend0: tune to 479142857 Hz (ISDB-T, 6 MHz): error 95\n"},
    };
    for (const RefusedTune &c : cases) {
        tuning::reset();
        FakeKernel kernel;
        FakeFrontend &node = kernel.add(frontend0, {SYS_ISDBT});
        tuning::use_frontend(tuning::find_frontend({}));
        c.provoke(kernel, node);
        pending_settings.channel = c.channel;
        int up = -1;
        const Captured captured = capture([&] { up = init_tuner(); });
        EXPECT_EQ(up, 0) << c.cause;
        EXPECT_EQ(captured.err, std::string(c.line) + "request_tuning: put_TuneRequest\n") << c.cause;
        EXPECT_EQ(tuning::tuned_frequency_khz(), 0) << c.cause;
    }
}

TEST_F(FrontendDriverTest, EachSampleCostsOneStatusReadAndOneStatisticsCall)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up();
    node.cnr = decibels(24082);
    node.count(1632, 1632ULL * 50000);
    const int ioctls_before = fake.ioctls();
    const Captured captured = sample();
    EXPECT_EQ(captured.out, " 24.1 |  2.00E-05\n");
    EXPECT_EQ(captured.err, "");
    EXPECT_EQ(fake.ioctls() - ioctls_before, 2) << "for eight property reads";
    EXPECT_EQ(fake.calls_of(FE_READ_STATUS), 1);
    EXPECT_EQ(fake.calls_of(FE_GET_PROPERTY), 2) << "discovery's, then the sample's";
}

TEST_F(FrontendDriverTest, SamplesShowTheLevelAndTheCountersChange)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up();
    struct Step {
        std::uint32_t status;
        dtv_fe_stats cnr;
        std::uint64_t errors, total;
        const char *line;
    };
    const std::uint32_t lock = FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK;
    const Step steps[] = {
        {lock, decibels(24082), 1632, 1632ULL * 50000, " 24.1 |  2.00E-05\n"}, // from zero after the tune
        {lock, decibels(28000), 1632 + 48, 1632ULL * 52000, " 28.0 |  1.47E-05\n"},
        {lock, decibels(28000), 1632 + 48, 1632ULL * 52000, " 28.0 |  1.47E-05\n"}, // none counted: as before
        {lock, decibels(12345), 10, 20000, " 12.3 | --------- \n"},                 // the driver restarted
        {lock, decibels(12345), 310, 1020000, " 12.3 |  3.00E-04\n"},
        {FE_HAS_SIGNAL, decibels(12345), 310, 1020000, " -- |  3.00E-04\n"}, // no lock
        {lock, not_available(), 410, 2020000, " -- |  1.00E-04\n"},
        {lock, decibels(250000), 410, 3020000, " -- |  0.00E+00\n"}, // junk C/N
        {lock, decibels(-20000), 410, 3020000, " -9.7 |  0.00E+00\n"},
    };
    for (const Step &step : steps) {
        node.status = step.status;
        node.cnr = step.cnr;
        node.count(step.errors, step.total);
        const Captured captured = sample();
        EXPECT_EQ(captured.out, step.line);
        EXPECT_EQ(captured.err, "");
    }
}

// A driver that refreshes its counters every third sample, and is busy now and then: the line
// keeps the ratio of the last window that counted, and a busy sample repeats the last snapshot.
TEST_F(FrontendDriverTest, SlowCountersKeepTheirLastRatioAndABusyDriverItsLastSnapshot)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up();
    struct Step {
        std::int64_t cnr;
        std::uint64_t errors, total;
        int status_failure, statistics_failure;
        const char *line;
    };
    const Step steps[] = {
        {28000, 0, 0, 0, 0, " 28.0 | --------- \n"}, // nothing counted since the tune yet
        {28000, 100, 1000000, 0, 0, " 28.0 |  1.00E-04\n"},
        {27000, 100, 1000000, 0, 0, " 27.0 |  1.00E-04\n"},
        {26000, 100, 1000000, 0, 0, " 26.0 |  1.00E-04\n"},
        {26000, 400, 2000000, 0, 0, " 26.0 |  3.00E-04\n"},
        {30000, 450, 3000000, 0, EAGAIN, " 26.0 |  3.00E-04\n"}, // busy: the last snapshot's figures
        {30000, 450, 3000000, EAGAIN, 0, " 26.0 |  3.00E-04\n"},
        {30000, 450, 3000000, 0, 0, " 30.0 |  5.00E-05\n"}, // 50 errors in 1000000 bits
        {30000, 450, 3000000, 0, 0, " 30.0 |  5.00E-05\n"},
    };
    for (const Step &step : steps) {
        node.cnr = decibels(step.cnr);
        node.count(step.errors, step.total);
        node.status_failure = step.status_failure;
        node.statistics_failure = step.statistics_failure;
        const Captured captured = sample();
        EXPECT_EQ(captured.out, step.line);
        EXPECT_EQ(captured.err, "");
    }
}

TEST_F(FrontendDriverTest, CountersTheDriverDoesNotOfferShowTheFailedRatio)
{
    FakeFrontend &node = use_receiver({SYS_DVBT});
    bring_tuner_up();
    node.cnr = decibels(24082);
    node.post_errors = not_offered();
    node.post_total = not_offered();
    EXPECT_EQ(sample().out, " 24.1 | -2.00E+00\n");

    node.pre_errors = counter(50); // a driver that counts before the inner code only
    node.pre_total = counter(1000000);
    EXPECT_EQ(sample().out, " 24.1 |  5.00E-05\n");
}

TEST_F(FrontendDriverTest, ARetuneStartsTheCounterWindowAfresh)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up();
    node.count(100, 1000000);
    sample();
    EXPECT_EQ(tune_channel(27, 0), 0); // the driver restarts its counters
    node.count(20, 1000000);
    EXPECT_EQ(sample().out, " 28.0 |  2.00E-05\n") << "counted from zero, not from before the tune";
}

TEST_F(FrontendDriverTest, AnUnpluggedFrontendFailsEveryReadAndLeavesTheEnumeration)
{
    for (const int gone : {ENODEV, EIO}) {
        tuning::reset();
        FakeFrontend &node = fake.add(frontend0, {SYS_ISDBT});
        node.failure = 0;
        tuning::use_frontend(tuning::find_frontend({}));
        bring_tuner_up();
        node.count(0, 1000000);
        EXPECT_EQ(sample().out, " 28.0 |  0.00E+00\n");

        node.failure = gone;
        const int status_reads_before = fake.calls_of(FE_READ_STATUS);
        Captured captured = sample();
        EXPECT_EQ(captured.out, "") << "error " << gone;
        EXPECT_EQ(captured.err, "/dev/dvb/adapter0/frontend0: the device has gone: looking for it again\n"
                                "get_level: IKsPropertySet.Set hr=8007048F\n");
        captured = sample();
        EXPECT_EQ(captured.out, "");
        EXPECT_EQ(captured.err, "get_level: IKsPropertySet.Set hr=8007048F\n");
        EXPECT_EQ(fake.calls_of(FE_READ_STATUS) - status_reads_before, 1)
            << "a device that has gone is not sampled again";
        EXPECT_TRUE(tuning::devices_in(tuning::Category::network_tuner).empty());
        release_tuner();
        EXPECT_EQ(fake.open_descriptors(), 0) << "closed although the device has gone";
    }
}

TEST_F(FrontendDriverTest, AFailedSnapshotFailsOneSampleOnly)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up();
    node.status_failure = EAGAIN; // busy, with no snapshot since the tune to stand for this one
    Captured captured = sample();
    EXPECT_EQ(captured.out, "");
    EXPECT_EQ(captured.err, "get_level: IKsPropertySet.Set hr=80004005\n");
    node.status_failure = 0;
    node.statistics_failure = EINVAL;
    captured = sample();
    EXPECT_EQ(captured.out, "");
    EXPECT_EQ(captured.err, "get_level: IKsPropertySet.Set hr=80070057\n");
    node.statistics_failure = 0;
    node.count(0, 1000000);
    EXPECT_EQ(sample().out, " 28.0 |  0.00E+00\n") << "the device is still there";
    EXPECT_FALSE(tuning::devices_in(tuning::Category::network_tuner).empty());
}

} // namespace
