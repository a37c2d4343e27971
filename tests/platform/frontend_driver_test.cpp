// The program's tuner code on a kernel frontend: what each tune sends, what each sample shows, and
// the driver's states (closed, owned, watched, gone), each event's kernel calls and lines.
#include <cerrno>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// A driver that refreshes its counters every third sample: the line keeps the ratio of the last
// window that counted.
TEST_F(FrontendDriverTest, LayerParametersAreReadWithTheLockAndAgainOnlyAfterATuneOrALostLock)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    node.parameters = {{DTV_ISDBT_LAYERA_MODULATION, QPSK}, {DTV_ISDBT_LAYERA_FEC, FEC_2_3},
                       {DTV_ISDBT_LAYERA_SEGMENT_COUNT, 1}, {DTV_ISDBT_LAYERB_MODULATION, QAM_64},
                       {DTV_ISDBT_LAYERB_FEC, FEC_3_4},     {DTV_ISDBT_LAYERB_SEGMENT_COUNT, 12}};
    bring_tuner_up();
    const auto layer_b = [] {
        capture([] { take_sample(); });
        const LayerReport &b = tuning::driver().reported().layers[1];
        return std::string(b.modulation != nullptr ? b.modulation : "?") + " " + (b.code_rate ? b.code_rate : "?");
    };
    EXPECT_EQ(layer_b(), "64QAM 3/4");
    node.parameters[DTV_ISDBT_LAYERB_MODULATION] = QAM_16; // the broadcaster changes, unseen while locked
    EXPECT_EQ(layer_b(), "64QAM 3/4");
    node.status = FE_HAS_SIGNAL;
    EXPECT_EQ(layer_b(), "? ?") << "without the lock nothing is known of the layers";
    node.status |= FE_HAS_LOCK;
    EXPECT_EQ(layer_b(), "16QAM 3/4") << "read again with the lock";
    node.parameters[DTV_ISDBT_LAYERB_FEC] = FEC_5_6;
    EXPECT_EQ(tune_channel(14, 0), 0);
    EXPECT_EQ(layer_b(), "16QAM 5/6") << "and after a tune";
}

TEST_F(FrontendDriverTest, SlowCountersKeepTheirLastRatio)
{
    FakeFrontend &node = use_receiver({SYS_ISDBT});
    bring_tuner_up();
    struct Step {
        std::int64_t cnr;
        std::uint64_t errors, total;
        const char *line;
    };
    const Step steps[] = {
        {28000, 0, 0, " 28.0 | --------- \n"}, // nothing counted since the tune yet
        {28000, 100, 1000000, " 28.0 |  1.00E-04\n"}, {27000, 100, 1000000, " 27.0 |  1.00E-04\n"},
        {26000, 100, 1000000, " 26.0 |  1.00E-04\n"}, {26000, 400, 2000000, " 26.0 |  3.00E-04\n"},
        {30000, 450, 3000000, " 30.0 |  5.00E-05\n"}, // 50 errors in 1000000 bits
        {30000, 450, 3000000, " 30.0 |  5.00E-05\n"},
    };
    for (const Step &step : steps) {
        node.cnr = decibels(step.cnr);
        node.count(step.errors, step.total);
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

enum class Start { closed, owned, watched, gone_owned, gone_watched };
enum class Policy { take, watch };
enum class Event { tune, sample, replug, close };

class FrontendStateTest : public SimTest {
protected:
    void TearDown() override
    {
        SimTest::TearDown();
        EXPECT_EQ(fake->open_descriptors(), 0) << "every descriptor closed";
    }

    // A fresh world with one ISDB-T receiver, brought to the state the row starts from: the
    // program tunes terrestrial 13 (473142857 Hz), or watches terrestrial 21, which another
    // program tuned and, under --watch, let go of again.
    void reach(Start start, Policy policy)
    {
        tuning::reset();
        pending_settings = {1, 13, 0};
        applied_settings = {1, 13, 0};
        holder = -1;
        fake.emplace();
        node = &fake->add(frontend0, {SYS_ISDBT});
        tuning::use_frontend(tuning::find_frontend({}));
        if (policy == Policy::watch)
            watch_tuner_only();
        if (start == Start::closed)
            return;
        if (start == Start::watched || start == Start::gone_watched) {
            holder = fake->hold(frontend0, SYS_ISDBT, 521142857);
            if (policy == Policy::watch)
                let_go();
        }
        capture([] { init_tuner(); });
        if (start == Start::gone_owned || start == Start::gone_watched) {
            sample();
            fake->remove(frontend0);
            sample();
        }
    }

    void let_go()
    {
        fake->close(holder);
        holder = -1;
    }

    static void sample()
    {
        capture([] { record_sample(); });
    }

    // The state as the kernel and the program see it: the descriptor the driver holds, what the
    // program is told it watches, and whether the tuner enumerates.
    std::string state_seen() const
    {
        std::string descriptor = "none";
        for (const auto &[number, writes] : fake->descriptors())
            if (number != holder)
                descriptor = writes ? "read-write" : "read-only";
        int frequency_khz = 0;
        const bool watching = watching_tuner(frequency_khz);
        std::string watched = "watched at " + std::to_string(frequency_khz) + " kHz";
        const bool enumerates = !tuning::devices_in(tuning::Category::network_tuner).empty();
        if (descriptor == "read-write" && !watching && enumerates)
            return "owned";
        if (descriptor == "read-only" && watching && enumerates)
            return watched;
        if (descriptor == "none" && !enumerates)
            return watching ? "gone, " + watched + " before" : "gone";
        if (descriptor == "none" && !watching)
            return "closed";
        return descriptor + (watching ? ", watching" : "") + (enumerates ? ", enumerates" : "");
    }

    std::optional<FakeKernel> fake;
    FakeFrontend *node = nullptr;
    int holder = -1; // the other program's descriptor
};

std::string joined(const std::vector<std::string> &calls)
{
    std::string text;
    for (const std::string &call : calls)
        text += (text.empty() ? "" : ", ") + call;
    return text;
}

// What the last sample's record says the driver reported.
std::string reported(const ReceiverFigures &receiver)
{
    return !receiver.reported ? "nothing" : receiver.counts_restarted ? "restarted" : "counting on";
}

struct Transition {
    const char *what;
    Start start;
    Policy policy;
    Event event;                   // a tune to terrestrial 14 (479142857 Hz), a sample, the device back and a sample
    std::function<void()> provoke; // what led to the event, and the kernel's side at it
    std::string calls;             // the kernel calls the event made, in order
    std::string after;
    std::string err;
    std::string out;
    const char *reported; // by the sample's record; none for other events
};

// Each event in each state: the kernel calls it makes, the state it leads to and what it says.
// Whatever the state, nothing the kernel refuses a reader is tried, and every descriptor is
// closed with the tuner.
TEST_F(FrontendStateTest, EachEventMovesTheDriverFromStateToStateWithItsKernelCalls)
{
    const std::string gone_line = "/dev/dvb/adapter0/frontend0: the device has gone: looking for it again\n";
    const std::string gone_sample = "get_level: IKsPropertySet.Set hr=8007048F\n";
    // A look at /dev/dvb, and a search as at start-up.
    const std::string search = "readdir /dev/dvb, readdir /dev/dvb, readdir /dev/dvb/adapter0, "
                               "open(O_RDONLY|O_NONBLOCK), FE_GET_PROPERTY, FE_GET_INFO, close";
    auto after_search = [&](const char *calls) { return search + ", " + calls; };
    const Transition transitions[] = {
        // Tunes: the first brings the tuner up; the others are Apply's.
        {"the first tune takes a free tuner", Start::closed, Policy::take, Event::tune, nullptr,
         "open(O_RDWR|O_NONBLOCK), FE_SET_PROPERTY 479142857 Hz", "owned", "", "", nullptr},
        {"the first tune finds another program holding the tuner: it watches", Start::closed, Policy::take, Event::tune,
         [this] { holder = fake->hold(frontend0, SYS_ISDBT, 521142857); },
         "open(O_RDWR|O_NONBLOCK) = EBUSY, open(O_RDONLY|O_NONBLOCK), FE_GET_PROPERTY", "watched at 521143 kHz",
         "/dev/dvb/adapter0/frontend0: in use by another program: watching it without tuning\n", "", nullptr},
        {"--watch: the first tune watches a free tuner", Start::closed, Policy::watch, Event::tune,
         [this] {
             holder = fake->hold(frontend0, SYS_ISDBT, 521142857);
             let_go();
         },
         "open(O_RDONLY|O_NONBLOCK), FE_GET_PROPERTY", "watched at 521143 kHz",
         "/dev/dvb/adapter0/frontend0: watching it without tuning\n", "", nullptr},
        {"a tuner the user may not open", Start::closed, Policy::take, Event::tune, [this] { node->permitted = false; },
         "open(O_RDWR|O_NONBLOCK) = EACCES", "closed",
         "/dev/dvb/adapter0/frontend0: permission denied: join the video group (adduser $USER video) and log in "
         "again\nrequest_tuning: put_TuneRequest\n",
         "", nullptr},
        {"a first tune the driver fails: the tuner is released", Start::closed, Policy::take, Event::tune,
         [this] { node->tune_failure = EOPNOTSUPP; },
         "open(O_RDWR|O_NONBLOCK), FE_SET_PROPERTY 479142857 Hz = EOPNOTSUPP, close", "closed",
         "/dev/dvb/adapter0/frontend0: tune to 479142857 Hz (ISDB-T, 6 MHz): error 95\n"
         "request_tuning: put_TuneRequest\n",
         "", nullptr},
        {"a retune", Start::owned, Policy::take, Event::tune, nullptr, "FE_SET_PROPERTY 479142857 Hz", "owned", "", "",
         nullptr},
        {"a retune the driver refuses", Start::owned, Policy::take, Event::tune,
         [this] { node->highest_hz = 470000000; }, "FE_SET_PROPERTY 479142857 Hz = EINVAL", "owned",
         "/dev/dvb/adapter0/frontend0: tune to 479142857 Hz (ISDB-T, 6 MHz): refused by the driver\n"
         "request_tuning: put_TuneRequest\n",
         "", nullptr},
        {"Apply while the other program still holds the tuner", Start::watched, Policy::take, Event::tune, nullptr,
         "open(O_RDWR|O_NONBLOCK) = EBUSY", "watched at 521143 kHz",
         "/dev/dvb/adapter0/frontend0: busy: another program is tuning it\nrequest_tuning: put_TuneRequest\n", "",
         nullptr},
        {"Apply once the other program has let go: the program takes the tuner", Start::watched, Policy::take,
         Event::tune, [this] { let_go(); }, "open(O_RDWR|O_NONBLOCK), close, FE_SET_PROPERTY 479142857 Hz", "owned", "",
         "", nullptr},
        {"--watch: Apply on a free tuner tunes nothing, and watching goes on", Start::watched, Policy::watch,
         Event::tune, nullptr, "", "watched at 521143 kHz", "", "", nullptr},
        {"a tune while the device is gone", Start::gone_owned, Policy::take, Event::tune, nullptr, "", "gone",
         "/dev/dvb/adapter0/frontend0: tune to 479142857 Hz (ISDB-T, 6 MHz): the device has gone\n"
         "request_tuning: put_TuneRequest\n",
         "", nullptr},

        // Samples: one status read and one statistics call each.
        {"the first sample after the tune", Start::owned, Policy::take, Event::sample,
         [this] { node->count(1632, 1632ULL * 50000); }, "FE_READ_STATUS, FE_GET_PROPERTY", "owned", "",
         " 28.0 |  2.00E-05\n", "restarted"},
        {"the next sample counts on", Start::owned, Policy::take, Event::sample,
         [this] {
             node->count(100, 1000000);
             sample();
             node->count(150, 2000000);
         },
         "FE_READ_STATUS, FE_GET_PROPERTY", "owned", "", " 28.0 |  5.00E-05\n", "counting on"},
        {"the first sample after a retune counts from zero", Start::owned, Policy::take, Event::sample,
         [this] {
             node->count(100, 1000000);
             sample();
             capture([] { tune_channel(27, 0); });
             node->count(20, 1000000);
         },
         "FE_READ_STATUS, FE_GET_PROPERTY", "owned", "", " 28.0 |  2.00E-05\n", "restarted"},
        {"a busy driver after a sample: that snapshot stands", Start::owned, Policy::take, Event::sample,
         [this] {
             node->count(1632, 1632ULL * 50000);
             sample();
             node->cnr = decibels(30000);
             node->status_failure = EAGAIN;
         },
         "FE_READ_STATUS = EAGAIN", "owned", "", " 28.0 |  2.00E-05\n", "counting on"},
        {"a busy driver right after the tune: the sample fails", Start::owned, Policy::take, Event::sample,
         [this] { node->status_failure = EAGAIN; }, "FE_READ_STATUS = EAGAIN", "owned",
         "get_level: IKsPropertySet.Set hr=80004005\n", "", "nothing"},
        {"a failed read after a good one reports nothing", Start::owned, Policy::take, Event::sample,
         [this] {
             sample();
             node->statistics_failure = EINVAL;
         },
         "FE_READ_STATUS, FE_GET_PROPERTY = EINVAL", "owned", "get_level: IKsPropertySet.Set hr=80070057\n", "",
         "nothing"},
        {"the other program retunes: the counts restart", Start::watched, Policy::take, Event::sample,
         [this] {
             node->count(100, 1000000);
             sample();
             fake->retune(holder, SYS_ISDBT, 249142857); // cable 27
             node->count(300, 2000000);
         },
         "FE_READ_STATUS, FE_GET_PROPERTY", "watched at 249143 kHz", "", " 28.0 |  1.50E-04\n", "restarted"},
        {"the device pulled out", Start::owned, Policy::take, Event::sample,
         [this] {
             sample();
             fake->remove(frontend0);
         },
         "FE_READ_STATUS = ENODEV, close, readdir /dev/dvb", "gone", gone_line + gone_sample, "", "nothing"},
        {"EIO: gone as well", Start::owned, Policy::take, Event::sample, [this] { node->failure = EIO; },
         "FE_READ_STATUS = EIO, close, readdir /dev/dvb", "gone", gone_line + gone_sample, "", "nothing"},
        {"a watched device pulled out", Start::watched, Policy::take, Event::sample,
         [this] { fake->remove(frontend0); }, "FE_READ_STATUS = ENODEV, close, readdir /dev/dvb",
         "gone, watched at 521143 kHz before", gone_line + gone_sample, "", "nothing"},
        {"a sample while the device is gone costs a directory read", Start::gone_owned, Policy::take, Event::sample,
         nullptr, "readdir /dev/dvb", "gone", gone_sample, "", "nothing"},

        // Replugs: the device back, then a sample, which finds it.
        {"back: tuned again to the last frequency", Start::gone_owned, Policy::take, Event::replug, nullptr,
         after_search("open(O_RDWR|O_NONBLOCK), FE_SET_PROPERTY 473142857 Hz, FE_READ_STATUS, FE_GET_PROPERTY"),
         "owned", "/dev/dvb/adapter0/frontend0: found again: tuned to 473142857 Hz (ISDB-T, 6 MHz)\n",
         " 28.0 | --------- \n", "restarted"},
        {"back: watched as before", Start::gone_watched, Policy::take, Event::replug, nullptr,
         after_search("open(O_RDONLY|O_NONBLOCK), FE_GET_PROPERTY, FE_READ_STATUS, FE_GET_PROPERTY"),
         "watched at 0 kHz", "/dev/dvb/adapter0/frontend0: found again: watching it without tuning\n",
         " 28.0 | --------- \n", "restarted"},
        {"back, and taken by another program meanwhile: watched", Start::gone_owned, Policy::take, Event::replug,
         [this] { holder = fake->hold(frontend0, SYS_ISDBT, 521142857); },
         after_search("open(O_RDWR|O_NONBLOCK) = EBUSY, open(O_RDONLY|O_NONBLOCK), FE_GET_PROPERTY, FE_READ_STATUS, "
                      "FE_GET_PROPERTY"),
         "watched at 521143 kHz",
         "/dev/dvb/adapter0/frontend0: found again, in use by another program: watching it without tuning\n",
         " 28.0 | --------- \n", "restarted"},

        // Closes: the tuner released.
        {"the tuner released: the frontend is closed", Start::owned, Policy::take, Event::close, nullptr, "close",
         "closed", "", "", nullptr},
        {"released while watching", Start::watched, Policy::take, Event::close, nullptr, "close", "closed", "", "",
         nullptr},
    };
    for (const Transition &t : transitions) {
        reach(t.start, t.policy);
        if (t.event == Event::replug)
            node = &fake->add(frontend0, {SYS_ISDBT});
        if (t.provoke)
            t.provoke();
        fake->start_journal();
        SampleRecord record{};
        const Captured captured = capture([&] {
            switch (t.event) {
            case Event::tune:
                if (t.start == Start::closed) {
                    pending_settings.channel = 14;
                    init_tuner();
                } else {
                    tune_channel(14, 0);
                }
                break;
            case Event::sample:
            case Event::replug: record = record_sample(); break;
            case Event::close: release_tuner(); break;
            }
        });
        EXPECT_EQ(joined(fake->journal()), t.calls) << t.what;
        EXPECT_EQ(state_seen(), t.after) << t.what;
        EXPECT_EQ(captured.err, t.err) << t.what;
        EXPECT_EQ(captured.out, t.out) << t.what;
        if (t.reported != nullptr) {
            EXPECT_EQ(reported(record.receiver), t.reported) << t.what;
        }
        EXPECT_EQ(fake->refusals(), 0) << t.what << ": nothing the kernel refuses a reader was tried";
        release_tuner();
        if (holder >= 0)
            let_go();
        EXPECT_EQ(fake->open_descriptors(), 0) << t.what << ": every descriptor closed";
    }
}

} // namespace
