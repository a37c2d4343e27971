// The settings strip as a user works it: values corrected when an edit loses the focus, and
// Apply putting them in force.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>

#include "display/display_fixture.h"

namespace {

class SettingsTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        start();
    }
    // Text that reaches the edit without typing, as a paste does.
    void paste_and_leave(HWND edit, const wchar_t *text)
    {
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        qtwindow::click(edit);
        qtwindow::click(edit == interval_edit ? channel_edit : interval_edit);
        qtwindow::pump_messages();
    }
    size_t tune_requests() const { return tuning::args_of("put_TuneRequest").size(); }
};

struct Correction {
    const wchar_t *entered;
    int value;
    const wchar_t *shown;
};

TEST_F(SettingsTest, TheIntervalIsCorrectedIntoOneToSixtySeconds)
{
    const Correction rows[] = {
        {L"", 1, L"1"},       {L"0", 1, L"1"},   {L"75", 60, L"60"}, {L"7", 7, L"7"},
        {L"060", 60, L"060"}, {L"abc", 1, L"1"}, {L"-5", 1, L"1"},   {L"99999999999999", 60, L"60"}};
    for (const Correction &row : rows) {
        paste_and_leave(interval_edit, row.entered);
        EXPECT_EQ(pending_settings.interval_s, row.value) << "entered \"" << testing::PrintToString(row.entered);
        EXPECT_EQ(text_of(interval_edit), row.shown);
    }
    EXPECT_EQ(applied_settings.interval_s, 1) << "correction alone applies nothing";
}

// A paste far longer than any entry is cut short by the box (Windows' own edit takes seconds to
// fit a thousand characters into a box this narrow), then corrected when the box is left.
TEST_F(SettingsTest, ALongPasteIsCutShortThenCorrected)
{
    const QString digits(8000, QLatin1Char('9'));
    QGuiApplication::clipboard()->setText(digits);
    if (QGuiApplication::clipboard()->text() != digits)
        GTEST_SKIP() << "no clipboard on this platform";
    const struct {
        HWND edit;
        const wchar_t *shown;
    } rows[] = {{interval_edit, L"60"}, {channel_edit, L"62"}};
    for (const auto &row : rows) {
        auto *edit = qobject_cast<QLineEdit *>(qtwindow::widget_of(row.edit));
        qtwindow::type_text(row.edit, L"");
        edit->paste(); // as the edit's context menu pastes
        const auto held = edit->text().size();
        EXPECT_GT(held, 15) << "far more than any entry";
        EXPECT_LT(held, 1000) << "far less than the paste";
        qtwindow::click(row.edit == interval_edit ? channel_edit : interval_edit);
        qtwindow::pump_messages();
        EXPECT_EQ(text_of(row.edit), row.shown);
    }
}

TEST_F(SettingsTest, OnlyDigitsCanBeTyped)
{
    type_and_leave(interval_edit, L"4a2");
    EXPECT_EQ(text_of(interval_edit), L"42");
    EXPECT_EQ(pending_settings.interval_s, 42);
}

TEST_F(SettingsTest, TheChannelIsCorrectedByTheBand)
{
    type_and_leave(channel_edit, L"63");
    EXPECT_EQ(pending_settings.channel, 62);
    EXPECT_EQ(text_of(channel_edit), L"62");
    type_and_leave(channel_edit, L"5");
    EXPECT_EQ(pending_settings.channel, 13);
    EXPECT_EQ(text_of(channel_edit), L"13");

    qtwindow::click(catv_check);
    qtwindow::pump_messages();
    EXPECT_EQ(pending_settings.catv, 1);
    type_and_leave(channel_edit, L"63");
    EXPECT_EQ(pending_settings.channel, 63);
    EXPECT_EQ(text_of(channel_edit), L"63");
    type_and_leave(channel_edit, L"5");
    EXPECT_EQ(pending_settings.channel, 13);
    EXPECT_EQ(text_of(channel_edit), L"13");
}

TEST_F(SettingsTest, ClearingTheBandBringsCableSixtyThreeBackToSixtyTwo)
{
    qtwindow::click(catv_check);
    type_and_leave(channel_edit, L"63");
    ASSERT_EQ(pending_settings.channel, 63);
    qtwindow::click(catv_check);
    qtwindow::pump_messages();
    EXPECT_EQ(pending_settings.catv, 0);
    EXPECT_EQ(pending_settings.channel, 62);
    EXPECT_EQ(text_of(channel_edit), L"62");
}

TEST_F(SettingsTest, ClickingApplyCorrectsTheEditItLeavesFirst)
{
    qtwindow::type_text(interval_edit, L"75");
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    EXPECT_EQ(text_of(interval_edit), L"60");
    EXPECT_EQ(applied_settings.interval_s, 60);
    EXPECT_EQ(qtwindow::timer_period(hwnd, SAMPLE_TIMER_ID), 60000u);
}

TEST_F(SettingsTest, ApplyWithNothingChangedLeavesTunerTimerAndWindowAlone)
{
    wait_ms(500);
    level_history[29] = 50.0; // would show if anything repainted
    const QImage before = qtwindow::client_image(hwnd);
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    EXPECT_EQ(qtwindow::client_image(hwnd), before);
    EXPECT_EQ(tune_requests(), 1u);
    EXPECT_NE(wait_ms(500), "") << "the running period was not restarted";
}

TEST_F(SettingsTest, ApplyWithANewIntervalReArmsWithoutTuning)
{
    const QImage before = qtwindow::client_image(hwnd);
    type_and_leave(interval_edit, L"5");
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    EXPECT_EQ(tune_requests(), 1u);
    EXPECT_EQ(qtwindow::timer_period(hwnd, SAMPLE_TIMER_ID), 5000u);
    EXPECT_EQ(applied_settings.interval_s, 5);
    EXPECT_NE(qtwindow::client_image(hwnd).copy(30, 5, 280, 15), before.copy(30, 5, 280, 15))
        << "the header shows the new interval";
}

TEST_F(SettingsTest, ApplyWithANewChannelTunesOnceAndRestartsTheTimer)
{
    wait_ms(500);
    type_and_leave(channel_edit, L"27");
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    EXPECT_EQ(tuning::args_of("put_TuneRequest"), (std::vector<std::string>{"473000", "557000"}));
    EXPECT_EQ(applied_settings.channel, 27);
    EXPECT_EQ(wait_ms(500), "") << "a full period from Apply";
    EXPECT_NE(wait_ms(500), "");
}

TEST_F(SettingsTest, ApplyWithTheBandAloneTunesTheCableChannel)
{
    qtwindow::click(catv_check);
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    EXPECT_EQ(tuning::args_of("put_TuneRequest").back(), "111000");
    EXPECT_EQ(applied_settings.catv, 1);
}

TEST_F(SettingsTest, AFailedRetuneReportsAndClosesTheProgram)
{
    tuning::fail("put_TuneRequest", E_FAIL);
    type_and_leave(channel_edit, L"27");
    const std::string err = stderr_of([&] {
        qtwindow::click(apply_button);
        qtwindow::pump_messages();
    });
    EXPECT_EQ(err, "request_tuning: put_TuneRequest\n");
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].caption, L"失敗");
    EXPECT_EQ(qtwindow::message_boxes()[0].text, L"初期化失敗！終了します");
    EXPECT_FALSE(window_alive());
    EXPECT_EQ(qtwindow::pending_quit(), 1);
    EXPECT_EQ(applied_settings.channel, 13);
    EXPECT_EQ(live_report(), "") << "the close path released the tuner";
}

TEST_F(SettingsTest, ATimerThatCannotBeReArmedReportsAndClosesTheProgram)
{
    type_and_leave(interval_edit, L"9");
    qtwindow::fail_timers(true);
    qtwindow::click(apply_button);
    qtwindow::pump_messages();
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].text, L"タイマー作成エラー！終了します");
    EXPECT_FALSE(window_alive());
    EXPECT_EQ(qtwindow::pending_quit(), 1);
    EXPECT_EQ(applied_settings.interval_s, 1);
}

} // namespace
