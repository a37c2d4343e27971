// What the tuner receives, as the header, the strip and the log show it: while the program only
// watches a tuner that another program holds, the settings in force are what that program tuned.
#include "display/display.h"

Reception reception = {false, 0};

bool follow_watched_tuner()
{
    int frequency_khz = 0;
    if (!watching_tuner(frequency_khz)) {
        reception = {false, 0};
        return false;
    }
    int channel = 0;
    int catv = 0;
    if (!channel_at_frequency(frequency_khz, channel, catv)) {
        reception = {true, frequency_khz};
        return false;
    }
    reception = {false, 0};
    if (channel == applied_settings.channel && catv == applied_settings.catv)
        return false;
    applied_settings.channel = channel;
    applied_settings.catv = catv;
    return true;
}
