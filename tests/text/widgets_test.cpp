#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <functional>

#include "test_data.h"
#include "text/help_window.h"
#include "text/language.h"
#include "text/message_box.h"
#include "text/window_placement.h"

namespace rkt {
namespace {

class FakeHelp : public HelpViewer {
 public:
  void ShowTopic(const std::string&, int context) override { contexts.push_back(context); }
  std::vector<int> contexts;
};

QPushButton* Button(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return qobject_cast<QPushButton*>(b);
  return nullptr;
}

// Runs step against the box once it is up.
// Runs step on the message box once it shows. The poll timer belongs to the
// test, so nothing outlives it.
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

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHelpViewer(&m_help); }
  void TearDown() override { SetHelpViewer(nullptr); }
  FakeHelp m_help;
  QtMessagePresenter m_presenter;
  QTimer m_poll;
};

// The Help handler once read its topic from a variable whose scope had ended
// before the box ran; the sanitized suite reports that read at once.
TEST_F(MessageBoxTest, HelpOpensTheTopicAndTheBoxStaysOpen) {
  bool stillOpen = false;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenBoxShown(m_poll, [&](QMessageBox* box) {
    text = box->text();
    icon = box->icon();
    ASSERT_NE(Button(box, "&Hilfe"), nullptr);
    Button(box, "&Hilfe")->click();
    Button(box, "&Hilfe")->click();
    QTimer::singleShot(0, box, [&, box] {
      stillOpen = box->isVisible();
      Button(box, "&Wiederholen")->click();
    });
  });
  EXPECT_EQ(m_presenter.Present(BuildMessage(msg::kNoSensor, msg::kRetryCancel, help::kNoSensor)), msg::kRetry);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(m_help.contexts, (std::vector<int>{2000, 2000}));
  EXPECT_EQ(text, "Der Sensor kann nicht angesprochen werden!");
  EXPECT_EQ(icon, QMessageBox::Question);
}

TEST_F(MessageBoxTest, F1OpensTheTopicToo) {
  bool stillOpen = false;
  WhenBoxShown(m_poll, [&](QMessageBox* box) {
    box->activateWindow();  // shortcuts reach only the active window
    EXPECT_TRUE(QTest::qWaitForWindowActive(box));
    QTest::keyClick(box, Qt::Key_F1);
    stillOpen = box->isVisible();
    Button(box, "OK")->click();
  });
  EXPECT_EQ(m_presenter.Present(BuildMessage(msg::kProgramLockWarning, msg::kOkOnly, help::kProgramLock)), msg::kOk);
  EXPECT_EQ(m_help.contexts, std::vector<int>{1010});
  EXPECT_TRUE(stillOpen);
}

// "" presses Escape: the safe answer.
TEST_F(MessageBoxTest, ButtonSetsAndAnswers) {
  const struct {
    int buttons;
    const char* press;
    int answer, count;
    std::optional<int> help;
  } cases[] = {
      {msg::kOkOnly, "OK", msg::kOk, 1, {}},           {msg::kRetryCancel, "Abbrechen", msg::kCancel, 2, {}},
      {msg::kYesNo, "&Ja", msg::kYes, 2, {}},          {msg::kYesNo, "&Nein", msg::kNo, 2, {}},
      {msg::kYesNoCancel, "&Nein", msg::kNo, 3, {}},   {msg::kYesNoCancel, "Abbrechen", msg::kCancel, 3, {}},
      {msg::kYesNoCancel, "&Ja", msg::kYes, 4, 500},   {msg::kRetryCancel, "", msg::kCancel, 3, 500},
      {msg::kYesNo, "", msg::kNo, 2, {}},              {msg::kYesNoCancel, "", msg::kCancel, 3, {}},
      {msg::kOkOnly, "", msg::kOk, 2, 500},             {msg::kRetryCancel, "", msg::kCancel, 2, {}},
  };
  for (const auto& c : cases) {
    int count = -1;
    QString first;
    WhenBoxShown(m_poll, [&](QMessageBox* box) {
      count = static_cast<int>(box->buttons().size());
      first = box->defaultButton() ? box->defaultButton()->text() : "";
      if (*c.press) Button(box, c.press)->click();
      else QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(m_presenter.Present(BuildMessage(msg::kCommunicationOk, c.buttons, c.help)), c.answer) << c.buttons << c.press;
    EXPECT_EQ(count, c.count) << c.buttons;
    EXPECT_TRUE(first == "OK" || first == "&Ja" || first == "&Wiederholen") << first.toStdString();
  }
}

TEST(HelpPages, LookupRules) {
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
}

TEST(HelpWindow, ShowsTheTopicOfTheCurrentLanguage) {
  QtHelpViewer viewer({});
  SetHelpViewer(&viewer);
  ShowHelp(2001);
  ASSERT_NE(viewer.Window(), nullptr);
  EXPECT_TRUE(viewer.Window()->isVisible());
  EXPECT_EQ(viewer.Window()->Browser()->documentTitle(), "Die Schnittstelle lässt sich nicht öffnen");
  test::TempDir dir;
  test::WriteText(dir.Path("RKT_LANG.ENG"), "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n");
  FindLanguages({dir.Dir()});
  SelectLanguage(1);
  ShowHelp(2001);
  EXPECT_EQ(viewer.Window()->Browser()->documentTitle(), "The serial port cannot be opened");
  ShowHelp(0);
  EXPECT_EQ(viewer.Window()->Browser()->documentTitle(), "RKT 410 Parameter Setup – Help");
  viewer.ShowTopic("MISSING.HLP", 0);
  EXPECT_TRUE(viewer.Window()->Browser()->toPlainText().contains("MISSING.HLP"));
  SetHelpViewer(nullptr);
  FindLanguages({});
}

TEST(CenterOnMain, CentresOverTheMainWindowAndStaysOnTheScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget main;
  main.setGeometry(area.left() + 100, area.top() + 100, 400, 300);
  main.show();
  SetMainWindow(&main);

  QWidget small;
  small.resize(100, 50);
  CenterOnMain(small);
  small.show();
  // Centred with its frame, which a window gets only once it is shown.
  EXPECT_NEAR(small.frameGeometry().center().x(), main.frameGeometry().center().x(), 1);
  EXPECT_NEAR(small.frameGeometry().center().y(), main.frameGeometry().center().y(), 1);

  // Centred over the main window this one would start left of the screen.
  QWidget large;
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
