#include "text/builtin_texts.h"

#include <array>

namespace rkt {

namespace {

using namespace std::string_view_literals;

constexpr std::array kInput = {"keine"sv, "Test"sv, "NO/NC-Umschaltung"sv, "UND-Verknüpfung"sv,
                               "ODER-Verknüpfung"sv, "XOR-Verknüpfung"sv, "Teach-In"sv, "Vorausfall-Test"sv,
                               "Latch"sv, "D-Flipflop"sv};
constexpr std::array kSingleOutput = {"hellschaltend"sv, "dunkelschaltend"sv};
constexpr std::array kOutput = {"Warnausgang"sv, "Warnausgang invertiert"sv, "Schaltausgang antivalent"sv};
constexpr std::array kInputOutput = {"Antivalent"sv, "Hellschaltung+Warnung"sv, "Dunkelschaltung+Warnung"sv,
                                     "Hellschaltung+Eingang"sv, "Dunkelschaltung+Eingang"sv};
constexpr std::array kKeyboardLock = {"aus"sv, "automatisch"sv, "immer"sv};
constexpr std::array kPulse = {"Pulsfrequenz 1"sv, "Pulsfrequenz 2"sv, "Pulsfrequenz 3"sv};
// The blanks inside these texts belong to them.
constexpr std::array kSwitchingFrequency = {"1,5 kHz --> 0,3 ms"sv, "1 kHz    --> 0,5 ms"sv, "500 Hz  --> 1 ms"sv,
                                            "250 Hz  --> 2 ms"sv,   "100 Hz  --> 5 ms"sv,    "50 Hz    --> 10 ms"sv,
                                            "20 Hz    --> 25 ms"sv};
constexpr std::array kHysteresis = {"klein"sv, "standard"sv, "groß"sv};
constexpr std::array kProgramLock = {"aktiviert"sv, "gesperrt"sv};
constexpr std::array kOutputType = {"statisch"sv, "autocontrol"sv, "abgeschaltet"sv};
constexpr std::array kTimeFunction2 = {"Ausschaltverzögerung"sv, "Impulsverlängerung"sv, "Wischerfunktion"sv};

}  // namespace

std::span<const std::string_view> BuiltinList(TextList list) {
  switch (list) {
    case TextList::Input: return kInput;
    case TextList::SingleOutput: return kSingleOutput;
    case TextList::Output: return kOutput;
    case TextList::InputOutput: return kInputOutput;
    case TextList::KeyboardLock: return kKeyboardLock;
    case TextList::Pulse: return kPulse;
    case TextList::SwitchingFrequency: return kSwitchingFrequency;
    case TextList::Hysteresis: return kHysteresis;
    case TextList::ProgramLock: return kProgramLock;
    case TextList::OutputType: return kOutputType;
    case TextList::TimeFunction2: return kTimeFunction2;
  }
  return {};
}

std::string_view ListControlName(TextList list) {
  switch (list) {
    case TextList::Input: return "cmbInput";
    case TextList::SingleOutput: return "cmbSingleOutput";
    case TextList::Output: return "cmbOutput";
    case TextList::InputOutput: return "cmbInputOutput";
    case TextList::KeyboardLock: return "cmbKeyboardlock";
    case TextList::Pulse: return "cmbPulse";
    case TextList::SwitchingFrequency: return "cmbSchaltfrequenz";
    case TextList::Hysteresis: return "cmbHysteresis";
    case TextList::ProgramLock: return "cmbProgramlock";
    case TextList::OutputType: return "rdOutputType";
    case TextList::TimeFunction2: return "rdTimefunction2";
  }
  return {};
}

std::string_view BuiltinItem(TextList list, int i) {
  const auto items = BuiltinList(list);
  if (i < 0 || i >= static_cast<int>(items.size())) return {};
  return items[static_cast<std::size_t>(i)];
}

}  // namespace rkt
