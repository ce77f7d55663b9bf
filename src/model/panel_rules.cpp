#include "model/panel_rules.h"

#include <algorithm>

namespace rkt {

namespace {

constexpr int kMaskSingleInput = 4;     // only "keine" and "Test"
constexpr int kMaskNoTest = 16;         // no "Test", "Teach-In" or "Vorausfall-Test"
constexpr int kMaskTwoPulses = 128;     // no third pulse frequency

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

int ShownItem(std::span<const int> offered, int value) {
  if (offered.empty()) return 0;
  return std::find(offered.begin(), offered.end(), value) != offered.end() ? value : offered.front();
}

}  // namespace rkt
