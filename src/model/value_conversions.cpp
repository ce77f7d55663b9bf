#include "model/value_conversions.h"

#include <algorithm>

#include "model/data_set.h"

namespace rkt {

std::string FormatTenths(int raw) {
  std::string digits = std::to_string(raw);
  if (digits.size() == 1) digits.insert(digits.begin(), '0');
  digits.insert(digits.end() - 1, '.');
  return digits + " s";
}

std::string FormatMilliseconds(int raw) { return std::to_string(raw) + " ms"; }

std::string FormatTimeValue2(int raw, int mode) {
  return mode > 1 ? FormatMilliseconds(raw) : FormatTenths(raw);
}

int SensitivityPercent(int value) {
  // Round half away from zero, as the window's rounding does; no value in
  // 0..92 lands on an exact half anyway.
  const int scaled = value * 100;
  return scaled >= 0 ? (scaled + 46) / 92 : -((-scaled + 46) / 92);
}

std::string FormatSensitivity(int value) { return std::to_string(SensitivityPercent(value)) + "%"; }

int SwitchingFrequencyIndex(std::uint8_t code) {
  const auto it = std::find(kSwitchingFrequencyCodes.begin(), kSwitchingFrequencyCodes.end(), code);
  return it == kSwitchingFrequencyCodes.end() ? 0 : static_cast<int>(it - kSwitchingFrequencyCodes.begin());
}

std::uint8_t SwitchingFrequencyCode(int index) {
  if (index < 0 || index >= static_cast<int>(kSwitchingFrequencyCodes.size())) index = 0;
  return kSwitchingFrequencyCodes[static_cast<std::size_t>(index)];
}

}  // namespace rkt
