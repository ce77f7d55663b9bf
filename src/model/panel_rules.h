#pragma once

#include <vector>

// Which list items a sensor type offers. The parameter panel builds its lists
// by these rules; the overview, datasheet and export use them too, so that a
// value is always shown as the panel would show it.
namespace rkt {

// Input-function codes offered, ascending. snapshotCount is the number of
// input texts the window holds (10 with the built-in list).
std::vector<int> OfferedInputFunctions(int version1, int variant, int featureMask, int snapshotCount = 10);

// Switching-frequency indices offered, ascending: index 0 (1.5 kHz) only for
// types 5 and 6 from version 4 on.
std::vector<int> OfferedSwitchingFrequencies(int version1, int typeCode, int snapshotCount = 7);

// How many pulse frequencies are offered (mask bit 7 removes the last one).
int OfferedPulseCount(int featureMask, int snapshotCount = 3);

}  // namespace rkt
