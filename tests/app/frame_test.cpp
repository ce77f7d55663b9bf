#include "app/frame.h"

#include "../ui/ui_test_support.h"
#include "app/settings_store.h"
#include "fake_link.h"
#include "support/cpu_time.h"
#include "text/language.h"
#include "text/messages.h"
#include "ui/frm_main.h"

namespace rkt {
namespace {

struct App {
  App(const QString& ini, const QString& programDir) : store(ini), frame(store, link, programDir.toStdString()) {}
  QString MenuTitle() { return frame.MainWindow()->menuBar()->findChild<QMenu*>("mnFile")->title(); }
  int Count(const char* call) { return static_cast<int>(std::count(link.calls.begin(), link.calls.end(), call)); }
  void CloseAndRun() {
    QTimer::singleShot(0, [this] { frame.MainWindow()->close(); });
    frame.Run();
  }
  SettingsStore store;
  FakeLink link;
  Frame frame;
};

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {  // the program folder holds the English language file, as shipped
    ASSERT_TRUE(QFile::copy(QStringLiteral(RKT_SOURCE_DIR "/resources/RKT_LANG.ENG"), m_programDir.filePath("RKT_LANG.ENG")));
  }
  void TearDown() override { FindLanguages({}); }
  QString Ini() const { return m_settingsDir.filePath("RKT410.ini"); }
  std::unique_ptr<App> Make(const char* systemLocale = "C") {
    auto app = std::make_unique<App>(Ini(), m_programDir.path());
    app->frame.SetSystemLocale(systemLocale);  // the tests' language is not the machine's
    return app;
  }
  std::vector<std::string> Stored(std::initializer_list<const char*> names) {
    std::vector<std::string> out;
    for (const char* name : names) out.push_back(SettingsStore(Ini()).GetString(kSettingsSection, name, ""));
    return out;
  }

  QTemporaryDir m_settingsDir, m_programDir;
  test::MessageRecorder m_presenter;
};

TEST_F(FrameTest, StartUpRunsItsStepsInOrderAndEventsAreDeliveredSafely) {
  EXPECT_TRUE(DeliverSafely([] { return true; }));  // an exception in an event becomes the program error message
  EXPECT_FALSE(DeliverSafely([]() -> bool { throw std::bad_alloc(); }));
  EXPECT_FALSE(DeliverSafely([]() -> bool { throw std::runtime_error("kaputt"); }));
  EXPECT_EQ(m_presenter.Texts(), (std::vector<std::string>{"Programmfehler! Fehlernummer 7",
                                                            "Programmfehler! Fehlernummer 51"}));
  auto a = Make();
  for (const auto& [name, value] : {std::pair{"SensDetection", "Auto"}, {"Port", "/dev/ttyS3"}, {"ReadTimeout", "300"},
                                    {"Language", "English"}})
    a->store.SetString(kSettingsSection, name, value);
  bool windowShownAtOpen = true, recentEmptyAtOpen = false, windowShownAtDetection = false;
  std::string languageAtOpen;
  a->link.onOpenPort = [&] {
    windowShownAtOpen = a->frame.MainWindow()->isVisible();
    recentEmptyAtOpen = a->frame.Recent().Count() == 0;
    languageAtOpen = CurrentLanguageName();
  };
  a->store.SetString(kRecentSection, "FILE1", "/data/a.RKT");
  a->frame.Start(false);
  EXPECT_EQ(a->link.calls, (std::vector<std::string>{"InitPorts", "InitDetection", "SetDetection 1", "OpenPort /dev/ttyS3"}));
  EXPECT_EQ(std::tuple(a->link.settings.readTimeoutMs, windowShownAtOpen, recentEmptyAtOpen), std::tuple(300, false, true))
      << "a port message appears before the main window; the recent files come after the port";
  EXPECT_EQ(languageAtOpen, "English") << "a port message at start speaks the stored language";
  EXPECT_EQ(a->frame.Recent().Entries(), std::vector<std::string>{"/data/a.RKT"});
  EXPECT_TRUE(a->frame.MainWindow()->isVisible() && a->frame.Request().Pending()) << "automatic detection: a run at once";
  a->link.onDetect = [&] {
    windowShownAtDetection = a->frame.MainWindow()->isVisible();
    a->frame.MainWindow()->close();
  };
  a->frame.Run();
  EXPECT_TRUE(windowShownAtDetection && a->link.calls.back() == "ClosePort") << "the first detection runs from the loop";
}

TEST_F(FrameTest, ProgramExitStoresTheOptionsTheLastFileAndTheLanguage) {
  auto a = Make();
  a->store.SetString(kRecentSection, "FILE1", "/data/older.RKT");
  a->frame.Start(false);
  EXPECT_FALSE(a->frame.Request().Pending()) << "no automatic detection, no run";
  EXPECT_EQ(a->MenuTitle(), "&Datei");
  ASSERT_TRUE(SelectLanguageByName("English"));
  a->frame.MainWindow()->LoadMainTexts();
  a->frame.MainWindow()->LoadMainTexts();
  EXPECT_EQ(a->frame.MainWindow()->TextLoads(), 1) << "German is never applied; the same language again costs nothing";
  a->frame.Data().SetValue(ValueId::FileName, std::string("/data/current.RKT"));
  a->frame.View().tooltips = false;
  a->link.mode = 1;
  a->CloseAndRun();
  EXPECT_TRUE(a->frame.Ended() && a->link.calls.back() == "ClosePort" && a->Count("DetectSensor") == 0);
  a.reset();
  EXPECT_EQ(SettingsStore(Ini()).ReadRecentFiles(), (std::vector<std::string>{"/data/current.RKT", "/data/older.RKT"}));
  EXPECT_EQ(Stored({"Tooltips", "SensDetection", "Port", "Language", "QDDebug"}),
            (std::vector<std::string>{"NO", "Auto", "COM1", "English", ""})) << "QDDebug is never written";
  a = Make();
  a->frame.Start(false);
  EXPECT_EQ(a->MenuTitle(), "&File");
  EXPECT_TRUE(a->frame.MainWindow()->windowTitle().startsWith("RKT 410 Parameter Setup 1."));
  SelectLanguage(0);
  a->frame.MainWindow()->LoadMainTexts();
  EXPECT_EQ(a->MenuTitle(), "&Datei") << "back to German restores the built-in texts";
  a->CloseAndRun();
}

// A first start on a French system comes up in French, Qt's own texts included, and keeps that choice.
TEST_F(FrameTest, FirstStartOnAFrenchSystemSpeaksFrench) {
  ASSERT_TRUE(QFile::copy(QStringLiteral(RKT_SOURCE_DIR "/resources/RKT_LANG.FRA"), m_programDir.filePath("RKT_LANG.FRA")));
  auto a = Make("fr_FR.UTF-8");
  a->frame.Start(false);
  EXPECT_EQ(a->MenuTitle(), "&Fichier");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annuler");
  a->CloseAndRun();
  a.reset();
  EXPECT_EQ(Stored({"Language"}), std::vector<std::string>{"Français"});
  a = Make("en_GB");  // the stored choice wins over the system's
  a->frame.Start(false);
  EXPECT_EQ(a->MenuTitle(), "&Fichier");
  a->CloseAndRun();
  SelectLanguage(0);
  LoadQtTranslations();
}

// The options dialog shows the link and the view; its changes reach them, the window and the settings.
TEST_F(FrameTest, TheOptionsDialogReachesTheLinkTheWindowAndTheSettings) {
  auto a = Make();
  a->store.SetString(kSettingsSection, "Port", "/dev/ttyUSB0");
  a->frame.Start(false);
  QStringList shown;
  test::OnNext<frmOptions>([&](frmOptions* d) {
    for (QCheckBox* c : {d->chkSensor, d->chkTooltips, d->chkOverview, d->chkPreview})
      shown << QString::number(c->isChecked()), c->setChecked(c == d->chkSensor);
    shown << d->cmbPorts->currentText() << QString::number(d->cmbPorts->count());
    d->chkTrace->setChecked(true);
    d->cmbPorts->setEditText(QStringLiteral(" /dev/ttyS9 "));
    d->btOK->click();
  });
  a->frame.MainWindow()->Action("mnOptions")->trigger();
  EXPECT_EQ(shown, (QStringList{"0", "1", "1", "1", "/dev/ttyUSB0", "2"}));
  EXPECT_EQ(std::tuple(a->link.mode, a->link.port, a->link.tracing), std::tuple(1, std::string("/dev/ttyS9"), true));
  const ViewOptions& v = a->frame.View();
  EXPECT_EQ(std::tuple(v.tooltips, v.overviewShown, v.writePreview), std::tuple(false, false, false));
  EXPECT_FALSE(a->frame.MainWindow()->Tooltips() || a->frame.MainWindow()->WritePreview() || !m_presenter.shown.empty());
  a->link.traceWritable = false;  // a trace file that cannot be written is said, with its name
  a->link.tracing = false;
  test::OnNext<frmOptions>([](frmOptions* d) { d->btOK->click(); });
  a->frame.MainWindow()->Action("mnOptions")->trigger();
  EXPECT_EQ(m_presenter.Texts(), std::vector<std::string>{MessageDisplayText(msg::kSaveFailed) + "\n/var/trace.txt"});
  a->CloseAndRun();
  EXPECT_EQ(Stored({"SensDetection", "Port", "Tooltips", "BlockDiagram", "WritePreview"}),
            (std::vector<std::string>{"Auto", "/dev/ttyS9", "NO", "Hide", "NO"}));
}

// quit() (the platform's or a session's end) asks about unsaved changes: Cancel keeps all, Yes ends.
TEST_F(FrameTest, CancelledQuitKeepsTheProgramAndTheData) {
  auto a = Make();
  Frame& frame = a->frame;
  frame.Start(false);
  frame.Data().SetValue(ValueId::Changed, true);
  bool askedAboutExit = false;
  const auto answer = [&](bool cancel) {
    test::OnNext<frmChanged>([&askedAboutExit, cancel](frmChanged* d) {
      askedAboutExit = !d->lblText[1]->isHidden();
      (cancel ? d->btCancel : d->btYes)->click();
    });
  };
  std::tuple<bool, bool, bool, int> afterCancel;
  QObject scope;  // the timers go with the test
  QTimer::singleShot(0, &scope, [&] {
    answer(true);
    QCoreApplication::quit();
    afterCancel = {frame.Ended(), frame.MainWindow()->isVisible(), frame.Data().IsChanged(), a->Count("ClosePort")};
    answer(false);
    QCoreApplication::quit();
  });
  QTimer::singleShot(20000, &scope, [&] { frame.Loop().Quit(9); });
  EXPECT_EQ(frame.Run(), 0) << "quit() was ignored";
  EXPECT_EQ(afterCancel, std::tuple(false, true, true, 0));
  EXPECT_TRUE(askedAboutExit) << "the question names the end of the program";
  EXPECT_TRUE(frame.Ended() && a->Count("ClosePort") == 1);
}

// Runs `then` two passes of the loop later.
void Later(std::function<void()> then) {
  QTimer::singleShot(0, [then] { QTimer::singleShot(0, then); });
}

// A request raised inside a nested loop (modal dialog, wait for the sensor) waits until it is over.
TEST(MainLoop, DetectionRunsOnlyAtTheTopLevelAndRequestsMerge) {
  DetectionRequest request;
  int runs = 0, runsInsideNested = -1;
  bool pendingInsideNested = false, destroyed = false;
  MainLoop loop(request, [&] { ++runs; });
  request.Raise();
  request.Raise();  // two raises before the loop are one run
  auto* object = new QObject;
  QObject::connect(object, &QObject::destroyed, [&] { destroyed = true; });
  object->deleteLater();  // outside any event handler, as during the start-up
  QTimer::singleShot(0, [&] {
    QEventLoop nested;
    QTimer::singleShot(0, [&] { request.Raise(); });
    QTimer::singleShot(0, [&] {
      runsInsideNested = runs;
      pendingInsideNested = request.Pending();
      nested.quit();
    });
    nested.exec();
    Later([&] {
      request.Raise();
      request.Clear();  // a cleared one is none
      Later([&] { loop.Quit(3); });
    });
  });
  EXPECT_EQ(loop.Run(), 3);
  EXPECT_EQ(std::tuple(runsInsideNested, pendingInsideNested, runs, request.Pending(), destroyed),
            std::tuple(1, true, 2, false, true));
}

// A quit from the application ends the run it reaches and not the next one; a loop that waits uses no CPU.
TEST(MainLoop, EndsOnTheApplicationsQuitOnceAndSleepsWhenIdle) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  QTimer::singleShot(0, [] { QCoreApplication::quit(); });
  QObject scope;  // the guards go with the test
  QTimer::singleShot(20000, &scope, [&] { loop.Quit(9); });
  EXPECT_EQ(loop.Run(), 0) << "quit() was ignored";
  // The main thread's own time: other threads and other programs on the machine do not count.
  const auto cpu = [] { return test::ThreadCpuSeconds(); };
  QElapsedTimer wall;
  QTimer::singleShot(1000, &scope, [&] { loop.Quit(4); });
  const double before = cpu();
  wall.start();
  EXPECT_EQ(loop.Run(), 4) << "the next run is ended by the quit that is over";
  // A polling loop gets well over a tenth of a core even on a crowded machine; a sleeping one next to nothing.
  const double seconds = static_cast<double>(wall.elapsed()) / 1000;
  EXPECT_LT(cpu() - before, 0.05 + 0.1 * seconds) << "over " << seconds << " s";
}

}  // namespace
}  // namespace rkt
