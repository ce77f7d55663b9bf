#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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
#include "history/history_db.h"
#include "ui/dialogs.h"
#include "ui/history_dialogs.h"
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
