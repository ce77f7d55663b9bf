#include <gtest/gtest.h>

#include "model/panel_rules.h"

namespace rkt {
namespace {

TEST(PanelRules, InputFunctionsPerSensorType) {
  const struct {
    const char* context;
    int version1, variant, mask;
    std::vector<int> codes;
  } rows[] = {
      {"old type offers codes up to XOR", 3, 2, 0, {0, 1, 2, 3, 4, 5}},
      {"new type offers all ten", 4, 2, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"Vorausfall-Test needs variant 2 or more", 4, 1, 0, {0, 1, 2, 3, 4, 5, 6, 8, 9}},
      {"no test functions, old", 3, 1, 16, {0, 2, 3, 4, 5}},
      {"no test functions, new", 4, 1, 16, {0, 2, 3, 4, 5, 8, 9}},
      {"single input", 4, 2, 4, {0, 1}},
      {"single input without test", 4, 2, 4 | 16, {0}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(OfferedInputFunctions(row.version1, row.variant, row.mask), row.codes) << row.context;
  EXPECT_EQ(OfferedInputFunctions(4, 2, 0, 6), (std::vector<int>{0, 1, 2, 3, 4, 5}))
      << "a shorter text list bounds the codes";
}

TEST(PanelRules, PulseAndSwitchingFrequencies) {
  EXPECT_EQ(OfferedPulseFrequencies(0), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(OfferedPulseFrequencies(128), (std::vector<int>{0, 1})) << "no third pulse frequency";

  const struct {
    int version1, type;
    int first;
  } rows[] = {{4, 5, 0}, {4, 6, 0}, {3, 5, 1}, {4, 7, 1}, {5, 15, 1}};
  for (const auto& row : rows) {
    const std::vector<int> offered = OfferedSwitchingFrequencies(row.version1, row.type);
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered.front(), row.first) << "version " << row.version1 << " type " << row.type;
    EXPECT_EQ(offered.back(), 6);
    EXPECT_EQ(offered.size(), static_cast<std::size_t>(7 - row.first));
  }
}

TEST(PanelRules, ValueNotOfferedShowsTheFirstItem) {
  const std::vector<int> offered = {1, 2, 3};
  EXPECT_EQ(ShownItem(offered, 2), 2);
  EXPECT_EQ(ShownItem(offered, 0), 1);
  EXPECT_EQ(ShownItem(offered, 9), 1);
  EXPECT_EQ(ShownItem({}, 5), 0);
}

}  // namespace
}  // namespace rkt
