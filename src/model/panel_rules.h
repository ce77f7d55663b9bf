#pragma once

#include <span>
#include <vector>

// Which items the panel's rebuilt lists offer for a sensor type. The panel
// builds its lists from these; the overview, datasheet and export use them
// so that they show what the panel shows: a stored value the list does not
// offer appears as the list's first item.
namespace rkt {

// Input-function codes offered by the input list, ascending. `count` is the
// number of input texts the program has (10 built in). Code 0 ("keine") is
// always offered and always first.
std::vector<int> OfferedInputFunctions(int version1, int variant, int mask, int count = 10);

// Pulse-frequency list indices offered, ascending (the last is dropped for
// types without the third frequency).
std::vector<int> OfferedPulseFrequencies(int mask, int count = 3);

// Switching-frequency indices offered, ascending: the fastest rate only on
// the types that have it.
std::vector<int> OfferedSwitchingFrequencies(int version1, int typeCode, int count = 7);

// The value as the list shows it: the value itself when offered, else the
// first offered item (or 0 for an empty list).
int ShownItem(std::span<const int> offered, int value);

}  // namespace rkt
