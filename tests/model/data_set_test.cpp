#include <gtest/gtest.h>

#include "model/bit.h"
#include "model/data_code.h"
#include "model/data_set.h"
#include "model/panel_rules.h"
#include "model/recent_files.h"
#include "model/text_encoding.h"
#include "model/value_conversions.h"
#include "test_data.h"

namespace rkt {
namespace {

using Ints = std::vector<int>;
using Paths = std::vector<std::string>;
using V = ValueId;

TEST(Conversions, BitsTextsCodesAndWindows1252) {
  std::uint8_t b = 0b1010'0000;
  EXPECT_EQ(SetBit(b, 5, 1), 0) << "an unchanged bit leaves the byte alone";
  EXPECT_EQ(SetBit(b, 0, 7), 1) << "any non-zero value counts as 1";
  EXPECT_EQ(SetBit(b, 7, 0), 1);
  EXPECT_EQ(b, 0b0010'0001);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(GetBit(0xFF, n), 1) << n;
  // ShiftLeft keeps only the low 8 bits; ShiftRightLong truncates toward zero.
  EXPECT_EQ(Ints({MakeWord(0x12, 0x34), ShiftLeft(0xC1, 2), ShiftRight(0x80, 7), ShiftRightLong(-7, 1), ShiftRightLong(0xFFFF, 11)}),
            Ints({0x1234, 0x04, 1, -3, 31}));
  const std::pair<int, const char*> tenths[] = {{0, "0.0 s"}, {1, "0.1 s"}, {9, "0.9 s"}, {10, "1.0 s"},
                                                {13, "1.3 s"}, {100, "10.0 s"}, {255, "25.5 s"}};
  for (const auto& [raw, text] : tenths) EXPECT_EQ(FormatTenths(raw), text) << raw;
  EXPECT_EQ(FormatTimeValue2(255, 3) + FormatTimeValue2(120, 2) + FormatTimeValue2(255, 1), "255 ms120 ms25.5 s");
  const std::pair<int, const char*> sens[] = {{0, "0%"}, {1, "1%"}, {6, "7%"}, {46, "50%"}, {92, "100%"}, {-6, "-7%"}};
  for (const auto& [value, text] : sens) EXPECT_EQ(FormatSensitivity(value), text) << value;
  const std::uint8_t codes[] = {3, 5, 9, 17, 41, 81, 201};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(SwitchingFrequencyCode(SwitchingFrequencyIndex(codes[i])), codes[i]) << i;
  // A code outside the list reads as index 0, an index outside gives the code of 0.
  EXPECT_EQ(Ints({SwitchingFrequencyIndex(201), SwitchingFrequencyCode(1), SwitchingFrequencyIndex(4), SwitchingFrequencyCode(7),
                  SwitchingFrequencyCode(-1)}), Ints({6, 5, 0, 3, 3}));
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x7f\xa0\xe4\xdf\x80\x81\x9f"), "\x7f\u00a0äß€\u0081Ÿ");
  EXPECT_EQ(Utf8ToCp1252("Grüße €\u0081\u00a0\U0001F600日"), "Gr\xfc\xdf" "e \x80\x81\xa0??");
  EXPECT_EQ(Utf8ToCp1252("a\xff" "b\xc3"), "a?b?") << "broken UTF-8 is not copied through";
}

TEST(DataSetValues, GetAndSetRules) {
  const struct { ValueId id; int pos; std::uint8_t byte; int expected; } rows[] = {
      {V::OutputType, 1, 0x10, 0}, {V::OutputType, 1, 0x30, 1}, {V::OutputType, 1, 0x00, 2}, {V::TimeFunction2, 1, 0x0E, 1},
      {V::TimeFunction2, 1, 0x0C, 2}, {V::TimeFunction2, 1, 0x08, 3}, {V::TimeFunction2, 1, 0x00, 0},
      {V::TimeFunction1, 1, 0x01, 1}, {V::TimeValue1, 5, 0, 1}, {V::TimeValue1, 5, 2, 2}, {V::TimeValue2, 6, 0, 1},
      {V::TimeValue2, 6, 200, 200}, {V::Sensitivity, 3, 6, 0}, {V::Sensitivity, 3, 7, 0}, {V::Sensitivity, 3, 99, 92},
      {V::SwitchingFrequency, 4, 201, 6}, {V::SwitchingFrequency, 4, 200, 0}, {V::PulseFrequency, 7, 0x30, 1},
      {V::PulseFrequency, 7, 0x20, 2}, {V::PulseFrequency, 7, 0x00, 0}, {V::Hysteresis, 12, 0x00, 0},
      {V::Hysteresis, 12, 0x10, 0}, {V::Hysteresis, 12, 0x20, 1}, {V::Hysteresis, 12, 0x30, 2}, {V::ProgramLock, 2, 0x00, 1},
      {V::ProgramLock, 2, 0x04, 0}, {V::KeyboardLock, 2, 0x08, 2}, {V::KeyboardLock, 7, 0x01, 1},
      {V::WarningFunction, 2, 0x02, 2}, {V::WarningFunction, 1, 0x80, 1}, {V::AlarmInverted, 7, 0x02, 1},
      {V::DarkSwitching, 1, 0x80, 1}, {V::WarningInverted, 1, 0x80, 1}, {V::OutputsAntivalent, 2, 0x02, 1},
      {V::InputInverted, 2, 0x01, 1}, {V::InputOutputMode, 2, 0x00, 1}, {V::InputOutputMode, 1, 0x40, 2},
      {V::InputOutputMode, 7, 0x04, 3}, {V::InputOutputMode, 2, 0x02, 0}};
  for (const auto& row : rows) {
    DataSet ds;
    ds.Param(kWorkingCopy, row.pos) = row.byte;
    EXPECT_EQ(ds.GetInt(row.id, kWorkingCopy), row.expected) << static_cast<int>(row.id) << " byte " << int{row.byte};
  }
  // Input function: byte 2, byte 12 and the type (15 has no "Test").
  const int inputs[][4] = {{0x30, 0x00, 0, 2}, {0x30, 0x08, 0, 5}, {0x10, 0x00, 0, 1}, {0x10, 0x00, 15, 0},
                           {0xC0, 0x00, 0, 3}, {0x80, 0x00, 0, 4}, {0xF0, 0x07, 0, 6}, {0x00, 0x02, 0, 7},
                           {0x00, 0x09, 0, 9}, {0x00, 0x01, 0, 8}, {0x0F, 0x00, 0, 0}};
  for (const auto& [b2, b12, type, expected] : inputs) {
    DataSet ds;
    test::SetIdent(ds, 4, 1, type);
    ds.Param(kWorkingCopy, 2) = static_cast<std::uint8_t>(b2);
    ds.Param(kWorkingCopy, 12) = static_cast<std::uint8_t>(b12);
    EXPECT_EQ(ds.GetInt(V::InputFunction, kWorkingCopy), expected) << b2 << " " << b12;
  }
  const std::pair<ValueId, int> settable[] = {
      {V::OutputType, 3},     {V::InputFunction, 10},  {V::TimeFunction2, 4}, {V::SwitchingFrequency, 7},
      {V::PulseFrequency, 3}, {V::KeyboardLock, 3},    {V::Hysteresis, 3},    {V::WarningFunction, 3},
      {V::InputOutputMode, 5}, {V::ProgramLock, 2},    {V::AlarmInverted, 2}, {V::DarkSwitching, 2},
      {V::Sensitivity, 93},   {V::TimeValue1, 256},    {V::TimeValue2, 256},  {V::InputInverted, 2},
      {V::TimeFunction1, 2},  {V::OutputsAntivalent, 2}};
  for (const auto& [id, count] : settable) {
    for (int v = (id == V::TimeValue1 || id == V::TimeValue2) ? 1 : 0; v < count; ++v) {
      DataSet ds;  // type 0: no feature mask hides "Test"
      for (const int pos : {1, 2, 7, 12}) ds.Param(kWorkingCopy, pos) = 0xFF;
      ds.Param(kWorkingCopy, 4) = 201;  // frequency index 6, so that setting 0 must change it
      ds.SetValue(id, v);
      EXPECT_EQ(ds.GetInt(id, kWorkingCopy), v) << static_cast<int>(id) << " = " << v;
      EXPECT_EQ(ds.GetBlock(BlockId::Parameter, kReadCopy), DataSet::Block{}) << "SetValue touched the read copy";
    }
  }
  DataSet ds;
  ds.GetBlock(BlockId::Parameter, kWorkingCopy).fill(0xFF);
  ds.SetValue(V::InputFunction, 0);
  ds.SetValue(V::Hysteresis, 0);
  ds.SetValue(V::InputOutputMode, 0);
  const int expected[] = {0xBF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xD0, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int i = 1; i <= kBlockSize; ++i) EXPECT_EQ(ds.Param(kWorkingCopy, i), expected[i - 1]) << i;
  const std::pair<int, int> clamps[] = {{0, 7}, {248, 255}, {1000, 255}, {-8, 0}};
  for (const auto& [v, raw] : clamps) {
    ds.SetValue(V::Sensitivity, v);
    EXPECT_EQ(ds.Param(kWorkingCopy, 3), raw) << v;
  }
  ds.SetValue(V::TimeValue1, 256);
  ds.SetValue(V::TimeValue2, -1);
  EXPECT_EQ(ds.Param(kWorkingCopy, 5) * 1000 + ds.Param(kWorkingCopy, 6), 255000);
  ds = DataSet();
  ds.GetBlock(BlockId::Parameter, kWorkingCopy).fill(0xFF);
  const DataSet::Block all = ds.GetBlock(BlockId::Parameter, kWorkingCopy);
  for (const int id : {0, 7, 24, 34, 39, 41}) EXPECT_FALSE(ds.GetValue(id).has_value()) << id;
  for (const auto& info : AllValueIds()) EXPECT_TRUE(ds.GetValue(info.id).has_value()) << info.name;
  EXPECT_EQ(AllValueIds().size(), 32u);
  const int unruled[][2] = {{31, 5},  {2, 1234}, {5, 1},  {41, 1},  {14, 3},  {14, -1}, {16, 3}, {16, -1},
                            {32, 9},  {32, -1},  {12, 4}, {12, -1}, {13, 7},  {13, -1}, {19, 3}, {19, -1}};
  for (const auto& [id, v] : unruled) ds.SetValue(id, v);
  EXPECT_EQ(ds.GetBlock(BlockId::Parameter, kWorkingCopy), all);
  EXPECT_EQ(ds.GetBlock(BlockId::Identification, kWorkingCopy), DataSet::Block{});
  EXPECT_EQ(std::to_string(ToInt(std::string(" 42x")) + ToInt(std::string("x"))) + ds.GetString(V::TimeFunction1, kWorkingCopy), "421");
}

TEST(DataSetIdentification, DesignationTypesAndFeatureMask) {
  DataSet ds;
  const auto name = [&](BlockId b, const std::string& text, std::uint8_t fill) {
    for (int i = 1; i <= kBlockSize; ++i)
      ds.Byte(b, kReadCopy, i) = i <= static_cast<int>(text.size()) ? static_cast<std::uint8_t>(text[i - 1U]) : fill;
  };
  name(BlockId::Name1, "RKT 410-L", 0);
  name(BlockId::Name2, "/X", 255);
  name(BlockId::Name3, " extra ", 0);
  EXPECT_EQ(ds.GetString(V::TypeName), "RKT 410-L/X" + std::string(21, ' ') + " extra ");
  EXPECT_EQ(TypeDesignation(ds, kReadCopy) + "|" + AdditionalDesignation(ds, kReadCopy), "RKT 410-L/X|extra");
  name(BlockId::Name2, "", 255);
  name(BlockId::Name3, "", 255);
  EXPECT_EQ(ds.GetString(V::TypeName) + AdditionalDesignation(ds, kReadCopy), "RKT 410-L" + std::string(23, ' '))
      << "255 ends blocks 2 and 3";
  name(BlockId::Name1, " ABCDEFGHIJKLMNO", 0);
  name(BlockId::Name2, "QRSTUVWXYZ012345", 0);
  name(BlockId::Name3, "Z", 0);
  EXPECT_EQ(ds.GetString(V::TypeName), " ABCDEFGHIJKLMNOQRSTUVWXYZ012345Z") << "full blocks, no terminator";
  EXPECT_EQ(TypeDesignation(ds, kReadCopy) + "|" + AdditionalDesignation(ds, kReadCopy), "ABCDEFGHIJKLMNOQRSTUVWXYZ012345|Z");
  const std::uint8_t ident[] = {0x30, 0x39, 7, 25, 3, 10, 12, 5};
  for (int i = 1; i <= 8; ++i) ds.Byte(BlockId::Identification, kReadCopy, i) = ident[i - 1];
  EXPECT_EQ(ds.GetString(V::VersionText), "3.10.12");
  const std::pair<ValueId, int> values[] = {{V::SerialNumber, 12345}, {V::ManufacturePart1, 7}, {V::ManufacturePart2, 25},
      {V::VersionPart1, 3}, {V::VersionPart3, 12}, {V::TypeCode, 5}, {V::FeatureMask, 32}};
  for (const auto& [id, v] : values) EXPECT_EQ(ds.GetInt(id), v) << static_cast<int>(id);
  const int rows[][3] = {{5, 6, 1}, {6, 5, 1}, {6, 7, 0}, {1, 2, 1}, {2, 1, 1}, {12, 11, 1}, {11, 12, 1}, {12, 13, 0},
                         {15, 16, 1}, {16, 15, 1}, {13, 14, 0}, {14, 13, 0}, {17, 18, 0}, {0, 1, 0}, {13, 13, 1}, {3, 5, 0}};
  for (const auto& [newType, oldType, ok] : rows) EXPECT_EQ(TypesCompatible(newType, oldType), ok != 0) << newType << "/" << oldType;
  for (int t = 0; t <= 20; ++t) EXPECT_TRUE(TypesCompatible(t, 0)) << t;
  const int masks[18] = {0, 33, 1, 161, 129, 32, 0, 33, 1, 33, 129, 161, 129, 0, 0, 115, 83, 0};
  for (int t = 0; t <= 17; ++t) EXPECT_EQ(FeatureMaskFor(t), masks[t]) << "type " << t;
}

TEST(DataSetState, RecentFilesTransfersFileNameAndChangedFlags) {
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
  list.ResetRecentFiles();  // the cleared entries still lie in storage: only the range check hides them
  EXPECT_EQ(list.GetRecentFile(1) + list.GetRecentFile(0), "");
  list.RestoreRecentFiles({"1", "2", "3", "2", "4", "5", "6"});
  EXPECT_EQ(list.Entries(), (Paths{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(list.GetRecentFile(5) + list.GetRecentFile(6), "5");
  DataSet ds;
  test::SetIdent(ds, 4, 1, 5, kWorkingCopy);
  test::SetIdent(ds, 4, 1, 6, kReadCopy);
  for (const auto& [copy, pos, v] : {std::tuple{kWorkingCopy, 3, 40}, {kWorkingCopy, 9, 41}, {kReadCopy, 3, 90},
                                     {kReadCopy, 9, 91}, {kReadCopy, 1, 0x10}})
    ds.Param(copy, pos) = static_cast<std::uint8_t>(v);
  ds.SetSensitivityValid(1);
  ds.TakeReadIntoWorking();
  EXPECT_EQ(ds.Param(kWorkingCopy, 3) * 10000 + ds.Param(kWorkingCopy, 9) * 100 + ds.Param(kWorkingCopy, 1), 404116);
  EXPECT_EQ(ds.SensitivityValid(), 1) << "5 and 6 are partners";
  test::SetIdent(ds, 4, 1, 7, kReadCopy);
  ds.TakeReadIntoWorking();
  EXPECT_EQ(std::pair(ds.SensitivityValid(), int{ds.Ident(kWorkingCopy, ident::kTypeCode)}), std::pair(0, 7)) << "another family";
  std::mt19937 rng(7);
  test::FillRandom(ds, rng);
  const DataSet before = ds;
  ds.CopyCopy(kWorkingCopy, kReadCopy);
  ds.ClearCopy(kWorkingCopy);
  for (const BlockId b : kAllBlocks) {
    EXPECT_EQ(ds.GetBlock(b, kReadCopy), before.GetBlock(b, kWorkingCopy));
    EXPECT_EQ(ds.GetBlock(b, kWorkingCopy), DataSet::Block{});
  }
  ds = DataSet();
  RecentFiles recent;
  ds.SetRecentFiles(&recent);
  std::vector<bool> shown;
  ds.onChangedFlag = [&](bool v) { shown.push_back(v); };
  for (const char* name : {"/a.RKT", "/b.RKT", "/b.RKT"}) ds.SetValue(V::FileName, std::string(name));
  EXPECT_EQ(recent.Entries(), (Paths{"/b.RKT", "/a.RKT"})) << "the empty first name is not listed";
  EXPECT_EQ(ds.GetString(V::FileName), "/b.RKT");
  ds.SetValue(V::FileName, 5);
  EXPECT_EQ(ds.FileName(), "");
  ds.SetValue(V::CommentChanged, true);
  EXPECT_TRUE(ds.IsChanged()) << "a changed comment marks the data set changed";
  ds.SetValue(V::Changed, false);
  EXPECT_EQ(ds.GetInt(V::CommentChanged), 1);
  EXPECT_EQ(shown, (std::vector<bool>{true, false}));
  ds.SetValue(V::Comment, std::string("c"));
  ds.SetValue(V::CommentChanged, true);
  ds.SetOfflineData(true);
  ds.SetDataValid(1);
  ds.SetSensitivityValid(1);
  ds.Reset();
  EXPECT_EQ(ds.Comment() + ds.FileName(), "");
  EXPECT_FALSE(ds.IsChanged() || ds.IsCommentChanged() || ds.OfflineData() || ds.DataValid() || ds.SensitivityValid());
}

constexpr int kIdentPos[] = {5, 6, 7, 8};
constexpr int kParamPos[] = {1, 2, 4, 5, 6, 7, 12};

// The working-copy bytes a code carries, in code order.
std::vector<std::uint8_t> CodeBytes(const DataSet& ds) {
  std::vector<std::uint8_t> out;
  for (const int pos : kIdentPos) out.push_back(ds.Byte(BlockId::Identification, kWorkingCopy, pos));
  for (const int pos : kParamPos) out.push_back(ds.Param(kWorkingCopy, pos));
  return out;
}

DataSet ValidSet(int version1 = 0, int version3 = 0, int type = 0) {
  DataSet ds;
  ds.SetDataValid(1);
  test::SetIdent(ds, version1, version3, type);
  return ds;
}

TEST(DataCode, GoldenCodesRoundTripInputBitAndInvalidCodes) {
  EXPECT_EQ(EncodeDataCode(DataSet{}), "") << "no code without valid data";
  EXPECT_EQ(EncodeDataCode(ValidSet()), "0000-0000-0000-0000-00C") << "sum 816: check 48";
  EXPECT_EQ(EncodeDataCode(ValidSet(1)), "1000-0000-0000-0000-08C") << "check 49: its bit 0 lands in character 17";
  // 17 'Z' sum to 0x5FA: bit 7 of the check byte 0xFA is not transmitted.
  DataSet ones = ValidSet();
  for (const int pos : kIdentPos) ones.Byte(BlockId::Identification, kWorkingCopy, pos) = 0xFF;
  for (const int pos : kParamPos) ones.Param(kWorkingCopy, pos) = 0xFF;
  EXPECT_EQ(EncodeDataCode(ones), "ZZZZ-ZZZZ-ZZZZ-ZZZZ-ZRY");
  EXPECT_TRUE(IsValidDataCode(EncodeDataCode(ones)));
  EXPECT_EQ(std::string({EncodeChar(0xFF, 0x00, 0), EncodeChar(0x00, 0x01, 4)}), "ZG") << "bit 8 shifted by 4 is 16";
  EXPECT_EQ(Ints({DecodeByte("Z", 0), DecodeByte("IZ", 0)}), Ints({31, 0xE0})) << "missing or foreign characters count as 0";
  std::mt19937 rng(2024);
  RecentFiles recent;
  for (int n = 0; n < 300; ++n) {
    DataSet ds;
    test::FillRandom(ds, rng);
    const DataSet before = ds;
    const std::string code = EncodeDataCode(ds);
    ASSERT_TRUE(IsValidDataCode(code)) << code;
    for (const BlockId b : kAllBlocks)
      ASSERT_EQ(ds.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy)) << "encoding changed the data set";
    DataSet target;
    std::mt19937 other(n);
    test::FillRandom(target, other);
    target.CopyCopy(kWorkingCopy, kReadCopy);
    const DataSet::Block readParams = target.GetBlock(BlockId::Parameter, kReadCopy);
    target.SetRecentFiles(&recent);
    target.SetValue(ValueId::FileName, std::string("/old.RKT"));
    target.SetValue(ValueId::CommentChanged, true);
    target.SetSensitivityValid(1);
    target.SetDataValid(0);
    ASSERT_TRUE(ApplyDataCode(target, code)) << code;
    EXPECT_EQ(CodeBytes(target), CodeBytes(before)) << code;
    for (const int pos : {3, 8, 9, 10, 11, 13, 14, 15, 16}) EXPECT_EQ(target.Param(kWorkingCopy, pos), 0) << pos;
    for (const int pos : {1, 2, 3, 4}) EXPECT_EQ(target.Ident(kWorkingCopy, pos), 0) << pos;
    for (const BlockId b : {BlockId::Name2, BlockId::Name3}) EXPECT_EQ(target.GetBlock(b, kWorkingCopy), DataSet::Block{});
    const DataSet::Block& name1 = target.GetBlock(BlockId::Name1, kWorkingCopy);
    EXPECT_EQ(std::string(name1.begin() + 1, name1.end()), std::string("<DATACODE>\0     ", 16));
    EXPECT_EQ(target.GetBlock(BlockId::Parameter, kReadCopy), readParams) << "the read copy is not touched";
    EXPECT_TRUE(target.DataValid() == 1 && target.SensitivityValid() == 0 && target.OfflineData());
    EXPECT_FALSE(target.IsChanged() || target.IsCommentChanged());
    EXPECT_EQ(target.Comment() + target.FileName() + "|" + recent.GetRecentFile(1), "|/old.RKT") << "the old name goes to the list";
  }
  const struct { int version1, type; bool inverted; } rows[] = {{3, 5, true}, {0, 1, true}, {4, 5, false}, {3, 6, false}, {3, 15, true}};
  for (const auto& row : rows) {
    DataSet ds = ValidSet(row.version1, 0, row.type);
    ds.SetValue(ValueId::InputInverted, true);
    const std::string code = EncodeDataCode(ds);
    EXPECT_EQ(ds.GetInt(ValueId::InputInverted, kWorkingCopy), 1) << "encoding must not flip the bit";
    // Character 9 (after two dashes: 10) starts parameter byte 2 with the input bit.
    EXPECT_EQ(static_cast<int>(kDataCodeAlphabet.find(code[10])) & 1, row.inverted ? 0 : 1) << row.version1 << "/" << row.type;
    DataSet back;
    ASSERT_TRUE(ApplyDataCode(back, code));
    EXPECT_EQ(back.GetInt(ValueId::InputInverted, kWorkingCopy), 1);
  }
  DataSet source = ValidSet(4, 2, 9);
  source.SetValue(ValueId::TimeValue1, 77);
  const std::string good = EncodeDataCode(source);
  std::vector<std::string> bad = {
      "0000-0000-0000-0000-00",  "0000-0000-0000-0000-00CC", "0000 0000-0000-0000-00C", "0000-0000 0000-0000-00C",
      "0000-0000-0000 0000-00C", "0000-0000-0000-0000000C",  "O000-0000-0000-0000-00C", "I000-0000-0000-0000-00C",
      "a000-0000-0000-0000-00C", "0000-0000-0000-0000-00D",  "0000-0000-0000-0000-0IC", "0000-0000-0000-0000-00I",
      "",                        std::string("0000-0000-0000-0000-0\0C", 23)};
  for (std::size_t i : {0u, 3u, 5u, 12u, 18u, 20u, 22u}) {
    std::string changed = good;
    changed[i] = kDataCodeAlphabet[(kDataCodeAlphabet.find(changed[i]) + 1) % 32];
    bad.push_back(changed);
  }
  for (const std::string& code : bad) {
    EXPECT_FALSE(IsValidDataCode(code)) << code;
    DataSet ds;
    std::mt19937 rng(1);
    test::FillRandom(ds, rng);
    ds.SetRecentFiles(&recent);
    ds.SetValue(ValueId::FileName, std::string("/keep.RKT"));
    ds.SetValue(ValueId::Changed, true);
    const DataSet before = ds;
    EXPECT_FALSE(ApplyDataCode(ds, code)) << code;
    for (const BlockId b : kAllBlocks) EXPECT_EQ(ds.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy)) << code;
    EXPECT_EQ(ds.FileName() + ds.Comment(), "/keep.RKT" + before.Comment()) << code;
    EXPECT_TRUE(ds.IsChanged() && !ds.OfflineData()) << code;
  }
  EXPECT_TRUE(IsValidDataCode(good));
  const std::pair<std::string, std::string> cleaned[] = {
      {"  abcd efgh\tijkl mnop qrs \n", "ABCD-EFGH-IJKL-MNOP-QRS"}, {"ABCD-EFGH", "ABCD-EFGH"},
      {"ABCD  EFGH", "ABCD-EFGH"}, {"AB CD", "ABCD"}, {"ABCD- EFGH", "ABCD-EFGH"}, {" ", ""}, {"", ""}};
  for (const auto& [typed, code] : cleaned) EXPECT_EQ(CleanDataCode(typed), code) << typed;
  std::string spaced = good;
  for (const std::size_t at : {4u, 9u, 14u, 19u}) spaced[at] = ' ';
  EXPECT_TRUE(IsValidDataCode(CleanDataCode(spaced)) && !IsValidDataCode(spaced)) << "the check itself stays strict";
}

TEST(PanelRules, OfferedItemsLayoutAndShownSelection) {
  const struct { int version1, variant, mask, count; Ints codes; } rows[] = {
      {3, 2, 0, 10, {0, 1, 2, 3, 4, 5}}, {4, 2, 0, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}, {4, 2, 4 | 16, 10, {0}},
      {4, 1, 0, 10, {0, 1, 2, 3, 4, 5, 6, 8, 9}}, {3, 1, 16, 10, {0, 2, 3, 4, 5}}, {4, 2, 4, 10, {0, 1}},
      {4, 1, 16, 10, {0, 2, 3, 4, 5, 8, 9}}, {4, 2, 0, 6, {0, 1, 2, 3, 4, 5}}, {3, 2, 0, 5, {0, 1, 2, 3, 4}}, {4, 2, 4, 1, {0}}};
  for (const auto& row : rows)
    EXPECT_EQ(OfferedInputFunctions(row.version1, row.variant, row.mask, row.count), row.codes)
        << row.version1 << " " << row.variant << " " << row.mask << " " << row.count;
  EXPECT_EQ(std::pair(OfferedPulseFrequencies(0), OfferedPulseFrequencies(128)), std::pair(Ints{0, 1, 2}, Ints{0, 1}));
  const struct { int version1, type, first; } rates[] = {{4, 5, 0}, {4, 6, 0}, {3, 5, 1}, {3, 6, 1}, {4, 4, 1}, {4, 7, 1}, {5, 15, 1}};
  for (const auto& row : rates) {
    Ints expected;
    for (int i = row.first; i < 7; ++i) expected.push_back(i);
    EXPECT_EQ(OfferedSwitchingFrequencies(row.version1, row.type), expected) << row.version1 << "/" << row.type;
  }
  EXPECT_EQ(Ints({ShownItem(Ints{1, 2, 3}, 2), ShownItem(Ints{1, 2, 3}, 3), ShownItem(Ints{1, 2, 3}, 0), ShownItem({}, 5)}),
            Ints({2, 3, 1, 0})) << "a value not offered shows the first item";
  EXPECT_TRUE(PinIsOutput(0) && PinIsOutput(2) && !PinIsOutput(-1) && !PinIsOutput(3));
  using O = OutputControl;
  const struct {  // ident, parameter bytes, layout, shown selection
    int version1, variant, type; std::uint8_t b2, b1, b7, b4, b12; bool input, pulse, hysteresis, keyboardLock; O output;
    int pulseShown, inputShown, rateShown, inOutShown, hysteresisShown;
  } layouts[] = {
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
      {4, 2, 1, 0x04, 0, 0, 5, 0x04, true, true, true, true, O::Warning, 0, 6, 1, 1, 0}};
  for (const auto& row : layouts) {
    DataSet ds;
    test::SetIdent(ds, row.version1, row.variant, row.type);
    const std::pair<int, std::uint8_t> bytes[] = {{2, row.b2}, {1, row.b1}, {7, row.b7}, {4, row.b4}, {12, row.b12}};
    for (const auto& [pos, value] : bytes) ds.Param(kWorkingCopy, pos) = value;
    const PanelLayout layout = LayoutFor(ds, kWorkingCopy);
    const ShownSelection shown = ShownSelectionOf(ds, kWorkingCopy);
    SCOPED_TRACE(testing::Message() << "version " << row.version1 << " variant " << row.variant << " type " << row.type);
    EXPECT_EQ(std::tuple(layout.input, layout.pulse, layout.hysteresis, layout.keyboardLock, int(layout.output)),
              std::tuple(row.input, row.pulse, row.hysteresis, row.keyboardLock, int(row.output)));
    EXPECT_EQ(Ints({shown.pulse, shown.inputFunction, shown.switchingFrequency, shown.inputOutput, shown.hysteresis}),
              Ints({row.pulseShown, row.inputShown, row.rateShown, row.inOutShown, row.hysteresisShown}));
  }
  EXPECT_FALSE(LayoutFor(4, 2, 8, 1).keyboardLock);
  const PanelLayout shortLists = LayoutFor(4, 2, 0, 1, {4, 2, 3});
  EXPECT_EQ(std::tuple(shortLists.inputFunctions, shortLists.pulseFrequencies, shortLists.switchingFrequencies),
            std::tuple(Ints{0, 1, 2, 3}, Ints{0, 1}, Ints{1, 2}));
}

}  // namespace
}  // namespace rkt
