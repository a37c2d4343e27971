// The whole program on a kernel frontend: the console lines and the bars a real receiver gives,
// a receiver a recorder holds, and one the program is asked only to watch.
#include <string>
#include <vector>

#include "display/display_fixture.h"
#include "platform/tuning/frontend/discovery.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "support/fake_frontend.h"

namespace {

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

TEST_F(FrontendProgramTest, AReceiverIsMonitoredLineByLineAndBarByBar)
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
                [[fallthrough]];
            default: qtwindow::press_close_box(window); return;
            }
            qtwindow::advance_ms(1000);
        });
    });
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(output, " 24.1 |  2.00E-05\n -- |  1.47E-05\n");
    EXPECT_EQ(bar_top, bar_green);
    EXPECT_EQ(above_bar, black);
    EXPECT_EQ(first_bar_moved, bar_green) << "the first sample scrolled one column left";
    EXPECT_EQ(no_bar_unlocked, black) << "no lock: no bar";
    EXPECT_TRUE(qtwindow::message_boxes().empty());
}

// Started beside a recorder, the program shows what the recorder tuned, follows it, and tunes
// nothing: Apply says so in a box while the recorder holds the tuner, and takes the tuner once it
// has gone.
TEST_F(FrontendProgramTest, AReceiverARecorderHoldsIsWatchedAndTakenByApplyOnceFree)
{
    FakeFrontend &node = fake.add(frontend0, {SYS_ISDBT});
    use_frontends();
    const int recorder = fake.hold(frontend0, SYS_ISDBT, 521142857); // terrestrial 21
    std::string err = stderr_of([&] { start(); });
    EXPECT_EQ(err, "/dev/dvb/adapter0/frontend0: in use by another program: watching it without tuning\n");
    EXPECT_EQ(text_of(channel_edit), L"21") << "the recorder's channel from the first paint";
    EXPECT_EQ(applied_settings.channel, 21);

    fake.retune(recorder, SYS_ISDBT, 249142857); // cable 27
    node.count(0, 1000000);
    EXPECT_EQ(wait_ms(1000), " 28.0 |  0.00E+00\n");
    EXPECT_EQ(text_of(channel_edit), L"27") << "the strip follows the recorder";
    EXPECT_EQ(SendMessageW(catv_check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(applied_settings.catv, 1);

    type_and_leave(interval_edit, L"2");
    type_and_leave(channel_edit, L"30");
    err = stderr_of([&] {
        qtwindow::click(apply_button);
        qtwindow::pump_messages();
    });
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].caption, L"チューナー使用中");
    EXPECT_EQ(qtwindow::message_boxes()[0].text,
              L"他のプログラムがチューナーを使用中のため、選局できません。受信状態の表示を続けます");
    EXPECT_EQ(err,
              "/dev/dvb/adapter0/frontend0: busy: another program is tuning it\nrequest_tuning: put_TuneRequest\n");
    EXPECT_EQ(node.set_properties.size(), 2u) << "the recorder's tunes only";
    EXPECT_EQ(text_of(channel_edit), L"27") << "the strip shows what is received";
    EXPECT_EQ(qtwindow::timer_period(hwnd, SAMPLE_TIMER_ID), 2000u) << "sampling goes on, at the new interval";
    EXPECT_EQ(applied_settings.interval_s, 2);
    EXPECT_TRUE(window_alive());

    fake.close(recorder);
    wait_ms(4000);
    EXPECT_EQ(node.set_properties.size(), 2u) << "never taken by the program itself";
    type_and_leave(channel_edit, L"30");
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    EXPECT_EQ(qtwindow::message_boxes().size(), 1u);
    ASSERT_EQ(node.set_properties.size(), 3u);
    EXPECT_EQ(node.set_properties.back()[2].second, 267142857u) << "cable 30, at DTV_FREQUENCY";
    EXPECT_EQ(applied_settings.channel, 30);
    EXPECT_EQ(fake.refusals(), 0) << "nothing the kernel refuses a reader was tried";
}

// Asked only to watch (--watch), the program never takes the tuner, not even a free one on Apply:
// nothing is opened for writing or tuned, no box, the strip shows the received channel again, and
// the samples go on.
TEST_F(FrontendProgramTest, UnderWatchApplyTunesNothingEvenOnAFreeTuner)
{
    FakeFrontend &node = fake.add(frontend0, {SYS_ISDBT});
    use_frontends();
    fake.close(fake.hold(frontend0, SYS_ISDBT, 521142857)); // terrestrial 21, by a recorder since stopped
    node.count(0, 1000000);
    fake.start_journal();
    int ticks = 0;
    std::wstring strip_after_apply;
    int exit_code = -1;
    const std::string err = stderr_of([&] {
        exit_code = run_program(
            [&] {
                HWND window = qtwindow::top_level_windows().front();
                const std::vector<HWND> controls = qtwindow::children_of(window);
                switch (++ticks) {
                case 1: qtwindow::advance_ms(1000); break;
                case 2:
                    qtwindow::type_text(controls[1], L"30");
                    qtwindow::click(controls[0]);
                    qtwindow::click(controls[3]);
                    break;
                case 3:
                    strip_after_apply = text_of(controls[1]);
                    qtwindow::advance_ms(1000);
                    break;
                default: qtwindow::press_close_box(window); break;
                }
            },
            L"--watch");
    });
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(err, "/dev/dvb/adapter0/frontend0: watching it without tuning\n");
    EXPECT_EQ(output, " 28.0 |  0.00E+00\n 28.0 |  0.00E+00\n");
    EXPECT_TRUE(qtwindow::message_boxes().empty());
    EXPECT_EQ(strip_after_apply, L"21");
    for (const std::string &call : fake.journal()) {
        EXPECT_FALSE(call.starts_with("open(O_RDWR")) << call;
        EXPECT_FALSE(call.starts_with("FE_SET_PROPERTY")) << call;
    }
    EXPECT_EQ(node.set_properties.size(), 1u) << "the recorder's tune only";
    EXPECT_EQ(fake.refusals(), 0) << "nothing the kernel refuses a reader was tried";
}

} // namespace
