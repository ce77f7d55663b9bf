#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "text/language.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"
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
  window.LoadParameterFile(kSample);
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
  window.LoadParameterFile(kSample);
  const QString bad = dir.filePath(QStringLiteral("bad.RKT"));
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a parameter file");
  f.close();
  window.LoadParameterFile(bad);
  EXPECT_EQ(messages.Texts(), test::MessageRecorder::Numbered({20}));
  EXPECT_EQ(ds.FileName(), kSample.toStdString());
  EXPECT_TRUE(Enabled("mnSave"));
}

TEST_F(MainWindowFixture, SaveWritesWhatThePanelShowsAndAFailureIsReported) {
  test::MessageRecorder messages;
  window.LoadParameterFile(kSample);
  window.Panel()->cmbHysteresis->setCurrentIndex(2);
  emit window.Panel()->cmbHysteresis->activated(2);
  const std::string target = dir.filePath(QStringLiteral("copy")).toStdString();
  ds.SetValue(ValueId::FileName, target);
  ASSERT_TRUE(window.SaveParameterFile(false));
  EXPECT_FALSE(ds.IsChanged());
  DataSet reread;
  ASSERT_EQ(rkt::LoadParameterFile(reread, target + ".RKT"), LoadStatus::Ok);
  EXPECT_EQ(reread.GetInt(ValueId::Hysteresis, kWorkingCopy), 2);
  EXPECT_EQ(recent.GetRecentFile(1), target) << "the name before the save goes to the list";

  window.Panel()->cmbHysteresis->setCurrentIndex(0);
  emit window.Panel()->cmbHysteresis->activated(0);
  ds.SetValue(ValueId::FileName, dir.filePath(QStringLiteral("missing/x.RKT")).toStdString());
  EXPECT_FALSE(window.SaveParameterFile(false));
  EXPECT_EQ(messages.Texts(), test::MessageRecorder::Numbered({21}));
  EXPECT_TRUE(ds.IsChanged()) << "a failed save keeps the data marked changed";
  EXPECT_EQ(Label("lblTBChanged")->text(), QStringLiteral("C"));
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
  window.LoadParameterFile(kSample);
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
    window.LoadParameterFile(kSample);
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
  window.LoadParameterFile(kSample);
  EXPECT_FALSE(window.SensorFrame()->isHidden());
  EXPECT_TRUE(window.StartHint()->isHidden());
  window.HideSensorFrame();  // as a sensitivity read does: the data stays, so no hint
  EXPECT_TRUE(window.StartHint()->isHidden());
}

TEST_F(MainWindowFixture, SaveAndExportAreConfirmedInTheStatusBar) {
  window.LoadParameterFile(kSample);
  ds.SetValue(ValueId::FileName, dir.filePath(QStringLiteral("job.RKT")).toStdString());
  ASSERT_TRUE(window.SaveParameterFile(false));
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
  window.PrintOrExport(true, false);
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
  window.LoadParameterFile({});
  EXPECT_TRUE(asked);
  EXPECT_EQ(QString::fromStdString(ds.FileName()), dir.filePath(QStringLiteral("job.RKT")));
  EXPECT_EQ(ds.DataValid(), 1);
}

TEST_F(FileDialogFixture, SaveAsAsksBeforeReplacingTheFileReallyWritten) {
  window.LoadParameterFile(kSample);
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
  EXPECT_FALSE(window.SaveParameterFile(true));
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

}  // namespace
}  // namespace rkt
