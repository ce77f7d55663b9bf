#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>
#include <map>
#include <set>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QScrollBar>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "text/help_window.h"
#include "text/language.h"
#include "rkt_version.h"
#include "model/value_conversions.h"
#include "history/history_db.h"
#include "ui/dialogs.h"
#include "ui/history_dialogs.h"
#include "ui/frm_main.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"
#include "ui/ui_text.h"
#include "ui_test_support.h"

namespace rkt {
namespace {

const QString kSample = QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT");

// Runs action on the next modal dialog of type T that opens.
template <typename T>
void OnNext(std::function<void(T*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      action(dialog);
    }
  });
  timer->start();
}

// Chooses path in the next file dialog that opens.
void ChooseFileInNextDialog(const QString& path) {
  test::OnNextDialog([path](QDialog* d) {
    auto* files = qobject_cast<QFileDialog*>(d);
    ASSERT_NE(files, nullptr);
    files->selectFile(path);
    QMetaObject::invokeMethod(files, "accept");
  });
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct MainWindowFixture : ::testing::Test {
  DataSet ds;
  RecentFiles recent;
  frmMain window{ds, recent};
  QTemporaryDir dir;
  MainWindowFixture() { ds.SetRecentFiles(&recent); }
  QLabel* Label(const char* name) { return window.findChild<QLabel*>(QString::fromLatin1(name)); }
  bool Enabled(const char* action) { return window.Action(action)->isEnabled(); }
};

TEST_F(MainWindowFixture, StartStateOffersOnlyWhatNeedsNoData) {
  const bool expected[11] = {true, false, false, true, false, true, false, false, false, true, false};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(window.ToolbarAction(i)->isEnabled(), expected[i]) << "button " << i;
  for (const char* item : {"mnSave", "mnSaveas", "mnPrint", "mnExport", "mnSensorWrite", "mnSensorInfo", "mnSensWrite"})
    EXPECT_FALSE(Enabled(item)) << item;
  EXPECT_TRUE(Enabled("mnLoad"));
  EXPECT_EQ(window.ToolbarAction(5)->toolTip(), QStringLiteral("Sensordaten lesen"));
  EXPECT_EQ(window.Action("mnLoad")->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("Unbekannt"));
  for (const char* name : {"SBPort", "lblSens", "SBSens", "lblTBChanged", "lblFilename", "imgLogo"})
    EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(MainWindowFixture, LoadingAFileEnablesTheDataCommandsAndShowsIt) {
  window.Files().Load(kSample);
  EXPECT_TRUE(Enabled("mnSave"));
  EXPECT_TRUE(window.ToolbarAction(6)->isEnabled());
  EXPECT_TRUE(window.SensitivityAvailable()) << "the sample carries a valid sensitivity";
  EXPECT_EQ(Label("lblFilename")->text(), QStringLiteral(" Datei: sample.RKT "));
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-DL/2"));
  EXPECT_EQ(Label("lblTBChanged")->text(), QString());
  EXPECT_EQ(window.Panel()->cmbInput->currentText(), QStringLiteral("UND-Verknüpfung"));
  EXPECT_FALSE(window.Overview()->lblBL[0]->text().isEmpty());

  window.Panel()->cmbKeyboardlock->setCurrentIndex(2);
  emit window.Panel()->cmbKeyboardlock->activated(2);
  EXPECT_EQ(Label("lblTBChanged")->text(), QStringLiteral("C"));
}

TEST_F(MainWindowFixture, InvalidFileChangesNothing) {
  test::MessageRecorder messages;
  window.Files().Load(kSample);
  const QString bad = dir.filePath(QStringLiteral("bad.RKT"));
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a parameter file");
  f.close();
  window.Files().Load(bad);
  // The message names the file and the reason on its second line.
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0],
            test::MessageRecorder::Numbered({20})[0] + "\n" + bad.toStdString() + ": not a parameter file (wrong header)");
  EXPECT_EQ(ds.FileName(), kSample.toStdString());
  EXPECT_TRUE(Enabled("mnSave"));
}

TEST_F(MainWindowFixture, SaveWritesWhatThePanelShowsAndAFailureIsReported) {
  test::MessageRecorder messages;
  window.Files().Load(kSample);
  window.Panel()->cmbHysteresis->setCurrentIndex(2);
  emit window.Panel()->cmbHysteresis->activated(2);
  const std::string target = dir.filePath(QStringLiteral("copy")).toStdString();
  ds.SetValue(ValueId::FileName, target);
  ASSERT_TRUE(window.Files().Save(false));
  EXPECT_FALSE(ds.IsChanged());
  DataSet reread;
  ASSERT_EQ(rkt::LoadParameterFile(reread, target + ".RKT"), LoadStatus::Ok);
  EXPECT_EQ(reread.GetInt(ValueId::Hysteresis, kWorkingCopy), 2);
  EXPECT_EQ(recent.GetRecentFile(1), target) << "the name before the save goes to the list";

  window.Panel()->cmbHysteresis->setCurrentIndex(0);
  emit window.Panel()->cmbHysteresis->activated(0);
  ds.SetValue(ValueId::FileName, dir.filePath(QStringLiteral("missing/x.RKT")).toStdString());
  EXPECT_FALSE(window.Files().Save(false));
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0], test::MessageRecorder::Numbered({21})[0] + "\n" +
                                     dir.filePath(QStringLiteral("missing/x.RKT")).toStdString() +
                                     ": No such file or directory");
  EXPECT_TRUE(ds.IsChanged()) << "a failed save keeps the data marked changed";
  EXPECT_EQ(Label("lblTBChanged")->text(), QStringLiteral("C"));

  // Unchanged data that fails to save stays unchanged: the file on disk is
  // what it was.
  ds.SetValue(ValueId::Changed, false);
  EXPECT_FALSE(window.Files().Save(false));
  EXPECT_FALSE(ds.IsChanged());
  EXPECT_EQ(Label("lblTBChanged")->text(), QString());
}

// The export shows the window's sensitivity bar, not the stored value.
TEST_F(MainWindowFixture, ExportTakesTheSensitivityFromThePanel) {
  window.Files().Load(kSample);
  ds.SetSensitivityValid(1);
  window.SetSensitivityAvailable(true);
  window.ShowSensitivity();
  window.Panel()->scrlSensitivity->setValue(kSensitivityMax);
  const QString target = dir.filePath(QStringLiteral("sheet.TXT"));
  ChooseFileInNextDialog(target);
  window.Files().PrintOrExport(true, false);
  QFile f(target);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(f.readAll());
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Empfindlichkeit: +100%")))) << text.toStdString();
}

// Printing asks for a description first; without a printer installed, the
// toolbar's print writes the datasheet to a PDF file instead.
TEST_F(MainWindowFixture, PrintWithoutAPrinterWritesAPdf) {
  window.Files().Load(kSample);
  window.Files().SetPrinterCheck([] { return false; });
  ds.SetValue(ValueId::Comment, std::string());
  bool askedForDescription = false;
  test::OnNextDialog([&](QDialog* d) {
    askedForDescription = qobject_cast<QFileDialog*>(d) == nullptr;
    d->reject();
  });
  window.ClickToolbarButton(2);
  EXPECT_TRUE(askedForDescription);
  EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "no description, no sheet";

  ds.SetValue(ValueId::Comment, std::string("Halle 3"));
  const QString target = dir.filePath(QStringLiteral("sheet"));
  ChooseFileInNextDialog(target);
  window.ClickToolbarButton(2);
  EXPECT_TRUE(Bytes(target + ".pdf").startsWith("%PDF")) << "the name gets .pdf";
}

TEST_F(MainWindowFixture, RecentFilesAppearInTheFileMenu) {
  EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("mnFileSep"))->isVisible());
  recent.AddRecentFile("/data/a.RKT");
  recent.AddRecentFile("/data/b&c.RKT");
  EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("mnFileSep"))->isVisible());
  EXPECT_EQ(window.Action("mnFiles1")->text(), QStringLiteral("&1 b&&c.RKT"));
  EXPECT_EQ(window.Action("mnFiles2")->text(), QStringLiteral("&2 a.RKT"));
  EXPECT_FALSE(window.Action("mnFiles3")->isVisible());
}

TEST_F(MainWindowFixture, ToolbarCommandDoesNotStartTwice) {
  int started = 0;
  QObject::connect(&window, &frmMain::SensorCommandRequested, [&](SensorCommand c) {
    if (c != SensorCommand::Read) return;
    ++started;
    // A second click arriving while the first command still runs.
    window.ClickToolbarButton(5);
  });
  window.ClickToolbarButton(5);
  EXPECT_EQ(started, 1);
  window.ClickToolbarButton(4);  // disabled: write needs data
  EXPECT_FALSE(window.ToolbarBusy());
}

TEST_F(MainWindowFixture, DataCodeReplacesTheDataAfterTheQuestion) {
  window.Files().Load(kSample);
  DataSet other;
  other.SetDataValid(1);
  test::SetIdent(other, 4, 3, 8);
  const QString code = QString::fromStdString(EncodeDataCode(other));
  test::OnNextDialog([code](QDialog* d) {
    auto* dialog = qobject_cast<frmDataCode*>(d);
    dialog->txtCode->setText(code);
    dialog->btOK->click();
  });
  window.Action("mnCode")->trigger();
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("<DATACODE>"));
  EXPECT_TRUE(Label("lblFilename")->isHidden());
  EXPECT_FALSE(window.SensitivityAvailable());
  EXPECT_TRUE(Enabled("mnSensorWrite"));
  EXPECT_FALSE(window.Panel()->cmbSingleOutput->isHidden()) << "variant 3 of the code is shown";
}

TEST_F(MainWindowFixture, ClosingWithChangesCanBeCancelled) {
  window.show();
  ds.SetValue(ValueId::Changed, true);
  bool shutdown = false;
  window.SetShutdown([&] { shutdown = true; });
  test::OnNextDialog([](QDialog* d) { qobject_cast<frmChanged*>(d)->btCancel->click(); });
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(shutdown);
  test::OnNextDialog([](QDialog* d) { qobject_cast<frmChanged*>(d)->btYes->click(); });
  EXPECT_TRUE(window.close());
  EXPECT_TRUE(shutdown);
}

TEST_F(MainWindowFixture, HidingTheOverviewShrinksAndShowingRestores) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QSize full = window.size();
  const int block = window.Overview()->height();
  int value = 0;
  window.SetOverviewShown(value);
  EXPECT_EQ(window.height(), full.height() - block - window.SensorFrame()->layout()->spacing());
  value = -1;
  window.SetOverviewShown(value);
  EXPECT_EQ(value, 0) << "asking changes nothing";
  value = 1;
  window.SetOverviewShown(value);
  EXPECT_EQ(window.size(), full);
  window.SetOverviewShown(value);
  EXPECT_EQ(window.size(), full) << "showing twice changes nothing";

  window.resize(100, 100);
  QApplication::processEvents();
  EXPECT_GE(window.centralWidget()->width(), window.SensorFrame()->sizeHint().width())
      << "the window never gets smaller than the sensor frame";
}

// Run with RKT_SCREENSHOT_DIR set to keep a picture of the window per variant.
TEST_F(MainWindowFixture, Screenshots) {
  const QByteArray out = qgetenv("RKT_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "RKT_SCREENSHOT_DIR not set";
  window.show();
  for (int variant = 1; variant <= 6; ++variant) {
    window.Files().Load(kSample);
    ds.Byte(BlockId::Identification, kReadCopy, ident::kVersion3) = static_cast<std::uint8_t>(variant);
    ds.Byte(BlockId::Identification, kWorkingCopy, ident::kVersion3) = static_cast<std::uint8_t>(variant);
    window.FillPanel();
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(out) + QStringLiteral("/main_variant%1.png").arg(variant)));
  }
}

TEST_F(MainWindowFixture, FirstStartSaysWhatToDoInsteadOfAnEmptyForm) {
  EXPECT_TRUE(window.SensorFrame()->isHidden()) << "no data set: nothing to edit";
  EXPECT_FALSE(window.StartHint()->isHidden());
  EXPECT_EQ(window.StartHint()->text(),
            QStringLiteral("Sensor lesen (Sensor \u2192 Lesen) oder Datei \u00F6ffnen (Datei \u2192 \u00D6ffnen)"));
  window.Files().Load(kSample);
  EXPECT_FALSE(window.SensorFrame()->isHidden());
  EXPECT_TRUE(window.StartHint()->isHidden());
  window.HideSensorFrame();  // as a sensitivity read does: the data stays, so no hint
  EXPECT_TRUE(window.StartHint()->isHidden());
}

TEST_F(MainWindowFixture, SaveAndExportAreConfirmedInTheStatusBar) {
  window.Files().Load(kSample);
  ds.SetValue(ValueId::FileName, dir.filePath(QStringLiteral("job.RKT")).toStdString());
  ASSERT_TRUE(window.Files().Save(false));
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Gespeichert: job.RKT"));

  bool asked = false;
  OnNext<QFileDialog>([&](QFileDialog* d) {
    asked = true;
    EXPECT_EQ(d->nameFilters(), QStringList({QStringLiteral("Textdatei (*.TXT *.txt)"), QStringLiteral("CSV Datei (*.CSV *.csv)")}));
    d->selectNameFilter(d->nameFilters().at(1));
    emit d->filterSelected(d->nameFilters().at(1));
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("CSV"));
    d->setDirectory(dir.path());
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    edit->setText(QStringLiteral("sheet"));
    QTest::keyClick(edit, Qt::Key_Return);
  });
  window.Files().PrintOrExport(true, false);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("sheet.CSV"))));
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Exportiert: sheet.CSV"));
}

// Opening and saving through the real file dialog, with a language file
// whose filter text carries no pattern.
struct FileDialogFixture : MainWindowFixture {
  QTemporaryDir languages;
  FileDialogFixture() {
    QFile f(languages.filePath(QStringLiteral("RKT_LANG.TST")));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[RKT]\nLanguage=Test\n[frmMain]\nFileFilter0=Parameterdateien\nFileFilter1=Alles\n");
    f.close();
    FindLanguages({languages.path().toStdString()});
    SelectLanguage(1);
    EXPECT_TRUE(QFile::copy(kSample, dir.filePath(QStringLiteral("job.RKT"))));
  }
  ~FileDialogFixture() override { FindLanguages({}); }
  // Types name into the dialog, as a user would, and presses OK.
  void TypeAndAccept(QFileDialog* d, const QString& name) {
    d->setDirectory(dir.path());
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
  }
};

TEST_F(FileDialogFixture, OpenFindsTheRktFileForABareName) {
  bool asked = false;
  OnNext<QFileDialog>([&](QFileDialog* d) {
    asked = true;
    EXPECT_EQ(d->nameFilters(), QStringList({QStringLiteral("Parameterdateien (*.RKT *.rkt)"), QStringLiteral("Alles (*)")}))
        << "the pattern does not depend on the text";
    EXPECT_EQ(d->windowModality(), Qt::WindowModal);
    TypeAndAccept(d, QStringLiteral("job"));
  });
  window.Files().Load({});
  EXPECT_TRUE(asked);
  EXPECT_EQ(QString::fromStdString(ds.FileName()), dir.filePath(QStringLiteral("job.RKT")));
  EXPECT_EQ(ds.DataValid(), 1);
}

TEST_F(FileDialogFixture, SaveAsAsksBeforeReplacingTheFileReallyWritten) {
  window.Files().Load(kSample);
  const QByteArray before = Bytes(dir.filePath(QStringLiteral("job.RKT")));
  window.Panel()->cmbHysteresis->setCurrentIndex(2);
  emit window.Panel()->cmbHysteresis->activated(2);
  QString question;
  OnNext<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("RKT"));
    OnNext<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      box->button(QMessageBox::No)->click();
      d->reject();  // the user thinks again
    });
    TypeAndAccept(d, QStringLiteral("job"));
  });
  EXPECT_FALSE(window.Files().Save(true));
  EXPECT_TRUE(question.contains(QStringLiteral("job.RKT"))) << question.toStdString();
  EXPECT_EQ(Bytes(dir.filePath(QStringLiteral("job.RKT"))), before) << "nothing replaced without a yes";
}

TEST_F(MainWindowFixture, LongFileNamesAreElidedInTheMiddleWithTheFullPathAsTooltip) {
  window.show();
  window.resize(window.minimumSizeHint().width(), window.height());
  const QString path = QStringLiteral("/srv/auftraege/Kundenauftrag-2026-0815-") + QString(150, QLatin1Char('x')) + QStringLiteral("-Linie-3-Sensor-Nord.RKT");
  ds.SetValue(ValueId::FileName, path.toStdString());
  window.ShowFileName();
  QApplication::processEvents();
  auto* label = window.findChild<ElidedLabel*>(QStringLiteral("lblFilename"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->toolTip(), path);
  EXPECT_TRUE(label->ShownText().contains(QStringLiteral("\u2026"))) << label->ShownText().toStdString();
  EXPECT_TRUE(label->ShownText().endsWith(QStringLiteral("Nord.RKT ")));
  const QWidget* logo = window.findChild<QWidget*>(QStringLiteral("imgLogo"));
  EXPECT_LE(label->mapTo(&window, QPoint(label->width(), 0)).x(), logo->mapTo(&window, QPoint(0, 0)).x())
      << "not under the logo";
}

TEST_F(MainWindowFixture, RecentFilesOfTheSameNameShowTheirFolder) {
  recent.AddRecentFile("/data/line1/job.RKT");
  recent.AddRecentFile("/data/line2/job.RKT");
  EXPECT_EQ(window.Action("mnFiles1")->statusTip(), QStringLiteral("/data/line2"));
  EXPECT_EQ(window.Action("mnFiles2")->statusTip(), QStringLiteral("/data/line1"));
  EXPECT_EQ(window.Action("mnFiles1")->toolTip(), QStringLiteral("/data/line2/job.RKT"));
  EXPECT_TRUE(window.findChild<QMenu*>(QStringLiteral("mnFile"))->toolTipsVisible());
}

// ---- Every shipped language -------------------------------------------------

struct NoOptions : OptionsBackend {
  int Detection() const override { return 0; }
  void SetDetection(int) override {}
  bool Tooltips() const override { return true; }
  void SetTooltips(bool) override {}
  QStringList Ports() const override { return {QStringLiteral("/dev/ttyS0")}; }
  QString CurrentPort() const override { return QStringLiteral("/dev/ttyS0"); }
  void OpenPort(const QString&) override {}
  QStringList Languages() const override { return {QStringLiteral("Deutsch"), QStringLiteral("English")}; }
  int CurrentLanguage() const override { return 0; }
  void SelectLanguage(int) override {}
  int OverviewShown() const override { return 1; }
  void SetOverviewShown(int) override {}
};

// The texts a user sees in one window or menu, keyed by where they are.
using Texts = std::map<QString, QString>;

void AddWidgetTexts(QWidget* root, const QString& prefix, Texts& out) {
  out[prefix + "/title"] = root->windowTitle();
  int n = 0;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    const QString key = prefix + "/" + QString::number(n++) + ":" + w->objectName();
    if (!w->isVisibleTo(root) || qobject_cast<QMenu*>(w)) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) out[key] = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) out[key] = button->text();
    else if (auto* box = qobject_cast<QGroupBox*>(w)) out[key] = box->title();
    if (auto* combo = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i) out[key + "#" + QString::number(i)] = combo->itemText(i);
  }
}

// Menus: the menu bar's entries and each menu's entries, one group each.
std::map<QString, QStringList> MenuGroups(frmMain& window) {
  std::map<QString, QStringList> groups;
  for (QAction* top : window.menuBar()->actions()) {
    groups["menubar"] << top->text();
    if (QMenu* menu = top->menu())
      for (QAction* a : menu->actions())
        if (a->isVisible() && !a->isSeparator()) groups[top->objectName()] << a->text();
  }
  return groups;
}

struct Windows {
  DataSet ds;
  RecentFiles recent;
  NoOptions options;
  frmMain window{ds, recent};
  std::map<QString, std::unique_ptr<QDialog>> dialogs;
  Windows() {
    ds.SetRecentFiles(&recent);
    window.SetLanguageIndexSource([] { return CurrentLanguageIndex(); });
    window.Files().Load(kSample);
    window.LoadMainTexts();
  }
  void OpenDialogs() {
    dialogs.clear();
    dialogs["frmOptions"] = std::make_unique<frmOptions>(options, &window);
    dialogs["frmDataCode"] = std::make_unique<frmDataCode>(ds, &window);
    dialogs["frmPrintComment"] = std::make_unique<frmPrintComment>(ds, &window);
    dialogs["frmSensorInfo"] = std::make_unique<frmSensorInfo>(ds, &window);
    dialogs["frmChanged"] = std::make_unique<frmChanged>(false, &window);
    dialogs["frmChangedExit"] = std::make_unique<frmChanged>(true, &window);
    dialogs["frmAbout"] = std::make_unique<frmAbout>(true, &window);
    dialogs["frmRWState"] = std::make_unique<frmRWState>(&window);
  }
  Texts All() {
    Texts out;
    AddWidgetTexts(&window, QStringLiteral("frmMain"), out);
    for (const auto& [menu, entries] : MenuGroups(window))
      for (int i = 0; i < entries.size(); ++i) out[menu + "/" + QString::number(i)] = entries[i];
    for (int i = 0; i < 11; ++i) out["tooltip" + QString::number(i)] = window.ToolbarAction(i)->toolTip();
    OpenDialogs();
    for (const auto& [name, dialog] : dialogs) AddWidgetTexts(dialog.get(), name, out);
    return out;
  }
};

QString AccessKey(const QString& text) {
  static const QRegularExpression kKey(QStringLiteral("&([^&])"));
  const QRegularExpressionMatch m = kKey.match(QString(text).replace(QStringLiteral("&&"), QString()));
  return m.hasMatch() ? m.captured(1).toLower() : QString();
}

// Access keys must be unique within each menu and each dialog.
void ExpectUniqueAccessKeys(Windows& w, const std::string& language) {
  std::map<QString, QStringList> groups = MenuGroups(w.window);
  for (const auto& [name, dialog] : w.dialogs) {
    Texts texts;
    AddWidgetTexts(dialog.get(), name, texts);
    for (const auto& [key, text] : texts) groups[name] << text;
  }
  for (const auto& [group, texts] : groups) {
    std::map<QString, QString> seen;
    for (const QString& text : texts) {
      const QString key = AccessKey(text);
      if (key.isEmpty()) continue;
      const auto [it, fresh] = seen.emplace(key, text);
      EXPECT_TRUE(fresh) << language << ", " << group.toStdString() << ": \"" << text.toStdString() << "\" and \""
                         << it->second.toStdString() << "\" share the key " << key.toStdString();
    }
  }
}

// The values a language file gives, without access-key marks.
std::set<QString> FileValues(const std::string& path) {
  std::set<QString> values;
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return values;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const qsizetype eq = line.indexOf('=');
    if (eq > 0 && !line.startsWith(';')) values.insert(QString::fromLatin1(line.mid(eq + 1)).trimmed().remove(QLatin1Char('&')));
  }
  return values;
}

TEST(ShippedLanguages, AccessKeysAreUniqueAndNoGermanTextIsLeftBehind) {
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  ASSERT_GE(LanguageCount(), 2) << "German and English are shipped";
  Windows german;
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"))
      << "Qt's own texts are German with the German program (qt6-translations-l10n)";
  const Texts germanTexts = german.All();
  ExpectUniqueAccessKeys(german, "Deutsch");

  // Texts that are the same in every language on purpose.
  const std::set<QString> kept = {QStringLiteral("&Code"), QStringLiteral("Sprache/Language"),
                                  QStringLiteral("Varem electronic"), QStringLiteral("SENS"),
                                  QStringLiteral("NONE"), QStringLiteral("/dev/ttyS0")};
  for (int index = 1; index < LanguageCount(); ++index) {
    const std::string name = GetLanguageName(index);
    SelectLanguage(index);
    Windows translated;
    ExpectUniqueAccessKeys(translated, name);
    const std::set<QString> values = FileValues(Languages()[static_cast<std::size_t>(index)].path);
    for (const auto& [where, text] : translated.All()) {
      const auto it = germanTexts.find(where);
      if (it == germanTexts.end() || it->second != text || text.trimmed().isEmpty()) continue;
      // Value labels (lb…) show data, the language list shows every language by its own name.
      if (where.contains(QRegularExpression(QStringLiteral(":lb[A-Z]"))) || where.contains(QStringLiteral("cmbLanguage")))
        continue;
      QString plain = QString(text).remove(QLatin1Char('&')).trimmed();
      // The same word in both languages is fine when the file says so;
      // numbers, units and the fixed frequency list never change.
      const bool sameWord = values.count(plain) > 0 || kept.count(text) > 0 ||
                            !plain.contains(QRegularExpression(QStringLiteral("[A-Za-zÄÖÜäöüß]{3,}"))) ||
                            plain.contains(QStringLiteral("-->")) || plain == QStringLiteral("RKT 410-DL/2");
      EXPECT_TRUE(sameWord) << name << ": " << where.toStdString() << " still shows \"" << text.toStdString() << "\"";
    }
    if (name == "English") {
      EXPECT_EQ(translated.window.windowTitle(),
                QStringLiteral("RKT 410 Parameter Setup %1.%2").arg(RKT_VERSION_MAJOR).arg(RKT_VERSION_MINOR));
      EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName())
          << "no display name that the platform would append to every title";
      EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }
  }
  FindLanguages({});
  LoadQtTranslations();
}

// Run under Xvfb with QT_QPA_PLATFORM=xcb and RKT_SCREENSHOT_DIR set to
// refresh the pictures of the README: first start, the main window in
// German and English, and the options with the help in front.
TEST(DailyHandlingScreenshots, FirstStartLanguagesAndHelp) {
  const QString out = QString::fromLocal8Bit(qgetenv("RKT_SCREENSHOT_DIR"));
  if (out.isEmpty()) GTEST_SKIP() << "RKT_SCREENSHOT_DIR not set";
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  QtHelpViewer viewer({});
  SetHelpViewer(&viewer);
  const auto settle = [] {
    for (int i = 0; i < 20; ++i) {
      QApplication::processEvents();
      QTest::qWait(25);
    }
  };
  {
    DataSet ds;
    RecentFiles recent;
    frmMain window(ds, recent);
    window.SetLanguageIndexSource([] { return CurrentLanguageIndex(); });
    window.move(40, 40);
    window.show();
    window.LoadMainTexts();
    settle();
    EXPECT_TRUE(window.grab().save(out + "/first_start.png"));
    window.Files().Load(kSample);
    settle();
    EXPECT_TRUE(window.grab().save(out + "/main_window_de.png"));

    NoOptions options;
    window.SetOptionsBackend(&options);
    OnNext<QDialog>([&](QDialog* d) {
      d->findChild<QPushButton*>(QStringLiteral("btHelp"))->click();
      viewer.Window()->move(window.frameGeometry().right() - 260, window.y() + 60);
      settle();
      const QRect area = window.frameGeometry().united(viewer.Window()->frameGeometry()).united(d->frameGeometry());
      EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                      .save(out + "/options_with_help.png"));
      viewer.Window()->close();
      d->reject();
    });
    window.Action("mnOptions")->trigger();

    SelectLanguage(1);
    window.LoadMainTexts();
    settle();
    EXPECT_TRUE(window.grab().save(out + "/main_window_en.png"));
  }
  SetHelpViewer(nullptr);
  FindLanguages({});
  LoadQtTranslations();
}

// Sensor → Verlauf: records newest first, filtered by serial number, the
// values a record changed, and "Wiederherstellen" as a data code would.
TEST_F(MainWindowFixture, HistoryListsFiltersAndRestoresTheSettingBefore) {
  history::HistoryDb db(dir.filePath("history.sqlite"));
  DataSet sample;
  ASSERT_EQ(LoadParameterFile(sample, kSample.toStdString()), LoadStatus::Ok);
  const auto record = [&](int serial, int time2Before) {
    DataSet before = sample;
    before.SetValue(ValueId::TimeValue2, time2Before);
    link::WriteRecord r;
    r.port = "/dev/ttyS0";
    r.identBefore = before.GetBlock(BlockId::Identification, kWorkingCopy);
    r.identBefore[ident::kSerialHigh] = 0;
    r.identBefore[ident::kSerialLow] = static_cast<std::uint8_t>(serial);
    r.identAfter = r.identBefore;
    r.paramsBefore = before.GetBlock(BlockId::Parameter, kWorkingCopy);
    r.paramsAfter = sample.GetBlock(BlockId::Parameter, kWorkingCopy);
    r.codeBefore = EncodeDataCode(before);
    r.codeAfter = EncodeDataCode(sample);
    const std::int64_t id = db.Begin(r);
    db.Complete(id, link::WriteResult::Done, 0);
    return r.codeBefore;
  };
  record(11, 50);
  const std::string wanted = record(22, 70);
  record(11, 90);
  window.SetHistory(&db);

  bool checked = false;
  test::OnNextDialog([&](QDialog* d) {
    auto* h = qobject_cast<frmHistory*>(d);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->tblRecords->rowCount(), 3);
    EXPECT_EQ(h->cmbSerial->count(), 3) << "all, 00011, 00022";
    h->cmbSerial->setCurrentIndex(h->cmbSerial->findText(QStringLiteral("00022")));
    ASSERT_EQ(h->tblRecords->rowCount(), 1);
    EXPECT_EQ(h->tblRecords->item(0, 2)->text(), QStringLiteral("00022"));
    EXPECT_EQ(h->tblRecords->item(0, 4)->text(), QStringLiteral("ausgeführt"));
    ASSERT_EQ(h->tblChanges->rowCount(), 1) << "only the second time changed";
    EXPECT_EQ(h->tblChanges->item(0, 0)->text(), QStringLiteral("Ausschaltzeit:"));
    checked = true;
    h->btRestore->click();
  });
  window.Action("mnHistory")->trigger();
  EXPECT_TRUE(checked);
  EXPECT_EQ(EncodeDataCode(ds), wanted) << "the working copy holds the setting before that write";
  EXPECT_EQ(ds.GetString(ValueId::TypeName, kWorkingCopy).substr(0, 10), "<DATACODE>");
  EXPECT_TRUE(Enabled("mnSensorWrite")) << "ready to be written";
}

}  // namespace
}  // namespace rkt
