#include "model/panel_rules.h"

#include <algorithm>

namespace rkt {

namespace {

constexpr int kMaskSingleInput = 4;     // only "keine" and "Test"
constexpr int kMaskNoTest = 16;         // no "Test", "Teach-In" or "Vorausfall-Test"
constexpr int kMaskTwoPulses = 128;     // no third pulse frequency
constexpr int kMaskNoHysteresis = 2;
constexpr int kMaskNoKeyboardLock = 8;
constexpr int kMaskNoPulse = 64;

// The value when it is one of 0..count-1, else the first item.
int InRange(int value, int count) { return value >= 0 && value < count ? value : 0; }

}  // namespace

std::vector<int> OfferedInputFunctions(int version1, int variant, int mask, int count) {
  int highest = 5;
  if (mask & kMaskSingleInput) {
    highest = 1;
  } else if (version1 >= 4) {
    highest = count - 1;
  }
  highest = std::min(highest, count - 1);
  std::vector<int> codes;
  for (int code = 0; code <= highest; ++code) {
    const bool testLike = code == 1 || code == 6 || code == 7;
    if (testLike && (mask & kMaskNoTest)) continue;
    if (code == 7 && variant < 2) continue;
    codes.push_back(code);
  }
  return codes;
}

std::vector<int> OfferedPulseFrequencies(int mask, int count) {
  const int offered = count - ((mask & kMaskTwoPulses) ? 1 : 0);
  std::vector<int> indices;
  for (int i = 0; i < offered; ++i) indices.push_back(i);
  return indices;
}

std::vector<int> OfferedSwitchingFrequencies(int version1, int typeCode, int count) {
  const int lowest = version1 >= 4 && (typeCode == 5 || typeCode == 6) ? 0 : 1;
  std::vector<int> indices;
  for (int i = lowest; i < count; ++i) indices.push_back(i);
  return indices;
}

PanelLayout LayoutFor(int version1, int variant, int mask, int typeCode, const ListCounts& counts) {
  PanelLayout l;
  l.input = variant != 4;
  l.output = variant == 3   ? OutputControl::SingleOutput
             : variant == 5 ? OutputControl::InputOutput
             : variant == 6 ? OutputControl::AlarmOutput
                            : OutputControl::Warning;
  l.pulse = (mask & kMaskNoPulse) == 0;
  l.hysteresis = (mask & kMaskNoHysteresis) == 0;
  l.keyboardLock = (mask & kMaskNoKeyboardLock) == 0;
  l.inputFunctions = OfferedInputFunctions(version1, variant, mask, counts.input);
  l.pulseFrequencies = OfferedPulseFrequencies(mask, counts.pulse);
  l.switchingFrequencies = OfferedSwitchingFrequencies(version1, typeCode, counts.switching);
  return l;
}

PanelLayout LayoutFor(const DataSet& ds, Copy copy, const ListCounts& counts) {
  return LayoutFor(ds.GetInt(ValueId::VersionPart1, copy), ds.GetInt(ValueId::VersionPart3, copy),
                   ds.GetInt(ValueId::FeatureMask, copy), ds.GetInt(ValueId::TypeCode, copy), counts);
}

ShownSelection ShownSelectionOf(const DataSet& ds, Copy copy, const ListCounts& counts) {
  const PanelLayout l = LayoutFor(ds, copy, counts);
  const auto get = [&](ValueId id) { return ds.GetInt(id, copy); };
  ShownSelection s;
  s.switchingFrequency = ShownItem(l.switchingFrequencies, get(ValueId::SwitchingFrequency));
  s.pulse = l.pulse ? ShownItem(l.pulseFrequencies, get(ValueId::PulseFrequency)) : 0;
  s.hysteresis = l.hysteresis ? InRange(get(ValueId::Hysteresis), 3) : 0;
  s.keyboardLock = InRange(get(ValueId::KeyboardLock), 3);
  s.warningFunction = InRange(get(ValueId::WarningFunction), 3);
  s.darkSwitching = InRange(get(ValueId::DarkSwitching), 2);
  s.inputOutput = InRange(get(ValueId::InputOutputMode), 5);
  s.inputFunction = ShownItem(l.inputFunctions, get(ValueId::InputFunction));
  if (l.output == OutputControl::InputOutput && PinIsOutput(s.inputOutput)) s.inputFunction = 0;
  s.outputType = InRange(get(ValueId::OutputType), 3);
  s.timeFunction2 = InRange(get(ValueId::TimeFunction2), 4);
  return s;
}

int ShownItem(std::span<const int> offered, int value) {
  if (offered.empty()) return 0;
  return std::find(offered.begin(), offered.end(), value) != offered.end() ? value : offered.front();
}

}  // namespace rkt
