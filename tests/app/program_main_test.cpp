// The rkt410 program as started from the command line, in this process.
#include <gtest/gtest.h>

#include <QtWidgets>

#include "app/frame.h"
#include "app/settings_store.h"

namespace rkt {
namespace {

QStringList unexpected;  // modal windows that came up
// Ends the program as the platform would once its window is up; anything modal in the way is noted.
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
  std::vector<std::string> args{"rkt410", "--simulate", "--no-start-picture", "--settings", ini, "--history-db",
                                 dir.filePath("history.sqlite").toStdString(), sample};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  qAddPreRoutine(&QuitWhenShownOnStart);
  EXPECT_EQ(Main(argc, argv.data()), 0);
  EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join(", ").toStdString();
  SettingsStore store(QString::fromStdString(ini));
  EXPECT_EQ(std::tuple(store.ReadRecentFiles(), store.GetString(kSettingsSection, "Tooltips", "")),
            std::tuple(std::vector<std::string>{sample}, std::string("YES"))) << "the options were saved at the end";
}

}  // namespace
}  // namespace rkt
