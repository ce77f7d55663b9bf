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

#include "history/history_db.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "sim/simulated_line.h"
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

// The station window at work, in German and English: a sensor passed, a
// locked one failed, one being written, an empty socket.
void StationPictures(const QString& out) {
  DataSet ds;
  if (LoadParameterFileChecked(ds, test::kSample.toStdString()).status != LoadStatus::Ok) g_ok = false;
  QTemporaryDir dir;
  for (int index : {0, 1}) {
    SelectLanguage(index);
    std::vector<std::shared_ptr<sim::SensorSimulator>> sims;
    for (int i = 0; i < 4; ++i) {
      sim::SimConfig c;
      c.typeCode = 5;
      c.serial = 4711 + i;
      c.locked = i == 1;
      c.baudTiming = i == 2;
      sims.push_back(std::make_shared<sim::SensorSimulator>(c));
    }
    sims[3]->Unplug(sim::Clock::now());
    StationSetup setup;
    setup.ports = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3"};
    setup.makeLine = [sims](const std::string& port) {
      return std::make_unique<sim::SimulatedLine>(sims[static_cast<std::size_t>(port.back() - '0')]);
    };
    const QString db = dir.filePath(QStringLiteral("history%1.sqlite").arg(index));
    setup.makeJournal = [db](const std::string&, const history::ServerNoticeFn&) {
      return std::make_unique<history::HistoryDb>(db);
    };
    frmStation window(setup, ds);
    window.show();
    window.StartStation();
    if (!QTest::qWaitFor([&] { return window.Station()->Passed() == 1 && window.Station()->Failed() == 1; }, 20000))
      g_ok = false;
    QTest::qWait(1500);
    Settle();
    Save(window.grab(), out + (index == 0 ? "/station_de.png" : "/station_en.png"));
    window.StopStation();
    window.StopStation();
    if (!QTest::qWaitFor([&] { return !window.Running(); }, 20000)) g_ok = false;
  }
  SelectLanguage(0);
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
  StationPictures(out);
  return g_ok ? 0 : 1;
}
