#include "model/bit.h"

namespace rkt {

std::uint8_t GetBit(std::uint8_t b, int n) {
  return static_cast<std::uint8_t>((b >> n) & 1u);
}

int SetBit(std::uint8_t& b, int n, int v) {
  const std::uint8_t want = v != 0 ? 1 : 0;
  if (GetBit(b, n) == want) return 0;
  b = static_cast<std::uint8_t>(b ^ (1u << n));
  return 1;
}

std::int32_t MakeWord(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::int32_t>(high) * 256 + low;
}

std::uint8_t ShiftRight(std::uint8_t b, int n) {
  return static_cast<std::uint8_t>(b >> n);
}

std::int32_t ShiftRightLong(std::int32_t v, int n) {
  for (int i = 0; i < n; ++i) v /= 2;
  return v;
}

std::uint8_t ShiftLeft(std::uint8_t b, int n) {
  return static_cast<std::uint8_t>((static_cast<unsigned>(b) << n) & 0xFFu);
}

}  // namespace rkt
