#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "support/recording_presenter.h"
#include "test_data.h"
#include "text/help_window.h"
#include "text/ini_file.h"
#include "text/language.h"
#include "text/message_box.h"
#include "model/parameter_file.h"
#include "model/safe_file.h"
#include "text/messages.h"
#include "text/reason_texts.h"
#include "text/text_keys.h"
#include "text/window_placement.h"

namespace rkt {
namespace {

constexpr std::string_view kDef = "<default>";

TEST(ReadIniValue, LookupRulesLongValuesJunkAndFiles) {
  const std::string def(kDef);  // section "RKT", key "Language"
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
      {"", def}};
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(ReadIniValueFromBytes(bytes, "RKT", "Language", kDef), expected) << bytes;
  EXPECT_EQ(ReadIniValueFromBytes("[]\nLanguage=x\n", "", "Language", kDef) +
                ReadIniValueFromBytes("[AZ@[]\nk=v\n", "az@[", "K", kDef) + ReadIniValueFromBytes("[az]\nk=v\n", "AZ", "k", kDef),
            "xvv");
  EXPECT_EQ(ReadIniValueFromBytes("[RKT]\n=x\n", "RKT", "", kDef), kDef) << "an empty key asks for nothing";
  EXPECT_EQ(ReadIniValueFromBytes("[S]\nk=" + std::string(5000, 'x'), "S", "k", kDef), std::string(4023, 'x'));
  EXPECT_EQ(ReadIniValueFromBytes("[S]\nk=" + std::string(4023, 'x'), "S", "k", kDef), std::string(4023, 'x'));
  // Characters, not bytes: "ä" takes two bytes in UTF-8 and one in the file.
  const std::string got = ReadIniValueFromBytes("[S]\nk=" + std::string(5000, '\xE4') + "\n", "S", "k", kDef);
  EXPECT_EQ(got.size(), 4023u * 2);
  EXPECT_EQ(got.substr(0, 2), "ä");
  test::TempDir dir;
  const std::string tst = test::WriteText(dir.Path("RKT_LANG.TST"), "[RKT]\nLanguage=Test");
  EXPECT_EQ(ReadIniValue(tst, "RKT", "Language", kDef) + ReadIniValue(tst, "RKT", "", kDef), "Test" + def);
  for (const std::string& path : {dir.Path("missing"), dir.Dir(), std::string()})
    EXPECT_EQ(ReadIniValue(path, "RKT", "Language", kDef), kDef) << path;
  // Only the first megabyte is read: a key behind it counts as missing.
  const std::string head = "[RKT]\nA=1\n" + std::string(kMaxIniFileBytes - 15, ';') + "\nB=2\n";
  const std::string big = test::WriteText(dir.Path("big"), head + "C=3\n");
  EXPECT_EQ(ReadIniValue(big, "RKT", "A", kDef) + ReadIniValue(big, "RKT", "B", kDef) + ReadIniValue(big, "RKT", "C", kDef),
            "12" + def);
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
  void TearDown() override { SetHelpViewer(nullptr); FindLanguages({}); }
  void UseLanguage(const std::string& body) {
    test::WriteText(m_dir.Path("RKT_LANG.TST"), "[RKT]\nLanguage=Test\nHelp=RKTTST.HLP\n" + body);
    FindLanguages({m_dir.Dir()});
    ASSERT_TRUE(SelectLanguageByName("Test"));
  }
  test::InstalledPresenter m_presenter;
  FakeHelp m_help;
  test::TempDir m_dir;
  QtMessagePresenter m_boxes;
  QTimer m_poll;
};
using Calls = std::vector<std::pair<std::string, int>>;

TEST_F(TextTest, DiscoveryInFolderOrderAndSelectionRules) {
  FindLanguages({m_dir.Dir(), m_dir.Path("does-not-exist")});
  EXPECT_EQ(LanguageCount(), 1);
  test::TempDir shared;
  const std::pair<std::string, std::string> files[] = {
      {m_dir.Path("RKT_LANG.ENG"), "Language=English\nHelp=RKTENG.HLP"}, {m_dir.Path("RKT_LANG.NOL"), "Help=x"},
      {m_dir.Path("RKT_LANG.EMP"), "Language="}, {m_dir.Path("rkt_lang.fra"), "Language=Francais\nHelp="},
      {m_dir.Path("RKT_LANG."), "Language=Dot"}, {m_dir.Path("RKT-LANG.X"), "Language=Other"},
      {shared.Path("RKT_LANG.ENG"), "Language=English (installed)"}, {shared.Path("RKT_LANG.ITA"), "Language=Italiano"}};
  for (const auto& [path, body] : files) test::WriteText(path, "[RKT]\n" + body + "\n");
#if defined(_WIN32)
  // Windows drops a name's trailing dot: that file is RKT_LANG, no language file.
  const std::string dot;
#else
  const std::string dot = "Dot=RKTGER.HLP;";
#endif
  FindLanguages({m_dir.Dir(), shared.Dir(), m_dir.Dir()});
  std::string names;
  for (const LanguageEntry& e : Languages()) names += e.name + "=" + e.helpFile + ";";
  EXPECT_EQ(names, "Deutsch=RKTGER.HLP;" + dot + "English=RKTENG.HLP;Francais=RKTGER.HLP;"
                   "English (installed)=RKTGER.HLP;Italiano=RKTGER.HLP;");
  const int count = dot.empty() ? 5 : 6;
  EXPECT_EQ(std::pair(LanguageCount(), CurrentLanguageIndex()), std::pair(count, 0));
  EXPECT_EQ(GetLanguageName(count - 1) + GetLanguageName(count) + GetLanguageName(-1), "Italiano");
  EXPECT_EQ(LanguageFolders("/opt/rkt410/bin"),
            (std::vector<std::filesystem::path>{"/opt/rkt410/bin", "/opt/rkt410/share/rkt410"}));
  test::TempDir own;  // selection rules
  test::WriteText(own.Path("RKT_LANG.A"), "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n[frmMain]\nmnFile=&File\nlblFileName=\n");
  const std::string second = test::WriteText(own.Path("RKT_LANG.B"), "[RKT]\nLanguage=English\n[frmMain]\nmnFile=Second\n");
  test::WriteText(own.Path("RKT_LANG.C"), "[RKT]\nLanguage=Deutsch (Datei)\n[frmMain]\nmnFile=from file\n");
  FindLanguages({own.Dir()});
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei") + CurrentHelpFile(), "&DateiRKTGER.HLP") << "German reads no file";
  EXPECT_FALSE(SelectLanguageByName("GER") || SelectLanguageByName("english")) << "exact comparison";
  EXPECT_EQ(CurrentLanguageIndex(), 0);
  EXPECT_TRUE(SelectLanguageByName("English") && CurrentLanguageIndex() == 1) << "the first of two equal names";
  EXPECT_EQ(CurrentLanguageName() + CurrentHelpFile(), "EnglishRKTENG.HLP");
  // A key present but empty gives "", a missing one the default.
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei") + "|" + GetText("frmMain", "lblFileName", "Datei:") + "|" +
                GetText("frmMain", "mnSave", "&Speichern"), "&File||&Speichern");
  // -1 only asks; an index outside the list changes nothing.
  EXPECT_EQ(std::vector<int>({SelectLanguage(-1), SelectLanguage(4), SelectLanguage(3), SelectLanguage(2)}),
            std::vector<int>({1, 1, 3, 2}));
  std::filesystem::remove(second);
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei") << "a file that disappeared gives the defaults";
  EXPECT_TRUE(SelectLanguageByName("Deutsch") && SelectLanguage(0) == 0);
  EXPECT_EQ(CurrentLanguageName(), "Deutsch");
}

TEST_F(TextTest, TextsLineBreaksLanguageOverridesAndHelp) {
  const std::pair<int, const char*> builtin[] = {
      {1, "Der Sensor kann nicht angesprochen werden!"}, {1005, "Fehler beim Lesen der Sensordaten! (1003)"},
      {31, "Der Sensortyp hat sich geändert.\nDie Daten sind auf diesen Typ nicht übertragbar.\n\n"
           "Wollen Sie die Daten des neuen Sensors einlesen?"},
      {1040, "Fehler beim Prüfen der Sensordaten! Der Sensor hat nicht alle Werte übernommen. (1040)"},
      {1003, "Programmfehler! Fehlernummer 1003"}, {0, "Programmfehler! Fehlernummer 0"},
      {-1, "Programmfehler! Fehlernummer-1"}};
  for (const auto& [number, shown] : builtin) EXPECT_EQ(MessageDisplayText(number), shown) << number;
  for (const int n : MessageNumbers()) EXPECT_NE(BuiltinMessageText(n), "") << n;
  EXPECT_EQ(std::pair(MessageNumbers().size(), HelpContexts().size()), std::pair(std::size_t{24}, std::size_t{11}));
  const std::pair<const char*, const char*> breaks[] = {{"A\\nB", "A\nB"}, {"A\\\\nB", "A\\\nB"}, {"A\\N", "A\\N"},
                                                        {"A\\", "A\\"},     {"\\n\\n", "\n\n"},   {"n\\", "n\\"}};
  for (const auto& [in, out] : breaks) EXPECT_EQ(ConvertLineBreaks(in), out) << in;
  ShowHelp(0);
  UseLanguage("[Errors]\n5=Five\n1=\n3=Line\\nbreak\nDefault=Program error no.\n[frmMessage]\nfrmMessage=\n");
  // 5 has no built-in text; an empty text counts as missing.
  const std::pair<int, const char*> loaded[] = {{5, "Five"}, {1, "Der Sensor kann nicht angesprochen werden!"},
      {3, "Line\nbreak"}, {6, "Program error no. 6"}, {-7, "Program error no.-7"}};
  for (const auto& [number, shown] : loaded) EXPECT_EQ(MessageDisplayText(number), shown) << number;
  EXPECT_EQ(BuildMessage(3).title, "") << "an empty title stays empty";
  ShowHelp(2001);
  EXPECT_EQ(m_help.calls, (Calls{{"RKTGER.HLP", 0}, {"RKTTST.HLP", 2001}})) << "the current language's help";
  SetHelpViewer(nullptr);
  ShowHelp(1);
  EXPECT_EQ(m_help.calls.size(), 2u);
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
  EXPECT_EQ(std::tuple(s[0].title, s[0].text, s[0].buttons, s[0].style, s[0].helpContext),
            std::tuple(std::string("RKT410 Meldung"), std::string("Der Sensor kann nicht angesprochen werden!"),
                       int{msg::kRetryCancel}, 5 + 32, std::optional<int>(2000)));
  EXPECT_EQ(std::tuple(s[1].style, s[1].helpContext, s[2].style, s[5].helpContext),
            std::tuple(32, std::optional<int>(), 4 + 32, std::optional<int>(7))) << "OK only, still with the question icon";
  EXPECT_EQ(s[2].title + "|" + s[2].text, "RKT 410 Parametrierung|Diese Funktion ändert die "
            "Empfindlichkeitseinstellungen des Sensors. Wollen Sie fortfahren?");
  EXPECT_EQ(s[3].text + "|" + s[4].text, "Fehler beim Speichern der Datei!\n/x.RKT: voll|Ungültige Datendatei!\n/y.RKT");
  UseLanguage("[Message]\nSensorWriteSens=Go on?\\nReally?\n[frmMessage]\nfrmMessage=Note\n");
  AskSensitivityWrite();
  EXPECT_EQ(s.at(6).text + "|" + BuildMessage(3).title, "Go on?\\nReally?|Note") << "no line-break conversion for this one";
  SetMessagePresenter(nullptr);
  const std::pair<int, int> safe[] = {{msg::kRetryCancel, msg::kCancel}, {msg::kYesNo, msg::kNo},
                                      {msg::kYesNoCancel, msg::kCancel}, {msg::kOkOnly, msg::kOk}, {2, msg::kOk}};
  for (const auto& [buttons, answer] : safe) EXPECT_EQ(ShowMessage(msg::kNoSensor, buttons), answer) << buttons;
}

// What is wrong with a shipped language file: bytes Windows-1252 does not
// define (or, in a file that starts with the byte-order mark, bytes that are
// no UTF-8), and keys the program never looks up (a misspelt key is silently
// ignored and leaves German behind).
std::vector<std::string> LanguageFileFaults(const std::string& bytes,
                                            const std::set<std::pair<std::string, std::string>>& known) {
  std::vector<std::string> faults;
  const bool utf8 = bytes.starts_with("\xEF\xBB\xBF");
  std::string section;
  std::size_t start = utf8 ? 3 : 0;
  for (int n = 1; start < bytes.size(); ++n) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    // Bytes that are no UTF-8 come back from the round trip as replacement characters.
    bool bad = utf8 && QString::fromUtf8(line).toStdString() != line;
    for (const unsigned char c : line) bad |= !utf8 && (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D);
    if (bad) faults.push_back("line " + std::to_string(n) + ": byte");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') section = line.substr(1, line.find(']') - 1);
    else if (const auto eq = line.find('='); eq != std::string::npos && !known.count({section, line.substr(0, eq)}))
      faults.push_back("[" + section + "] " + line.substr(0, eq));
  }
  return faults;
}

// What a translation must keep of the German text: its placeholders, line
// breaks, access key and message numbers. "" when it keeps them all.
std::string LostMarks(const std::string& german, const std::string& translated) {
  static const QRegularExpression kMarks(QStringLiteral("%\\d|\\\\n|&(?!&)|\\(\\d{4}\\)"));
  const auto marks = [](const std::string& text) {
    QStringList found;
    for (auto it = kMarks.globalMatch(QString::fromStdString(text).replace(QStringLiteral("&&"), QString())); it.hasNext();)
      found << it.next().captured();
    found.sort();
    return found.join(QLatin1Char(' ')).toStdString();
  };
  return marks(german) == marks(translated) ? std::string() : marks(german) + " became " + marks(translated);
}

// Every shipped translation, named after its extension: every key of the
// built-in German texts present and filled, nothing the program never reads,
// and the marks the program relies on kept. A key added to the German texts
// shows up here as missing, per language.
TEST(TextKeys, ShippedFilesHaveEveryKeyBuiltinTextsAndListItems) {
  std::set<std::pair<std::string, std::string>> known;
  for (const TextKey& k : AllTextKeys())
    EXPECT_TRUE(known.emplace(k.section, k.key).second) << "twice: " << k.section << " " << k.key;
  std::map<std::string, std::string> shipped;  // extension -> path
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(RKT_SOURCE_DIR) / "resources"))
    if (entry.path().stem() == "RKT_LANG") shipped[entry.path().extension().string().substr(1)] = entry.path().string();
  std::set<std::string> extensions;
  for (const auto& [ext, path] : shipped) extensions.insert(ext);
  EXPECT_EQ(extensions, (std::set<std::string>{"ENG", "FRA", "ITA", "ESP", "NLD", "POL"}));
  std::set<std::string> names, locales, helpFiles;
  for (const auto& [ext, file] : shipped) {
    std::string missing, lost;
    for (const TextKey& k : AllTextKeys()) {
      const std::string value = ReadIniValue(file, k.section, k.key, "\x01missing");
      if (value == "\x01missing" || value.empty()) missing += " [" + k.section + "] " + k.key;
      else if (k.section != "RKT")
        if (const std::string how = LostMarks(k.germanText, value); !how.empty())
          lost += "\n  [" + k.section + "] " + k.key + ": " + how;
    }
    EXPECT_EQ(missing, "") << ext << " lacks these keys";
    EXPECT_EQ(lost, "") << ext << " lost marks";
    EXPECT_EQ(LanguageFileFaults(test::ReadText(file), known), std::vector<std::string>{}) << ext;
    const std::string help = ReadIniValue(file, "RKT", "Help", "");
    for (const int context : HelpContexts()) {  // each topic its own page, built in
      const QUrl url = HelpPageUrl(help, context, {});
      EXPECT_TRUE(url.scheme() == "qrc" && url.path().endsWith(context == 0 ? "index.html" : QString::number(context) + ".html"))
          << ext << ": " << help << " " << context << " " << url.toString().toStdString();
    }
    names.insert(ReadIniValue(file, "RKT", "Language", ""));
    locales.insert(ReadIniValue(file, "RKT", "Locale", ""));
    helpFiles.insert(ReadIniValue(file, "RKT", "Help", ""));
  }
  EXPECT_TRUE(names.size() == shipped.size() && locales.size() == shipped.size() && helpFiles.size() == shipped.size())
      << "each language has its own name, locale and help";
  EXPECT_TRUE(names.count("English") && names.count("Français") && names.count("Polski"));
  using Faults = std::vector<std::string>;
  const std::tuple<const char*, std::string, Faults> scans[] = {
      {"clean", "; note\r\n[frmMain]\r\nmnFile=&File\r\n\r\n[RKT]\nLanguage=\xC4\n", {}},
      {"UTF-8 with its mark", "\xEF\xBB\xBF[RKT]\nLanguage=Polski \xC5\x82\n", {}},
      {"no UTF-8 behind the mark", "\xEF\xBB\xBF[RKT]\nLanguage=\xC4\n", {"line 2: byte"}},
      {"undefined byte", "[RKT]\nLanguage=x\x81\n", {"line 2: byte"}},
      {"misspelt key", "[frmMain]\nmnFiel=&File\n", {"[frmMain] mnFiel"}},
      {"key in the wrong section", "[frmOptions]\nmnFile=&File\n", {"[frmOptions] mnFile"}}};
  for (const auto& [context, bytes, faults] : scans) EXPECT_EQ(LanguageFileFaults(bytes, known), faults) << context;
  const std::pair<const char*, const char*> marks[] = {{"%1 von %2", "%2 of %1"}, {"a\\nb", "a\\nb"},
      {"&Datei", "Fi&le"}, {"x (1003)", "y (1003)"}, {"Tom && Jerry", "Tom and Jerry"}};
  for (const auto& [german, translated] : marks) EXPECT_EQ(LostMarks(german, translated), "") << german;
  const std::pair<const char*, const char*> lostMarks[] = {{"%1 von %2", "%1 of"}, {"a\\nb", "a b"},
      {"&Datei", "File"}, {"x (1003)", "y (1005)"}, {"&Datei", "&Fi&le"}};
  for (const auto& [german, translated] : lostMarks) EXPECT_NE(LostMarks(german, translated), "") << german;
  // List items are keyed by control and position; the switching frequencies have no keys.
  const std::tuple<const char*, const char*, std::string> texts[] = {{"frmMain", "cmbInput9", "D-Flipflop"},
      {"frmMain", "rdTimefunction22", "Wischerfunktion"}, {"frmMain", "cmbSchaltfrequenz0", ""},
      {"Errors", "1040", BuiltinMessageText(1040)}, {"Tooltips", "Tooltip10", "Sensor Zusatzbeschreibung"},
      {"frmRWState", "lblSensor5", "Defaultwerte werden ausgelesen."}, {"Nowhere", "mnFile", ""}};
  for (const auto& [section, key, text] : texts) EXPECT_EQ(BuiltinText(section, key), text) << key;
  EXPECT_EQ(Text("frmMain", "mnFile") + "|" + ListItemText(TextList::Input, 9) + "|" + ListItemText(TextList::Input, 10) +
                "|" + ListItemText(TextList::SwitchingFrequency, 0), "&Datei|D-Flipflop||1,5 kHz --> 0,3 ms");
  const auto lists = {TextList::Input, TextList::SingleOutput, TextList::Output, TextList::InputOutput,
                      TextList::KeyboardLock, TextList::Pulse, TextList::SwitchingFrequency, TextList::Hysteresis,
                      TextList::ProgramLock, TextList::OutputType, TextList::TimeFunction2};
  std::vector<std::size_t> sizes;
  for (const TextList list : lists) {
    sizes.push_back(BuiltinList(list).size());
    EXPECT_TRUE(BuiltinItem(list, -1).empty() && BuiltinItem(list, static_cast<int>(BuiltinList(list).size())).empty());
    EXPECT_EQ(BuiltinItem(list, 0), BuiltinList(list)[0]);
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{10, 2, 3, 5, 3, 3, 7, 3, 2, 3, 3}));
}

// The reasons a file or port fails with, as the model and the system give
// them, reach the user in the chosen language; unknown ones stay as they are.
TEST_F(TextTest, ReasonsOfFailuresFollowTheLanguage) {
  test::TempDir dir;
  test::WriteText(dir.Path("empty.RKT"), "");
  test::WriteText(dir.Path("short.RKT"), std::string(kFileHeaderCurrent) + "xx");
  test::WriteText(dir.Path("header.RKT"), std::string(200, 'x'));
  std::filesystem::create_directory(dir.Path("folder.RKT"));
  DataSet ds;
  std::vector<std::string> modelReasons;  // every one must have a language key
  for (const char* name : {"empty.RKT", "short.RKT", "header.RKT", "folder.RKT", "missing.RKT", "empty.RKT/x.RKT"})
    modelReasons.push_back(LoadParameterFileChecked(ds, dir.Path(name)).reason);
  modelReasons.push_back(LoadParameterFileChecked(ds, "").reason);
  for (const std::string& target : {dir.Dir(), dir.Path("missing/x.RKT"), std::string("/dev/null")})
    modelReasons.push_back(WriteFileAtomically(target, std::string("x")));
  for (const std::string& reason : modelReasons) {
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(ReasonText(reason), reason) << "no language key for \"" << reason << "\"";
  }
  const std::pair<std::string, const char*> german[] = {
      {"the file is too short", "die Datei ist zu kurz"},
      {"No such file or directory", "Datei oder Ordner nicht vorhanden"},
      {std::strerror(EROFS), "Das Dateisystem ist schreibgeschützt"},
      {std::strerror(ENOSPC), "Kein Platz mehr auf dem Datenträger"},
      {"Permission denied", "Keine Berechtigung"},
      {"the comment length 2000000 is beyond the limit", "die Länge der Zusatzbeschreibung (2000000) ist größer als erlaubt"},
      {"the comment length many is beyond the limit", "the comment length many is beyond the limit"},
      {"the file is too short!", "the file is too short!"},
      {"Some other system text", "Some other system text"}, {"", ""}};
  for (const auto& [reason, shown] : german) EXPECT_EQ(ReasonText(reason), shown) << reason;
  m_presenter.shown.clear();
  ShowFileMessage(msg::kInvalidFile, "/x.RKT", "the file is empty");
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  ASSERT_TRUE(SelectLanguageByName("English"));
  const std::pair<std::string, const char*> english[] = {
      {"the file is too short", "the file is too short"}, {std::strerror(EISDIR), "This is a folder"},
      {"Read-only file system", "The file system is read-only"},
      {"the comment is longer than 1048576 characters", "the description is longer than 1048576 characters"},
      {"Some other system text", "Some other system text"}};
  for (const auto& [reason, shown] : english) EXPECT_EQ(ReasonText(reason), shown) << reason;
  ShowFileMessage(msg::kSaveFailed, "/y.RKT", std::strerror(ENOTDIR));
  EXPECT_EQ(m_presenter.Texts(), (std::vector<std::string>{"Ungültige Datendatei!\n/x.RKT: die Datei ist leer",
                                                           "The file could not be saved!\n/y.RKT: Part of the path is not a folder"}));
}

QPushButton* Button(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return qobject_cast<QPushButton*>(b);
  return nullptr;
}

// Runs step on the message box once it shows; the poll timer belongs to the test, so nothing outlives it.
void WhenBoxShown(QTimer& poll, std::function<void(QMessageBox*)> step) {
  QObject::disconnect(&poll, nullptr, nullptr, nullptr);
  QObject::connect(&poll, &QTimer::timeout, [&poll, step] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    step(box);
  });
  poll.start(1);
}

// The Help handler once read its topic from a variable whose scope had ended before the box ran.
TEST_F(TextTest, QtBoxHelpButtonSetsAndAnswers) {
  bool stillOpen = false;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenBoxShown(m_poll, [&](QMessageBox* box) {
    text = box->text();
    icon = box->icon();
    ASSERT_NE(Button(box, "&Hilfe"), nullptr);
    Button(box, "&Hilfe")->click();
    box->activateWindow();  // shortcuts reach only the active window
    EXPECT_TRUE(QTest::qWaitForWindowActive(box));
    QTest::keyClick(box, Qt::Key_F1);
    QTimer::singleShot(0, box, [&, box] {
      stillOpen = box->isVisible();
      Button(box, "&Wiederholen")->click();
    });
  });
  EXPECT_EQ(m_boxes.Present(BuildMessage(msg::kNoSensor, msg::kRetryCancel, help::kNoSensor)), msg::kRetry);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(m_help.calls, (Calls{{"RKTGER.HLP", 2000}, {"RKTGER.HLP", 2000}}));
  EXPECT_EQ(std::pair(text, icon), std::pair(QString("Der Sensor kann nicht angesprochen werden!"), QMessageBox::Question));
  // "" presses Escape: the safe answer.
  const struct { int buttons; const char* press; int answer, count; std::optional<int> help; } cases[] = {
      {msg::kOkOnly, "OK", msg::kOk, 1, {}},           {msg::kRetryCancel, "Abbrechen", msg::kCancel, 2, {}},
      {msg::kYesNo, "&Ja", msg::kYes, 2, {}},          {msg::kYesNo, "&Nein", msg::kNo, 2, {}},
      {msg::kYesNoCancel, "&Nein", msg::kNo, 3, {}},   {msg::kYesNoCancel, "Abbrechen", msg::kCancel, 3, {}},
      {msg::kYesNoCancel, "&Ja", msg::kYes, 4, 500},   {msg::kRetryCancel, "", msg::kCancel, 3, 500},
      {msg::kYesNo, "", msg::kNo, 2, {}},              {msg::kYesNoCancel, "", msg::kCancel, 3, {}},
      {msg::kOkOnly, "", msg::kOk, 2, 500},             {msg::kRetryCancel, "", msg::kCancel, 2, {}}};
  for (const auto& c : cases) {
    int count = -1;
    QString first;
    WhenBoxShown(m_poll, [&](QMessageBox* box) {
      count = static_cast<int>(box->buttons().size());
      first = box->defaultButton() ? box->defaultButton()->text() : "";
      if (*c.press) Button(box, c.press)->click();
      else QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(m_boxes.Present(BuildMessage(msg::kCommunicationOk, c.buttons, c.help)), c.answer) << c.buttons << c.press;
    EXPECT_EQ(count, c.count) << c.buttons;
    EXPECT_TRUE(first == "OK" || first == "&Ja" || first == "&Wiederholen") << first.toStdString();
  }
}

TEST(HelpAndPlacement, PageLookupTheWindowAndCentringOnTheScreen) {
  for (const char* helpFile : {"RKTGER.HLP", "RKTENG.HLP", "rkteng.hlp"}) {
    for (const int context : HelpContexts()) {
      const QUrl url = HelpPageUrl(helpFile, context, {});
      EXPECT_EQ(url.scheme(), "qrc") << helpFile << " " << context;
      EXPECT_TRUE(url.path().endsWith(context == 0 ? "index.html" : QString::number(context) + ".html")) << context;
    }
  }
  test::TempDir dir;
  test::WriteText(dir.Path("help/rktfra/index.html"), "<html><title>Aide</title></html>");
  test::WriteText(dir.Path("help/rktger/2000.html"), "<html><title>Eigene Seite</title></html>");
  const std::vector<std::filesystem::path> folders = {dir.Path("nothing"), dir.Path("help")};
  EXPECT_EQ(HelpPageUrl("RKTFRA.HLP", 2000, folders),
            QUrl::fromLocalFile(QString::fromStdString(dir.Path("help/rktfra/index.html"))))
      << "a context without a page of its own opens the contents";
  EXPECT_EQ(HelpPageUrl("RKTGER.HLP", 2000, folders).scheme(), "file") << "pages on disk come first";
  EXPECT_EQ(HelpPageUrl("RKTGER.HLP", 2001, folders).scheme(), "qrc");
  EXPECT_EQ(HelpPageUrl("RKTGER.HLP", 4711, {}).path(), "/help/rktger/index.html");
  EXPECT_TRUE(HelpPageUrl("NOSUCH.HLP", 0, folders).isEmpty());
  EXPECT_TRUE(HelpPageUrl("", 0, folders).isEmpty());
  // Centring over the main window is checked with the dialogs; here: kept on the screen, or over it alone.
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget main;
  main.setGeometry(area.left() + 100, area.top() + 100, 400, 300);
  main.show();
  SetMainWindow(&main);
  QWidget large;  // centred over the main window it would start left of the screen
  large.resize(area.width() - 10, 200);
  CenterOnMain(large);
  EXPECT_GE(large.x(), area.left());
  EXPECT_LE(large.x() + large.width(), area.right() + 1);
  SetMainWindow(nullptr);
  EXPECT_EQ(MainWindow(), nullptr);
  QWidget alone;  // without a main window: over the screen
  alone.resize(100, 50);
  CenterOnMain(alone);
  EXPECT_NEAR(alone.geometry().center().x(), area.center().x(), 1);
  EXPECT_NEAR(alone.geometry().center().y(), area.center().y(), 1);
}

}  // namespace
}  // namespace rkt
