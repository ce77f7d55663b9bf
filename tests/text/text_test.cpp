#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "support/recording_presenter.h"
#include "test_data.h"
#include "text/ini_file.h"
#include "text/language.h"
#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt {
namespace {

constexpr std::string_view kDef = "<default>";

TEST(ReadIniValue, LookupRules) {
  const std::string def(kDef);
  // Section "RKT", key "Language".
  const std::pair<std::string, std::string> cases[] = {
      {"[RKT]\nLanguage=English\n", "English"},         {"[RKT]\r\nLanguage=English\r\nHelp=X\r\n", "English"},
      {"[rkt]\nLANGUAGE=English\n", "English"},         {"[RKT]\nLanguages=x\nLanguag=y\n", def},
      {"[RKTX]\nLanguage=x\n[RK]\nLanguage=y\n", def}, {" \t [ RKT ]  \n \v Language \f =  English \t \n", "English"},
      {"[RKT]\nLanguage=\"  English \"\n", "  English "}, {"[RKT]\nLanguage='x'\n", "x"},
      {"[RKT]\nLanguage=\"x'\n", "\"x'"},               {"[RKT]\nLanguage=\"\n", "\""},
      {"[RKT]\nLanguage=\"\"\n", ""},                   {"[RKT]\nLanguage=\n", ""},
      {"[RKT]\nHelp=x\n", def},                          {"[Other]\nLanguage=x\n[RKT]\nHelp=y\n", def},
      {"[RKT]\nLanguage=A\nLanguage=B\n", "A"},         {"[RKT]\nHelp=h\n[RKT]\nLanguage=L\n", "L"},
      {"[RKT]\n;Language=no\nLanguage=yes\n", "yes"},   {"[RKT]\nLanguage yes\nLanguage=no=yes", "no=yes"},
      {"[RKT]\nLanguage=A\\nB\n", "A\\nB"},            {"[RKT]\nLanguage=&\xD6" "ffnen \x80\n", "&Öffnen €"},
      // UTF-8 at the edges of each sequence length and around the surrogates.
      {"\xEF\xBB\xBF[RKT]\nLanguage=&Öffnen €\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\n",
       "&Öffnen €\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"\xEF\xBB\xBF[RKT]\nLanguage=a\xC3(\xC0\x80\xED\xA0\x80\xF4\x90\x80\x80\n",
       "a\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xEF\xBB[RKT]\nLanguage=\xE4\n", def},         {std::string("[RKT]\nLanguage=ab\0cd\n", 21), "ab"},
      {"Language=English\nHelp=x\n", def},               {"[RKT\nLanguage=x\n", "x"},
      {"", def},
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(ReadIniValueFromBytes(bytes, "RKT", "Language", kDef), expected) << bytes;
  EXPECT_EQ(ReadIniValueFromBytes("[]\nLanguage=x\n", "", "Language", kDef), "x");
  EXPECT_EQ(ReadIniValueFromBytes("[AZ@[]\nk=v\n", "az@[", "K", kDef), "v");
  EXPECT_EQ(ReadIniValueFromBytes("[az]\nk=v\n", "AZ", "k", kDef), "v");
  EXPECT_EQ(ReadIniValueFromBytes("[RKT]\n=x\n", "RKT", "", kDef), kDef) << "an empty key asks for nothing";
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

  test::TempDir dir;
  EXPECT_EQ(ReadIniValue(test::WriteText(dir.Path("RKT_LANG.TST"), "[RKT]\nLanguage=Test"), "RKT", "Language", kDef), "Test");
  EXPECT_EQ(ReadIniValue(test::WriteText(dir.Path("RKT_LANG.TST"), "[RKT]\nLanguage=Test"), "RKT", "", kDef), kDef);
  EXPECT_EQ(ReadIniValue(dir.Path("missing"), "RKT", "Language", kDef), kDef);
  EXPECT_EQ(ReadIniValue(dir.Dir(), "RKT", "Language", kDef), kDef) << "a folder";
  EXPECT_EQ(ReadIniValue("", "RKT", "Language", kDef), kDef);
  // Only the first megabyte is read: a key behind it counts as missing.
  const std::string head = "[RKT]\nA=1\n" + std::string(kMaxIniFileBytes - 15, ';') + "\nB=2\n";
  const std::string big = test::WriteText(dir.Path("big"), head + "C=3\n");
  EXPECT_EQ(ReadIniValue(big, "RKT", "A", kDef), "1");
  EXPECT_EQ(ReadIniValue(big, "RKT", "B", kDef), "2");
  EXPECT_EQ(ReadIniValue(big, "RKT", "C", kDef), kDef);
  EXPECT_EQ(ReadIniValueFromBytes(head + "C=3\n", "RKT", "C", kDef), kDef);
}

class FakeHelp : public HelpViewer {
 public:
  void ShowTopic(const std::string& file, int context) override { calls.emplace_back(file, context); }
  std::vector<std::pair<std::string, int>> calls;
};

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHelpViewer(&m_help); }
  void TearDown() override {
    SetHelpViewer(nullptr);
    FindLanguages({});
  }
  void UseLanguage(const std::string& body) {
    test::WriteText(m_dir.Path("RKT_LANG.TST"), "[RKT]\nLanguage=Test\nHelp=RKTTST.HLP\n" + body);
    FindLanguages({m_dir.Dir()});
    ASSERT_TRUE(SelectLanguageByName("Test"));
  }
  test::InstalledPresenter m_presenter;
  FakeHelp m_help;
  test::TempDir m_dir;
};

TEST_F(TextTest, DiscoveryKeepsFilesThatNameTheirLanguageInFolderOrder) {
  FindLanguages({m_dir.Dir(), m_dir.Path("does-not-exist")});
  EXPECT_EQ(LanguageCount(), 1);
  test::TempDir shared;
  const std::pair<std::string, std::string> files[] = {
      {m_dir.Path("RKT_LANG.ENG"), "Language=English\nHelp=RKTENG.HLP"}, {m_dir.Path("RKT_LANG.NOL"), "Help=x"},
      {m_dir.Path("RKT_LANG.EMP"), "Language="}, {m_dir.Path("rkt_lang.fra"), "Language=Francais\nHelp="},
      {m_dir.Path("RKT_LANG."), "Language=Dot"}, {m_dir.Path("RKT-LANG.X"), "Language=Other"},
      {shared.Path("RKT_LANG.ENG"), "Language=English (installed)"}, {shared.Path("RKT_LANG.ITA"), "Language=Italiano"}};
  for (const auto& [path, body] : files) test::WriteText(path, "[RKT]\n" + body + "\n");
  test::WriteText(m_dir.Path("RKT_LANG.BIN"), std::string("\x00\xFF\xFE[\x01\n\x80\x81", 9));
  std::filesystem::create_directory(m_dir.Path("RKT_LANG.DIR"));
  FindLanguages({m_dir.Dir(), shared.Dir(), m_dir.Dir()});
  std::string names;
  for (const LanguageEntry& e : Languages()) names += e.name + "=" + e.helpFile + ";";
  EXPECT_EQ(names, "Deutsch=RKTGER.HLP;Dot=RKTGER.HLP;English=RKTENG.HLP;Francais=RKTGER.HLP;"
                   "English (installed)=RKTGER.HLP;Italiano=RKTGER.HLP;");
  EXPECT_EQ(LanguageCount(), 6);
  EXPECT_EQ(CurrentLanguageIndex(), 0);
  EXPECT_EQ(GetLanguageName(5) + GetLanguageName(6) + GetLanguageName(-1), "Italiano");
  EXPECT_EQ(LanguageFolders("/opt/rkt410/bin"),
            (std::vector<std::filesystem::path>{"/opt/rkt410/bin", "/opt/rkt410/share/rkt410"}));
}

TEST_F(TextTest, SelectionRules) {
  test::WriteText(m_dir.Path("RKT_LANG.A"), "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n[frmMain]\nmnFile=&File\nlblFileName=\n");
  const std::string second = test::WriteText(m_dir.Path("RKT_LANG.B"), "[RKT]\nLanguage=English\n[frmMain]\nmnFile=Second\n");
  test::WriteText(m_dir.Path("RKT_LANG.C"), "[RKT]\nLanguage=Deutsch (Datei)\n[frmMain]\nmnFile=from file\n");
  FindLanguages({m_dir.Dir()});
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei") + CurrentHelpFile(), "&DateiRKTGER.HLP") << "German reads no file";
  EXPECT_FALSE(SelectLanguageByName("GER") || SelectLanguageByName("english")) << "exact comparison";
  EXPECT_EQ(CurrentLanguageIndex(), 0);
  EXPECT_TRUE(SelectLanguageByName("English"));
  EXPECT_EQ(CurrentLanguageIndex(), 1) << "the first of two equal names";
  EXPECT_EQ(CurrentLanguageName() + CurrentHelpFile(), "EnglishRKTENG.HLP");
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&File");
  EXPECT_EQ(GetText("frmMain", "lblFileName", "Datei:"), "") << "present but empty";
  EXPECT_EQ(GetText("frmMain", "mnSave", "&Speichern"), "&Speichern") << "missing key";
  EXPECT_EQ(SelectLanguage(-1), 1) << "-1 only asks";
  EXPECT_EQ(SelectLanguage(4), 1) << "an index outside the list changes nothing";
  EXPECT_EQ(SelectLanguage(3), 3);
  EXPECT_EQ(SelectLanguage(2), 2);
  std::filesystem::remove(second);
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei") << "a file that disappeared gives the defaults";
  EXPECT_TRUE(SelectLanguageByName("Deutsch"));
  EXPECT_EQ(SelectLanguage(0), 0);
  EXPECT_EQ(CurrentLanguageName(), "Deutsch");
}

TEST_F(TextTest, TextsLineBreaksAndLanguageOverrides) {
  const std::pair<int, const char*> builtin[] = {
      {1, "Der Sensor kann nicht angesprochen werden!"},
      {31, "Der Sensortyp hat sich geändert.\nDie Daten sind auf diesen Typ nicht übertragbar.\n\n"
           "Wollen Sie die Daten des neuen Sensors einlesen?"},
      {1005, "Fehler beim Lesen der Sensordaten! (1003)"},
      {1003, "Programmfehler! Fehlernummer 1003"},
      {0, "Programmfehler! Fehlernummer 0"},
      {-1, "Programmfehler! Fehlernummer-1"},
  };
  for (const auto& [number, shown] : builtin) EXPECT_EQ(MessageDisplayText(number), shown) << number;
  for (const int n : MessageNumbers()) EXPECT_NE(BuiltinMessageText(n), "") << n;
  EXPECT_EQ(MessageNumbers().size(), 23u);
  EXPECT_EQ(HelpContexts().size(), 11u);
  const std::pair<const char*, const char*> breaks[] = {{"A\\nB", "A\nB"}, {"A\\\\nB", "A\\\nB"}, {"A\\N", "A\\N"},
                                                        {"A\\", "A\\"},     {"\\n\\n", "\n\n"},   {"n\\", "n\\"}};
  for (const auto& [in, out] : breaks) EXPECT_EQ(ConvertLineBreaks(in), out) << in;

  UseLanguage("[Errors]\n5=Five\n1=\n3=Line\\nbreak\nDefault=Program error no.\n[frmMessage]\nfrmMessage=\n");
  EXPECT_EQ(MessageDisplayText(5), "Five") << "a text for a number without a built-in one";
  EXPECT_EQ(MessageDisplayText(1), "Der Sensor kann nicht angesprochen werden!") << "empty counts as missing";
  EXPECT_EQ(MessageDisplayText(3), "Line\nbreak");
  EXPECT_EQ(MessageDisplayText(6), "Program error no. 6");
  EXPECT_EQ(MessageDisplayText(-7), "Program error no.-7");
  EXPECT_EQ(BuildMessage(3).title, "") << "an empty title stays empty";
}

TEST_F(TextTest, BoxesPassThePresenterAndReturnItsAnswer) {
  m_presenter.answer = msg::kRetry;
  EXPECT_EQ(ShowMessage(msg::kNoSensor, msg::kRetryCancel, help::kNoSensor), msg::kRetry);
  ShowMessage(msg::kCommunicationOk);
  m_presenter.answer = msg::kNo;
  EXPECT_EQ(AskSensitivityWrite(), msg::kNo);
  EXPECT_EQ(ShowFileMessage(msg::kSaveFailed, "/x.RKT", "voll"), msg::kNo);
  ShowFileMessage(msg::kInvalidFile, "/y.RKT", "");
  EXPECT_EQ(ShowMessageBox({"T", "text", msg::kYesNo, 0, 7}), msg::kNo);
  const auto& s = m_presenter.shown;
  ASSERT_EQ(s.size(), 6u);
  EXPECT_EQ(s[0].title, "RKT410 Meldung");
  EXPECT_EQ(s[0].text, "Der Sensor kann nicht angesprochen werden!");
  EXPECT_EQ(s[0].buttons, msg::kRetryCancel);
  EXPECT_EQ(s[0].style, 5 + 32);
  EXPECT_EQ(s[0].helpContext, 2000);
  EXPECT_EQ(s[1].style, 32) << "OK only, still with the question icon";
  EXPECT_FALSE(s[1].helpContext.has_value());
  EXPECT_EQ(s[2].text, "Diese Funktion ändert die Empfindlichkeitseinstellungen des Sensors. Wollen Sie fortfahren?");
  EXPECT_EQ(s[2].style, 4 + 32);
  EXPECT_EQ(s[2].title, "RKT 410 Parametrierung");
  EXPECT_EQ(s[3].text, "Fehler beim Speichern der Datei!\n/x.RKT: voll");
  EXPECT_EQ(s[4].text, "Ungültige Datendatei!\n/y.RKT");
  EXPECT_EQ(s[5].helpContext, 7);

  UseLanguage("[Message]\nSensorWriteSens=Go on?\\nReally?\n[frmMessage]\nfrmMessage=Note\n");
  AskSensitivityWrite();
  EXPECT_EQ(s.at(6).text, "Go on?\\nReally?") << "no line-break conversion for this one";
  EXPECT_EQ(BuildMessage(3).title, "Note");

  SetMessagePresenter(nullptr);
  const std::pair<int, int> safe[] = {{msg::kRetryCancel, msg::kCancel}, {msg::kYesNo, msg::kNo},
                                      {msg::kYesNoCancel, msg::kCancel}, {msg::kOkOnly, msg::kOk}, {2, msg::kOk}};
  for (const auto& [buttons, answer] : safe) EXPECT_EQ(ShowMessage(msg::kNoSensor, buttons), answer) << buttons;
}

TEST_F(TextTest, ShowHelpOpensTheCurrentLanguagesHelp) {
  ShowHelp(0);
  UseLanguage("");
  ShowHelp(2001);
  EXPECT_EQ(m_help.calls, (std::vector<std::pair<std::string, int>>{{"RKTGER.HLP", 0}, {"RKTTST.HLP", 2001}}));
  SetHelpViewer(nullptr);
  ShowHelp(1);
  EXPECT_EQ(m_help.calls.size(), 2u);
}

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
