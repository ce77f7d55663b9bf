// Makes the README's window pictures: the main window per sensor variant,
// the first start, the main window in each shipped language, and the options
// with the help in front. Run by scripts/screenshots.sh; not a test.
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "model/recent_files.h"
#include "text/help_window.h"
#include "text/language.h"
#include "text/text_keys.h"
#include "ui/frm_main.h"
#include "ui/ui_text.h"
#include "ui_test_support.h"

namespace {

using namespace rkt;

bool g_ok = true;

void Save(const QPixmap& picture, const QString& path) {
  const bool saved = picture.save(path);
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "FAILED to write", qPrintable(path));
  g_ok = g_ok && saved;
}

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QTest::qWait(25);
  }
}

void VariantPictures(const QString& out) {
  DataSet ds;
  RecentFiles recent;
  frmMain window(ds, recent);
  ds.SetRecentFiles(&recent);
  window.show();
  for (int variant = 1; variant <= 6; ++variant) {
    window.Files().Load(test::kSample);
    for (const Copy copy : {kReadCopy, kWorkingCopy})
      ds.Byte(BlockId::Identification, copy, ident::kVersion3) = static_cast<std::uint8_t>(variant);
    window.FillPanel();
    Settle();
    Save(window.grab(), out + QStringLiteral("/main_variant%1.png").arg(variant));
  }
}

void DailyHandlingPictures(const QString& out) {
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  QtHelpViewer viewer({});
  SetHelpViewer(&viewer);
  {
    DataSet ds;
    RecentFiles recent;
    frmMain window(ds, recent);
    window.SetLanguageIndexSource([] { return CurrentLanguageIndex(); });
    window.move(40, 40);
    window.show();
    window.LoadMainTexts();
    Settle();
    Save(window.grab(), out + "/first_start.png");
    window.Files().Load(test::kSample);
    Settle();
    Save(window.grab(), out + "/main_window_de.png");

    test::FakeOptions options;
    options.port = QStringLiteral("/dev/ttyS0");
    options.tooltips = true;
    options.traceFile.clear();
    window.SetOptionsBackend(&options);
    test::OnNext([&](QDialog* d) {
      d->findChild<QPushButton*>(QStringLiteral("btHelp"))->click();
      viewer.Window()->move(window.frameGeometry().right() - 260, window.y() + 60);
      Settle();
      const QRect area = window.frameGeometry().united(viewer.Window()->frameGeometry()).united(d->frameGeometry());
      Save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
           out + "/options_with_help.png");
      viewer.Window()->close();
      d->reject();
    });
    window.Action("mnOptions")->trigger();

    // Each shipped language, named by its locale: main_window_en.png, main_window_fr.png, ...
    for (int index = 1; index < LanguageCount(); ++index) {
      SelectLanguage(index);
      window.LoadMainTexts();
      window.adjustSize();
      Settle();
      Save(window.grab(), out + "/main_window_" + QString::fromStdString(LanguageLocale()) + ".png");
    }
  }
  SetHelpViewer(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  QTemporaryDir settings;  // the user's own settings stay untouched
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  const QString out = QString::fromLocal8Bit(argv[1]);
  VariantPictures(out);
  DailyHandlingPictures(out);
  return g_ok ? 0 : 1;
}
