#include <gtest/gtest.h>

#include "model/bit.h"
#include "model/text_encoding.h"
#include "model/value_conversions.h"

namespace rkt {
namespace {

TEST(Bit, SetBitReportsWhetherTheByteChanged) {
  std::uint8_t b = 0b1010'0000;
  EXPECT_EQ(SetBit(b, 5, 1), 0);
  EXPECT_EQ(b, 0b1010'0000) << "an unchanged bit leaves the byte alone";
  EXPECT_EQ(SetBit(b, 0, 7), 1) << "any non-zero value counts as 1";
  EXPECT_EQ(b, 0b1010'0001);
  EXPECT_EQ(SetBit(b, 7, 0), 1);
  EXPECT_EQ(b, 0b0010'0001);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(GetBit(0xFF, n), 1) << n;
}

TEST(Bit, ShiftsAndWords) {
  EXPECT_EQ(MakeWord(0x12, 0x34), 0x1234);
  EXPECT_EQ(ShiftLeft(0xC1, 2), 0x04) << "only the low 8 bits stay";
  EXPECT_EQ(ShiftRight(0x80, 7), 1);
  EXPECT_EQ(ShiftRightLong(-7, 1), -3) << "truncates toward zero, not toward minus infinity";
  EXPECT_EQ(ShiftRightLong(0xFFFF, 11), 31);
}

TEST(ValueConversions, TimeAndSensitivityTexts) {
  const struct {
    int raw;
    const char* tenths;
  } tenths[] = {{0, "0.0 s"}, {1, "0.1 s"}, {9, "0.9 s"}, {10, "1.0 s"}, {13, "1.3 s"}, {100, "10.0 s"}, {255, "25.5 s"}};
  for (const auto& row : tenths) EXPECT_EQ(FormatTenths(row.raw), row.tenths) << row.raw;
  EXPECT_EQ(FormatTimeValue2(255, 3), "255 ms");
  EXPECT_EQ(FormatTimeValue2(255, 1), "25.5 s") << "mode 1 shows tenths for the same raw value";
  EXPECT_EQ(FormatTimeValue2(120, 2), "120 ms");

  const struct {
    int value;
    const char* text;
  } sens[] = {{0, "0%"}, {1, "1%"}, {6, "7%"}, {46, "50%"}, {92, "100%"}};
  for (const auto& row : sens) EXPECT_EQ(FormatSensitivity(row.value), row.text) << row.value;
  // value*100/92 never lands on a half inside the bar's range, so rounding is unambiguous.
  for (int v = kSensitivityMin; v <= kSensitivityMax; ++v) EXPECT_NE((v * 100) % 92, 46) << v;
}

TEST(ValueConversions, SwitchingFrequencyCodes) {
  const std::uint8_t codes[] = {3, 5, 9, 17, 41, 81, 201};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(SwitchingFrequencyIndex(codes[i]), i);
    EXPECT_EQ(SwitchingFrequencyCode(i), codes[i]);
  }
  EXPECT_EQ(SwitchingFrequencyIndex(0), 0) << "a code outside the list reads as index 0";
  EXPECT_EQ(SwitchingFrequencyIndex(4), 0);
}

TEST(TextEncoding, EveryWindows1252ByteSurvivesTheTripThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\xe4\xf6\xfc\xdf\x80"), "äöüß€");
  EXPECT_EQ(Utf8ToCp1252("Grüße €"), "Gr\xfc\xdf" "e \x80");
  EXPECT_EQ(Utf8ToCp1252("日本"), "??") << "characters outside Windows-1252 become '?'";
  EXPECT_EQ(Utf8ToCp1252("a\xff" "b\xc3"), "a?b?") << "broken UTF-8 must not be copied through";
}

}  // namespace
}  // namespace rkt
