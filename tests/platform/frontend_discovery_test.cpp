// Which frontend the program takes as its tuner, and which driver the environment picks.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>

#include "platform/tuning/environment.h"
#include "platform/tuning/frontend/discovery.h"
#include "support/fake_frontend.h"
#include "support/sim_fixture.h"

namespace {

// Sets an environment variable for one scope, or unsets it for null, and puts it back after.
class Variable {
public:
    Variable(const char *name, const char *value) : name_(name)
    {
        if (const char *before = std::getenv(name))
            before_ = before;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Variable()
    {
        if (before_.has_value())
            setenv(name_, before_->c_str(), 1);
        else
            unsetenv(name_);
    }
    Variable(const Variable &) = delete;
    Variable &operator=(const Variable &) = delete;

private:
    const char *name_;
    std::optional<std::string> before_;
};

class FrontendDiscoveryTest : public SimTest {
protected:
    void TearDown() override
    {
        SimTest::TearDown();
        EXPECT_EQ(fake.open_descriptors(), 0) << "discovery closes what it opens";
    }

    // The path of the frontend found, "" for none; what discovery wrote to standard error.
    std::string found(std::optional<unsigned> adapter = {})
    {
        std::optional<tuning::Frontend> frontend;
        err = capture([&] { frontend = tuning::find_frontend(adapter); }).err;
        if (!frontend.has_value())
            return "";
        delivery_system = frontend->delivery_system;
        return frontend->path;
    }

    FakeKernel fake;
    std::string err;
    std::uint32_t delivery_system = 0;
};

TEST_F(FrontendDiscoveryTest, AnIsdbtFrontendIsTheTuner)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_ISDBT});
    EXPECT_EQ(found(), "/dev/dvb/adapter0/frontend0");
    EXPECT_EQ(delivery_system, static_cast<std::uint32_t>(SYS_ISDBT));
    EXPECT_EQ(err, "");
    ASSERT_EQ(fake.open_flags().size(), 1u);
    EXPECT_EQ(fake.open_flags()[0], O_RDONLY | O_NONBLOCK) << "discovery only reads";
}

TEST_F(FrontendDiscoveryTest, ADvbtFrontendServesWhenNoneListsIsdbt)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_DVBC_ANNEX_A, SYS_DVBT, SYS_DVBT2});
    EXPECT_EQ(found(), "/dev/dvb/adapter0/frontend0");
    EXPECT_EQ(delivery_system, static_cast<std::uint32_t>(SYS_DVBT));
}

TEST_F(FrontendDiscoveryTest, AnIsdbtFrontendIsPreferredWhereverItIs)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_DVBT});
    fake.add("/dev/dvb/adapter0/frontend1", {SYS_ISDBT});
    EXPECT_EQ(found(), "/dev/dvb/adapter0/frontend1");
    fake.add("/dev/dvb/adapter1/frontend0", {SYS_ISDBT});
    EXPECT_EQ(found(), "/dev/dvb/adapter0/frontend1") << "the first ISDB-T frontend";
    EXPECT_EQ(fake.open_descriptors(), 0);
}

TEST_F(FrontendDiscoveryTest, AdaptersAndFrontendsAreWalkedInNumericOrder)
{
    fake.add("/dev/dvb/adapter10/frontend0", {SYS_ISDBT});
    fake.add("/dev/dvb/adapter2/frontend10", {SYS_ISDBT});
    fake.add("/dev/dvb/adapter2/frontend9", {SYS_DVBT});
    EXPECT_EQ(found(), "/dev/dvb/adapter2/frontend10");
    fake.add("/dev/dvb/adapter2/frontend3", {SYS_DVBT});
    fake.frontend("/dev/dvb/adapter2/frontend10").delivery_systems = {SYS_DVBS};
    fake.frontend("/dev/dvb/adapter10/frontend0").delivery_systems = {SYS_DVBT};
    EXPECT_EQ(found(), "/dev/dvb/adapter2/frontend3") << "the first DVB-T frontend";
}

TEST_F(FrontendDiscoveryTest, NoFrontendForThisProgramMeansNoTuner)
{
    EXPECT_EQ(found(), "") << "no /dev/dvb at all";
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_DVBS, SYS_DVBS2});
    fake.add("/dev/dvb/adapter1/frontend0", {SYS_DVBC_ANNEX_A, SYS_ATSC});
    fake.add("/dev/dvb/adapter2/frontend0", {});
    EXPECT_EQ(found(), "");
    EXPECT_EQ(err, "");
}

TEST_F(FrontendDiscoveryTest, AnAdapterNumberRestrictsTheSearchToThatAdapter)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_ISDBT});
    fake.add("/dev/dvb/adapter1/frontend0", {SYS_DVBT});
    EXPECT_EQ(found(1), "/dev/dvb/adapter1/frontend0");
    EXPECT_EQ(found(0), "/dev/dvb/adapter0/frontend0");
    EXPECT_EQ(found(2), "");
    EXPECT_EQ(fake.open_flags().size(), 2u) << "no other adapter was opened";
}

TEST_F(FrontendDiscoveryTest, AFrontendTheUserMayNotOpenIsPassedOverWithAHint)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_ISDBT}).permitted = false;
    fake.add("/dev/dvb/adapter1/frontend0", {SYS_DVBT});
    EXPECT_EQ(found(), "/dev/dvb/adapter1/frontend0");
    EXPECT_EQ(err, "/dev/dvb/adapter0/frontend0: permission denied: join the video group (adduser $USER video) and "
                   "log in again\n");
    fake.frontend("/dev/dvb/adapter1/frontend0").permitted = false;
    EXPECT_EQ(found(), "");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2);
}

TEST_F(FrontendDiscoveryTest, AFrontendThatCannotBeAskedIsPassedOverSilently)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_ISDBT}).failure = EIO;
    fake.add("/dev/dvb/adapter0/frontend1", {SYS_DVBT});
    EXPECT_EQ(found(), "/dev/dvb/adapter0/frontend1");
    EXPECT_EQ(err, "");
}

TEST_F(FrontendDiscoveryTest, WithoutAFrontendTheProgramTakesItsNoTunerPath)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_DVBS});
    Captured captured;
    {
        const Variable simulation("QUORVEX_SIM", nullptr);
        const Variable adapter("QUORVEX_ADAPTER", nullptr);
        ASSERT_EQ(tuning::configure_from_environment(), "");
    }
    EXPECT_TRUE(tuning::devices_in(tuning::Category::network_tuner).empty());
    EXPECT_TRUE(tuning::devices_in(tuning::Category::receiver_component).empty());
    EXPECT_EQ(tuning::devices_in(tuning::Category::transport_information).size(), 1u);
    int up = -1;
    captured = capture([&] { up = init_tuner(); });
    EXPECT_EQ(up, 0);
    EXPECT_EQ(captured.err, "find_dev: CreateClassEnumerator\ncreate_filters: pBDATuner\n");
}

TEST_F(FrontendDiscoveryTest, TheKernelsFrontendsServeUnlessASimulationIsAskedFor)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_DVBT});
    fake.add("/dev/dvb/adapter1/frontend0", {SYS_ISDBT});
    {
        const Variable simulation("QUORVEX_SIM", "");
        const Variable adapter("QUORVEX_ADAPTER", "0");
        ASSERT_EQ(tuning::configure_from_environment(), "");
    }
    bring_tuner_up();
    ASSERT_EQ(fake.frontend("/dev/dvb/adapter0/frontend0").set_properties.size(), 1u) << "adapter 0, as asked";
    release_tuner();

    const std::size_t opens = fake.open_flags().size();
    {
        const Variable simulation("QUORVEX_SIM", "default");
        const Variable adapter("QUORVEX_ADAPTER", "1");
        ASSERT_EQ(tuning::configure_from_environment(), "");
    }
    bring_tuner_up();
    EXPECT_EQ(fake.open_flags().size(), opens) << "the simulated tuner touches no device";
    EXPECT_EQ(fake.frontend("/dev/dvb/adapter1/frontend0").set_properties.size(), 0u);
    EXPECT_EQ(tuning::tuned_frequency_khz(), 473000);
}

TEST_F(FrontendDiscoveryTest, AMalformedAdapterNumberIsRefusedWithTheFormsItTakes)
{
    const Variable simulation("QUORVEX_SIM", nullptr);
    for (const char *value : {"", "-1", "+1", " 1", "1 ", "0x1", "1a", "256", "99999999999999999999"}) {
        const Variable adapter("QUORVEX_ADAPTER", value);
        EXPECT_EQ(tuning::configure_from_environment(),
                  "QUORVEX_ADAPTER: \"" + std::string(value) +
                      "\" is not an adapter number; use a decimal number from 0 to 255");
    }
    EXPECT_TRUE(fake.open_flags().empty()) << "nothing was searched";
    const Variable adapter("QUORVEX_ADAPTER", "255");
    EXPECT_EQ(tuning::configure_from_environment(), "");
}

} // namespace
