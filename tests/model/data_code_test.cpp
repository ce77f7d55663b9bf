#include <gtest/gtest.h>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/recent_files.h"
#include "test_data.h"

namespace rkt {
namespace {

// The working-copy bytes a code carries, in code order.
std::vector<std::uint8_t> CodeBytes(const DataSet& ds) {
  std::vector<std::uint8_t> out;
  for (const int pos : {5, 6, 7, 8}) out.push_back(ds.Byte(BlockId::Identification, kWorkingCopy, pos));
  for (const int pos : {1, 2, 4, 5, 6, 7, 12}) out.push_back(ds.Param(kWorkingCopy, pos));
  return out;
}

DataSet ValidZeroSet() {
  DataSet ds;
  ds.SetDataValid(1);
  return ds;
}

TEST(DataCode, GoldenCodes) {
  EXPECT_EQ(EncodeDataCode(ValidZeroSet()), "0000-0000-0000-0000-00C") << "816 mod 256 = 48: character 18 is C";
  EXPECT_EQ(EncodeDataCode(DataSet{}), "") << "no code without valid data";

  DataSet ds = ValidZeroSet();
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kVersion1) = 1;
  // Bit 0 of version part 1 is stream bit 0; the sum grows by one.
  EXPECT_EQ(EncodeDataCode(ds), "1000-0000-0000-0000-08C") << "C = 49: its bit 0 lands in character 17";
}

TEST(DataCode, EncodeCharAndDecodeByteAreInverse) {
  EXPECT_EQ(EncodeChar(0xFF, 0x00, 0), 'Z');
  EXPECT_EQ(EncodeChar(0x00, 0x01, 4), 'G') << "bit 8 shifted by 4 is 16";
  for (int shift = 0; shift < 5; ++shift) {
    for (int byte = 0; byte < 256; ++byte) {
      // Lay the byte into a bit stream at `shift` and cut it into characters.
      const unsigned stream = static_cast<unsigned>(byte) << shift;
      std::string chars;
      for (int c = 0; c < 3; ++c) chars.push_back(kDataCodeAlphabet[(stream >> (5 * c)) & 31]);
      EXPECT_EQ(DecodeByte(chars, shift), byte) << "shift " << shift;
    }
  }
}

TEST(DataCode, RoundTripRestoresTheCarriedBytes) {
  std::mt19937 rng(2024);
  RecentFiles recent;
  for (int n = 0; n < 500; ++n) {
    DataSet ds;
    test::FillRandom(ds, rng);
    const DataSet before = ds;
    const std::string code = EncodeDataCode(ds);
    ASSERT_EQ(code.size(), kDataCodeLength);
    for (const BlockId b : kAllBlocks)
      ASSERT_EQ(ds.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy)) << "encoding changed the data set";

    DataSet target;
    target.SetRecentFiles(&recent);
    ASSERT_TRUE(ApplyDataCode(target, code)) << code;
    EXPECT_EQ(CodeBytes(target), CodeBytes(before)) << code;
    for (const int pos : {3, 8, 9, 10, 11, 13, 14, 15, 16}) EXPECT_EQ(target.Param(kWorkingCopy, pos), 0) << pos;
    EXPECT_EQ(target.GetInt(ValueId::Sensitivity, kWorkingCopy), 0);
    EXPECT_EQ(TypeDesignation(target, kWorkingCopy), "<DATACODE>");
  }
}

TEST(DataCode, InputBitTravelsInvertedForOldOddTypes) {
  const struct {
    int version1, type;
    bool inverted;
  } rows[] = {{3, 5, true}, {0, 1, true}, {4, 5, false}, {3, 6, false}, {3, 15, true}};
  for (const auto& row : rows) {
    DataSet ds = ValidZeroSet();
    test::SetIdent(ds, row.version1, 0, row.type);
    ds.SetValue(ValueId::InputInverted, true);
    const std::string code = EncodeDataCode(ds);
    EXPECT_TRUE(ds.GetValue(ValueId::InputInverted, kWorkingCopy) == Value{true}) << "encoding must not flip the bit";

    // Character 9 starts parameter byte 2; its lowest bit is the input bit.
    const int carried = static_cast<int>(kDataCodeAlphabet.find(code[10])) & 1;
    EXPECT_EQ(carried, row.inverted ? 0 : 1) << "version " << row.version1 << " type " << row.type;

    DataSet back;
    ASSERT_TRUE(ApplyDataCode(back, code));
    EXPECT_EQ(back.GetInt(ValueId::InputInverted, kWorkingCopy), 1);
  }
}

TEST(DataCode, InvalidCodesAreRefusedAndChangeNothing) {
  DataSet source = ValidZeroSet();
  test::SetIdent(source, 4, 2, 9);
  source.SetValue(ValueId::TimeValue1, 77);
  const std::string good = EncodeDataCode(source);
  ASSERT_TRUE(IsValidDataCode(good));

  std::vector<std::pair<std::string, std::string>> bad = {
      {"0000-0000-0000-0000-00", "22 characters"},
      {"0000-0000-0000-0000-00CC", "24 characters"},
      {"0000 0000-0000-0000-00C", "space for the first dash"},
      {"0000-0000-0000-0000000C", "last dash missing"},
      {"O000-0000-0000-0000-00C", "O is not in the alphabet"},
      {"I000-0000-0000-0000-00C", "I is not in the alphabet"},
      {"a000-0000-0000-0000-00C", "lower case is not accepted here"},
      {"0000-0000-0000-0000-00D", "check mismatch"},
      {"", "empty"},
      {std::string("0000-0000-0000-0000-0\0C", 23), "NUL inside"},
  };
  // Any single character of the seventeen checked ones, changed, breaks the check.
  for (std::size_t i : {0u, 3u, 5u, 12u, 18u}) {
    std::string changed = good;
    changed[i] = changed[i] == 'Z' ? 'Y' : static_cast<char>(kDataCodeAlphabet[(kDataCodeAlphabet.find(changed[i]) + 1) % 32]);
    bad.emplace_back(changed, "character " + std::to_string(i) + " changed");
  }

  RecentFiles recent;
  for (const auto& [code, why] : bad) {
    DataSet ds;
    std::mt19937 rng(1);
    test::FillRandom(ds, rng);
    ds.SetRecentFiles(&recent);
    ds.SetValue(ValueId::FileName, std::string("/keep.RKT"));
    ds.SetValue(ValueId::Changed, true);
    ds.SetOfflineData(false);
    const DataSet before = ds;
    EXPECT_FALSE(ApplyDataCode(ds, code)) << why;
    for (const BlockId b : kAllBlocks) EXPECT_EQ(ds.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy)) << why;
    EXPECT_EQ(ds.FileName(), "/keep.RKT") << why;
    EXPECT_EQ(ds.Comment(), before.Comment()) << why;
    EXPECT_TRUE(ds.IsChanged()) << why;
    EXPECT_FALSE(ds.OfflineData()) << why;
  }
}

TEST(DataCode, BitSevenOfTheCheckByteIsNotTransmitted) {
  // Sum of 17 'Z' characters: 17 * 90 = 1530 = 0x5FA, so C = 0xFA has bit 7
  // set; only its low seven bits travel.
  const std::string code = EncodeDataCode([] {
    DataSet ds = ValidZeroSet();
    for (int pos : {5, 6, 7, 8}) ds.Byte(BlockId::Identification, kWorkingCopy, pos) = 0xFF;
    for (int pos : {1, 2, 4, 5, 6, 7, 12}) ds.Param(kWorkingCopy, pos) = 0xFF;
    return ds;
  }());
  EXPECT_EQ(code.substr(0, 20), "ZZZZ-ZZZZ-ZZZZ-ZZZZ-");
  EXPECT_TRUE(IsValidDataCode(code));
}

TEST(DataCode, ApplyingReplacesTheWorkingCopyOnly) {
  DataSet source = ValidZeroSet();
  test::SetIdent(source, 4, 3, 12);
  source.SetValue(ValueId::OutputType, 1);
  const std::string code = EncodeDataCode(source);

  RecentFiles recent;
  DataSet ds;
  std::mt19937 rng(3);
  test::FillRandom(ds, rng);
  ds.CopyCopy(kWorkingCopy, kReadCopy);
  const DataSet::Block readParams = ds.GetBlock(BlockId::Parameter, kReadCopy);
  ds.SetRecentFiles(&recent);
  ds.SetValue(ValueId::FileName, std::string("/old.RKT"));
  ds.SetValue(ValueId::CommentChanged, true);
  ds.SetSensitivityValid(1);
  ds.SetDataValid(0);

  ASSERT_TRUE(ApplyDataCode(ds, code));
  EXPECT_EQ(ds.GetBlock(BlockId::Parameter, kReadCopy), readParams) << "the read copy is not touched";
  EXPECT_EQ(ds.GetInt(ValueId::OutputType, kWorkingCopy), 1);
  EXPECT_EQ(ds.GetInt(ValueId::TypeCode, kWorkingCopy), 12);
  EXPECT_EQ(ds.Byte(BlockId::Name1, kWorkingCopy, 11), 0);
  EXPECT_EQ(ds.Byte(BlockId::Name1, kWorkingCopy, 16), ' ');
  EXPECT_EQ(ds.DataValid(), 1);
  EXPECT_EQ(ds.SensitivityValid(), 0);
  EXPECT_TRUE(ds.OfflineData());
  EXPECT_EQ(ds.Comment(), "");
  EXPECT_EQ(ds.FileName(), "");
  EXPECT_EQ(recent.GetRecentFile(1), "/old.RKT") << "the file name that was current goes to the list";
  EXPECT_FALSE(ds.IsChanged());
  EXPECT_FALSE(ds.IsCommentChanged());
}

}  // namespace
}  // namespace rkt
