#include "text/messages.h"

#include <gtest/gtest.h>

#include "support/recording_presenter.h"
#include "temp_dir.h"
#include "text/language.h"

namespace rkt {
namespace {

class FakeHelp : public HelpViewer {
 public:
  void ShowTopic(const std::string& file, int context) override { calls.emplace_back(file, context); }
  std::vector<std::pair<std::string, int>> calls;
};

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHelpViewer(&m_help); }
  void TearDown() override {
    SetHelpViewer(nullptr);
    FindLanguages({});
  }
  void UseLanguage(const std::string& body) {
    m_dir.Write("RKT_LANG.TST", "[RKT]\nLanguage=Test\nHelp=RKTTST.HLP\n" + body);
    FindLanguages({m_dir.Path()});
    ASSERT_TRUE(SelectLanguageByName("Test"));
  }
  test::InstalledPresenter m_presenter;
  FakeHelp m_help;
  TempDir m_dir;
};

TEST_F(MessagesTest, TextsLineBreaksAndLanguageOverrides) {
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

TEST_F(MessagesTest, BoxesPassThePresenterAndReturnItsAnswer) {
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

TEST_F(MessagesTest, ShowHelpOpensTheCurrentLanguagesHelp) {
  ShowHelp(0);
  UseLanguage("");
  ShowHelp(2001);
  EXPECT_EQ(m_help.calls, (std::vector<std::pair<std::string, int>>{{"RKTGER.HLP", 0}, {"RKTTST.HLP", 2001}}));
  SetHelpViewer(nullptr);
  ShowHelp(1);
  EXPECT_EQ(m_help.calls.size(), 2u);
}

}  // namespace
}  // namespace rkt
