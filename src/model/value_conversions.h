#pragma once

#include <cstdint>
#include <string>

// How raw parameter bytes are shown: times in tenths of a second or in
// milliseconds, the sensitivity in percent, the switching frequency as a list.
namespace rkt {

inline constexpr int kTimeMin = 1;
inline constexpr int kTimeMax = 255;
inline constexpr int kSensitivityMin = 0;
inline constexpr int kSensitivityMax = 92;

// 1 → "0.1 s", 10 → "1.0 s", 255 → "25.5 s".
std::string FormatTenths(int raw);
// 15 → "15 ms".
std::string FormatMilliseconds(int raw);
// Time value 2 as shown for time-function-2 mode (1 in tenths, 2 and 3 in ms).
std::string FormatTimeValue2(int raw, int mode);
// value × 100 ÷ 92, rounded: 92 → 100, 46 → 50, 6 → 7.
int SensitivityPercent(int value);
// SensitivityPercent followed by "%".
std::string FormatSensitivity(int value);

// Index 0..6 of a switching-frequency code; any other code reads as 0.
int SwitchingFrequencyIndex(std::uint8_t code);
// The code of index 0..6; an index outside the list gives the code of 0.
std::uint8_t SwitchingFrequencyCode(int index);

}  // namespace rkt
