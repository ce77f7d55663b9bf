#include "support/recording_presenter.h"
#include "text/messages.h"

#include <gtest/gtest.h>

#include <vector>

#include "temp_dir.h"
#include "text/language.h"

namespace rkt {
namespace {

using FakePresenter = test::RecordingPresenter;

class FakeHelp : public HelpViewer {
 public:
  void ShowTopic(const std::string& file, int context) override { calls.emplace_back(file, context); }
  std::vector<std::pair<std::string, int>> calls;
};

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessagePresenter(&m_presenter);
    SetHelpViewer(&m_help);
  }
  void TearDown() override {
    SetMessagePresenter(nullptr);
    SetHelpViewer(nullptr);
    FindLanguages({});
  }
  // A language file with the given body made current.
  void UseLanguage(const std::string& body) {
    m_dir.Write("RKT_LANG.TST", "[RKT]\nLanguage=Test\nHelp=RKTTST.HLP\n" + body);
    FindLanguages({m_dir.Path()});
    ASSERT_TRUE(SelectLanguageByName("Test"));
  }
  FakePresenter m_presenter;
  FakeHelp m_help;
  TempDir m_dir;
};

TEST_F(MessagesTest, BuiltinTexts) {
  const struct {
    int number;
    const char* shown;
  } cases[] = {
      {1, "Der Sensor kann nicht angesprochen werden!"},
      {3, "Kommunikation ok!"},
      {31, "Der Sensortyp hat sich geändert.\nDie Daten sind auf diesen Typ nicht übertragbar.\n\n"
           "Wollen Sie die Daten des neuen Sensors einlesen?"},
      {33, "Achtung! Die Parametriersperre ist aktiviert!\nSie läßt sich nur durch einen Sensor-Reset wieder "
           "ausschalten."},
      {1005, "Fehler beim Lesen der Sensordaten! (1003)"},
      {1003, "Programmfehler! Fehlernummer 1003"},
      {5, "Programmfehler! Fehlernummer 5"},
      {0, "Programmfehler! Fehlernummer 0"},
      {-1, "Programmfehler! Fehlernummer-1"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageDisplayText(c.number), c.shown) << "message " << c.number;
  for (const int n : MessageNumbers()) EXPECT_FALSE(BuiltinMessageText(n).empty()) << "message " << n;
}

TEST_F(MessagesTest, LineBreakRule) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"A\\nB", "A\nB"},
      {"A\\\\nB", "A\\\nB"},  // the first backslash stays, the pair behind it breaks
      {"A\\N", "A\\N"},       // case-sensitive
      {"A\\", "A\\"},
      {"\\n\\n", "\n\n"},
      {"no break", "no break"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertLineBreaks(c.in), c.out) << c.in;
}

TEST_F(MessagesTest, LanguageOverrides) {
  UseLanguage(
      "[Errors]\n5=Five\n1=\n3=Line\\nbreak\nDefault=Program error no.\n"
      "[frmMessage]\nfrmMessage=Note\n");
  EXPECT_EQ(MessageDisplayText(5), "Five") << "a text for a number without a built-in one";
  EXPECT_EQ(MessageDisplayText(1), "Der Sensor kann nicht angesprochen werden!") << "empty counts as missing";
  EXPECT_EQ(MessageDisplayText(3), "Line\nbreak");
  EXPECT_EQ(MessageDisplayText(6), "Program error no. 6");
  EXPECT_EQ(MessageDisplayText(-7), "Program error no.-7");
  EXPECT_EQ(BuildMessage(3).title, "Note");
}

TEST_F(MessagesTest, EmptyTitleStaysEmpty) {
  UseLanguage("[frmMessage]\nfrmMessage=\n");
  EXPECT_EQ(BuildMessage(3).title, "");
}

TEST_F(MessagesTest, ShowMessagePassesTheBoxAndReturnsTheAnswer) {
  m_presenter.answer = msg::kRetry;
  EXPECT_EQ(ShowMessage(msg::kNoSensor, msg::kRetryCancel, help::kNoSensor), msg::kRetry);
  ASSERT_EQ(m_presenter.shown.size(), 1u);
  const MessageBoxRequest& r = m_presenter.shown[0];
  EXPECT_EQ(r.title, "RKT410 Meldung");
  EXPECT_EQ(r.text, "Der Sensor kann nicht angesprochen werden!");
  EXPECT_EQ(r.buttons, msg::kRetryCancel);
  EXPECT_EQ(r.style, 5 + 32);
  EXPECT_EQ(r.helpContext, 2000);

  ShowMessage(msg::kCommunicationOk);
  EXPECT_EQ(m_presenter.shown[1].style, 32) << "OK only, still with the question icon";
  EXPECT_FALSE(m_presenter.shown[1].helpContext.has_value());
}

TEST_F(MessagesTest, SensitivityQuestion) {
  m_presenter.answer = msg::kNo;
  EXPECT_EQ(AskSensitivityWrite(), msg::kNo);
  const MessageBoxRequest& r = m_presenter.shown.at(0);
  EXPECT_EQ(r.text, "Diese Funktion ändert die Empfindlichkeitseinstellungen des Sensors. Wollen Sie fortfahren?");
  EXPECT_EQ(r.style, 4 + 32);
  EXPECT_EQ(r.title, "RKT 410 Parametrierung");
  EXPECT_FALSE(r.helpContext.has_value());

  UseLanguage("[Message]\nSensorWriteSens=Go on?\\nReally?\n");
  AskSensitivityWrite();
  EXPECT_EQ(m_presenter.shown.at(1).text, "Go on?\\nReally?") << "no line-break conversion for this one";
}

TEST_F(MessagesTest, WithoutPresenterTheSafeAnswerComes) {
  SetMessagePresenter(nullptr);
  EXPECT_EQ(ShowMessage(msg::kNoSensor, msg::kRetryCancel), msg::kCancel);
  EXPECT_EQ(ShowMessage(msg::kTypeChanged, msg::kYesNo), msg::kNo);
  EXPECT_EQ(ShowMessage(msg::kCommunicationOk), msg::kOk);
}

TEST_F(MessagesTest, ShowHelpOpensTheCurrentLanguagesHelp) {
  ShowHelp(0);
  UseLanguage("");
  ShowHelp(2001);
  ASSERT_EQ(m_help.calls.size(), 2u);
  EXPECT_EQ(m_help.calls[0], (std::pair<std::string, int>{"RKTGER.HLP", 0}));
  EXPECT_EQ(m_help.calls[1], (std::pair<std::string, int>{"RKTTST.HLP", 2001}));
}

}  // namespace
}  // namespace rkt
