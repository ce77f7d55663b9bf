#include <gtest/gtest.h>

#include "model/panel_rules.h"
#include "test_data.h"

namespace rkt {
namespace {

using Ints = std::vector<int>;

TEST(PanelRules, OfferedItemsPerSensorType) {
  const struct {
    int version1, variant, mask, count;
    Ints codes;
  } rows[] = {
      {3, 2, 0, 10, {0, 1, 2, 3, 4, 5}},          {4, 2, 0, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {4, 1, 0, 10, {0, 1, 2, 3, 4, 5, 6, 8, 9}}, {3, 1, 16, 10, {0, 2, 3, 4, 5}},
      {4, 1, 16, 10, {0, 2, 3, 4, 5, 8, 9}},      {4, 2, 4, 10, {0, 1}},
      {4, 2, 4 | 16, 10, {0}},                     {4, 2, 0, 6, {0, 1, 2, 3, 4, 5}},
      {3, 2, 0, 5, {0, 1, 2, 3, 4}},               {4, 2, 4, 1, {0}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(OfferedInputFunctions(row.version1, row.variant, row.mask, row.count), row.codes)
        << row.version1 << " " << row.variant << " " << row.mask << " " << row.count;
  EXPECT_EQ(OfferedPulseFrequencies(0), (Ints{0, 1, 2}));
  EXPECT_EQ(OfferedPulseFrequencies(128), (Ints{0, 1})) << "no third pulse frequency";
  const struct {
    int version1, type, first;
  } rates[] = {{4, 5, 0}, {4, 6, 0}, {3, 5, 1}, {3, 6, 1}, {4, 4, 1}, {4, 7, 1}, {5, 15, 1}};
  for (const auto& row : rates) {
    Ints expected;
    for (int i = row.first; i < 7; ++i) expected.push_back(i);
    EXPECT_EQ(OfferedSwitchingFrequencies(row.version1, row.type), expected) << row.version1 << "/" << row.type;
  }
  EXPECT_EQ(ShownItem(Ints{1, 2, 3}, 2), 2);
  EXPECT_EQ(ShownItem(Ints{1, 2, 3}, 3), 3);
  EXPECT_EQ(ShownItem(Ints{1, 2, 3}, 0), 1) << "a value not offered shows the first item";
  EXPECT_EQ(ShownItem({}, 5), 0);
  EXPECT_TRUE(PinIsOutput(0) && PinIsOutput(2) && !PinIsOutput(-1) && !PinIsOutput(3));
}

// One table for the rule the panel, overview and datasheet share.
TEST(PanelRules, LayoutAndShownSelection) {
  using O = OutputControl;
  const struct {
    int version1, variant, type;
    std::uint8_t b2, b1, b7, b4, b12;  // parameter bytes
    bool input, pulse, hysteresis, keyboardLock;
    O output;
    int pulseShown, inputShown, rateShown, inOutShown, hysteresisShown;
  } rows[] = {
      {4, 2, 3, 0x04, 0, 0x20, 5, 0x20, true, true, true, true, O::Warning, 0, 0, 1, 1, 1},   // two pulses
      {4, 2, 1, 0x04, 0, 0x20, 5, 0x30, true, true, true, true, O::Warning, 2, 0, 1, 1, 2},
      {4, 2, 15, 0x04, 0, 0x20, 5, 0x20, true, false, false, true, O::Warning, 0, 0, 1, 1, 0},
      {4, 4, 1, 0x44, 0, 0, 5, 0, false, true, true, true, O::Warning, 0, 3, 1, 1, 0},
      {4, 3, 1, 0x44, 0, 0, 5, 0, true, true, true, true, O::SingleOutput, 0, 3, 1, 1, 0},
      {4, 5, 1, 0x44, 0, 0, 5, 0, true, true, true, true, O::InputOutput, 0, 0, 1, 1, 0},  // pin as output
      {4, 5, 1, 0x44, 0x40, 0, 5, 0, true, true, true, true, O::InputOutput, 0, 0, 1, 2, 0},
      {4, 5, 1, 0x44, 0, 0x04, 5, 0, true, true, true, true, O::InputOutput, 0, 3, 1, 3, 0},
      {4, 6, 1, 0x44, 0, 0, 5, 0, true, true, true, true, O::AlarmOutput, 0, 3, 1, 1, 0},
      {3, 2, 5, 0x04, 0, 0, 3, 0, true, true, true, true, O::Warning, 0, 0, 1, 1, 0},  // fastest rate
      {4, 2, 5, 0x04, 0, 0, 3, 0, true, true, true, true, O::Warning, 0, 0, 0, 1, 0},
      {3, 2, 1, 0x04, 0, 0, 5, 0x04, true, true, true, true, O::Warning, 0, 0, 1, 1, 0},  // Teach-In
      {4, 2, 1, 0x04, 0, 0, 5, 0x04, true, true, true, true, O::Warning, 0, 6, 1, 1, 0},
  };
  for (const auto& row : rows) {
    DataSet ds;
    test::SetIdent(ds, row.version1, row.variant, row.type);
    const std::pair<int, std::uint8_t> bytes[] = {{2, row.b2}, {1, row.b1}, {7, row.b7}, {4, row.b4}, {12, row.b12}};
    for (const auto& [pos, value] : bytes) ds.Param(kWorkingCopy, pos) = value;
    const PanelLayout layout = LayoutFor(ds, kWorkingCopy);
    const ShownSelection shown = ShownSelectionOf(ds, kWorkingCopy);
    SCOPED_TRACE(testing::Message() << "version " << row.version1 << " variant " << row.variant << " type " << row.type);
    EXPECT_EQ(layout.input, row.input);
    EXPECT_EQ(layout.pulse, row.pulse);
    EXPECT_EQ(layout.hysteresis, row.hysteresis);
    EXPECT_EQ(layout.keyboardLock, row.keyboardLock);
    EXPECT_EQ(layout.output, row.output);
    EXPECT_EQ(shown.pulse, row.pulseShown);
    EXPECT_EQ(shown.inputFunction, row.inputShown);
    EXPECT_EQ(shown.switchingFrequency, row.rateShown);
    EXPECT_EQ(shown.inputOutput, row.inOutShown);
    EXPECT_EQ(shown.hysteresis, row.hysteresisShown);
  }
  EXPECT_FALSE(LayoutFor(4, 2, 8, 1).keyboardLock);
  EXPECT_EQ(LayoutFor(4, 2, 0, 1, {4, 2, 3}).inputFunctions, (Ints{0, 1, 2, 3}));
  EXPECT_EQ(LayoutFor(4, 2, 0, 1, {4, 2, 3}).pulseFrequencies, (Ints{0, 1}));
  EXPECT_EQ(LayoutFor(4, 2, 0, 1, {4, 2, 3}).switchingFrequencies, (Ints{1, 2}));

  // Stored values beyond each list show its first item.
  DataSet ds;
  test::SetIdent(ds, 4, 2, 1);
  ds.SetValue(ValueId::TimeFunction2, 3);
  ds.SetValue(ValueId::KeyboardLock, 2);
  ds.SetValue(ValueId::WarningFunction, 2);
  ds.SetValue(ValueId::DarkSwitching, 1);
  ds.SetValue(ValueId::OutputType, 2);
  ShownSelection s = ShownSelectionOf(ds, kWorkingCopy);
  EXPECT_EQ(std::vector<int>({s.timeFunction2, s.keyboardLock, s.warningFunction, s.darkSwitching, s.outputType}),
            (Ints{3, 2, 2, 1, 2}));
  ds.Param(kWorkingCopy, 1) = 0x00;
  ds.Param(kWorkingCopy, 2) = 0x02;
  ds.Param(kWorkingCopy, 7) = 0x05;
  s = ShownSelectionOf(ds, kWorkingCopy);
  EXPECT_EQ(std::vector<int>({s.timeFunction2, s.keyboardLock, s.warningFunction, s.darkSwitching, s.outputType, s.inputOutput}),
            (Ints{0, 1, 2, 0, 2, 3}));
}

}  // namespace
}  // namespace rkt
