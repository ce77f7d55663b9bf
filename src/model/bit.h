#pragma once

#include <cstdint>

// Bit helpers on which every field access of the data set rests. Bits are
// numbered 0 (least significant) to 7.
namespace rkt {

std::uint8_t GetBit(std::uint8_t b, int n);

// Sets bit n of b to (v != 0). Returns 1 when b changed, 0 when the bit already
// had that value (b is then left untouched).
int SetBit(std::uint8_t& b, int n, int v);

std::int32_t MakeWord(std::uint8_t high, std::uint8_t low);
std::uint8_t ShiftRight(std::uint8_t b, int n);
// Divides by two n times, truncating toward zero (also for negative values).
std::int32_t ShiftRightLong(std::int32_t v, int n);
std::uint8_t ShiftLeft(std::uint8_t b, int n);

}  // namespace rkt
