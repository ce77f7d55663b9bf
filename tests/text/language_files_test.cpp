// The shipped language file against the keys the program looks up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "text/ini_file.h"
#include "text/language.h"
#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt {
namespace {

TEST(EnglishLanguageFile, HasEveryKeyAndNoOtherInWindows1252) {
  const std::string file = std::string(RKT_SOURCE_DIR) + "/resources/RKT_LANG.ENG";
  std::set<std::pair<std::string, std::string>> known;
  for (const TextKey& k : AllTextKeys()) {
    EXPECT_TRUE(known.emplace(k.section, k.key).second) << "twice: " << k.section << " " << k.key;
    const std::string value = ReadIniValue(file, k.section, k.key, "\x01missing");
    EXPECT_NE(value, "\x01missing") << "[" << k.section << "] " << k.key;
    EXPECT_NE(value, "") << "[" << k.section << "] " << k.key;
  }
  EXPECT_EQ(ReadIniValue(file, "RKT", "Language", ""), "English");
  // A misspelt key would be silently ignored and leave a German text behind.
  std::ifstream in(file, std::ios::binary);
  std::string line, section;
  for (int n = 0; std::getline(in, line); ++n) {
    if (n == 0) { EXPECT_NE(line.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark"; }
    for (const unsigned char c : line) EXPECT_TRUE(c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') section = line.substr(1, line.find(']') - 1);
    else if (const auto eq = line.find('='); eq != std::string::npos) {
      EXPECT_TRUE(known.count({section, line.substr(0, eq)})) << "[" << section << "] " << line;
    }
  }
}

TEST(TextKeys, BuiltinTextsAndListItems) {
  EXPECT_EQ(BuiltinText("frmMain", "cmbInput9"), "D-Flipflop") << "list items are keyed by control and position";
  EXPECT_EQ(BuiltinText("frmMain", "rdTimefunction22"), "Wischerfunktion");
  EXPECT_EQ(BuiltinText("frmMain", "cmbSchaltfrequenz0"), "") << "the switching frequencies have no keys";
  EXPECT_EQ(BuiltinText("Errors", "1040"), BuiltinMessageText(1040));
  EXPECT_EQ(BuiltinText("Tooltips", "Tooltip10"), "Sensor Zusatzbeschreibung");
  EXPECT_EQ(BuiltinText("frmRWState", "lblSensor5"), "Defaultwerte werden ausgelesen.");
  EXPECT_EQ(BuiltinText("Nowhere", "mnFile"), "");
  EXPECT_EQ(Text("frmMain", "mnFile"), "&Datei");
  EXPECT_EQ(ListItemText(TextList::Input, 9), "D-Flipflop");
  EXPECT_EQ(ListItemText(TextList::Input, 10), "");
  EXPECT_EQ(ListItemText(TextList::SwitchingFrequency, 0), "1,5 kHz --> 0,3 ms");
  const auto lists = {TextList::Input, TextList::SingleOutput, TextList::Output, TextList::InputOutput,
                      TextList::KeyboardLock, TextList::Pulse, TextList::SwitchingFrequency, TextList::Hysteresis,
                      TextList::ProgramLock, TextList::OutputType, TextList::TimeFunction2};
  std::vector<std::size_t> sizes;
  for (const TextList list : lists) {
    sizes.push_back(BuiltinList(list).size());
    EXPECT_EQ(BuiltinItem(list, -1), "");
    EXPECT_EQ(BuiltinItem(list, static_cast<int>(BuiltinList(list).size())), "");
    EXPECT_EQ(BuiltinItem(list, 0), BuiltinList(list)[0]);
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{10, 2, 3, 5, 3, 3, 7, 3, 2, 3, 3}));
}

}  // namespace
}  // namespace rkt
