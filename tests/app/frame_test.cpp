#include "app/frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "app/settings_store.h"
#include "fake_link.h"
#include "support/recording_presenter.h"
#include "text/language.h"
#include "text/messages.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"

namespace rkt {
namespace {

// Handles the next modal dialog of type T once it is up.
template <typename T>
void AnswerModal(std::function<void(T*)> answer) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer->stop();
    timer->deleteLater();
    answer(dialog);
  });
  timer->start(5);
}

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
  QString MenuTitle(Frame& frame) { return frame.MainWindow()->menuBar()->findChild<QMenu*>("mnFile")->title(); }
  int Count(const FakeLink& link, const char* call) { return std::count(link.calls.begin(), link.calls.end(), call); }
  std::string Stored(const char* name) { return SettingsStore(Ini()).GetString(kSettingsSection, name, ""); }

  QTemporaryDir m_settingsDir;
  QTemporaryDir m_programDir;
  test::RecordingPresenter m_presenter;
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
  EXPECT_EQ(std::tuple(windowShownAtOpen, recentEmptyAtOpen), std::tuple(false, true))
      << "a port message appears before the main window; the recent files come after the port";
  EXPECT_EQ(frame.Recent().Entries(), std::vector<std::string>{"/data/a.RKT"});
  EXPECT_TRUE(frame.MainWindow()->isVisible());
  EXPECT_TRUE(frame.Request().Pending()) << "with automatic detection the first run comes at once";

  link.onDetect = [&] {
    windowShownAtDetection = frame.MainWindow()->isVisible();
    frame.MainWindow()->close();
  };
  frame.Run();
  EXPECT_TRUE(windowShownAtDetection) << "the first detection runs from the loop, with the window up";
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

TEST_F(FrameTest, ProgramExitStoresTheOptionsAndTheLastFile) {
  {
    SettingsStore store(Ini());
    store.SetString(kRecentSection, "FILE1", "/data/older.RKT");
    FakeLink link;
    Frame frame(store, link, ProgramDir());
    frame.Start(false);
    EXPECT_FALSE(frame.Request().Pending()) << "no automatic detection, no run";
    frame.Data().SetValue(ValueId::FileName, std::string("/data/current.RKT"));
    frame.View().tooltips = false;
    link.mode = 1;
    CloseAndRun(frame);
    EXPECT_TRUE(frame.Ended());
    EXPECT_EQ(link.calls.back(), "ClosePort");
    EXPECT_EQ(Count(link, "DetectSensor"), 0);
  }
  EXPECT_EQ(SettingsStore(Ini()).ReadRecentFiles(), (std::vector<std::string>{"/data/current.RKT", "/data/older.RKT"}));
  EXPECT_EQ((std::vector{Stored("Tooltips"), Stored("SensDetection"), Stored("Port"), Stored("Language")}),
            (std::vector<std::string>{"NO", "Auto", "COM1", "Deutsch"}));
}

// What the options dialog shows comes from the link and the view; what it
// changes reaches them, the window, and at the end the settings.
TEST_F(FrameTest, TheOptionsDialogReachesTheLinkTheWindowAndTheSettings) {
  SettingsStore store(Ini());
  store.SetString(kSettingsSection, "Port", "/dev/ttyUSB0");
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  frame.Start(false);
  QStringList shown;
  AnswerModal<frmOptions>([&](frmOptions* d) {
    shown << d->cmbPorts->currentText() << QString::number(d->cmbPorts->count())
          << QString::number(d->chkSensor->isChecked()) << QString::number(d->chkTooltips->isChecked())
          << QString::number(d->chkOverview->isChecked()) << QString::number(d->chkPreview->isChecked());
    d->chkSensor->setChecked(true);
    d->chkTooltips->setChecked(false);
    d->chkOverview->setChecked(false);
    d->chkPreview->setChecked(false);
    d->chkTrace->setChecked(true);
    d->cmbPorts->setEditText(QStringLiteral(" /dev/ttyS9 "));
    d->btOK->click();
  });
  frame.MainWindow()->Action("mnOptions")->trigger();
  EXPECT_EQ(shown, (QStringList{"/dev/ttyUSB0", "2", "0", "1", "1", "1"}));
  EXPECT_EQ(std::tuple(link.mode, link.port, link.tracing), std::tuple(1, std::string("/dev/ttyS9"), true));
  const ViewOptions& v = frame.View();
  EXPECT_EQ(std::tuple(v.tooltips, v.overviewShown, v.writePreview), std::tuple(false, false, false));
  EXPECT_FALSE(frame.MainWindow()->Tooltips() || frame.MainWindow()->WritePreview());
  EXPECT_TRUE(m_presenter.shown.empty());

  // A trace file that cannot be written is said, with its name.
  link.traceWritable = false;
  link.tracing = false;
  AnswerModal<frmOptions>([](frmOptions* d) { d->btOK->click(); });
  frame.MainWindow()->Action("mnOptions")->trigger();
  ASSERT_EQ(m_presenter.shown.size(), 1u);
  EXPECT_EQ(m_presenter.shown[0].text, MessageDisplayText(msg::kSaveFailed) + "\n/var/trace.txt");

  CloseAndRun(frame);
  EXPECT_EQ((std::vector{Stored("SensDetection"), Stored("Port"), Stored("Tooltips"), Stored("BlockDiagram"),
                         Stored("WritePreview")}),
            (std::vector<std::string>{"Auto", "/dev/ttyS9", "NO", "Hide", "NO"}));
}

// QCoreApplication::quit() (the platform's or a session's end) asks about
// unsaved changes: Cancel keeps the program and the data, Yes ends it.
TEST_F(FrameTest, CancelledQuitKeepsTheProgramAndTheData) {
  SettingsStore store(Ini());
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  frame.Start(false);
  frame.Data().SetValue(ValueId::Changed, true);
  bool askedAboutExit = false;
  const auto answer = [&](bool cancel) {
    AnswerModal<frmChanged>([&askedAboutExit, cancel](frmChanged* d) {
      askedAboutExit = !d->lblText[1]->isHidden();
      (cancel ? d->btCancel : d->btYes)->click();
    });
  };
  std::tuple<bool, bool, bool, int> afterCancel;
  QObject scope;  // the timers go with the test
  QTimer::singleShot(0, &scope, [&] {
    answer(true);
    QCoreApplication::quit();
    afterCancel = {frame.Ended(), frame.MainWindow()->isVisible(), frame.Data().IsChanged(), Count(link, "ClosePort")};
    answer(false);
    QCoreApplication::quit();
  });
  QTimer::singleShot(20000, &scope, [&] { frame.Loop().Quit(9); });
  EXPECT_EQ(frame.Run(), 0) << "quit() was ignored";
  EXPECT_EQ(afterCancel, std::tuple(false, true, true, 0));
  EXPECT_TRUE(askedAboutExit) << "the question names the end of the program";
  EXPECT_TRUE(frame.Ended());
  EXPECT_EQ(Count(link, "ClosePort"), 1);
}

TEST_F(FrameTest, StartsGermanAndKeepsEnglishAcrossARestart) {
  {
    SettingsStore store(Ini());
    FakeLink link;
    Frame frame(store, link, ProgramDir());
    frame.Start(false);
    EXPECT_EQ(MenuTitle(frame), "&Datei");
    ASSERT_TRUE(SelectLanguageByName("English"));
    frame.MainWindow()->LoadMainTexts();
    frame.MainWindow()->LoadMainTexts();
    EXPECT_EQ(frame.MainWindow()->TextLoads(), 1) << "German is never applied; the same language again costs nothing";
    CloseAndRun(frame);
  }
  SettingsStore store(Ini());
  FakeLink link;
  Frame frame(store, link, ProgramDir());
  frame.Start(false);
  EXPECT_EQ(MenuTitle(frame), "&File");
  EXPECT_TRUE(frame.MainWindow()->windowTitle().startsWith("RKT 410 Parameter Setup 1."));
  SelectLanguage(0);
  frame.MainWindow()->LoadMainTexts();
  EXPECT_EQ(MenuTitle(frame), "&Datei") << "back to German restores the built-in texts";
  CloseAndRun(frame);
}

}  // namespace
}  // namespace rkt
