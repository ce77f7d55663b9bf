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

// The controls per type and what a stored value shows as; one table for the
// rule the panel, overview and datasheet share.
TEST(PanelRules, LayoutAndShownSelection) {
  const struct {
    const char* context;
    int version1, variant, type;
    std::uint8_t input, functions, keyboard, frequency;  // parameter bytes 2, 1, 7, 4
    bool input_, pulse, hysteresis;
    OutputControl output;
    int shownPulse, shownInput, shownFrequency, shownInOut;
  } rows[] = {
      {"type 3 has two pulse frequencies: the third shows as the first", 4, 2, 3, 0x04, 0, 0x20, 5,
       true, true, true, OutputControl::Warning, 0, 0, 1, 1},
      {"type 1 keeps the third pulse frequency", 4, 2, 1, 0x04, 0, 0x20, 5, true, true, true,
       OutputControl::Warning, 2, 0, 1, 1},
      {"type 15: no pulse, no hysteresis", 4, 2, 15, 0x04, 0, 0x20, 5, true, false, false, OutputControl::Warning,
       0, 0, 1, 1},
      {"variant 4 has no input", 4, 4, 1, 0x44, 0, 0, 5, false, true, true, OutputControl::Warning, 0, 3, 1, 1},
      {"variant 3 single output", 4, 3, 1, 0x44, 0, 0, 5, true, true, true, OutputControl::SingleOutput, 0, 3, 1, 1},
      {"variant 5, pin as output: no input function", 4, 5, 1, 0x44, 0, 0, 5, true, true, true,
       OutputControl::InputOutput, 0, 0, 1, 1},
      {"variant 5, pin as input keeps it", 4, 5, 1, 0x44, 0, 0x04, 5, true, true, true, OutputControl::InputOutput,
       0, 3, 1, 3},
      {"variant 6 alarm output", 4, 6, 1, 0x44, 0, 0, 5, true, true, true, OutputControl::AlarmOutput, 0, 3, 1, 1},
      {"fastest rate only on types 5 and 6 from version 4", 3, 2, 5, 0x04, 0, 0, 3, true, true, true,
       OutputControl::Warning, 0, 0, 1, 1},
      {"type 5 version 4 offers the fastest rate", 4, 2, 5, 0x04, 0, 0, 3, true, true, true,
       OutputControl::Warning, 0, 0, 0, 1},
      {"Teach-In not offered before version 4", 3, 2, 1, 0x04, 0, 0, 5, true, true, true, OutputControl::Warning,
       0, 0, 1, 1},
  };
  for (const auto& row : rows) {
    DataSet ds;
    ds.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kVersion1] = static_cast<std::uint8_t>(row.version1);
    ds.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kVersion3] = static_cast<std::uint8_t>(row.variant);
    ds.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kTypeCode] = static_cast<std::uint8_t>(row.type);
    ds.Param(kWorkingCopy, param::kInput) = row.input;
    ds.Param(kWorkingCopy, param::kFunctions) = row.functions;
    ds.Param(kWorkingCopy, 7) = row.keyboard;
    ds.Param(kWorkingCopy, param::kSwitchingFrequency) = row.frequency;
    if (std::string(row.context).rfind("Teach-In", 0) == 0) ds.Param(kWorkingCopy, param::kInputExtra) = 0x04;
    const PanelLayout layout = LayoutFor(ds, kWorkingCopy);
    const ShownSelection shown = ShownSelectionOf(ds, kWorkingCopy);
    EXPECT_EQ(layout.input, row.input_) << row.context;
    EXPECT_EQ(layout.pulse, row.pulse) << row.context;
    EXPECT_EQ(layout.hysteresis, row.hysteresis) << row.context;
    EXPECT_EQ(layout.output, row.output) << row.context;
    EXPECT_EQ(shown.pulse, row.shownPulse) << row.context;
    EXPECT_EQ(shown.inputFunction, row.shownInput) << row.context;
    EXPECT_EQ(shown.switchingFrequency, row.shownFrequency) << row.context;
    EXPECT_EQ(shown.inputOutput, row.shownInOut) << row.context;
  }
}

}  // namespace
}  // namespace rkt
