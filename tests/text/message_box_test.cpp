#include "text/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>


namespace rkt {
namespace {

class FakeHelp : public HelpViewer {
 public:
  void ShowTopic(const std::string&, int context) override { contexts.push_back(context); }
  std::vector<int> contexts;
};

QPushButton* ButtonWithText(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return qobject_cast<QPushButton*>(b);
  return nullptr;
}

// Runs step against the box once it is up; steps that need the box to go on
// living schedule the next step themselves.
void WhenBoxShown(std::function<void(QMessageBox*)> step) {
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [step, poll] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box != nullptr && box->isVisible()) {
      step(box);
    } else {
      QTimer::singleShot(1, *poll);
    }
  };
  QTimer::singleShot(0, *poll);
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHelpViewer(&m_help);
  }
  void TearDown() override { SetHelpViewer(nullptr); }
  FakeHelp m_help;
  QtMessagePresenter m_presenter;
};

TEST_F(MessageBoxTest, HelpOpensTheTopicAndTheBoxStaysOpen) {
  bool stillOpenAfterHelp = false;
  int closedBeforeAnswer = 0;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenBoxShown([&](QMessageBox* box) {
    text = box->text();
    icon = box->icon();
    QObject::connect(box, &QDialog::finished, box, [&] { ++closedBeforeAnswer; });
    ASSERT_NE(ButtonWithText(box, "&Hilfe"), nullptr);
    ButtonWithText(box, "&Hilfe")->click();
    QTimer::singleShot(0, box, [&, box] {
      stillOpenAfterHelp = box->isVisible() && closedBeforeAnswer == 0;
      ButtonWithText(box, "&Wiederholen")->click();
    });
  });
  const int answer = m_presenter.Present(BuildMessage(msg::kNoSensor, msg::kRetryCancel, help::kNoSensor));
  EXPECT_EQ(answer, msg::kRetry);
  EXPECT_TRUE(stillOpenAfterHelp);
  EXPECT_EQ(m_help.contexts, std::vector<int>{2000});
  EXPECT_EQ(text, "Der Sensor kann nicht angesprochen werden!");
  EXPECT_EQ(icon, QMessageBox::Question);
}

// The Help handler once read its topic from a variable whose scope had
// ended before the box ran; the sanitized suite reports that read at once.
TEST_F(MessageBoxTest, HelpTopicOutlivesTheSetUpOfTheBox) {
  WhenBoxShown([&](QMessageBox* box) {
    QPushButton* help = ButtonWithText(box, "&Hilfe");
    ASSERT_NE(help, nullptr);
    help->click();
    help->click();
    QTimer::singleShot(0, box, [box] {
      if (QPushButton* cancel = ButtonWithText(box, "Abbrechen")) cancel->click();
      else box->done(0);
    });
  });
  const int answer = m_presenter.Present(BuildMessage(1001, msg::kRetryCancel, help::kSensorError));
  EXPECT_EQ(answer, msg::kCancel);
  EXPECT_EQ(m_help.contexts, (std::vector<int>{help::kSensorError, help::kSensorError}));
}

TEST_F(MessageBoxTest, F1OpensTheTopicToo) {
  bool stillOpen = false;
  WhenBoxShown([&](QMessageBox* box) {
    // Shortcuts reach only the active window.
    box->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(box));
    QTest::keyClick(box, Qt::Key_F1);
    stillOpen = box->isVisible();
    ButtonWithText(box, "OK")->click();
  });
  EXPECT_EQ(m_presenter.Present(BuildMessage(msg::kProgramLockWarning, msg::kOkOnly, help::kProgramLock)), msg::kOk);
  EXPECT_EQ(m_help.contexts, std::vector<int>{1010});
  EXPECT_TRUE(stillOpen);
}

TEST_F(MessageBoxTest, ButtonSetsAndAnswers) {
  const struct {
    int buttons;
    const char* press;
    int answer;
    int buttonCount;
  } cases[] = {
      {msg::kOkOnly, "OK", msg::kOk, 1},
      {msg::kRetryCancel, "Abbrechen", msg::kCancel, 2},
      {msg::kYesNo, "&Ja", msg::kYes, 2},
      {msg::kYesNo, "&Nein", msg::kNo, 2},
      {msg::kYesNoCancel, "&Nein", msg::kNo, 3},
      {msg::kYesNoCancel, "Abbrechen", msg::kCancel, 3},
  };
  for (const auto& c : cases) {
    int count = -1;
    WhenBoxShown([&](QMessageBox* box) {
      count = static_cast<int>(box->buttons().size());
      if (QPushButton* b = ButtonWithText(box, c.press)) b->click();
      else box->done(0);
    });
    EXPECT_EQ(m_presenter.Present(BuildMessage(msg::kCommunicationOk, c.buttons)), c.answer)
        << c.buttons << " " << c.press;
    EXPECT_EQ(count, c.buttonCount) << c.buttons;
  }
}

TEST_F(MessageBoxTest, EscapeGivesTheSafeAnswer) {
  for (const int buttons : {msg::kRetryCancel, msg::kYesNo, msg::kOkOnly}) {
    WhenBoxShown([](QMessageBox* box) { box->reject(); });
    EXPECT_EQ(m_presenter.Present(BuildMessage(msg::kCommunicationOk, buttons, help::kSensorError)), SafeAnswer(buttons))
        << buttons;
  }
}

}  // namespace
}  // namespace rkt
