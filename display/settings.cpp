#include "display/display.h"

TuneSettings pending_settings = {1, 13, 0};
TuneSettings applied_settings = {1, 13, 0};
