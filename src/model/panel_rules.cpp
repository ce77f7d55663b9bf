#include "model/panel_rules.h"

namespace rkt {

std::vector<int> OfferedInputFunctions(int version1, int variant, int featureMask, int snapshotCount) {
  int highest = 5;
  if (featureMask & 4) {
    highest = 1;
  } else if (version1 >= 4) {
    highest = snapshotCount - 1;
  }
  std::vector<int> codes;
  for (int i = 0; i <= highest; ++i) {
    const bool lacksTest = (featureMask & 16) != 0 && (i == 1 || i == 6 || i == 7);
    if (lacksTest || (i == 7 && variant < 2)) continue;
    codes.push_back(i);
  }
  return codes;
}

std::vector<int> OfferedSwitchingFrequencies(int version1, int typeCode, int snapshotCount) {
  const int lowest = version1 >= 4 && (typeCode == 5 || typeCode == 6) ? 0 : 1;
  std::vector<int> indices;
  for (int i = lowest; i < snapshotCount; ++i) indices.push_back(i);
  return indices;
}

int OfferedPulseCount(int featureMask, int snapshotCount) {
  return (featureMask & 128) ? snapshotCount - 1 : snapshotCount;
}

}  // namespace rkt
