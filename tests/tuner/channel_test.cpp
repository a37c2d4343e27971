#include "support/sim_fixture.h"
