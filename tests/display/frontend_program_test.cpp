// The whole program on a kernel frontend: the console lines and the bars a real receiver gives,
// a device unplugged while it runs, and a device it cannot have.
#include <cerrno>
#include <fcntl.h>

#include "display/display_fixture.h"
#include "platform/tuning/frontend/discovery.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "support/fake_frontend.h"

namespace {

const std::string frontend0 = "/dev/dvb/adapter0/frontend0";

class FrontendProgramTest : public DisplayTest {
protected:
    void TearDown() override
    {
        DisplayTest::TearDown();
        EXPECT_EQ(fake.open_descriptors(), 0) << "every descriptor closed";
    }

    void use_frontends() { tuning::use_frontend(tuning::find_frontend({})); }

    FakeKernel fake;
};

TEST_F(FrontendProgramTest, AReceiverIsMonitoredLineByLineAndBarByBarUntilItIsUnplugged)
{
    FakeFrontend &node = fake.add(frontend0, {SYS_ISDBT});
    use_frontends();
    int ticks = 0;
    QColor bar_top{}, above_bar{}, first_bar_moved{}, no_bar_unlocked{};
    int exit_code = -1;
    const std::string err = stderr_of([&] {
        exit_code = run_program([&] {
            HWND window = qtwindow::top_level_windows().front();
            const QImage client = qtwindow::client_image(window);
            switch (++ticks) {
            case 1:
                node.cnr = decibels(24082);
                node.count(1632, 1632ULL * 50000);
                break;
            case 2:
                bar_top = client.pixelColor(315, 97); // 24.08 dB: a bar 24 pixels high, outlined at y = 96
                above_bar = client.pixelColor(315, 95);
                node.status = FE_HAS_SIGNAL | FE_HAS_CARRIER; // lock lost
                node.count(1632 + 48, 1632ULL * 52000);
                break;
            case 3:
                first_bar_moved = client.pixelColor(305, 97);
                no_bar_unlocked = client.pixelColor(315, 105);
                node.failure = ENODEV; // unplugged
                break;
            case 4: break;
            default: qtwindow::press_close_box(window); return;
            }
            qtwindow::advance_ms(1000);
        });
    });
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(err, "get_level: IKsPropertySet.Set hr=8007048F\nget_level: IKsPropertySet.Set hr=8007048F\n");
    EXPECT_EQ(output, " 24.1 |  2.00E-05\n -- |  1.47E-05\n") << "no line once the device has gone";
    EXPECT_EQ(bar_top, bar_green);
    EXPECT_EQ(above_bar, black);
    EXPECT_EQ(first_bar_moved, bar_green) << "the first sample scrolled one column left";
    EXPECT_EQ(no_bar_unlocked, black) << "no lock: no bar";
    EXPECT_TRUE(qtwindow::message_boxes().empty());
    EXPECT_EQ(level_history[level_history_size - 1], 0.0) << "a failed sample";
}

TEST_F(FrontendProgramTest, AReceiverAnotherProgramIsTuningEndsTheProgramWithItsBox)
{
    fake.add(frontend0, {SYS_ISDBT});
    use_frontends();
    const int other_program = fake.open(frontend0, O_RDWR | O_NONBLOCK);
    int exit_code = -1;
    const std::string err = stderr_of([&] { exit_code = run_program({}); });
    fake.close(other_program);
    EXPECT_EQ(exit_code, 1);
    EXPECT_EQ(err,
              "/dev/dvb/adapter0/frontend0: busy: another program is tuning it\nrequest_tuning: put_TuneRequest\n");
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].text, L"初期化失敗！終了します");
    EXPECT_EQ(output, "");
}

} // namespace
