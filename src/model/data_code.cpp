#include "model/data_code.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "model/bit.h"
#include "model/data_set.h"

namespace rkt {

namespace {

constexpr int kCodeChars = 19;
constexpr int kCheckedChars = 17;

// The eleven bytes the code carries, as (block, position), in stream order.
struct CodeByte {
  BlockId block;
  int pos;
};
constexpr std::array<CodeByte, 11> kCodeBytes = {{
    {BlockId::Identification, ident::kVersion1},
    {BlockId::Identification, ident::kVersion2},
    {BlockId::Identification, ident::kVersion3},
    {BlockId::Identification, ident::kTypeCode},
    {BlockId::Parameter, param::kFunctions},
    {BlockId::Parameter, param::kInput},
    {BlockId::Parameter, param::kSwitchingFrequency},
    {BlockId::Parameter, param::kTimeValue1},
    {BlockId::Parameter, param::kTimeValue2},
    {BlockId::Parameter, param::kExtra},
    {BlockId::Parameter, param::kInputExtra},
}};

// (low byte, high byte, shift) of code characters 0..16.
struct CharSource {
  int low;
  int high;
  int shift;
};
constexpr std::array<CharSource, kCheckedChars> kCharSources = {{
    {0, 1, 0}, {0, 1, 5}, {1, 2, 2}, {1, 2, 7}, {2, 3, 4}, {3, 4, 1},
    {3, 4, 6}, {4, 5, 3}, {5, 6, 0}, {5, 6, 5}, {6, 7, 2}, {6, 7, 7},
    {7, 8, 4}, {8, 9, 1}, {8, 9, 6}, {9, 10, 3}, {10, 10, 0},
}};

int CharValue(char c) {
  const auto pos = kDataCodeAlphabet.find(c);
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

// The odd-type sensors below version 4 carry the input bit inverted.
bool CodeInvertsInput(std::uint8_t version1, std::uint8_t typeCode) {
  return version1 < 4 && (typeCode & 1) != 0;
}

// The 19 code characters without dashes, or "" when the text's shape is off.
std::string StripDashes(std::string_view text) {
  if (text.size() != kDataCodeLength) return {};
  for (const std::size_t dash : {4u, 9u, 14u, 19u})
    if (text[dash] != '-') return {};
  std::string chars;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != 4 && i != 9 && i != 14 && i != 19) chars.push_back(text[i]);
  return chars;
}

}  // namespace

char EncodeChar(std::uint8_t low, std::uint8_t high, int shift) {
  const std::int32_t word = ShiftRightLong(MakeWord(high, low), shift);
  return kDataCodeAlphabet[static_cast<std::size_t>(word % 32)];
}

std::uint8_t DecodeByte(std::string_view text, int shift) {
  const auto value = [&](std::size_t i) -> unsigned {
    const int v = i < text.size() ? CharValue(text[i]) : -1;
    return v < 0 ? 0u : static_cast<unsigned>(v);
  };
  unsigned byte = value(0) >> shift;
  byte += (value(1) << (5 - shift)) & 0xFFu;
  if (shift >= 3) byte += (value(2) & ((1u << (shift - 2)) - 1u)) << (10 - shift);
  return static_cast<std::uint8_t>(byte & 0xFFu);
}

std::string EncodeDataCode(const DataSet& ds) {
  if (ds.DataValid() == 0) return {};
  std::array<std::uint8_t, 12> bytes{};
  for (std::size_t k = 0; k < kCodeBytes.size(); ++k)
    bytes[k] = ds.Byte(kCodeBytes[k].block, kWorkingCopy, kCodeBytes[k].pos);
  // Inverted on a copy of the bytes, so the data set itself never changes.
  if (CodeInvertsInput(bytes[0], bytes[3])) bytes[5] ^= 1u;

  std::string chars;
  unsigned sum = 0;
  for (const CharSource& src : kCharSources) {
    const char c = EncodeChar(bytes[static_cast<std::size_t>(src.low)], bytes[static_cast<std::size_t>(src.high)],
                              src.shift);
    chars.push_back(c);
    sum += static_cast<unsigned char>(c);
  }
  const auto check = static_cast<std::uint8_t>(sum % 256);
  chars.push_back(EncodeChar(bytes[10], check, 5));
  chars.push_back(EncodeChar(check, check, 2));

  return chars.substr(0, 4) + "-" + chars.substr(4, 4) + "-" + chars.substr(8, 4) + "-" + chars.substr(12, 4) +
         "-" + chars.substr(16, 3);
}

std::string CleanDataCode(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (out.size() == 4 || out.size() == 9 || out.size() == 14 || out.size() == 19) out.push_back('-');
      continue;
    }
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}

bool IsValidDataCode(std::string_view text) {
  const std::string s = StripDashes(text);
  if (s.size() != kCodeChars) return false;
  unsigned sum = 0;
  for (int i = 0; i < kCodeChars; ++i) {
    if (CharValue(s[static_cast<std::size_t>(i)]) < 0) return false;
    if (i < kCheckedChars) sum += static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
  }
  const unsigned check = static_cast<unsigned>(CharValue(s[18])) * 4 + (static_cast<unsigned>(CharValue(s[17])) >> 3);
  return sum % 128 == check;
}

namespace {
// Name block 1 of a setting that came from a code, which carries no names.
constexpr std::string_view kCodeNameMarker{"<DATACODE>\0     ", 16};
}  // namespace

bool NamedByDataCode(const DataSet& ds, Copy copy) {
  const DataSet::Block& name1 = ds.GetBlock(BlockId::Name1, copy);
  const std::string_view text = kCodeNameMarker.substr(0, kCodeNameMarker.find('\0'));
  return std::equal(text.begin(), text.end(), name1.begin() + 1);
}

bool ApplyDataCode(DataSet& ds, std::string_view text) {
  if (!IsValidDataCode(text)) return false;
  const std::string s = StripDashes(text);

  for (const BlockId b : {BlockId::Identification, BlockId::Name2, BlockId::Name3, BlockId::Parameter})
    ds.GetBlock(b, kWorkingCopy).fill(0);
  DataSet::Block& name1 = ds.GetBlock(BlockId::Name1, kWorkingCopy);
  for (int i = 0; i < kBlockSize; ++i) name1[static_cast<std::size_t>(i + 1)] = static_cast<std::uint8_t>(kCodeNameMarker[static_cast<std::size_t>(i)]);

  for (std::size_t k = 0; k < kCodeBytes.size(); ++k) {
    const std::size_t bit = 8 * k;
    ds.Byte(kCodeBytes[k].block, kWorkingCopy, kCodeBytes[k].pos) =
        DecodeByte(std::string_view(s).substr(bit / 5), static_cast<int>(bit % 5));
  }
  if (CodeInvertsInput(ds.Ident(kWorkingCopy, ident::kVersion1), ds.Ident(kWorkingCopy, ident::kTypeCode)))
    InvertInputBit(ds, kWorkingCopy);

  // The read copy keeps what the sensor or a file held last, which is no
  // longer what the window describes.
  ds.SetReadCopyCurrent(false);
  ds.NewGeneration();
  ds.SetDataValid(1);
  ds.SetSensitivityValid(0);
  ds.SetOfflineData(true);
  ds.SetValue(ValueId::Comment, std::string{});
  ds.SetValue(ValueId::FileName, std::string{});
  ds.SetValue(ValueId::Changed, false);
  ds.SetValue(ValueId::CommentChanged, false);
  return true;
}

}  // namespace rkt
