// The shipped language file and help pages against the keys and contexts the
// program uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "text/ini_file.h"
#include "text/language.h"
#include "text/text_keys.h"

namespace rkt {
namespace {

const std::filesystem::path kResources = std::filesystem::path(RKT_SOURCE_DIR) / "resources";

std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// section/key of every value line, as written in the file.
std::set<std::pair<std::string, std::string>> KeysInFile(const std::string& bytes) {
  std::set<std::pair<std::string, std::string>> keys;
  std::istringstream in(bytes);
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
    } else if (const auto eq = line.find('='); eq != std::string::npos) {
      keys.emplace(section, line.substr(0, eq));
    }
  }
  return keys;
}

TEST(EnglishLanguageFile, HasEveryKeyTheProgramLooksUp) {
  const std::string file = (kResources / "RKT_LANG.ENG").string();
  ASSERT_TRUE(std::filesystem::exists(file));
  constexpr std::string_view kMissing = "\x01missing";
  for (const TextKey& k : AllTextKeys()) {
    const std::string value = ReadIniValue(file, k.section, k.key, kMissing);
    EXPECT_NE(value, kMissing) << "[" << k.section << "] " << k.key;
    EXPECT_FALSE(value.empty()) << "[" << k.section << "] " << k.key;
  }
  EXPECT_EQ(ReadIniValue(file, "RKT", "Language", ""), "English");
}

TEST(EnglishLanguageFile, HasNoKeyTheProgramDoesNotKnow) {
  // A misspelt key would be silently ignored and leave a German text behind.
  std::set<std::pair<std::string, std::string>> known;
  for (const TextKey& k : AllTextKeys()) known.emplace(k.section, k.key);
  for (const auto& [section, key] : KeysInFile(ReadBytes(kResources / "RKT_LANG.ENG")))
    EXPECT_TRUE(known.count({section, key})) << "[" << section << "] " << key;
}

TEST(EnglishLanguageFile, IsWindows1252WithoutByteOrderMark) {
  const std::string bytes = ReadBytes(kResources / "RKT_LANG.ENG");
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
  for (const unsigned char c : bytes) {
    // The bytes Windows-1252 leaves unassigned.
    EXPECT_TRUE(c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) << int(c);
  }
}

TEST(TextKeys, AreUniqueAndNamedAfterTheControls) {
  std::set<std::pair<std::string, std::string>> seen;
  for (const TextKey& k : AllTextKeys()) EXPECT_TRUE(seen.emplace(k.section, k.key).second) << k.section << " " << k.key;
  // List items take their keys from the control names, by position.
  EXPECT_EQ(BuiltinText("frmMain", "cmbInput9"), "D-Flipflop");
  EXPECT_EQ(BuiltinText("frmMain", "rdTimefunction22"), "Wischerfunktion");
  EXPECT_EQ(BuiltinText("frmMain", "cmbSchaltfrequenz0"), "") << "the switching frequencies have no keys";
}

}  // namespace
}  // namespace rkt
