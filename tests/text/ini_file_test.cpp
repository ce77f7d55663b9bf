#include "text/ini_file.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace rkt {
namespace {

constexpr std::string_view kDef = "<default>";

struct Case {
  const char* what;
  std::string bytes;
  const char* section;
  const char* key;
  std::string expected;
};

TEST(ReadIniValue, LookupRules) {
  const Case cases[] = {
      {"plain value", "[RKT]\nLanguage=English\n", "RKT", "Language", "English"},
      {"CRLF lines", "[RKT]\r\nLanguage=English\r\nHelp=X\r\n", "RKT", "Language", "English"},
      {"names ignore case", "[rkt]\nLANGUAGE=English\n", "RKT", "Language", "English"},
      {"blanks around names and value", "  [ RKT ]  \n  Language  =   English  \n", "RKT", "Language", "English"},
      {"matching quotes dropped", "[RKT]\nLanguage=\"  English \"\n", "RKT", "Language", "  English "},
      {"unmatched quote kept", "[RKT]\nLanguage=\"English\n", "RKT", "Language", "\"English"},
      {"present empty value is empty", "[RKT]\nLanguage=\n", "RKT", "Language", ""},
      {"missing key", "[RKT]\nHelp=x\n", "RKT", "Language", std::string(kDef)},
      {"missing section", "[Other]\nLanguage=x\n", "RKT", "Language", std::string(kDef)},
      {"key of another section", "[Other]\nLanguage=x\n[RKT]\nHelp=y\n", "RKT", "Language", std::string(kDef)},
      {"first of two keys", "[RKT]\nLanguage=A\nLanguage=B\n", "RKT", "Language", "A"},
      {"second section of the same name", "[RKT]\nHelp=h\n[RKT]\nLanguage=L\n", "RKT", "Language", "L"},
      {"comment line", "[RKT]\n;Language=no\nLanguage=yes\n", "RKT", "Language", "yes"},
      {"value keeps its equals signs", "[Errors]\n5=a=b\n", "Errors", "5", "a=b"},
      {"backslash-n stays as it is", "[Errors]\n31=A\\nB\n", "Errors", "31", "A\\nB"},
      {"Windows-1252 converted", "[frmMain]\nmnLoad=&\xD6" "ffnen \x80\n", "frmMain", "mnLoad", "&Öffnen €"},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF[frmMain]\nmnLoad=&Öffnen €\n", "frmMain", "mnLoad", "&Öffnen €"},
      {"broken UTF-8 after a byte-order mark", "\xEF\xBB\xBF[S]\nk=a\xC3(\n", "S", "k", "a\xEF\xBF\xBD("},
      {"NUL ends the line", std::string("[S]\nk=ab\0cd\n", 12), "S", "k", "ab"},
      {"no sections at all", "Language=English\nHelp=x\n", "RKT", "Language", std::string(kDef)},
      {"section without closing bracket", "[RKT\nLanguage=x\n", "RKT", "Language", "x"},
      {"empty file", "", "RKT", "Language", std::string(kDef)},
      {"empty key asks for nothing", "[RKT]\n=x\n", "RKT", "", std::string(kDef)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadIniValueFromBytes(c.bytes, c.section, c.key, kDef), c.expected) << c.what;
  }
}

TEST(ReadIniValue, LongValuesAreCutAt4023Characters) {
  const std::string value(5000, 'x');
  EXPECT_EQ(ReadIniValueFromBytes("[S]\nk=" + value + "\n", "S", "k", kDef), std::string(4023, 'x'));
  // Characters, not bytes: "ä" takes two bytes in UTF-8 and one in the file.
  const std::string umlauts(5000, '\xE4');
  const std::string got = ReadIniValueFromBytes("[S]\nk=" + umlauts + "\n", "S", "k", kDef);
  EXPECT_EQ(got.size(), 4023u * 2);
  EXPECT_EQ(got.substr(0, 2), "ä");
}

TEST(ReadIniValue, HugeLineBeforeTheKeyDoesNotHideIt) {
  const std::string bytes = "[S]\njunk=" + std::string(200000, 'j') + "\nk=found\n";
  EXPECT_EQ(ReadIniValueFromBytes(bytes, "S", "k", kDef), "found");
}

TEST(ReadIniValue, BinaryJunkGivesTheDefault) {
  std::string junk;
  unsigned state = 12345;
  for (int i = 0; i < 100000; ++i) {
    state = state * 1103515245u + 12345u;
    junk.push_back(static_cast<char>(state >> 16));
  }
  EXPECT_EQ(ReadIniValueFromBytes(junk, "RKT", "Language", kDef), kDef);
  // Junk around a readable part does not hide it.
  EXPECT_EQ(ReadIniValueFromBytes(junk + "\n[RKT]\nLanguage=Junk\n", "RKT", "Language", kDef), "Junk");
}

TEST(ReadIniValue, Files) {
  TempDir dir;
  const std::string file = dir.Write("RKT_LANG.TST", "[RKT]\nLanguage=Test\n");
  EXPECT_EQ(ReadIniValue(file, "RKT", "Language", kDef), "Test");
  EXPECT_EQ(ReadIniValue((dir.Path() / "missing").string(), "RKT", "Language", kDef), kDef);
  EXPECT_EQ(ReadIniValue(dir.Path().string(), "RKT", "Language", kDef), kDef) << "a folder";
  EXPECT_EQ(ReadIniValue("", "RKT", "Language", kDef), kDef);
  // Only the first megabyte is read: a key behind it counts as missing.
  const std::string big = dir.Write("big", "[RKT]\n" + std::string(kMaxIniFileBytes, ';') + "\nLanguage=Late\n");
  EXPECT_EQ(ReadIniValue(big, "RKT", "Language", kDef), kDef);
}

}  // namespace
}  // namespace rkt
