// The sensor commands as the program runs them: window, progress dialog,
// message boxes and detection against the simulated sensor.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <deque>

#include "app/main_loop.h"
#include "app/sensor_link.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "text/message_box.h"
#include "support/recording_presenter.h"
#include "text/messages.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"
#include "ui/history_dialogs.h"
#include "text/text_keys.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"

namespace rkt {
namespace {

// Message boxes answered from a queue, then with the safe answer.
using Answers = test::InstalledPresenter;

sim::SimConfig QuickSensor(int type = 1) {
  sim::SimConfig c;
  c.typeCode = type;
  c.idleTimeout = std::chrono::milliseconds(10);
  return c;
}

struct ProgramFixture : ::testing::Test {
  std::shared_ptr<sim::SensorSimulator> sensor = std::make_shared<sim::SensorSimulator>(QuickSensor());
  SensorLink link{sensor};
  DataSet data;
  RecentFiles recent;
  frmMain window{data, recent};
  DetectionRequest request;
  Answers answers;

  ProgramFixture() {
    data.SetRecentFiles(&recent);
    link.Attach(data, window);
    LinkSettings fast;
    fast.detectTimeoutMs = 10;
    fast.readTimeoutMs = 25;
    link.InitPorts(fast);
    link.InitDetection(request);
    QObject::connect(&window, &frmMain::SensorCommandRequested, [this](SensorCommand c) { link.RunCommand(c); });
    // The tests of the preview switch it on themselves.
    window.SetWritePreview(false);
  }
  void Trigger(const char* action) { window.Action(action)->trigger(); }
  int Written(int address) const { return sensor->Memory(1, address); }
};

TEST_F(ProgramFixture, ReadShowsTheSensorAndEnablesTheDataCommands) {
  Trigger("mnSensorRead");
  EXPECT_EQ(data.DataValid(), 1);
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-1"));
  EXPECT_TRUE(window.Action("mnSave")->isEnabled());
  EXPECT_FALSE(data.IsChanged());
  EXPECT_FALSE(data.OfflineData());
  EXPECT_EQ(link.User()->Progress(), nullptr) << "the progress dialog is gone after the read";
  EXPECT_TRUE(answers.shown.empty()) << "a good read says nothing";
  EXPECT_TRUE(window.StatusPort()->text().startsWith(QStringLiteral("\u25CF"))) << "connected";
}

TEST_F(ProgramFixture, TheDemoKeepsThePortOfTheOptions) {
  link.OpenPort("/dev/ttyUSB0");
  EXPECT_EQ(link.PortName(), "/dev/ttyUSB0") << "saved as it was, not as the simulator";
  EXPECT_EQ(link.Ports().CurrentPortName(), SensorLink::kSimulatorPort);
  EXPECT_EQ(link.PortList(), std::vector<std::string>{SensorLink::kSimulatorPort});
}

TEST_F(ProgramFixture, TraceRecordsWhileSwitchedOn) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("trace.txt"));
  ASSERT_TRUE(link.StartTrace(path.toStdString()));
  EXPECT_TRUE(link.Tracing());
  Trigger("mnSensorRead");
  const qint64 recorded = QFileInfo(path).size();
  EXPECT_GT(recorded, 500) << "a read leaves its bytes in the trace";
  EXPECT_TRUE(link.SetTrace(false));
  Trigger("mnSensorRead");
  EXPECT_EQ(QFileInfo(path).size(), recorded) << "switched off, nothing more is written";
}

TEST_F(ProgramFixture, FactorySettingsComeFromTheDefaultsBlock) {
  Trigger("mnSensorRead");
  Trigger("mnSensorDefault");
  EXPECT_EQ(data.Param(kWorkingCopy, param::kSwitchingFrequency), sensor->Memory(2, 3));
  EXPECT_NE(sensor->Memory(2, 3), sensor->Memory(1, 3)) << "the two blocks differ in the simulator";
}

TEST_F(ProgramFixture, WriteSendsWhatThePanelShows) {
  Trigger("mnSensorRead");
  window.Panel()->cmbHysteresis->setCurrentIndex(2);
  emit window.Panel()->cmbHysteresis->activated(2);
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(Written(11) & 0x30, 0x30) << "hysteresis 'groß' reached the sensor";
  EXPECT_FALSE(data.IsChanged());
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Daten zum Sensor übertragen")) << "the success is said, without a dialog";
}

TEST_F(ProgramFixture, LockedSensorAndOtherFamilyRefuseTheWrite) {
  Trigger("mnSensorRead");
  sensor->SetMemory(1, 1, static_cast<std::uint8_t>(sensor->Memory(1, 1) & ~0x04));
  window.Panel()->cmbHysteresis->setCurrentIndex(0);
  emit window.Panel()->cmbHysteresis->activated(0);
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.Shown(msg::kSensorLocked));
  EXPECT_TRUE(sensor->StoredWrites().empty());

  sensor->SetMemory(1, 1, static_cast<std::uint8_t>(sensor->Memory(1, 1) | 0x04));
  sensor->SetMemory(0, 7, 7);  // now a sensor of another family
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.Shown(msg::kTypeMismatch));
  EXPECT_TRUE(sensor->StoredWrites().empty());
}

TEST_F(ProgramFixture, SensitivityTravelsSeparately) {
  Trigger("mnSensorRead");
  EXPECT_FALSE(window.Action("mnSensWrite")->isEnabled());
  Trigger("mnSensRead");
  EXPECT_TRUE(window.SensitivityAvailable());
  EXPECT_EQ(window.Panel()->scrlSensitivity->value(), sensor->Memory(1, 2) - 7);
  window.Panel()->scrlSensitivity->setValue(46);
  answers.queue = {msg::kYes};  // "Wollen Sie fortfahren?"
  Trigger("mnSensWrite");
  EXPECT_EQ(Written(2), 46 + 7);
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Empfindlichkeit zum Sensor übertragen"));
}

TEST_F(ProgramFixture, CommunicationTestWithoutSensorGivesUpAfterThirtyTries) {
  // The service display (QDDebug=yes) shows the attempt the check stopped at.
  window.SetDebugDisplay(true);
  auto* lblDebug = window.findChild<QLabel*>(QStringLiteral("lblDebug"));
  ASSERT_NE(lblDebug, nullptr);
  sensor->InjectFault({sim::Fault::Silence});
  Trigger("mnSensorTest");
  EXPECT_TRUE(answers.Shown(msg::kNoSensor));
  EXPECT_EQ(sensor->CommandCount(sim::Command::V), 30);
  EXPECT_EQ(lblDebug->text(), QStringLiteral("31")) << "all 30 failed";
  sensor->ClearFaults();
  Trigger("mnSensorTest");
  EXPECT_TRUE(answers.Shown(msg::kCommunicationOk));
  EXPECT_EQ(lblDebug->text(), QStringLiteral("1"));
  EXPECT_FALSE(lblDebug->isHidden());
}

TEST_F(ProgramFixture, CancelInTheProgressDialogEndsQuietly) {
  Trigger("mnSensorRead");
  const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
  sensor->InjectFault({sim::Fault::WrongBlock, sim::Command::LP});
  // Press Cancel as soon as the dialog is up.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (link.User()->Progress()) link.User()->Progress()->btCancel->click();
  });
  poll.start(5);
  Trigger("mnSensorRead");
  poll.stop();
  EXPECT_TRUE(answers.shown.empty()) << "Cancel shows no message: " << (answers.shown.empty() ? "" : answers.shown.front().text);
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
}

TEST_F(ProgramFixture, RetryAfterAFaultThatClears) {
  sensor->InjectFault({sim::Fault::WrongBlock, sim::Command::LP, 5});
  answers.queue = {msg::kRetry};
  Trigger("mnSensorRead");
  ASSERT_FALSE(answers.shown.empty());
  EXPECT_EQ(answers.shown.front().text, MessageDisplayText(1005));
  EXPECT_EQ(data.DataValid(), 1) << "the second run read the sensor";
}

TEST_F(ProgramFixture, DetectionFollowsTheSensor) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence});
  link.DetectSensor();
  EXPECT_EQ(data.DataValid(), 0);
  EXPECT_FALSE(window.Overview()->isEnabled()) << "no sensor: the overview is greyed";

  sensor->ClearFaults();
  link.DetectSensor();
  EXPECT_EQ(data.DataValid(), 1) << "a newly attached sensor is read";
  EXPECT_FALSE(data.IsChanged());
  EXPECT_TRUE(window.Overview()->isEnabled());

  sensor->SetMemory(0, 7, 2);  // the partner type
  link.DetectSensor();
  EXPECT_TRUE(answers.shown.empty()) << "a partner type raises no question";

  sensor->SetMemory(0, 7, 5);  // another family
  answers.queue = {msg::kYes};
  link.DetectSensor();
  EXPECT_TRUE(answers.Shown(msg::kTypeChanged));
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 5) << "Yes takes the new sensor's data";
}

TEST_F(ProgramFixture, AFileLoadedBeforeTheSensorStays) {
  window.Files().Load(QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT"));
  link.SetDetection(1);
  link.DetectSensor();
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-DL/2"));
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 5);
  EXPECT_TRUE(window.StatusPort()->text().startsWith(QStringLiteral("\u25CF"))) << "the sensor is seen";
}

TEST_F(ProgramFixture, ACommandDuringADetectionRunGoesFirstAndNeverInterleaves) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence, sim::Command::Any, 3});
  QElapsedTimer clock;
  qint64 startedAfter = -1;
  QTimer::singleShot(30, [&] {
    clock.start();
    window.Action("mnSensorRead")->trigger();
  });
  QObject::connect(&window, &frmMain::SensorCommandRequested, [&](SensorCommand) {});
  // The read's progress dialog appears once the detection has given way.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (startedAfter < 0 && link.User()->Progress()) startedAfter = clock.elapsed();
  });
  poll.start(2);
  link.DetectSensor();
  poll.stop();
  EXPECT_EQ(data.DataValid(), 1) << "the read ran after the detection";
  ASSERT_GE(startedAfter, 0);
  EXPECT_LT(startedAfter, 500) << "the command starts within half a second";
  EXPECT_FALSE(link.Ports().Abandoned());
}

// Menu commands at random moments of detection runs, on a line as slow as
// the real one: each run gives way with its answers still on the wire, and
// the command must find the sensor all the same.
TEST(ProgramOnATimedLine, CommandsDuringDetectionRunsFindTheSensor) {
  sim::SimConfig timed;
  timed.baudTiming = true;
  auto sensor = std::make_shared<sim::SensorSimulator>(timed);
  SensorLink link(sensor);
  DataSet data;
  RecentFiles recent;
  data.SetRecentFiles(&recent);
  frmMain window(data, recent);
  window.SetWritePreview(false);  // the preview has its own test
  DetectionRequest request;
  Answers answers;
  link.Attach(data, window);
  link.InitPorts(LinkSettings{});
  link.InitDetection(request);
  QObject::connect(&window, &frmMain::SensorCommandRequested, [&](SensorCommand c) { link.RunCommand(c); });
  link.SetDetection(1);
  link.DetectSensor();
  ASSERT_EQ(data.DataValid(), 1);

  const struct {
    const char* action;
    sim::Command during;  // the command is chosen once the run has started
    int nth;              // this many of these
  } rounds[] = {
      {"mnSensorRead", sim::Command::LP, 1},  {"mnSensorWrite", sim::Command::LP, 2},
      {"mnSensorRead", sim::Command::LP, 3},  {"mnSensorWrite", sim::Command::LP, 4},
      {"mnSensorRead", sim::Command::LQ, 3},  {"mnSensorWrite", sim::Command::LQ, 6},
      {"mnSensorTest", sim::Command::LP, 2},  {"mnSensorRead", sim::Command::V, 1},
  };
  int hysteresis = 0;
  for (const auto& r : rounds) {
    const std::string what = std::string(r.action) + " during command " + std::to_string(static_cast<int>(r.during)) +
                             " #" + std::to_string(r.nth);
    if (std::string(r.action) == "mnSensorWrite") {
      hysteresis = (hysteresis + 1) % 3;
      window.Panel()->cmbHysteresis->setCurrentIndex(hysteresis);
      emit window.Panel()->cmbHysteresis->activated(hysteresis);
    }
    answers.shown.clear();
    const int base = sensor->CommandCount(r.during);
    bool chosen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (!chosen && sensor->CommandCount(r.during) >= base + r.nth) {
        chosen = true;
        window.Action(r.action)->trigger();
      }
    });
    poll.start(1);
    link.DetectSensor();
    poll.stop();
    ASSERT_TRUE(chosen) << what;
    const std::vector<std::string> expected =
        std::string(r.action) == "mnSensorTest" ? Answers::Numbered({msg::kCommunicationOk}) : std::vector<std::string>{};
    EXPECT_EQ(answers.Texts(), expected) << what;
    EXPECT_EQ(data.Param(kWorkingCopy, 12), sensor->Memory(1, 11)) << what;
    EXPECT_FALSE(data.IsChanged()) << what;
    EXPECT_FALSE(link.Ports().Abandoned()) << what;
  }
}

// A port whose device went away: the next command opens it again, and when
// that fails, message 2 says which port and why, never message 1.
TEST(ProgramPortLost, TheNextCommandOpensThePortOrSaysWhyNot) {
  auto sensor = std::make_shared<sim::SensorSimulator>(QuickSensor());
  auto owned = std::make_unique<sim::SimulatedLine>(sensor);
  sim::SimulatedLine* line = owned.get();
  SensorLink link(std::move(owned));
  DataSet data;
  RecentFiles recent;
  frmMain window(data, recent);
  window.SetWritePreview(false);  // the preview has its own test
  Answers answers;
  link.Attach(data, window);
  LinkSettings fast;
  fast.detectTimeoutMs = 10;
  fast.readTimeoutMs = 25;
  link.InitPorts(fast);
  link.OpenPort("/dev/ttyUSB7");
  link.RunCommand(SensorCommand::Read);
  ASSERT_EQ(data.DataValid(), 1);
  ASSERT_TRUE(window.StatusPort()->isEnabled());

  line->Vanish();
  EXPECT_FALSE(link.Ports().IsPortOpen());
  EXPECT_FALSE(window.StatusPort()->isEnabled()) << "the status bar shows the port closed";
  for (const SensorCommand command : {SensorCommand::Read, SensorCommand::Test}) {
    answers.shown.clear();
    link.RunCommand(command);
    ASSERT_EQ(answers.shown.size(), 1u);
    const std::string text = answers.shown[0].text;
    EXPECT_EQ(text.rfind(MessageDisplayText(msg::kPortInit), 0), 0u) << text;
    EXPECT_NE(text.find("/dev/ttyUSB7"), std::string::npos) << text;
    EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
  }

  line->Replug();
  answers.shown.clear();
  link.RunCommand(SensorCommand::Read);
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_TRUE(link.Ports().IsPortOpen());
  EXPECT_TRUE(window.StatusPort()->isEnabled());
}

// Run with RKT_SCREENSHOT_DIR set: the progress dialog in mid-read, the
// type-change question and the window after reading the simulated sensor.
// Answers the write preview the moment it is up; records the rows it showed.
struct PreviewAnswer {
  explicit PreviewAnswer(bool yes) {
    QObject::connect(&poll, &QTimer::timeout, [this, yes] {
      auto* dialog = qobject_cast<frmWritePreview*>(QApplication::activeModalWidget());
      if (!dialog) return;
      for (int r = 0; r < dialog->tblChanges->rowCount(); ++r)
        rows.push_back(dialog->tblChanges->item(r, 0)->text() + " " + dialog->tblChanges->item(r, 1)->text() + " | " +
                       dialog->tblChanges->item(r, 2)->text());
      ++shown;
      (yes ? dialog->btYes : dialog->btNo)->click();
    });
    poll.start(5);
  }
  QTimer poll;
  QStringList rows;
  int shown = 0;
};

TEST_F(ProgramFixture, ThePreviewListsTheChangesAndNoKeepsTheSensor) {
  window.SetWritePreview(true);
  Trigger("mnSensorRead");
  window.Panel()->cmbHysteresis->setCurrentIndex(2);
  emit window.Panel()->cmbHysteresis->activated(2);
  const int before = Written(11);
  {
    PreviewAnswer no(false);
    Trigger("mnSensorWrite");
    EXPECT_EQ(no.shown, 1);
    EXPECT_EQ(no.rows, QStringList{QStringLiteral("Hysterese: standard | groß")});
  }
  EXPECT_EQ(Written(11), before) << "No writes nothing";
  EXPECT_EQ(sensor->CommandCount(sim::Command::PQ), 0);
  EXPECT_TRUE(answers.shown.empty());
  {
    PreviewAnswer yes(true);
    Trigger("mnSensorWrite");
    EXPECT_EQ(yes.shown, 1);
  }
  EXPECT_EQ(Written(11) & 0x30, 0x30) << "Yes writes";
  // Nothing left to change: said, not written.
  const int writes = sensor->CommandCount(sim::Command::PQ);
  {
    PreviewAnswer unused(true);
    Trigger("mnSensorWrite");
    EXPECT_EQ(unused.shown, 0);
  }
  EXPECT_EQ(sensor->CommandCount(sim::Command::PQ), writes);
  ASSERT_EQ(answers.shown.size(), 1u);
  EXPECT_EQ(answers.shown.front().text, MessageDisplayText(msg::kNothingToWrite));
}

TEST_F(ProgramFixture, ALostByteShowsTheCheckMessageAndTheSensorsValues) {
  Trigger("mnSensorRead");
  const int held = Written(11);
  window.Panel()->cmbHysteresis->setCurrentIndex(2);
  emit window.Panel()->cmbHysteresis->activated(2);
  sim::FaultPlan lost{sim::Fault::LostWrite};  // every byte: the sensor keeps nothing
  sensor->InjectFault(lost);
  Trigger("mnSensorWrite");
  ASSERT_EQ(answers.shown.size(), 1u);
  EXPECT_EQ(answers.shown.front().text.rfind(MessageDisplayText(1040), 0), 0u) << answers.shown.front().text;
  EXPECT_EQ(answers.shown.front().helpContext, help::kVerifyFailed);
  EXPECT_NE(answers.shown.front().text.find(Text("Message", "WriteMixed")), std::string::npos);
  EXPECT_EQ(data.Param(kReadCopy, param::kInputExtra), held) << "the read copy holds what the sensor has";
  EXPECT_EQ(window.Panel()->cmbHysteresis->currentIndex(), 2) << "the panel keeps what was meant to be written";
}

TEST(ProgramScreenshots, ProgressQuestionAndWindow) {
  const QString out = QString::fromLocal8Bit(qgetenv("RKT_SCREENSHOT_DIR"));
  if (out.isEmpty()) GTEST_SKIP() << "RKT_SCREENSHOT_DIR not set";
  sim::SimConfig slow;  // the sensor's own idle time: commands take real time here
  slow.baudTiming = true;
  auto sensor = std::make_shared<sim::SensorSimulator>(slow);
  SensorLink link(sensor);
  DataSet data;
  RecentFiles recent;
  frmMain window(data, recent);
  QtMessagePresenter boxes;
  SetMessagePresenter(&boxes);
  DetectionRequest request;
  link.Attach(data, window);
  link.InitPorts(LinkSettings{});
  link.InitDetection(request);
  window.show();
  bool grabbed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    frmRWState* progress = link.User()->Progress();
    if (!grabbed && progress && progress->gaugeBar->value() > 30) {
      grabbed = progress->grab().save(out + "/progress_read.png");
    }
  });
  poll.start(20);
  // Nothing but the progress may show up during the read.
  QTimer unexpected;
  QObject::connect(&unexpected, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        ADD_FAILURE() << box->text().toStdString();
        for (QAbstractButton* b : box->buttons())
          if (box->buttonRole(b) == QMessageBox::RejectRole) b->click();
      }
  });
  unexpected.start(50);
  link.RunCommand(SensorCommand::Read);
  unexpected.stop();
  poll.stop();
  EXPECT_TRUE(grabbed);
  QApplication::processEvents();
  EXPECT_TRUE(window.grab().save(out + "/main_after_read.png"));

  sensor->SetMemory(0, 7, 5);
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      answer.stop();
      box->grab().save(out + "/message31.png");
      for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::NoRole) b->click();
      return;
    }
  });
  answer.start(20);
  link.SetDetection(1);
  link.DetectSensor();
  SetMessagePresenter(nullptr);
}


}  // namespace
}  // namespace rkt
