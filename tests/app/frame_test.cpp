#include "app/frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "app/settings_store.h"
#include "fake_link.h"
#include "text/language.h"
#include "support/recording_presenter.h"
#include "text/messages.h"

namespace rkt {
namespace {

using FakePresenter = test::RecordingPresenter;

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessagePresenter(&m_presenter);
    // The program folder holds the English language file, as shipped.
    ASSERT_TRUE(QFile::copy(QStringLiteral(RKT_SOURCE_DIR "/resources/RKT_LANG.ENG"), m_programDir.filePath("RKT_LANG.ENG")));
  }
  void TearDown() override {
    SetMessagePresenter(nullptr);
    FindLanguages({});
  }
  QString Ini() const { return m_settingsDir.filePath("RKT410.ini"); }
  std::filesystem::path ProgramDir() const { return m_programDir.path().toStdString(); }
  // Runs the main loop until the main window has been closed.
  void CloseAndRun(Frame& frame) {
    QTimer::singleShot(0, [&frame] { frame.MainWindow()->close(); });
    frame.Run();
  }
  QString MenuTitle(Frame& frame, const char* name) {
    return frame.MainWindow()->menuBar()->findChild<QMenu*>(name)->title();
  }

  QTemporaryDir m_settingsDir;
  QTemporaryDir m_programDir;
  FakePresenter m_presenter;
};

TEST_F(FrameTest, StartUpRunsItsStepsInOrder) {
  SettingsStore store(Ini());
  store.SetString(kSettingsSection, "SensDetection", "Auto");
  store.SetString(kSettingsSection, "Port", "/dev/ttyS3");
  store.SetString(kSettingsSection, "ReadTimeout", "300");
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  bool windowShownAtOpen = true;
  bool recentEmptyAtOpen = false;
  bool windowShownAtDetection = false;
  link.onOpenPort = [&] {
    windowShownAtOpen = frame.MainWindow()->isVisible();
    recentEmptyAtOpen = frame.Recent().Count() == 0;
  };
  store.SetString(kRecentSection, "FILE1", "/data/a.RKT");
  frame.Start(false);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"InitPorts", "InitDetection", "SetDetection 1", "OpenPort /dev/ttyS3"}));
  EXPECT_EQ(link.settings.readTimeoutMs, 300);
  EXPECT_FALSE(windowShownAtOpen) << "a port message appears before the main window";
  EXPECT_TRUE(recentEmptyAtOpen) << "the recent files come after the port";
  EXPECT_EQ(frame.Recent().Entries(), std::vector<std::string>{"/data/a.RKT"});
  EXPECT_TRUE(frame.MainWindow()->isVisible());
  EXPECT_TRUE(frame.Request().Pending()) << "with automatic detection the first run comes at once";

  // The first detection runs from the loop, with the window up.
  link.onDetect = [&] {
    windowShownAtDetection = frame.MainWindow()->isVisible();
    frame.MainWindow()->close();
  };
  frame.Run();
  EXPECT_TRUE(windowShownAtDetection);
  EXPECT_EQ(link.calls.back(), "ClosePort");
}

TEST(EventDelivery, AnExceptionBecomesTheProgramErrorMessage) {
  test::InstalledPresenter messages;
  EXPECT_TRUE(DeliverSafely([] { return true; }));
  EXPECT_FALSE(DeliverSafely([]() -> bool { throw std::bad_alloc(); }));
  EXPECT_FALSE(DeliverSafely([]() -> bool { throw std::runtime_error("kaputt"); }));
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Programmfehler! Fehlernummer 7",
                                                         "Programmfehler! Fehlernummer 51"}));
}

TEST_F(FrameTest, WithoutAutomaticDetectionNothingIsRequested) {
  SettingsStore store(Ini());
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  frame.Start(false);
  EXPECT_FALSE(frame.Request().Pending());
  CloseAndRun(frame);
  EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "DetectSensor"), 0);
}

TEST_F(FrameTest, ProgramExitStoresTheOptionsAndTheLastFile) {
  {
    SettingsStore store(Ini());
    store.SetString(kRecentSection, "FILE1", "/data/older.RKT");
    FakeLink link;
    Frame frame(store, link, ProgramDir());
    frame.Start(false);
    frame.Data().SetValue(ValueId::FileName, std::string("/data/current.RKT"));
    frame.View().tooltips = false;
    link.mode = 1;
    CloseAndRun(frame);
    EXPECT_TRUE(frame.Ended());
    EXPECT_EQ(link.calls.back(), "ClosePort");
  }
  SettingsStore store(Ini());
  EXPECT_EQ(store.ReadRecentFiles(), (std::vector<std::string>{"/data/current.RKT", "/data/older.RKT"}));
  EXPECT_EQ(store.GetString(kSettingsSection, "Tooltips", ""), "NO");
  EXPECT_EQ(store.GetString(kSettingsSection, "SensDetection", ""), "Auto");
  EXPECT_EQ(store.GetString(kSettingsSection, "Port", ""), "COM1");
  EXPECT_EQ(store.GetString(kSettingsSection, "Language", ""), "Deutsch");
}

// Answers the next unsaved-changes question: Cancel keeps the changes.
void AnswerChangedQuestion(bool cancel, bool* progexitShown) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [=] {
    auto* dialog = qobject_cast<frmChanged*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer->stop();
    timer->deleteLater();
    *progexitShown = !dialog->lblText[1]->isHidden();
    (cancel ? dialog->btCancel : dialog->btYes)->click();
  });
  timer->start();
}

TEST_F(FrameTest, CancelledCloseKeepsTheProgramAndTheData) {
  SettingsStore store(Ini());
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  frame.Start(false);
  frame.Data().SetValue(ValueId::Changed, true);
  bool askedAboutExit = false;
  AnswerChangedQuestion(true, &askedAboutExit);
  EXPECT_FALSE(frame.MainWindow()->close());
  EXPECT_TRUE(askedAboutExit) << "the question names the end of the program";
  EXPECT_FALSE(frame.Ended());
  EXPECT_TRUE(frame.MainWindow()->isVisible());
  EXPECT_TRUE(frame.Data().IsChanged());
  EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClosePort"), 0);

  // QCoreApplication::quit() (the platform's or a session's end) follows the
  // same rule: kept changes keep the program, Yes ends it.
  bool keptAfterCancel = false;
  QObject scope;  // the timers go with the test
  QTimer::singleShot(0, &scope, [&] {
    AnswerChangedQuestion(true, &askedAboutExit);
    QCoreApplication::quit();
    keptAfterCancel = !frame.Ended() && frame.MainWindow()->isVisible();
    AnswerChangedQuestion(false, &askedAboutExit);
    QCoreApplication::quit();
  });
  QTimer::singleShot(20000, &scope, [&] { frame.Loop().Quit(9); });
  EXPECT_EQ(frame.Run(), 0) << "quit() was ignored";
  EXPECT_TRUE(keptAfterCancel);
  EXPECT_TRUE(frame.Ended());
  EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClosePort"), 1);
}

TEST_F(FrameTest, StartsGermanAndKeepsEnglishAcrossARestart) {
  {
    SettingsStore store(Ini());
    FakeLink link;
    Frame frame(store, link, ProgramDir());
    frame.Start(false);
    EXPECT_EQ(MenuTitle(frame, "mnFile"), "&Datei");
    EXPECT_EQ(frame.MainWindow()->TextLoads(), 0) << "German is never applied over the built-in texts";
    ASSERT_TRUE(SelectLanguageByName("English"));
    frame.MainWindow()->LoadMainTexts();
    EXPECT_EQ(MenuTitle(frame, "mnFile"), "&File");
    EXPECT_TRUE(frame.MainWindow()->windowTitle().startsWith("RKT 410 Parameter Setup 1."));
    frame.MainWindow()->LoadMainTexts();
    EXPECT_EQ(frame.MainWindow()->TextLoads(), 1) << "the same language again costs no lookups";
    CloseAndRun(frame);
  }
  SettingsStore store(Ini());
  EXPECT_EQ(store.GetString(kSettingsSection, "Language", ""), "English");
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  frame.Start(false);
  EXPECT_EQ(MenuTitle(frame, "mnFile"), "&File");
  SelectLanguage(0);
  frame.MainWindow()->LoadMainTexts();
  EXPECT_EQ(MenuTitle(frame, "mnFile"), "&Datei") << "back to German restores the built-in texts";
  CloseAndRun(frame);
}

}  // namespace
}  // namespace rkt
