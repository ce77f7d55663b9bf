#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QFileDialog>
#include <QScrollBar>
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
#include "model/value_conversions.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"
#include "ui_test_support.h"

namespace rkt {
namespace {

const QString kSample = QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT");

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
  // The message names the file and the reason on its second line.
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0],
            test::MessageRecorder::Numbered({20})[0] + "\n" + bad.toStdString() + ": not a parameter file (wrong header)");
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
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0], test::MessageRecorder::Numbered({21})[0] + "\n" +
                                     dir.filePath(QStringLiteral("missing/x.RKT")).toStdString() +
                                     ": No such file or directory");
  EXPECT_TRUE(ds.IsChanged()) << "a failed save keeps the data marked changed";
  EXPECT_EQ(Label("lblTBChanged")->text(), QStringLiteral("C"));

  // Unchanged data that fails to save stays unchanged: the file on disk is
  // what it was.
  ds.SetValue(ValueId::Changed, false);
  EXPECT_FALSE(window.SaveParameterFile(false));
  EXPECT_FALSE(ds.IsChanged());
  EXPECT_EQ(Label("lblTBChanged")->text(), QString());
}

// The export shows the window's sensitivity bar, not the stored value.
TEST_F(MainWindowFixture, ExportTakesTheSensitivityFromThePanel) {
  window.LoadParameterFile(kSample);
  ds.SetSensitivityValid(1);
  window.SetSensitivityAvailable(true);
  window.ShowSensitivity();
  window.Panel()->scrlSensitivity->setValue(kSensitivityMax);
  const QString target = dir.filePath(QStringLiteral("sheet.TXT"));
  test::OnNextDialog([target](QDialog* d) {
    auto* files = qobject_cast<QFileDialog*>(d);
    ASSERT_NE(files, nullptr);
    files->selectFile(target);
    QMetaObject::invokeMethod(files, "accept");
  });
  window.PrintOrExport(true, false);
  QFile f(target);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(f.readAll());
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Empfindlichkeit: +100%")))) << text.toStdString();
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

}  // namespace
}  // namespace rkt
