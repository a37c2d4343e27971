#include "platform/tuning/chardev/frequency_numbers.h"

namespace tuning {

namespace {

struct Band {
    int first_khz;
    int last_khz;
    int first_number;
};

// The channel plan's rows (6 MHz apart) and the numbers the drivers give their first channels.
const Band bands[] = {
    {111000, 165000, 3},  // CATV C13 to C22
    {225000, 465000, 22}, // CATV C23 to C63
    {473000, 773000, 63}, // UHF 13 to 63
};

} // namespace

int frequency_number(int frequency_khz)
{
    for (const Band &band : bands)
        if (frequency_khz >= band.first_khz && frequency_khz <= band.last_khz &&
            (frequency_khz - band.first_khz) % 6000 == 0)
            return band.first_number + (frequency_khz - band.first_khz) / 6000;
    return -1;
}

} // namespace tuning
