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
#include "model/recent_files.h"
#include "sim/simulated_line.h"
#include "support/recording_presenter.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"
#include "ui/history_dialogs.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"

namespace rkt {
namespace {

using Answers = test::InstalledPresenter;

sim::SimConfig QuickSensor() { return sim::SimConfig{.idleTimeout = std::chrono::milliseconds(10)}; }
LinkSettings FastLink() { return LinkSettings{.detectTimeoutMs = 10, .readTimeoutMs = 25}; }

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

// Runs `act` once from the event loop as soon as `ready` holds.
struct Once {
  Once(std::function<bool()> ready, std::function<void()> act) {
    QObject::connect(&timer, &QTimer::timeout, [=, this] {
      if (done || !ready()) return;
      done = true;  // before act: it may run a nested loop
      act();
    });
    timer.start(2);
  }
  QTimer timer;
  bool done = false;
};

TEST_F(ProgramFixture, ReadDefaultsTraceAndTheDemoPort) {
  QTemporaryDir dir;
  const QString trace = dir.filePath(QStringLiteral("trace.txt"));
  ASSERT_TRUE(link.StartTrace(trace.toStdString()));
  window.SetDebugDisplay(true);  // shows the presence check's attempt
  Trigger("mnSensorRead");
  EXPECT_EQ(std::tuple(data.DataValid(), data.IsChanged(), data.OfflineData(), Connected()),
            std::tuple(1, false, false, true));
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-1"));
  EXPECT_TRUE(window.Action("mnSave")->isEnabled());
  EXPECT_EQ(link.User()->Progress(), nullptr) << "the progress dialog is gone after the read";
  EXPECT_TRUE(answers.shown.empty()) << "a good read says nothing";
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblDebug"))->text(), QStringLiteral("1"));
  const qint64 recorded = QFileInfo(trace).size();
  EXPECT_GT(recorded, 500) << "a read leaves its bytes in the trace";
  EXPECT_TRUE(link.Tracing() && link.SetTrace(false));
  Trigger("mnSensorDefault");
  EXPECT_EQ(QFileInfo(trace).size(), recorded) << "switched off, nothing more is written";
  EXPECT_EQ(data.Param(kWorkingCopy, param::kSwitchingFrequency), sensor->Memory(2, 3));
  EXPECT_NE(sensor->Memory(2, 3), sensor->Memory(1, 3)) << "the two blocks differ in the simulator";
  link.OpenPort("/dev/ttyUSB0");  // the demo keeps the port of the options for the next start
  EXPECT_EQ(link.PortName(), "/dev/ttyUSB0");
  EXPECT_EQ(link.Ports().CurrentPortName(), SensorLink::kSimulatorPort);
  EXPECT_EQ(link.PortList(), std::vector<std::string>{SensorLink::kSimulatorPort});
}

TEST_F(ProgramFixture, WriteAndSensitivityReachTheSensor) {
  Trigger("mnSensorRead");
  SetHysteresis(2);
  Trigger("mnSensorWrite");
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(Written(11) & 0x30, 0x30) << "hysteresis 'groß' reached the sensor";
  EXPECT_FALSE(data.IsChanged());
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Daten zum Sensor übertragen"));
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

TEST_F(ProgramFixture, AFailedReadAsksRetryAndCancelLeavesTheData) {
  for (const int answer : {msg::kCancel, msg::kRetry}) {
    sensor->ClearFaults();
    sensor->InjectFault({sim::Fault::WrongBlock, sim::Command::LP, 5});
    answers.shown.clear();
    answers.queue = {answer};
    const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
    Trigger("mnSensorRead");
    EXPECT_EQ(answers.Texts(), Answers::Numbered({1005})) << answer;
    EXPECT_EQ(data.DataValid(), answer == msg::kRetry ? 1 : 0) << answer;
    EXPECT_TRUE(answer == msg::kRetry || data.GetBlock(BlockId::Parameter, kWorkingCopy) == before);
  }
}

TEST_F(ProgramFixture, DetectionFollowsTheSensor) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence});
  link.DetectSensor();
  EXPECT_EQ(std::tuple(data.DataValid(), window.Overview()->isEnabled()), std::tuple(0, false)) << "no sensor";
  sensor->ClearFaults();
  link.DetectSensor();
  EXPECT_EQ(std::tuple(data.DataValid(), data.IsChanged(), window.Overview()->isEnabled()), std::tuple(1, false, true));
  sensor->SetMemory(0, 7, 2);  // the partner type raises no question
  link.DetectSensor();
  EXPECT_TRUE(answers.shown.empty()) << "the detection asks nothing";
  EXPECT_TRUE(window.Overview()->isEnabled());

  // Another family: No keeps the data being edited and greys the overview.
  const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);
  sensor->SetMemory(0, 7, 5);
  answers.queue = {msg::kNo};
  link.DetectSensor();
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kTypeChanged}));
  EXPECT_EQ(std::tuple(data.Ident(kWorkingCopy, ident::kTypeCode), data.DataValid(), window.Overview()->isEnabled()),
            std::tuple(1, 1, false));
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
  link.DetectSensor();
  EXPECT_EQ(answers.shown.size(), 1u) << "the same sensor is not asked about again";
  EXPECT_EQ(data.Ident(kWorkingCopy, ident::kTypeCode), 1);
  sensor->SetMemory(0, 7, 7);  // yet another family: Yes takes its data
  answers.queue = {msg::kYes};
  link.DetectSensor();
  EXPECT_EQ(answers.shown.size(), 2u);
  EXPECT_EQ(std::tuple(data.Ident(kWorkingCopy, ident::kTypeCode), data.IsChanged()), std::tuple(7, false));

  window.Files().Load(QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT"));
  link.DetectSensor();
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-DL/2")) << "a loaded file stays";
  EXPECT_EQ(answers.shown.size(), 2u);
}

TEST_F(ProgramFixture, ACommandDuringADetectionRunGoesFirstAndNeverInterleaves) {
  link.SetDetection(1);
  sensor->InjectFault({sim::Fault::Silence, sim::Command::Any, 3});
  QElapsedTimer clock;
  QTimer::singleShot(30, [&] {
    clock.start();
    Trigger("mnSensorRead");
  });
  qint64 startedAfter = -1;  // the read's progress dialog is up once the detection gave way
  Once started([&] { return link.User()->Progress() != nullptr; }, [&] { startedAfter = clock.elapsed(); });
  link.DetectSensor();
  EXPECT_EQ(data.DataValid(), 1) << "the read ran after the detection";
  ASSERT_GE(startedAfter, 0);
  EXPECT_LT(startedAfter, 500) << "the command starts within half a second";
  EXPECT_FALSE(link.Ports().Abandoned());
}

// Commands in mid-run on a line as slow as the real one: the run gives way
// with its answers still on the wire, and the command must find the sensor.
TEST(ProgramOnATimedLine, CommandsDuringDetectionRunsFindTheSensor) {
  Program p(sim::SimConfig{.baudTiming = true}, LinkSettings{});
  p.link.SetDetection(1);
  const struct {
    const char* action;
    sim::Command during;
    int nth;  // the command comes once the run has sent this many of `during`
    std::vector<std::string> said;
  } rounds[] = {{"mnSensorRead", sim::Command::LQ, 3, {}},  // the first run, on a sensor not yet read
                {"mnSensorWrite", sim::Command::LP, 2, {}},
                {"mnSensorTest", sim::Command::V, 1, Answers::Numbered({msg::kCommunicationOk})}};
  for (const auto& r : rounds) {
    SCOPED_TRACE(r.action);
    if (r.said.empty() && p.data.DataValid() == 1) p.SetHysteresis(2);
    p.answers.shown.clear();
    const int base = p.sensor->CommandCount(r.during);
    Once chosen([&] { return p.sensor->CommandCount(r.during) >= base + r.nth; }, [&] { p.Trigger(r.action); });
    p.link.DetectSensor();
    ASSERT_TRUE(chosen.done);
    EXPECT_EQ(p.answers.Texts(), r.said);
    EXPECT_EQ(p.data.DataValid(), 1);
    EXPECT_EQ(p.data.Param(kWorkingCopy, 12), p.sensor->Memory(1, 11));
    EXPECT_FALSE(p.data.IsChanged());
    EXPECT_FALSE(p.link.Ports().Abandoned());
  }
  EXPECT_EQ(p.Written(11) & 0x30, 0x30) << "the write reached the sensor";
}

// A port whose device went away: the next command opens it again, and when
// that fails, message 2 says which port and why, never message 1.
TEST(ProgramPortLost, TheNextCommandOpensThePortOrSaysWhyNot) {
  Program p(QuickSensor(), FastLink(), false);
  p.link.OpenPort("/dev/ttyUSB7");
  p.link.RunCommand(SensorCommand::Read);
  ASSERT_EQ(p.data.DataValid(), 1);
  p.line->Vanish();
  EXPECT_FALSE(p.link.Ports().IsPortOpen() || p.window.StatusPort()->isEnabled()) << "shown closed";
  for (const SensorCommand command : {SensorCommand::Read, SensorCommand::Test}) {
    p.answers.shown.clear();
    p.link.RunCommand(command);
    const std::string text = p.answers.shown.size() == 1 ? p.answers.shown[0].text : "";
    EXPECT_EQ(text, MessageDisplayText(msg::kPortInit) + "\nSchnittstelle /dev/ttyUSB7: No such file or directory");
  }
  p.line->Replug();
  p.answers.shown.clear();
  p.link.RunCommand(SensorCommand::Read);
  EXPECT_TRUE(p.answers.shown.empty());
  EXPECT_TRUE(p.link.Ports().IsPortOpen() && p.window.StatusPort()->isEnabled());
}

TEST_F(ProgramFixture, ThePreviewListsTheChangesAndNoKeepsTheSensor) {
  window.SetWritePreview(true);
  Trigger("mnSensorRead");
  SetHysteresis(2);
  const int before = Written(11);
  // Answers the preview once it is up; keeps the rows it showed.
  const auto write = [&](bool yes) {
    QStringList rows;
    Once answer([] { return qobject_cast<frmWritePreview*>(QApplication::activeModalWidget()) != nullptr; }, [&] {
      auto* d = qobject_cast<frmWritePreview*>(QApplication::activeModalWidget());
      for (int r = 0; r < d->tblChanges->rowCount(); ++r)
        rows << d->tblChanges->item(r, 0)->text() + " " + d->tblChanges->item(r, 1)->text() + " | " +
                    d->tblChanges->item(r, 2)->text();
      (yes ? d->btYes : d->btNo)->click();
    });
    Trigger("mnSensorWrite");
    return rows;
  };
  EXPECT_EQ(write(false), QStringList{QStringLiteral("Hysterese: standard | groß")});
  EXPECT_EQ(std::tuple(Written(11), sensor->CommandCount(sim::Command::PQ)), std::tuple(before, 0)) << "No writes nothing";
  EXPECT_EQ(write(true).size(), 1);
  EXPECT_EQ(Written(11) & 0x30, 0x30) << "Yes writes";
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(write(true).size(), 0) << "nothing left to change: said, not shown";
  EXPECT_EQ(answers.Texts(), Answers::Numbered({msg::kNothingToWrite}));
}

}  // namespace
}  // namespace rkt
