// The rkt410 program as started from the command line, in this process.
#include <gtest/gtest.h>

#include <QtWidgets>

#include "app/frame.h"
#include "app/settings_store.h"
#include "history/history_db.h"
#include "model/safe_file.h"

#include <filesystem>

namespace rkt {
namespace {

QStringList unexpected;  // modal windows that came up
// Ends the program as the platform would once its window is up; anything modal in the way is noted (and
// must come after the window: a box over nothing is one the user may never connect with the program).
void QuitWhenShown() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    bool windowUp = false;
    for (QWidget* w : QApplication::topLevelWidgets()) windowUp |= w->objectName() == "frmMain" && w->isVisible();
    unexpected << modal->objectName() + (windowUp ? QString() : QStringLiteral(" before the window"));
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
  const QString historyPath = dir.filePath("history.sqlite");
  {  // the last run was killed in the middle of a write
    history::HistoryDb history(historyPath);
    ASSERT_GT(history.Begin({}), 0) << history.Error();
  }
  // A trace file that is the history database under another name is refused: the history stays as it was.
#if defined(_WIN32)
  const std::string trace = dir.filePath("sub/../history.sqlite").toStdString();
#else
  const std::string trace = dir.filePath("trace.txt").toStdString();
  std::filesystem::create_symlink(historyPath.toStdString(), trace);
#endif
  std::vector<std::string> args{"rkt410", "--simulate", "--no-start-picture", "--settings", ini, "--history-db",
                                 historyPath.toStdString(), "--trace", trace, sample};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  qAddPreRoutine(&QuitWhenShownOnStart);
  EXPECT_EQ(Main(argc, argv.data()), 0);
  EXPECT_EQ(unexpected, QStringList{"frmMessage"}) << "the interrupted write is told at start, once the window is up";
  EXPECT_FALSE(history::HistoryDb(historyPath).UnreportedInterruption()) << "and not again at the next start";
  const auto kept = history::HistoryDb(historyPath).List();
  EXPECT_TRUE(kept && kept->size() == 1u) << "the history was not overwritten by the trace";
  SettingsStore store(QString::fromStdString(ini));
  EXPECT_EQ(std::tuple(store.ReadRecentFiles(), store.GetString(kSettingsSection, "Tooltips", "")),
            std::tuple(std::vector<std::string>{AbsolutePath(sample)}, std::string("YES"))) << "the options were saved at the end";
}

}  // namespace
}  // namespace rkt
