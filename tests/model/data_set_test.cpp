#include <gtest/gtest.h>

#include "model/bit.h"
#include "model/data_set.h"
#include "model/recent_files.h"
#include "model/text_encoding.h"
#include "model/value_conversions.h"
#include "test_data.h"

namespace rkt {
namespace {

using Paths = std::vector<std::string>;

TEST(Bit, SetGetShiftAndWords) {
  std::uint8_t b = 0b1010'0000;
  EXPECT_EQ(SetBit(b, 5, 1), 0);
  EXPECT_EQ(b, 0b1010'0000) << "an unchanged bit leaves the byte alone";
  EXPECT_EQ(SetBit(b, 0, 7), 1) << "any non-zero value counts as 1";
  EXPECT_EQ(SetBit(b, 7, 0), 1);
  EXPECT_EQ(b, 0b0010'0001);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(GetBit(0xFF, n), 1) << n;
  EXPECT_EQ(MakeWord(0x12, 0x34), 0x1234);
  EXPECT_EQ(ShiftLeft(0xC1, 2), 0x04) << "only the low 8 bits stay";
  EXPECT_EQ(ShiftRight(0x80, 7), 1);
  EXPECT_EQ(ShiftRightLong(-7, 1), -3) << "truncates toward zero";
  EXPECT_EQ(ShiftRightLong(0xFFFF, 11), 31);
}

TEST(ValueConversions, TextsAndCodes) {
  const std::pair<int, const char*> tenths[] = {{0, "0.0 s"}, {1, "0.1 s"},   {9, "0.9 s"},  {10, "1.0 s"},
                                                {13, "1.3 s"}, {100, "10.0 s"}, {255, "25.5 s"}};
  for (const auto& [raw, text] : tenths) EXPECT_EQ(FormatTenths(raw), text) << raw;
  EXPECT_EQ(FormatTimeValue2(255, 3), "255 ms");
  EXPECT_EQ(FormatTimeValue2(120, 2), "120 ms");
  EXPECT_EQ(FormatTimeValue2(255, 1), "25.5 s") << "mode 1 shows tenths";
  const std::pair<int, const char*> sens[] = {{0, "0%"}, {1, "1%"}, {6, "7%"}, {46, "50%"}, {92, "100%"}, {-6, "-7%"}};
  for (const auto& [value, text] : sens) EXPECT_EQ(FormatSensitivity(value), text) << value;
  const std::uint8_t codes[] = {3, 5, 9, 17, 41, 81, 201};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(SwitchingFrequencyIndex(codes[i]), i);
    EXPECT_EQ(SwitchingFrequencyCode(i), codes[i]);
  }
  EXPECT_EQ(SwitchingFrequencyIndex(4), 0) << "a code outside the list reads as index 0";
  EXPECT_EQ(SwitchingFrequencyCode(7), 3);
  EXPECT_EQ(SwitchingFrequencyCode(-1), 3);
}

TEST(TextEncoding, EveryWindows1252ByteSurvivesTheTripThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x7f\xa0\xe4\xf6\xfc\xdf\x80\x81\x9f"), "\x7f\u00a0äöüß€\u0081Ÿ");
  EXPECT_EQ(Utf8ToCp1252("Grüße €\u0081\u00a0\U0001F600"), "Gr\xfc\xdf" "e \x80\x81\xa0?");
  EXPECT_EQ(Utf8ToCp1252("日本"), "??") << "characters outside Windows-1252 become '?'";
  EXPECT_EQ(Utf8ToCp1252("a\xff" "b\xc3"), "a?b?") << "broken UTF-8 is not copied through";
}

TEST(RecentFiles, NewestFirstAtMostFiveAndIndexedFromOne) {
  RecentFiles list;
  int changes = 0;
  list.onChanged = [&] { ++changes; };
  for (const char* p : {"a", "b", "c", "d", "b"}) list.AddRecentFile(p);
  EXPECT_EQ(list.Entries(), (Paths{"b", "d", "c", "a"})) << "an equal entry moves to the top";
  for (const char* p : {"B", "e", ""}) list.AddRecentFile(p);
  EXPECT_EQ(list.Entries(), (Paths{"e", "B", "b", "d", "c"})) << "case-sensitive; a sixth drops the oldest";
  list.RemoveRecentFile("b");
  list.RemoveRecentFile("x");
  const std::pair<int, const char*> rows[] = {{-1, ""}, {0, ""}, {1, "e"}, {2, "B"}, {4, "c"}, {5, ""}};
  for (const auto& [i, path] : rows) EXPECT_EQ(list.GetRecentFile(i), path) << i;
  EXPECT_EQ(changes, 8);
  // The cleared entries' bytes still lie in the list's storage: only the
  // range check keeps them from being handed out.
  list.ResetRecentFiles();
  EXPECT_EQ(list.GetRecentFile(1), "");
  EXPECT_EQ(list.GetRecentFile(0), "");
  list.RestoreRecentFiles({"1", "2", "3", "2", "4", "5", "6"});
  EXPECT_EQ(list.Entries(), (Paths{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(list.GetRecentFile(5), "5");
  EXPECT_EQ(list.GetRecentFile(6), "");
}

TEST(DataSetValues, GetRulesOnSingleBytes) {
  const struct {
    ValueId id;
    int pos;
    std::uint8_t byte;
    int expected;
  } rows[] = {
      {ValueId::OutputType, 1, 0x10, 0},      {ValueId::OutputType, 1, 0x30, 1},
      {ValueId::OutputType, 1, 0x00, 2},      {ValueId::TimeFunction2, 1, 0x0E, 1},
      {ValueId::TimeFunction2, 1, 0x0C, 2},   {ValueId::TimeFunction2, 1, 0x08, 3},
      {ValueId::TimeFunction2, 1, 0x00, 0},   {ValueId::TimeFunction1, 1, 0x01, 1},
      {ValueId::TimeValue1, 5, 0, 1},         {ValueId::TimeValue1, 5, 1, 1},
      {ValueId::TimeValue1, 5, 2, 2},         {ValueId::TimeValue2, 6, 0, 1},
      {ValueId::TimeValue2, 6, 200, 200},     {ValueId::Sensitivity, 3, 6, 0},
      {ValueId::Sensitivity, 3, 7, 0},        {ValueId::Sensitivity, 3, 8, 1},
      {ValueId::Sensitivity, 3, 99, 92},      {ValueId::SwitchingFrequency, 4, 201, 6},
      {ValueId::SwitchingFrequency, 4, 200, 0}, {ValueId::PulseFrequency, 7, 0x30, 1},
      {ValueId::PulseFrequency, 7, 0x20, 2},  {ValueId::PulseFrequency, 7, 0x00, 0},
      {ValueId::Hysteresis, 12, 0x00, 0},     {ValueId::Hysteresis, 12, 0x10, 0},
      {ValueId::Hysteresis, 12, 0x20, 1},     {ValueId::Hysteresis, 12, 0x30, 2},
      {ValueId::ProgramLock, 2, 0x00, 1},     {ValueId::ProgramLock, 2, 0x04, 0},
      {ValueId::KeyboardLock, 2, 0x08, 2},    {ValueId::KeyboardLock, 7, 0x01, 1},
      {ValueId::WarningFunction, 2, 0x02, 2}, {ValueId::WarningFunction, 1, 0x80, 1},
      {ValueId::AlarmInverted, 7, 0x02, 1},   {ValueId::DarkSwitching, 1, 0x80, 1},
      {ValueId::WarningInverted, 1, 0x80, 1}, {ValueId::OutputsAntivalent, 2, 0x02, 1},
      {ValueId::InputInverted, 2, 0x01, 1},   {ValueId::InputOutputMode, 2, 0x00, 1},
      {ValueId::InputOutputMode, 1, 0x40, 2}, {ValueId::InputOutputMode, 7, 0x04, 3},
      {ValueId::InputOutputMode, 2, 0x02, 0},
  };
  for (const auto& row : rows) {
    DataSet ds;
    ds.Param(kWorkingCopy, row.pos) = row.byte;
    EXPECT_EQ(ds.GetInt(row.id, kWorkingCopy), row.expected) << static_cast<int>(row.id) << " byte " << int{row.byte};
  }
}

TEST(DataSetValues, InputFunctionOrderOfRules) {
  const struct {
    std::uint8_t b2, b12;
    int type, expected;
  } rows[] = {
      {0x30, 0x00, 0, 2}, {0x30, 0x08, 0, 5}, {0x10, 0x00, 0, 1},  {0x10, 0x00, 15, 0} /* mask bit 4 */,
      {0xC0, 0x00, 0, 3}, {0x80, 0x00, 0, 4}, {0xF0, 0x07, 0, 6},  {0x00, 0x02, 0, 7},
      {0x00, 0x09, 0, 9}, {0x00, 0x01, 0, 8}, {0x0F, 0x00, 0, 0},
  };
  for (const auto& row : rows) {
    DataSet ds;
    test::SetIdent(ds, 4, 1, row.type);
    ds.Param(kWorkingCopy, 2) = row.b2;
    ds.Param(kWorkingCopy, 12) = row.b12;
    EXPECT_EQ(ds.GetInt(ValueId::InputFunction, kWorkingCopy), row.expected) << int{row.b2} << " " << int{row.b12};
  }
}

TEST(DataSetValues, EverySetRuleReadsBackThroughGet) {
  const std::pair<ValueId, int> settable[] = {
      {ValueId::OutputType, 3},      {ValueId::InputFunction, 10},     {ValueId::TimeFunction2, 4},
      {ValueId::SwitchingFrequency, 7}, {ValueId::PulseFrequency, 3}, {ValueId::KeyboardLock, 3},
      {ValueId::Hysteresis, 3},      {ValueId::WarningFunction, 3},    {ValueId::InputOutputMode, 5},
      {ValueId::ProgramLock, 2},     {ValueId::AlarmInverted, 2},      {ValueId::DarkSwitching, 2},
      {ValueId::Sensitivity, 93},    {ValueId::TimeValue1, 256},       {ValueId::TimeValue2, 256},
      {ValueId::InputInverted, 2},   {ValueId::TimeFunction1, 2},      {ValueId::OutputsAntivalent, 2},
  };
  for (const auto& [id, count] : settable) {
    for (int v = (id == ValueId::TimeValue1 || id == ValueId::TimeValue2) ? 1 : 0; v < count; ++v) {
      DataSet ds;  // type 0: no feature mask hides "Test"
      for (const int pos : {1, 2, 7, 12}) ds.Param(kWorkingCopy, pos) = 0xFF;
      ds.SetValue(id, v);
      EXPECT_EQ(ds.GetInt(id, kWorkingCopy), v) << static_cast<int>(id) << " = " << v;
      EXPECT_EQ(ds.GetBlock(BlockId::Parameter, kReadCopy), DataSet::Block{}) << "SetValue touched the read copy";
    }
  }
}

TEST(DataSetValues, SetKeepsUnrelatedBitsAndClamps) {
  DataSet ds;
  for (int i = 1; i <= kBlockSize; ++i) ds.Param(kWorkingCopy, i) = 0xFF;
  ds.SetValue(ValueId::InputFunction, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 2), 0x0F) << "only bits 4..7 of byte 2 belong to the input function";
  EXPECT_EQ(ds.Param(kWorkingCopy, 12), 0xF0);
  ds.SetValue(ValueId::Hysteresis, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 12), 0xD0);
  ds.SetValue(ValueId::InputOutputMode, 0);
  EXPECT_EQ(ds.Param(kWorkingCopy, 1), 0xBF);
  EXPECT_EQ(ds.Param(kWorkingCopy, 7), 0xFB);
  EXPECT_EQ(ds.Param(kWorkingCopy, 2), 0x0F);
  for (const int reserved : {8, 10, 11, 13, 14, 15, 16}) EXPECT_EQ(ds.Param(kWorkingCopy, reserved), 0xFF) << reserved;
  const std::pair<int, int> clamps[] = {{0, 7}, {248, 255}, {1000, 255}, {-8, 0}};
  for (const auto& [v, raw] : clamps) {
    ds.SetValue(ValueId::Sensitivity, v);
    EXPECT_EQ(ds.Param(kWorkingCopy, 3), raw) << v;
  }
  ds.SetValue(ValueId::TimeValue1, 256);
  ds.SetValue(ValueId::TimeValue2, -1);
  EXPECT_EQ(ds.Param(kWorkingCopy, 5), 255);
  EXPECT_EQ(ds.Param(kWorkingCopy, 6), 0);
}

TEST(DataSetValues, IdentifiersAndValuesWithoutRulesChangeNothing) {
  DataSet ds;
  ds.GetBlock(BlockId::Parameter, kWorkingCopy).fill(0xFF);
  const DataSet::Block all = ds.GetBlock(BlockId::Parameter, kWorkingCopy);
  for (const int id : {0, 7, 24, 34, 39, 41}) EXPECT_FALSE(ds.GetValue(id).has_value()) << id;
  for (const auto& info : AllValueIds()) EXPECT_TRUE(ds.GetValue(info.id).has_value()) << info.name;
  EXPECT_EQ(AllValueIds().size(), 32u);
  for (const auto& [id, v] : std::initializer_list<std::pair<int, int>>{
           {31, 5}, {2, 1234}, {5, 1}, {41, 1}, {14, 3}, {14, -1}, {16, 3}, {16, -1}, {32, 9}, {32, -1},
           {12, 4}, {12, -1}, {13, 7}, {13, -1}, {19, 3}, {19, -1}})
    ds.SetValue(id, v);
  EXPECT_EQ(ds.GetBlock(BlockId::Parameter, kWorkingCopy), all);
  EXPECT_EQ(ds.GetBlock(BlockId::Identification, kWorkingCopy), DataSet::Block{});
  EXPECT_EQ(ToInt(std::string(" 42x")), 42);
  EXPECT_EQ(ToInt(std::string("x")), 0);
  EXPECT_EQ(ds.GetString(ValueId::TimeFunction1, kWorkingCopy), "1");
}

TEST(DataSetIdentification, DesignationFromTheNameBlocks) {
  DataSet ds;
  const auto name = [&](BlockId b, const std::string& text, std::uint8_t fill) {
    for (int i = 1; i <= kBlockSize; ++i)
      ds.Byte(b, kReadCopy, i) = i <= static_cast<int>(text.size()) ? static_cast<std::uint8_t>(text[i - 1U]) : fill;
  };
  name(BlockId::Name1, "RKT 410-L", 0);
  name(BlockId::Name2, "/X", 255);
  name(BlockId::Name3, " extra ", 0);
  EXPECT_EQ(ds.GetString(ValueId::TypeName), "RKT 410-L/X" + std::string(21, ' ') + " extra ");
  EXPECT_EQ(TypeDesignation(ds, kReadCopy), "RKT 410-L/X");
  EXPECT_EQ(AdditionalDesignation(ds, kReadCopy), "extra");
  name(BlockId::Name2, "", 255);
  name(BlockId::Name3, "", 255);
  EXPECT_EQ(ds.GetString(ValueId::TypeName), "RKT 410-L" + std::string(23, ' ')) << "255 ends blocks 2 and 3";
  EXPECT_EQ(AdditionalDesignation(ds, kReadCopy), "");
  name(BlockId::Name1, " ABCDEFGHIJKLMNO", 0);
  name(BlockId::Name2, "QRSTUVWXYZ012345", 0);
  name(BlockId::Name3, "Z", 0);
  EXPECT_EQ(ds.GetString(ValueId::TypeName), " ABCDEFGHIJKLMNOQRSTUVWXYZ012345Z") << "full blocks, no terminator";
  EXPECT_EQ(TypeDesignation(ds, kReadCopy), "ABCDEFGHIJKLMNOQRSTUVWXYZ012345");
  EXPECT_EQ(AdditionalDesignation(ds, kReadCopy), "Z");

  const std::uint8_t ident[] = {0x30, 0x39, 7, 25, 3, 10, 12, 5};
  for (int i = 1; i <= 8; ++i) ds.Byte(BlockId::Identification, kReadCopy, i) = ident[i - 1];
  EXPECT_EQ(ds.GetInt(ValueId::SerialNumber), 12345);
  EXPECT_EQ(ds.GetString(ValueId::VersionText), "3.10.12");
  EXPECT_EQ(ds.GetInt(ValueId::ManufacturePart1), 7);
  EXPECT_EQ(ds.GetInt(ValueId::ManufacturePart2), 25);
  EXPECT_EQ(ds.GetInt(ValueId::VersionPart1), 3);
  EXPECT_EQ(ds.GetInt(ValueId::VersionPart3), 12);
  EXPECT_EQ(ds.GetInt(ValueId::TypeCode), 5);
  EXPECT_EQ(ds.GetInt(ValueId::FeatureMask), 32);
}

TEST(DataSetTypes, CompatibilityAndFeatureMask) {
  const struct {
    int newType, oldType;
    bool compatible;
  } rows[] = {{5, 6, true},    {6, 5, true},   {6, 7, false},  {1, 2, true},   {2, 1, true},  {12, 11, true},
              {11, 12, true},  {12, 13, false}, {15, 16, true}, {16, 15, true}, {13, 14, false}, {14, 13, false},
              {17, 18, false}, {0, 1, false},  {13, 13, true}, {3, 5, false}};
  for (const auto& row : rows) EXPECT_EQ(TypesCompatible(row.newType, row.oldType), row.compatible) << row.newType << "/" << row.oldType;
  for (int t = 0; t <= 20; ++t) EXPECT_TRUE(TypesCompatible(t, 0)) << t;
  const int masks[18] = {0, 33, 1, 161, 129, 32, 0, 33, 1, 33, 129, 161, 129, 0, 0, 115, 83, 0};
  for (int t = 0; t <= 17; ++t) EXPECT_EQ(FeatureMaskFor(t), masks[t]) << "type " << t;
}

TEST(DataSetTransfers, ReadKeepsTheWorkingSensitivityBackupRestoresAll) {
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

  std::mt19937 rng(7);
  test::FillRandom(ds, rng);
  const DataSet before = ds;
  ds.SaveBackup();
  ds.SetValue(ValueId::OutputType, 2);
  ds.Byte(BlockId::Name3, kWorkingCopy, 16) ^= 0xFF;
  ds.RestoreBackup();
  for (const BlockId b : kAllBlocks) EXPECT_EQ(ds.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy));
  ds.TakeWorkingIntoRead();
  ds.ClearCopy(kWorkingCopy);
  for (const BlockId b : kAllBlocks) {
    EXPECT_EQ(ds.GetBlock(b, kReadCopy), before.GetBlock(b, kWorkingCopy));
    EXPECT_EQ(ds.GetBlock(b, kWorkingCopy), DataSet::Block{});
  }
}

TEST(DataSetState, FileNameFeedsTheRecentListAndChangedIsReported) {
  DataSet ds;
  RecentFiles recent;
  ds.SetRecentFiles(&recent);
  std::vector<bool> shown;
  ds.onChangedFlag = [&](bool v) { shown.push_back(v); };
  for (const char* name : {"/a.RKT", "/b.RKT", "/b.RKT"}) ds.SetValue(ValueId::FileName, std::string(name));
  EXPECT_EQ(recent.Entries(), (Paths{"/b.RKT", "/a.RKT"})) << "the empty first name is not listed";
  EXPECT_EQ(ds.GetString(ValueId::FileName), "/b.RKT");
  ds.SetValue(ValueId::FileName, 5);
  EXPECT_EQ(ds.FileName(), "");
  ds.SetValue(ValueId::CommentChanged, true);
  EXPECT_TRUE(ds.IsChanged()) << "a changed comment marks the data set changed";
  ds.SetValue(ValueId::Changed, false);
  EXPECT_TRUE(ds.IsCommentChanged());
  EXPECT_EQ(ds.GetInt(ValueId::CommentChanged), 1);
  EXPECT_EQ(shown, (std::vector<bool>{true, false}));
  ds.SetValue(ValueId::Comment, std::string("c"));
  ds.SetValue(ValueId::CommentChanged, true);
  ds.SetOfflineData(true);
  ds.SetDataValid(1);
  ds.SetSensitivityValid(1);
  ds.Reset();
  EXPECT_EQ(ds.Comment() + ds.FileName(), "");
  EXPECT_FALSE(ds.IsChanged() || ds.IsCommentChanged() || ds.OfflineData());
  EXPECT_EQ(ds.DataValid() + ds.SensitivityValid(), 0);
}

}  // namespace
}  // namespace rkt
