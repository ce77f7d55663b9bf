// The program's sensor link on the real thing: QSerialPort on a
// pseudo-terminal served by rkt410-sim. These tests run one at a time.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_loop.h"
#include "app/sensor_link.h"
#include "model/data_set.h"
#include "model/recent_files.h"
#include "support/recording_presenter.h"
#include "support/sim_process.h"
#include "text/messages.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"

namespace rkt {
namespace {

using Answers = test::InstalledPresenter;

TEST(ProgramOnAPseudoTerminal, ReadAndWriteThroughTheSerialPort) {
  test::SimProcess process(QStringLiteral(RKT_SIM_PATH));
  ASSERT_TRUE(process.Running());
  SensorLink link(false);
  DataSet data;
  RecentFiles recent;
  frmMain window(data, recent);
  Answers answers;
  link.Attach(data, window);
  window.SetWritePreview(false);
  link.InitPorts(LinkSettings{});
  link.OpenPort(process.Link());
  ASSERT_TRUE(link.Ports().IsPortOpen());
  link.RunCommand(SensorCommand::Read);
  ASSERT_EQ(data.DataValid(), 1) << (answers.shown.empty() ? "" : answers.shown.front().text);
  window.Panel()->cmbKeyboardlock->setCurrentIndex(2);
  link.RunCommand(SensorCommand::Write);
  EXPECT_TRUE(answers.shown.empty());
  process.Stop();
  QFile state(process.StatePath());
  ASSERT_TRUE(state.open(QIODevice::ReadOnly));
  const QByteArray json = state.readAll();
  EXPECT_TRUE(json.contains("\"1\"")) << json.toStdString();
  EXPECT_EQ(data.GetInt(ValueId::KeyboardLock, kReadCopy), 2) << "the written set became the read copy";
}

// An adapter pulled out mid-transfer and plugged in again: the transfer ends
// with its error, the port counts as closed, the next read opens it again;
// pulled out while idle, the detection finds the sensor again on its own.
TEST(ProgramOnAPseudoTerminal, UnpluggedAdapterIsReportedAndFoundAgain) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ttyUSB-test"));
  // As slow as a real line, with the real time-outs.
  const QStringList slow{QStringLiteral("--baud-timing")};
  auto plugIn = [&] { return std::make_unique<test::SimProcess>(QStringLiteral(RKT_SIM_PATH), slow, path); };
  auto process = plugIn();
  ASSERT_TRUE(process->Running());
  SensorLink link(false);
  DataSet data;
  RecentFiles recent;
  frmMain window(data, recent);
  Answers answers;
  DetectionRequest request;
  link.Attach(data, window);
  link.InitPorts(LinkSettings{});
  link.InitDetection(request);
  link.OpenPort(path.toStdString());
  link.RunCommand(SensorCommand::Read);
  ASSERT_EQ(data.DataValid(), 1) << (answers.shown.empty() ? "" : answers.shown.front().text);
  const DataSet::Block before = data.GetBlock(BlockId::Parameter, kWorkingCopy);

  // Pulled out while the next read runs, once the presence check is past.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    frmRWState* progress = link.User()->Progress();
    if (process && progress && progress->gaugeBar->value() > 31) process.reset();
  });
  poll.start(5);
  QElapsedTimer clock;
  clock.start();
  link.RunCommand(SensorCommand::Read);
  poll.stop();
  ASSERT_FALSE(process) << "the adapter went during the read";
  EXPECT_LT(clock.elapsed(), 30000) << "no hang";
  ASSERT_FALSE(answers.shown.empty()) << "the failure is reported";
  for (const std::string& text : answers.Texts())
    EXPECT_NE(text, MessageDisplayText(msg::kNoSensor)) << "the sensor is not blamed";
  EXPECT_EQ(data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
  EXPECT_FALSE(link.Ports().IsPortOpen()) << "the lost handle closed the port";

  // Plugged in again: the next read opens the port and succeeds.
  process = plugIn();
  ASSERT_TRUE(process->Running());
  answers.shown.clear();
  link.RunCommand(SensorCommand::Read);
  EXPECT_TRUE(answers.shown.empty()) << answers.shown.front().text;
  EXPECT_TRUE(link.Ports().IsPortOpen());

  // Pulled out while nothing runs: the port closes all the same.
  process.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !link.Ports().IsPortOpen(); }, 10000));
  link.SetDetection(1);
  link.DetectSensor();
  EXPECT_FALSE(window.Overview()->isEnabled()) << "the sensor is shown as gone";
  EXPECT_TRUE(answers.shown.empty()) << "the detection asks nothing";

  process = plugIn();
  ASSERT_TRUE(process->Running());
  link.DetectSensor();
  EXPECT_TRUE(link.Ports().IsPortOpen()) << "the port was opened again";
  EXPECT_TRUE(window.Overview()->isEnabled()) << "and the sensor found";
}

}  // namespace
}  // namespace rkt
