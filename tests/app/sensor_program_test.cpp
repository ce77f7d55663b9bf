// The sensor commands as the program runs them against the simulated sensor.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

#include "app/main_loop.h"
#include "app/sensor_link.h"
#include "model/data_set.h"
#include "model/recent_files.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "support/recording_presenter.h"
#include "text/messages.h"
#include "text/text_keys.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"
#include "ui/history_dialogs.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"

namespace rkt {
namespace {

using Answers = test::InstalledPresenter;

sim::SimConfig QuickSensor() {
  sim::SimConfig c;
  c.idleTimeout = std::chrono::milliseconds(10);
  return c;
}
LinkSettings FastLink() {
  LinkSettings s;
  s.detectTimeoutMs = 10;
  s.readTimeoutMs = 25;
  return s;
}

// The window, the link and the simulated sensor wired as the frame does.
struct Program {
  // demo: the built-in simulated sensor as the only port; else a line of its own.
  explicit Program(sim::SimConfig config = QuickSensor(), LinkSettings settings = FastLink(), bool demo = true)
      : sensor(std::make_shared<sim::SensorSimulator>(config)), link(Make(demo)) {
    data.SetRecentFiles(&recent);
    link.Attach(data, window);
    link.InitPorts(settings);
    link.InitDetection(request);
    QObject::connect(&window, &frmMain::SensorCommandRequested, [this](SensorCommand c) { link.RunCommand(c); });
    window.SetWritePreview(false);  // the preview's test switches it on
  }
  SensorLink& Make(bool demo) {
    if (demo) return holder.emplace(sensor);
    auto owned = std::make_unique<sim::SimulatedLine>(sensor);
    line = owned.get();
    return holder.emplace(std::move(owned));
  }
  void Trigger(const char* action) { window.Action(action)->trigger(); }
  int Written(int address) const { return sensor->Memory(1, address); }
  void SetHysteresis(int index) {
    window.Panel()->cmbHysteresis->setCurrentIndex(index);
    emit window.Panel()->cmbHysteresis->activated(index);
  }
  bool Connected() const { return window.StatusPort()->text().startsWith(QStringLiteral("\u25CF")); }

  std::shared_ptr<sim::SensorSimulator> sensor;
  sim::SimulatedLine* line = nullptr;
  std::optional<SensorLink> holder;
  SensorLink& link;
  DataSet data;
  RecentFiles recent;
  frmMain window{data, recent};
  DetectionRequest request;
  Answers answers;
};

struct ProgramFixture : ::testing::Test, Program {};

TEST_F(ProgramFixture, ReadShowsTheSensorAndFactorySettingsComeFromTheDefaultsBlock) {
  Trigger("mnSensorRead");
  EXPECT_EQ(data.DataValid(), 1);
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-1"));
  EXPECT_TRUE(window.Action("mnSave")->isEnabled());
  EXPECT_FALSE(data.IsChanged());
  EXPECT_FALSE(data.OfflineData());
  EXPECT_EQ(link.User()->Progress(), nullptr) << "the progress dialog is gone after the read";
  EXPECT_TRUE(answers.shown.empty()) << "a good read says nothing";
  EXPECT_TRUE(Connected());

  Trigger("mnSensorDefault");
  EXPECT_EQ(data.Param(kWorkingCopy, param::kSwitchingFrequency), sensor->Memory(2, 3));
  EXPECT_NE(sensor->Memory(2, 3), sensor->Memory(1, 3)) << "the two blocks differ in the simulator";

  // Factory settings of another family: No reads nothing.
  const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
  sensor->SetMemory(0, 7, 5);
  answers.queue = {msg::kNo};
  Trigger("mnSensorDefault");
  EXPECT_TRUE(answers.Shown(msg::kTypeChanged));
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 1);
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

TEST_F(ProgramFixture, WriteSendsWhatThePanelShowsUnlessLockedOrOfAnotherFamily) {
  Trigger("mnSensorRead");
  SetHysteresis(2);
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(Written(11) & 0x30, 0x30) << "hysteresis 'groß' reached the sensor";
  EXPECT_FALSE(data.IsChanged());
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Daten zum Sensor übertragen"));

  const std::size_t stored = sensor->StoredWrites().size();
  sensor->SetMemory(1, 1, static_cast<std::uint8_t>(sensor->Memory(1, 1) & ~0x04));
  SetHysteresis(0);
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.Shown(msg::kSensorLocked));
  EXPECT_EQ(sensor->StoredWrites().size(), stored);

  sensor->SetMemory(1, 1, static_cast<std::uint8_t>(sensor->Memory(1, 1) | 0x04));
  sensor->SetMemory(0, 7, 7);
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.Shown(msg::kTypeMismatch));
  EXPECT_EQ(sensor->StoredWrites().size(), stored);
}

TEST_F(ProgramFixture, ALostByteShowsTheCheckMessageAndTheSensorsValues) {
  Trigger("mnSensorRead");
  const int held = Written(11);
  SetHysteresis(2);
  sensor->InjectFault({sim::Fault::LostWrite});  // every byte: the sensor keeps nothing
  Trigger("mnSensorWrite");
  ASSERT_EQ(answers.shown.size(), 1u);
  EXPECT_EQ(answers.shown.front().text.rfind(MessageDisplayText(1040), 0), 0u) << answers.shown.front().text;
  EXPECT_EQ(answers.shown.front().helpContext, help::kVerifyFailed);
  EXPECT_NE(answers.shown.front().text.find(Text("Message", "WriteMixed")), std::string::npos);
  EXPECT_EQ(data.Param(kReadCopy, param::kInputExtra), held) << "the read copy holds what the sensor has";
  EXPECT_EQ(window.Panel()->cmbHysteresis->currentIndex(), 2) << "the panel keeps what was meant to be written";
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
  window.SetDebugDisplay(true);  // shows the attempt the check stopped at
  auto* lblDebug = window.findChild<QLabel*>(QStringLiteral("lblDebug"));
  ASSERT_NE(lblDebug, nullptr);
  sensor->InjectFault({sim::Fault::Silence});
  Trigger("mnSensorTest");  // the retry question is answered Cancel
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kNoSensor}));
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
  QTimer poll;  // Cancel as soon as the dialog is up
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (link.User()->Progress()) link.User()->Progress()->btCancel->click();
  });
  poll.start(5);
  Trigger("mnSensorRead");
  poll.stop();
  EXPECT_TRUE(answers.shown.empty()) << "Cancel shows no message";
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
}

TEST_F(ProgramFixture, AFailedReadAsksRetryAndCancelLeavesTheData) {
  for (const int answer : {msg::kCancel, msg::kRetry}) {
    SCOPED_TRACE(answer);
    sensor->ClearFaults();
    sensor->InjectFault({sim::Fault::WrongBlock, sim::Command::LP, 5});
    answers.shown.clear();
    answers.queue = {answer};
    const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
    Trigger("mnSensorRead");
    ASSERT_FALSE(answers.shown.empty());
    EXPECT_EQ(answers.shown.front().text, MessageDisplayText(1005));
    EXPECT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(data.DataValid(), answer == msg::kRetry ? 1 : 0) << "the second run read the sensor";
    if (answer == msg::kCancel) {
      EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
    }
  }
}

TEST_F(ProgramFixture, DetectionFollowsTheSensor) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence});
  link.DetectSensor();
  EXPECT_EQ(data.DataValid(), 0);
  EXPECT_FALSE(window.Overview()->isEnabled()) << "no sensor: the overview is greyed";
  EXPECT_TRUE(answers.shown.empty()) << "the detection asks nothing";

  sensor->ClearFaults();
  link.DetectSensor();
  EXPECT_EQ(data.DataValid(), 1) << "a newly attached sensor is read";
  EXPECT_FALSE(data.IsChanged());
  EXPECT_TRUE(window.Overview()->isEnabled());

  sensor->SetMemory(0, 7, 2);  // the partner type
  link.DetectSensor();
  EXPECT_TRUE(answers.shown.empty()) << "a partner type raises no question";
  EXPECT_TRUE(window.Overview()->isEnabled());

  // Another family: No keeps the data being edited and greys the overview.
  const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
  sensor->SetMemory(0, 7, 5);
  answers.queue = {msg::kNo};
  link.DetectSensor();
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kTypeChanged}));
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 1);
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
  EXPECT_EQ(data.DataValid(), 1);
  EXPECT_FALSE(window.Overview()->isEnabled());

  link.DetectSensor();
  EXPECT_EQ(answers.shown.size(), 1u) << "the same sensor is not asked about again";
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 1);

  sensor->SetMemory(0, 7, 7);  // yet another family: Yes takes its data
  answers.queue = {msg::kYes};
  link.DetectSensor();
  EXPECT_EQ(answers.shown.size(), 2u);
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 7);
  EXPECT_FALSE(data.IsChanged());
}

TEST_F(ProgramFixture, AFileLoadedBeforeTheSensorStays) {
  window.Files().Load(QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT"));
  link.SetDetection(1);
  link.DetectSensor();
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-DL/2"));
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 5);
  EXPECT_TRUE(Connected()) << "the sensor is seen";
}

TEST_F(ProgramFixture, ACommandDuringADetectionRunGoesFirstAndNeverInterleaves) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence, sim::Command::Any, 3});
  QElapsedTimer clock;
  qint64 startedAfter = -1;
  QTimer::singleShot(30, [&] {
    clock.start();
    Trigger("mnSensorRead");
  });
  QTimer poll;  // the read's progress dialog appears once the detection has given way
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

// Commands in mid-run on a line as slow as the real one: the run gives way
// with its answers still on the wire, and the command must find the sensor.
TEST(ProgramOnATimedLine, CommandsDuringDetectionRunsFindTheSensor) {
  sim::SimConfig timed;
  timed.baudTiming = true;
  Program p(timed, LinkSettings{});
  p.link.SetDetection(1);
  const struct {
    const char* action;
    sim::Command during;
    int nth;  // the command comes once the run has sent this many of `during`
  } rounds[] = {
      {"mnSensorWrite", sim::Command::LP, 2},
      {"mnSensorRead", sim::Command::LQ, 3},
      {"mnSensorTest", sim::Command::V, 1},
  };
  for (const auto& r : rounds) {
    SCOPED_TRACE(std::string(r.action) + " during " + std::to_string(static_cast<int>(r.during)));
    const bool write = std::string(r.action) == "mnSensorWrite";
    if (write) {
      // The write needs data: the first detection run reads it.
      p.link.DetectSensor();
      ASSERT_EQ(p.data.DataValid(), 1);
      p.SetHysteresis(2);
    }
    p.answers.shown.clear();
    const int base = p.sensor->CommandCount(r.during);
    bool chosen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (!chosen && p.sensor->CommandCount(r.during) >= base + r.nth) {
        chosen = true;
        p.Trigger(r.action);
      }
    });
    poll.start(1);
    p.link.DetectSensor();
    poll.stop();
    ASSERT_TRUE(chosen);
    const std::vector<std::string> expected =
        std::string(r.action) == "mnSensorTest" ? Answers::Numbered({msg::kCommunicationOk}) : std::vector<std::string>{};
    EXPECT_EQ(p.answers.Texts(), expected);
    if (write) {
      EXPECT_EQ(p.Written(11) & 0x30, 0x30);
    }
    EXPECT_EQ(p.data.Param(kWorkingCopy, 12), p.sensor->Memory(1, 11));
    EXPECT_FALSE(p.data.IsChanged());
    EXPECT_FALSE(p.link.Ports().Abandoned());
  }
}

// A port whose device went away: the next command opens it again, and when
// that fails, message 2 says which port and why, never message 1.
TEST(ProgramPortLost, TheNextCommandOpensThePortOrSaysWhyNot) {
  Program p(QuickSensor(), FastLink(), false);
  p.link.OpenPort("/dev/ttyUSB7");
  p.link.RunCommand(SensorCommand::Read);
  ASSERT_EQ(p.data.DataValid(), 1);
  ASSERT_TRUE(p.window.StatusPort()->isEnabled());

  p.line->Vanish();
  EXPECT_FALSE(p.link.Ports().IsPortOpen());
  EXPECT_FALSE(p.window.StatusPort()->isEnabled()) << "the status bar shows the port closed";
  for (const SensorCommand command : {SensorCommand::Read, SensorCommand::Test}) {
    p.answers.shown.clear();
    p.link.RunCommand(command);
    ASSERT_EQ(p.answers.shown.size(), 1u);
    const std::string text = p.answers.shown[0].text;
    EXPECT_EQ(text.rfind(MessageDisplayText(msg::kPortInit), 0), 0u) << text;
    EXPECT_NE(text.find("/dev/ttyUSB7"), std::string::npos) << text;
    EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
  }

  p.line->Replug();
  p.answers.shown.clear();
  p.link.RunCommand(SensorCommand::Read);
  EXPECT_TRUE(p.answers.shown.empty());
  EXPECT_TRUE(p.link.Ports().IsPortOpen());
  EXPECT_TRUE(p.window.StatusPort()->isEnabled());
}

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
  SetHysteresis(2);
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
  const int writes = sensor->CommandCount(sim::Command::PQ);
  {
    PreviewAnswer unused(true);
    Trigger("mnSensorWrite");
    EXPECT_EQ(unused.shown, 0) << "nothing left to change: said, not written";
  }
  EXPECT_EQ(sensor->CommandCount(sim::Command::PQ), writes);
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kNothingToWrite}));
}

}  // namespace
}  // namespace rkt
