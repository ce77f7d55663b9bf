#pragma once

#include <span>
#include <vector>

#include "model/data_set.h"

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

// How many texts each rebuilt list has (the built-in lists by default).
struct ListCounts {
  int input = 10;
  int pulse = 3;
  int switching = 7;
};

// Which of the output controls a sensor variant has.
enum class OutputControl {
  Warning,       // cmbOutput: warning output, inverted or antivalent
  SingleOutput,  // variant 3: cmbSingleOutput, light or dark switching
  InputOutput,   // variant 5: cmbInputOutput, the pin shared by output and input
  AlarmOutput,   // variant 6: chkAlarmOutput
};

// The controls and list items a sensor type has: the one rule the panel, the
// overview, the datasheet and the export follow.
struct PanelLayout {
  bool input = true;         // input group (not on variant 4)
  OutputControl output = OutputControl::Warning;
  bool pulse = true;         // pulse-frequency selection (feature mask bit 6 clear)
  bool hysteresis = true;    // hysteresis selection (mask bit 1 clear)
  bool keyboardLock = true;  // keyboard-lock selection (mask bit 3 clear)
  std::vector<int> inputFunctions;      // codes, "keine" first
  std::vector<int> pulseFrequencies;    // list indices
  std::vector<int> switchingFrequencies;  // indices of the rates
};

PanelLayout LayoutFor(int version1, int variant, int mask, int typeCode, const ListCounts& counts = {});
PanelLayout LayoutFor(const DataSet& ds, Copy copy, const ListCounts& counts = {});

// Every list-driven value as the panel selects it for the copy: a value the
// type's list does not offer shows the list's first item, an absent control
// shows its first item, and while the shared pin of variant 5 works as an
// output the input function is "keine".
struct ShownSelection {
  int switchingFrequency = 0;  // index of the rate (the item data)
  int pulse = 0;               // index in the pulse list
  int hysteresis = 0;          // 0..2
  int keyboardLock = 0;        // 0..2
  int warningFunction = 0;     // cmbOutput index
  int darkSwitching = 0;       // cmbSingleOutput index
  int inputOutput = 0;         // cmbInputOutput item data
  int inputFunction = 0;       // cmbInput item data
  int outputType = 0;          // rdOutputType index
  int timeFunction2 = 0;       // 0 off, 1..3 the rdTimefunction2 index + 1
};

ShownSelection ShownSelectionOf(const DataSet& ds, Copy copy, const ListCounts& counts = {});

// Item data of cmbInputOutput whose pin works as an output (no input then).
inline bool PinIsOutput(int inputOutputMode) { return inputOutputMode >= 0 && inputOutputMode <= 2; }

}  // namespace rkt
