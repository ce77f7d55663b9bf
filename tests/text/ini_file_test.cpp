#include "text/ini_file.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace rkt {
namespace {

constexpr std::string_view kDef = "<default>";

TEST(ReadIniValue, LookupRules) {
  const std::string def(kDef);
  const struct {
    std::string bytes;
    const char* section;
    const char* key;
    std::string expected;
  } cases[] = {
      {"[RKT]\nLanguage=English\n", "RKT", "Language", "English"},
      {"[RKT]\r\nLanguage=English\r\nHelp=X\r\n", "RKT", "Language", "English"},
      {"[rkt]\nLANGUAGE=English\n", "RKT", "Language", "English"},
      {"[RKT]\nLanguages=x\nLanguag=y\n", "RKT", "Language", def},
      {"[RKTX]\nLanguage=x\n[RK]\nLanguage=y\n", "RKT", "Language", def},
      {" \t [ RKT ]  \n \v Language \f =  English \t \n", "RKT", "Language", "English"},
      {"[RKT]\nLanguage=\"  English \"\n", "RKT", "Language", "  English "},
      {"[RKT]\nLanguage='x'\n", "RKT", "Language", "x"},
      {"[RKT]\nLanguage=\"x'\n", "RKT", "Language", "\"x'"},
      {"[RKT]\nLanguage=\"\n", "RKT", "Language", "\""},
      {"[RKT]\nLanguage=\"\"\n", "RKT", "Language", ""},
      {"[RKT]\nLanguage=\n", "RKT", "Language", ""},
      {"[RKT]\nHelp=x\n", "RKT", "Language", def},
      {"[Other]\nLanguage=x\n[RKT]\nHelp=y\n", "RKT", "Language", def},
      {"[RKT]\nLanguage=A\nLanguage=B\n", "RKT", "Language", "A"},
      {"[RKT]\nHelp=h\n[RKT]\nLanguage=L\n", "RKT", "Language", "L"},
      {"[RKT]\n;Language=no\nLanguage=yes\n", "RKT", "Language", "yes"},
      {"[RKT]\nLanguage yes\nLanguage=no=yes", "RKT", "Language", "no=yes"},
      {"[Errors]\n31=A\\nB\n", "Errors", "31", "A\\nB"},
      {"[frmMain]\nmnLoad=&\xD6" "ffnen \x80\n", "frmMain", "mnLoad", "&Öffnen €"},
      {"\xEF\xBB\xBF[frmMain]\nmnLoad=&Öffnen €\xF0\x9F\x98\x80\n", "frmMain", "mnLoad", "&Öffnen €\xF0\x9F\x98\x80"},
      {"\xEF\xBB\xBF[S]\nk=a\xC3(\xC0\x80\xED\xA0\x80\xF4\x90\x80\x80\n", "S", "k",
       "a\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xEF\xBB[S]\nk=\xE4\n", "S", "k", def},
      {std::string("[S]\nk=ab\0cd\n", 12), "S", "k", "ab"},
      {"Language=English\nHelp=x\n", "RKT", "Language", def},
      {"[RKT\nLanguage=x\n", "RKT", "Language", "x"},
      {"[]\nLanguage=x\n", "", "Language", "x"},
      {"", "RKT", "Language", def},
      {"[RKT]\n=x\n", "RKT", "", def},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadIniValueFromBytes(c.bytes, c.section, c.key, kDef), c.expected) << c.bytes;
}

TEST(ReadIniValue, LongValuesJunkAndFiles) {
  EXPECT_EQ(ReadIniValueFromBytes("[S]\nk=" + std::string(5000, 'x'), "S", "k", kDef), std::string(4023, 'x'));
  EXPECT_EQ(ReadIniValueFromBytes("[S]\nk=" + std::string(4023, 'x'), "S", "k", kDef), std::string(4023, 'x'));
  // Characters, not bytes: "ä" takes two bytes in UTF-8 and one in the file.
  const std::string got = ReadIniValueFromBytes("[S]\nk=" + std::string(5000, '\xE4') + "\n", "S", "k", kDef);
  EXPECT_EQ(got.size(), 4023u * 2);
  EXPECT_EQ(got.substr(0, 2), "ä");
  std::string junk = "[S]\njunk=" + std::string(200000, 'j') + "\n";
  for (unsigned i = 0, state = 12345; i < 100000; ++i) junk.push_back(static_cast<char>((state = state * 1103515245u + 12345u) >> 16));
  EXPECT_EQ(ReadIniValueFromBytes(junk, "RKT", "Language", kDef), kDef);
  EXPECT_EQ(ReadIniValueFromBytes(junk + "\n[RKT]\nLanguage=Junk\n", "RKT", "Language", kDef), "Junk");

  TempDir dir;
  EXPECT_EQ(ReadIniValue(dir.Write("RKT_LANG.TST", "[RKT]\nLanguage=Test"), "RKT", "Language", kDef), "Test");
  EXPECT_EQ(ReadIniValue(dir.Write("RKT_LANG.TST", "[RKT]\nLanguage=Test"), "RKT", "", kDef), kDef);
  EXPECT_EQ(ReadIniValue((dir.Path() / "missing").string(), "RKT", "Language", kDef), kDef);
  EXPECT_EQ(ReadIniValue(dir.Path().string(), "RKT", "Language", kDef), kDef) << "a folder";
  EXPECT_EQ(ReadIniValue("", "RKT", "Language", kDef), kDef);
  // Only the first megabyte is read: a key behind it counts as missing.
  const std::string head = "[RKT]\nA=1\n" + std::string(kMaxIniFileBytes - 15, ';') + "\nB=2\n";
  const std::string big = dir.Write("big", head + "C=3\n");
  EXPECT_EQ(ReadIniValue(big, "RKT", "A", kDef), "1");
  EXPECT_EQ(ReadIniValue(big, "RKT", "B", kDef), "2");
  EXPECT_EQ(ReadIniValue(big, "RKT", "C", kDef), kDef);
  EXPECT_EQ(ReadIniValueFromBytes(head + "C=3\n", "RKT", "C", kDef), kDef);
}

}  // namespace
}  // namespace rkt
