#pragma once

#include <span>
#include <string_view>

// The built-in German texts of the parameter lists, in list order. They are
// the defaults of the language keys "<list>0", "<list>1", … of section frmMain.
namespace rkt {

enum class TextList {
  Input,           // cmbInput, by input-function code 0..9
  SingleOutput,    // cmbSingleOutput
  Output,          // cmbOutput (warning output)
  InputOutput,     // cmbInputOutput, by item data 0..4
  KeyboardLock,    // cmbKeyboardlock
  Pulse,           // cmbPulse
  SwitchingFrequency,  // cmbSchaltfrequenz (no language keys)
  Hysteresis,      // cmbHysteresis
  ProgramLock,     // cmbProgramlock
  OutputType,      // rdOutputType option buttons
  TimeFunction2,   // rdTimefunction2 option buttons
};

std::span<const std::string_view> BuiltinList(TextList list);
// The control name that forms the language keys of the list.
std::string_view ListControlName(TextList list);
// Item i of the built-in list, or "" when i is outside it.
std::string_view BuiltinItem(TextList list, int i);

}  // namespace rkt
