#include <gtest/gtest.h>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/recent_files.h"
#include "test_data.h"

namespace rkt {
namespace {

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

TEST(DataCode, GoldenCodes) {
  EXPECT_EQ(EncodeDataCode(DataSet{}), "") << "no code without valid data";
  EXPECT_EQ(EncodeDataCode(ValidSet()), "0000-0000-0000-0000-00C") << "sum 816: check 48";
  EXPECT_EQ(EncodeDataCode(ValidSet(1)), "1000-0000-0000-0000-08C") << "check 49: its bit 0 lands in character 17";
  // 17 'Z' sum to 0x5FA: bit 7 of the check byte 0xFA is not transmitted.
  DataSet ones = ValidSet();
  for (const int pos : kIdentPos) ones.Byte(BlockId::Identification, kWorkingCopy, pos) = 0xFF;
  for (const int pos : kParamPos) ones.Param(kWorkingCopy, pos) = 0xFF;
  EXPECT_EQ(EncodeDataCode(ones), "ZZZZ-ZZZZ-ZZZZ-ZZZZ-ZRY");
  EXPECT_TRUE(IsValidDataCode(EncodeDataCode(ones)));
}

TEST(DataCode, EncodeCharAndDecodeByteAreInverse) {
  EXPECT_EQ(EncodeChar(0xFF, 0x00, 0), 'Z');
  EXPECT_EQ(EncodeChar(0x00, 0x01, 4), 'G') << "bit 8 shifted by 4 is 16";
  EXPECT_EQ(DecodeByte("Z", 0), 31) << "missing characters count as 0";
  EXPECT_EQ(DecodeByte("IZ", 0), 0xE0) << "foreign characters count as 0";
  for (int shift = 0; shift < 5; ++shift) {
    for (int byte = 0; byte < 256; ++byte) {
      // The byte at `shift` in a stream whose other bits are all set.
      const unsigned stream = (0x7FFFu & ~(0xFFu << shift)) | static_cast<unsigned>(byte) << shift;
      std::string chars;
      for (int c = 0; c < 3; ++c) chars.push_back(kDataCodeAlphabet[(stream >> (5 * c)) & 31]);
      EXPECT_EQ(DecodeByte(chars, shift), byte) << "shift " << shift;
    }
  }
}

TEST(DataCode, RoundTripRestoresTheCarriedBytesOnly) {
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
    EXPECT_EQ(target.GetBlock(BlockId::Name2, kWorkingCopy), DataSet::Block{});
    EXPECT_EQ(target.GetBlock(BlockId::Name3, kWorkingCopy), DataSet::Block{});
    EXPECT_EQ(TypeDesignation(target, kWorkingCopy), "<DATACODE>");
    EXPECT_EQ(target.Byte(BlockId::Name1, kWorkingCopy, 11), 0);
    EXPECT_EQ(target.Byte(BlockId::Name1, kWorkingCopy, 16), ' ');
    EXPECT_EQ(target.GetBlock(BlockId::Parameter, kReadCopy), readParams) << "the read copy is not touched";
    EXPECT_EQ(target.DataValid(), 1);
    EXPECT_EQ(target.SensitivityValid(), 0);
    EXPECT_TRUE(target.OfflineData());
    EXPECT_EQ(target.Comment() + target.FileName(), "");
    EXPECT_EQ(recent.GetRecentFile(1), "/old.RKT") << "the file name that was current goes to the list";
    EXPECT_FALSE(target.IsChanged() || target.IsCommentChanged());
  }
}

TEST(DataCode, InputBitTravelsInvertedForOldOddTypes) {
  const struct {
    int version1, type;
    bool inverted;
  } rows[] = {{3, 5, true}, {0, 1, true}, {4, 5, false}, {3, 6, false}, {3, 15, true}};
  for (const auto& row : rows) {
    DataSet ds = ValidSet(row.version1, 0, row.type);
    ds.SetValue(ValueId::InputInverted, true);
    const std::string code = EncodeDataCode(ds);
    EXPECT_EQ(ds.GetInt(ValueId::InputInverted, kWorkingCopy), 1) << "encoding must not flip the bit";
    // Character 9 (after two dashes: 10) starts parameter byte 2; its lowest bit is the input bit.
    EXPECT_EQ(static_cast<int>(kDataCodeAlphabet.find(code[10])) & 1, row.inverted ? 0 : 1) << row.version1 << "/" << row.type;
    DataSet back;
    ASSERT_TRUE(ApplyDataCode(back, code));
    EXPECT_EQ(back.GetInt(ValueId::InputInverted, kWorkingCopy), 1);
  }
}

TEST(DataCode, InvalidCodesAreRefusedAndChangeNothing) {
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
  RecentFiles recent;
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
    EXPECT_EQ(ds.FileName(), "/keep.RKT") << code;
    EXPECT_EQ(ds.Comment(), before.Comment()) << code;
    EXPECT_TRUE(ds.IsChanged()) << code;
    EXPECT_FALSE(ds.OfflineData()) << code;
  }
  EXPECT_TRUE(IsValidDataCode(good));
}

}  // namespace
}  // namespace rkt
