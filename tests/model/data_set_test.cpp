#include <gtest/gtest.h>

#include "model/data_set.h"
#include "model/recent_files.h"
#include "test_data.h"

namespace rkt {
namespace {

// Sets one working-copy parameter byte and reads the value back from it.
int Get(DataSet& ds, ValueId id, int pos, std::uint8_t byte) {
  ds.Param(kWorkingCopy, pos) = byte;
  return ds.GetInt(id, kWorkingCopy);
}

TEST(DataSetValues, GetRulesOnSingleBytes) {
  const struct {
    ValueId id;
    int pos;
    std::uint8_t byte;
    int expected;
    const char* why;
  } rows[] = {
      {ValueId::OutputType, 1, 0x10, 0, "bit 4 statisch"},
      {ValueId::OutputType, 1, 0x30, 1, "bits 4 and 5: bit 5 wins"},
      {ValueId::OutputType, 1, 0x00, 2, "neither: abgeschaltet"},
      {ValueId::TimeFunction2, 1, 0x0E, 1, "lowest mode bit wins"},
      {ValueId::TimeFunction2, 1, 0x08, 3, "wiper"},
      {ValueId::TimeFunction2, 1, 0x00, 0, "off"},
      {ValueId::TimeValue1, 5, 0, 1, "a stored 0 reads as 1"},
      {ValueId::TimeValue2, 6, 0, 1, "a stored 0 reads as 1"},
      {ValueId::TimeValue2, 6, 200, 200, "plain value"},
      {ValueId::Sensitivity, 3, 5, 0, "below 7 reads as 0"},
      {ValueId::Sensitivity, 3, 99, 92, "raw - 7"},
      {ValueId::SwitchingFrequency, 4, 201, 6, "last code"},
      {ValueId::SwitchingFrequency, 4, 200, 0, "unknown code"},
      {ValueId::PulseFrequency, 7, 0x30, 1, "bit 4 before bit 5"},
      {ValueId::PulseFrequency, 7, 0x20, 2, "bit 5"},
      {ValueId::Hysteresis, 12, 0x00, 0, "00 reads as klein"},
      {ValueId::Hysteresis, 12, 0x10, 0, "01 klein"},
      {ValueId::Hysteresis, 12, 0x20, 1, "10 standard"},
      {ValueId::Hysteresis, 12, 0x30, 2, "11 gross"},
      {ValueId::ProgramLock, 2, 0x00, 1, "bit 2 clear: locked"},
      {ValueId::ProgramLock, 2, 0x04, 0, "bit 2 set: programming allowed"},
      {ValueId::KeyboardLock, 2, 0x08, 2, "immer"},
      {ValueId::WarningFunction, 2, 0x02, 2, "antivalent"},
      {ValueId::AlarmInverted, 7, 0x02, 1, "bit 1"},
      {ValueId::DarkSwitching, 1, 0x80, 1, "bit 7"},
      {ValueId::WarningInverted, 1, 0x80, 1, "same bit as DarkSwitching"},
  };
  for (const auto& row : rows) {
    DataSet ds;
    EXPECT_EQ(Get(ds, row.id, row.pos, row.byte), row.expected) << row.why;
  }
}

TEST(DataSetValues, InputFunctionOrderOfRules) {
  const struct {
    std::uint8_t b2, b12;
    int type;
    int expected;
    const char* why;
  } rows[] = {
      {0x30, 0x00, 0, 2, "bits 4 and 5: the later rule wins"},
      {0x30, 0x08, 0, 5, "bit 5 with byte 12 bit 3 is XOR"},
      {0x10, 0x00, 0, 1, "Test"},
      {0x10, 0x00, 15, 0, "Test is not decoded with mask bit 4 (type 15)"},
      {0xC0, 0x00, 0, 3, "UND before ODER"},
      {0x80, 0x00, 0, 4, "ODER"},
      {0xF0, 0x07, 0, 6, "byte 12 bit 2 Teach-In beats everything"},
      {0x00, 0x02, 0, 7, "Vorausfall-Test"},
      {0x00, 0x09, 0, 9, "D-Flipflop"},
      {0x00, 0x01, 0, 8, "Latch"},
      {0x0F, 0x00, 0, 0, "none"},
  };
  for (const auto& row : rows) {
    DataSet ds;
    test::SetIdent(ds, 4, 1, row.type);
    ds.Param(kWorkingCopy, 2) = row.b2;
    ds.Param(kWorkingCopy, 12) = row.b12;
    EXPECT_EQ(ds.GetInt(ValueId::InputFunction, kWorkingCopy), row.expected) << row.why;
  }
}

TEST(DataSetValues, EverySetRuleReadsBackThroughGet) {
  const struct {
    ValueId id;
    int values;
  } settable[] = {
      {ValueId::OutputType, 3},    {ValueId::InputFunction, 10},   {ValueId::TimeFunction2, 4},
      {ValueId::SwitchingFrequency, 7}, {ValueId::PulseFrequency, 3}, {ValueId::KeyboardLock, 3},
      {ValueId::Hysteresis, 3},    {ValueId::WarningFunction, 3},  {ValueId::InputOutputMode, 5},
      {ValueId::ProgramLock, 2},   {ValueId::AlarmInverted, 2},    {ValueId::DarkSwitching, 2},
      {ValueId::Sensitivity, 93},  {ValueId::TimeValue1, 256},     {ValueId::TimeValue2, 256},
  };
  for (const auto& row : settable) {
    for (int v = 0; v < row.values; ++v) {
      if ((row.id == ValueId::TimeValue1 || row.id == ValueId::TimeValue2) && v == 0) continue;
      DataSet ds;  // type 0: no feature mask hides "Test"
      ds.Param(kWorkingCopy, 1) = 0xFF;
      ds.Param(kWorkingCopy, 2) = 0xFF;
      ds.Param(kWorkingCopy, 7) = 0xFF;
      ds.Param(kWorkingCopy, 12) = 0xFF;
      ds.SetValue(row.id, v);
      EXPECT_EQ(ds.GetInt(row.id, kWorkingCopy), v) << static_cast<int>(row.id) << " = " << v;
      for (int i = 1; i <= kBlockSize; ++i) EXPECT_EQ(ds.Param(kReadCopy, i), 0) << "SetValue touched the read copy";
    }
  }
}

TEST(DataSetValues, SetKeepsUnrelatedBitsAndReservedBytes) {
  DataSet ds;
  for (int i = 1; i <= kBlockSize; ++i) ds.Param(kWorkingCopy, i) = 0xFF;
  ds.SetValue(ValueId::InputFunction, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 2), 0x0F) << "only bits 4..7 of byte 2 belong to the input function";
  EXPECT_EQ(ds.Param(kWorkingCopy, 12), 0xF0);
  ds.SetValue(ValueId::Hysteresis, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 12), 0xD0) << "writing klein sets bit 4 and clears bit 5";
  ds.SetValue(ValueId::InputOutputMode, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 1) & 0x40, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 7) & 0x04, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 2) & 0x02, 0x02);
  for (const int reserved : {8, 10, 11, 13, 14, 15, 16}) EXPECT_EQ(ds.Param(kWorkingCopy, reserved), 0xFF) << reserved;
  ds.SetValue(ValueId::Sensitivity, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 3), 7);
  ds.SetValue(ValueId::Sensitivity, 1000);
  EXPECT_EQ(ds.Param(kWorkingCopy, 3), 255) << "an out-of-range value must not wrap around";
}

TEST(DataSetValues, IdentifiersWithoutRulesChangeNothing) {
  DataSet ds;
  EXPECT_FALSE(ds.GetValue(0).has_value());
  EXPECT_FALSE(ds.GetValue(41).has_value());
  EXPECT_FALSE(ds.GetValue(7).has_value()) << "7 is not in use";
  EXPECT_FALSE(ds.GetValue(39).has_value());
  ds.SetValue(ValueId::TypeCode, 5);
  ds.SetValue(2, 1234);
  EXPECT_EQ(ds.GetInt(ValueId::TypeCode, kWorkingCopy), 0);
  EXPECT_EQ(ds.GetInt(ValueId::SerialNumber, kWorkingCopy), 0);
  ds.SetValue(ValueId::PulseFrequency, 3);
  ds.SetValue(ValueId::InputOutputMode, 9);
  for (int i = 1; i <= kBlockSize; ++i) EXPECT_EQ(ds.Param(kWorkingCopy, i), 0) << i;
}

TEST(DataSetIdentification, DesignationFromTheNameBlocks) {
  DataSet ds;
  const auto name = [&](BlockId b, const std::string& text, std::uint8_t fill) {
    for (int i = 1; i <= kBlockSize; ++i)
      ds.Byte(b, kReadCopy, i) = i <= static_cast<int>(text.size()) ? static_cast<std::uint8_t>(text[static_cast<std::size_t>(i - 1)]) : fill;
  };
  name(BlockId::Name1, "RKT 410-L", 0);
  name(BlockId::Name2, "/X", 255);
  name(BlockId::Name3, " extra ", 0);
  EXPECT_EQ(ds.GetString(ValueId::TypeName), "RKT 410-L/X" + std::string(21, ' ') + " extra ");
  EXPECT_EQ(TypeDesignation(ds, kReadCopy), "RKT 410-L/X");
  EXPECT_EQ(AdditionalDesignation(ds, kReadCopy), "extra");

  name(BlockId::Name2, "", 255);
  EXPECT_EQ(ds.GetString(ValueId::TypeName).substr(0, 32), "RKT 410-L" + std::string(23, ' '))
      << "name block 2 starting with 255 contributes nothing";
  name(BlockId::Name1, "ABCDEFGHIJKLMNOP", 0);
  name(BlockId::Name2, "QRSTUVWXYZ012345", 0);
  name(BlockId::Name3, "", 0);
  EXPECT_EQ(ds.GetString(ValueId::TypeName), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345") << "two full blocks, no terminator";

  ds.Byte(BlockId::Identification, kReadCopy, 1) = 0x30;
  ds.Byte(BlockId::Identification, kReadCopy, 2) = 0x39;
  test::SetIdent(ds, 3, 12, 5, kReadCopy);
  ds.Byte(BlockId::Identification, kReadCopy, 6) = 10;
  EXPECT_EQ(ds.GetInt(ValueId::SerialNumber), 12345);
  EXPECT_EQ(ds.GetString(ValueId::VersionText), "3.10.12");
}

TEST(DataSetTypes, CompatibilityAndFeatureMask) {
  EXPECT_TRUE(TypesCompatible(5, 6));
  EXPECT_TRUE(TypesCompatible(6, 5));
  EXPECT_FALSE(TypesCompatible(6, 7)) << "6 and 7 belong to different pairs";
  EXPECT_TRUE(TypesCompatible(15, 16));
  EXPECT_FALSE(TypesCompatible(13, 14)) << "13 and 14 form no pair";
  EXPECT_FALSE(TypesCompatible(17, 18));
  EXPECT_TRUE(TypesCompatible(13, 13));
  for (int t = 0; t <= 20; ++t) EXPECT_TRUE(TypesCompatible(t, 0)) << t;

  const int masks[17] = {0, 33, 1, 161, 129, 32, 0, 33, 1, 33, 129, 161, 129, 0, 0, 115, 83};
  for (int t = 0; t <= 16; ++t) EXPECT_EQ(FeatureMaskFor(t), masks[t]) << "type " << t;
}

TEST(DataSetTransfers, ReadKeepsTheWorkingSensitivity) {
  DataSet ds;
  test::SetIdent(ds, 4, 1, 5, kWorkingCopy);
  ds.Param(kWorkingCopy, 3) = 40;
  ds.Param(kWorkingCopy, 9) = 41;
  test::SetIdent(ds, 4, 1, 6, kReadCopy);
  ds.Param(kReadCopy, 3) = 90;
  ds.Param(kReadCopy, 9) = 91;
  ds.Param(kReadCopy, 1) = 0x10;
  ds.SetSensitivityValid(1);
  ds.TakeReadIntoWorking();
  EXPECT_EQ(ds.Param(kWorkingCopy, 3), 40);
  EXPECT_EQ(ds.Param(kWorkingCopy, 9), 41);
  EXPECT_EQ(ds.Param(kWorkingCopy, 1), 0x10);
  EXPECT_EQ(ds.SensitivityValid(), 1) << "5 and 6 are partners";

  test::SetIdent(ds, 4, 1, 7, kReadCopy);
  ds.TakeReadIntoWorking();
  EXPECT_EQ(ds.SensitivityValid(), 0) << "another family invalidates the sensitivity";
  EXPECT_EQ(ds.Ident(kWorkingCopy, ident::kTypeCode), 7);
}

TEST(DataSetTransfers, BackupAndRestoreMoveAllBlocks) {
  DataSet ds;
  std::mt19937 rng(7);
  test::FillRandom(ds, rng);
  const DataSet before = ds;
  ds.SaveBackup();
  ds.SetValue(ValueId::OutputType, 2);
  ds.Byte(BlockId::Name3, kWorkingCopy, 16) ^= 0xFF;
  ds.RestoreBackup();
  for (const BlockId b : kAllBlocks) EXPECT_EQ(ds.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy));
}

TEST(DataSetState, FileNameFeedsTheRecentListAndChangedIsReported) {
  DataSet ds;
  RecentFiles recent;
  ds.SetRecentFiles(&recent);
  std::vector<bool> shown;
  ds.onChangedFlag = [&](bool v) { shown.push_back(v); };

  ds.SetValue(ValueId::FileName, std::string("/a.RKT"));
  EXPECT_EQ(recent.Count(), 0) << "the empty previous name is not listed";
  ds.SetValue(ValueId::FileName, std::string("/b.RKT"));
  ds.SetValue(ValueId::FileName, std::string("/b.RKT"));
  EXPECT_EQ(recent.Entries(), (std::vector<std::string>{"/b.RKT", "/a.RKT"}));
  EXPECT_EQ(ds.FileName(), "/b.RKT");

  ds.SetValue(ValueId::CommentChanged, true);
  EXPECT_TRUE(ds.IsChanged()) << "a changed comment marks the data set changed";
  ds.SetValue(ValueId::Changed, false);
  EXPECT_TRUE(ds.IsCommentChanged());
  EXPECT_EQ(shown, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace rkt
