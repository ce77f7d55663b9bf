// The rkt410 program as started from the command line, in this process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "app/frame.h"
#include "app/settings_store.h"

namespace rkt {
namespace {

int RunMain(std::vector<std::string> args) {
  args.insert(args.begin(), "rkt410");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  return Main(argc, argv.data());
}

QStringList unexpected;  // modal windows that came up
// Once the program's window is up and its loop runs, ends it as the platform
// would; anything modal in the way is noted and closed.
void QuitWhenShown() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    unexpected << modal->objectName();
    modal->close();
  } else {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QStringLiteral("frmMain") && w->isVisible()) QCoreApplication::quit();
  }
  QTimer::singleShot(10, QCoreApplication::instance(), &QuitWhenShown);
}
void QuitWhenShownOnStart() {
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QuitWhenShown, Qt::QueuedConnection);
}

TEST(ProgramMain, TheSimulatedProgramOpensAFileShowsItsWindowAndEndsCleanly) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("RKT410.ini").toStdString();
  const std::string sample = RKT_SOURCE_DIR "/resources/samples/sample.RKT";
  qAddPreRoutine(&QuitWhenShownOnStart);
  EXPECT_EQ(RunMain({"--simulate", "--no-start-picture", "--settings", ini, "--history-db",
                 dir.filePath("history.sqlite").toStdString(), sample}),
            0);
  EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join(", ").toStdString();
  SettingsStore store(QString::fromStdString(ini));
  EXPECT_EQ(store.ReadRecentFiles(), std::vector<std::string>{sample}) << "the options were saved at the end";
  EXPECT_EQ(store.GetString(kSettingsSection, "Tooltips", ""), "YES");
}

TEST(ProgramMain, VersionNeedsNoWindow) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunMain({"--version"}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("rkt410 ", 0), 0u);
}

}  // namespace
}  // namespace rkt
