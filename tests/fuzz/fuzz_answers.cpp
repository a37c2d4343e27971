// Property answers from the driver: any values, any byte counts, any mix of failing Set and Get,
// per selector. Whatever arrives, the sample is 0.0, -1.0 or a level in range, and the console
// line is one of its documented forms.
//
// Input: per selector in reading order, 4 value bytes, a byte count, and a byte whose bits make
// the Set and the Get fail.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "platform/tuning/model/test_world.h"
#include "tuner/tuner.h"

namespace {

const std::uint32_t selectors[] = {0x8B20, 0x8C20, 0x8D20, 0xA020, 0xA120, 0xA220, 0xA620, 0xA720};
int console = -1; // standard output, redirected into memory
off_t console_read = 0;

void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

void start_once()
{
    if (console >= 0)
        return;
    console = memfd_create("console", 0);
    require(console >= 0 && dup2(console, STDOUT_FILENO) >= 0, "standard output redirected");
    tuning::reset();
    require(init_tuner() == 1, "the tuner comes up");
}

std::string new_console_text()
{
    std::fflush(stdout);
    const off_t end = lseek(console, 0, SEEK_END);
    std::string text(static_cast<size_t>(end - console_read), '\0');
    require(pread(console, text.data(), text.size(), console_read) == static_cast<ssize_t>(text.size()),
            "console read back");
    console_read = end;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    start_once();
    tuning::clear_calls(); // the log would otherwise grow with every input
    const std::size_t per_selector = 6;
    for (std::size_t i = 0; i < std::size(selectors) && (i + 1) * per_selector <= size; ++i) {
        const std::uint8_t *d = data + i * per_selector;
        tuning::PropertyAnswer answer;
        std::memcpy(&answer.value, d, 4);
        answer.bytes = d[4] % 9;
        answer.set_result = (d[5] & 1) != 0 ? static_cast<tuning::Result>(0x80000000u | d[5]) : 0;
        answer.get_result = (d[5] & 2) != 0 ? static_cast<tuning::Result>(0x80070000u | d[5]) : 0;
        tuning::answer(selectors[i], answer);
    }

    const double sample = take_sample();
    const std::string line = new_console_text();
    require(sample == 0.0 || sample == -1.0 || (sample >= -9.68 && sample <= 99.0), "sample in range");
    if (line.empty()) {
        require(sample == 0.0, "a failed level reading stores 0.0");
        return 0;
    }
    static const std::regex ratio_form(R"(( [ -]\d\.\d\dE[+-]\d\d| --------- )\n)");
    char level[16];
    std::snprintf(level, sizeof level, " %4.1f |", sample);
    const std::string level_part = sample == -1.0 ? " -- |" : level;
    require(line.compare(0, level_part.size(), level_part) == 0, "the level part");
    require(std::regex_match(line.substr(level_part.size()), ratio_form), "the ratio part");
    return 0;
}
