// The PT and PX drivers tune by number, not frequency: the channel plan's frequencies as the
// numbers of their terrestrial table.
#pragma once

namespace tuning {

// The number for a frequency of the channel plan in kHz: CATV C13 to C22 are 3 to 12, C23 to C63
// 22 to 62, UHF 13 to 63 are 63 to 113. -1 for a frequency off the plan.
int frequency_number(int frequency_khz);

} // namespace tuning
