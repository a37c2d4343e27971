// A long run beside a flaky tuner and a careless user: 100,000 ticks with random faults in the
// driver's answers, a tuner unplugged for good near the end, zero cycle counts, edits, band
// changes, Apply, and retunes that fail and end the program, which is then started again.
// After every tick: one line for each sample whose level could be read and none otherwise, a
// history of valid levels shifted by one, and not one object more or less alive.
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "display/display_fixture.h"

namespace {

const int soak_ticks = 100000;
const int unplugged_from = 95000;

// Standard output into memory for the whole run; the test's own report goes back to the
// terminal before it says anything.
class Console {
public:
    Console() : saved_(dup(STDOUT_FILENO)), memory_(memfd_create("console", 0))
    {
        std::fflush(stdout);
        dup2(memory_, STDOUT_FILENO);
    }
    ~Console()
    {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        close(memory_);
    }
    std::string take()
    {
        std::fflush(stdout);
        const off_t end = lseek(memory_, 0, SEEK_END);
        std::string text(static_cast<size_t>(end - read_), '\0');
        if (pread(memory_, text.data(), text.size(), read_) < 0)
            text.clear();
        read_ = end;
        return text;
    }

private:
    int saved_;
    int memory_;
    off_t read_ = 0;
};

bool valid_level(double level) { return level == 0.0 || level == -1.0 || (level >= -9.68 && level <= 99.0); }

class SoakTest : public DisplayTest {
protected:
    std::mt19937 random{20261207};
    int pick(int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); }

    void user_types(HWND edit)
    {
        static const wchar_t *const entries[] = {
            L"1",  L"5",  L"60", L"75", L"0", L"", L"13", L"27", L"62", L"63", L"64", L"x9", L"99999999999999",
            L"-3", L" 42"};
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(entries[pick(std::size(entries))]));
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(0, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
    }
    void user_applies()
    {
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(apply_button));
    }

    // A fault in this tick's answers; true when it leaves the level unreadable.
    bool inject_fault()
    {
        const std::uint32_t level_selectors[] = {0x8B20, 0x8C20, 0x8D20};
        const std::uint32_t ratio_selectors[] = {0xA020, 0xA120, 0xA220, 0xA620, 0xA720};
        const tuning::Result failure = static_cast<tuning::Result>(0x80004005);
        switch (pick(50)) {
        case 0: tuning::answer(level_selectors[pick(3)], {0, 4, failure, 0}); return true;
        case 1: tuning::answer(level_selectors[pick(3)], {0, 4, 0, failure}); return true;
        case 2:
            tuning::answer(level_selectors[pick(3)], {0x20, static_cast<std::uint32_t>(pick(4)), 0, 0});
            return true;
        case 3: tuning::answer(ratio_selectors[pick(5)], {0, 4, pick(2) == 0 ? failure : 0, failure}); return false;
        case 4:
            tuning::answer(0xA620, {});
            tuning::answer(0xA720, {});
            return false;
        default: return false;
        }
    }
};

TEST_F(SoakTest, HundredThousandTicksKeepEveryPromise)
{
    std::ostringstream broken; // what went wrong first, said once the console is back
    int restarts = 0;
    {
        Console console;
        start();
        const size_t alive_while_up = tuning::live_objects().size();
        for (int tick = 1; tick <= soak_ticks && broken.str().empty(); ++tick) {
            const int action = pick(1000);
            if (action < 4)
                user_types(interval_edit);
            else if (action < 8)
                user_types(channel_edit);
            else if (action < 10) {
                qtwindow::click(catv_check);
                qtwindow::pump_messages();
            } else if (action < 14)
                user_applies();
            else if (action == 14 && tick < unplugged_from) {
                // A retune that fails ends the program; the user starts it again.
                tuning::fail("put_TuneRequest", E_FAIL);
                pending_settings.channel = pending_settings.channel == 20 ? 21 : 20;
                user_applies();
                if (window_alive() || !tuning::live_objects().empty() || tuning::apartment_initialisations() != 0) {
                    broken << "tick " << tick << ": a failed retune did not close the program cleanly";
                    break;
                }
                pending_settings = applied_settings = {1, 13, 0};
                qtwindow::reset();
                start();
                ++restarts;
            }
            if (tick == unplugged_from)
                tuning::apply_scenario("unplug-after=0");

            tuning::clear_answers();
            const bool level_unreadable = inject_fault() || tick >= unplugged_from;
            const double before = level_history[level_history_size - 1];
            console.take();
            SendMessageW(hwnd, WM_TIMER, SAMPLE_TIMER_ID, 0);
            if (tick % 64 == 0)
                qtwindow::pump_messages();

            const std::string lines = console.take();
            const long count = std::count(lines.begin(), lines.end(), '\n');
            if (count != (level_unreadable ? 0 : 1))
                broken << "tick " << tick << ": " << count << " lines for a " << (level_unreadable ? "failed" : "good")
                       << " sample: " << lines;
            else if (level_history[level_history_size - 2] != before)
                broken << "tick " << tick << ": the history did not shift";
            else if (!std::all_of(std::begin(level_history), std::end(level_history), valid_level))
                broken << "tick " << tick << ": a level out of range in the history";
            else if (level_unreadable && level_history[level_history_size - 1] != 0.0)
                broken << "tick " << tick << ": a failed sample stored " << level_history[level_history_size - 1];
            else if (tuning::live_objects().size() != alive_while_up)
                broken << "tick " << tick << ": " << tuning::live_objects().size() << " objects alive, not "
                       << alive_while_up;
            if (tick % 4096 == 0)
                tuning::clear_calls();
        }
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(broken.str(), "");
    EXPECT_GT(restarts, 0);
    EXPECT_FALSE(window_alive());
    EXPECT_EQ(qtwindow::pending_quit(), 0) << "an unplugged tuner is not a failure the program reports";
    std::printf("soak: %d ticks, %d restarts after failed retunes\n", soak_ticks, restarts);
}

} // namespace
