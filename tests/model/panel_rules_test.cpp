#include <gtest/gtest.h>

#include "model/panel_rules.h"

namespace rkt {
namespace {

using Codes = std::vector<int>;

// Mask bits 2 and 3 come from no type code of today's sensors, so the list
// rules are checked here directly for them.
TEST(PanelRules, InputFunctionsOffered) {
  const struct {
    int version, variant, mask;
    Codes codes;
    const char* why;
  } rows[] = {
      {4, 2, 4, {0, 1}, "mask bit 2: only keine and Test"},
      {4, 2, 4 | 16, {0}, "bits 2 and 4: only keine"},
      {3, 1, 16, {0, 2, 3, 4, 5}, "bit 4 below version 4"},
      {4, 1, 16, {0, 2, 3, 4, 5, 8, 9}, "bit 4 from version 4"},
      {4, 1, 0, {0, 1, 2, 3, 4, 5, 6, 8, 9}, "variant 1: no Vorausfall-Test"},
      {4, 2, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "all ten"},
  };
  for (const auto& row : rows) EXPECT_EQ(OfferedInputFunctions(row.version, row.variant, row.mask), row.codes) << row.why;
}

TEST(PanelRules, SwitchingAndPulseFrequencies) {
  EXPECT_EQ(OfferedSwitchingFrequencies(4, 5).front(), 0);
  EXPECT_EQ(OfferedSwitchingFrequencies(4, 6).size(), 7u);
  EXPECT_EQ(OfferedSwitchingFrequencies(3, 5).front(), 1) << "version below 4";
  EXPECT_EQ(OfferedSwitchingFrequencies(4, 7).size(), 6u) << "other types";
  EXPECT_EQ(OfferedPulseCount(128), 2);
  EXPECT_EQ(OfferedPulseCount(64), 3);
}

}  // namespace
}  // namespace rkt
