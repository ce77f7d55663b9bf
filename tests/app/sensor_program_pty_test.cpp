// The program's sensor link on QSerialPort and a pseudo-terminal served by rkt410-sim.
#include "../ui/ui_test_support.h"
#include "app/main_loop.h"
#include "app/sensor_link.h"
#include "model/recent_files.h"
#include "support/sim_process.h"
#include "text/messages.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"

namespace rkt {
namespace {

struct OnAPort {
  explicit OnAPort(const std::string& port) {
    link.Attach(data, window);
    window.SetWritePreview(false);
    link.InitPorts(LinkSettings{});
    link.InitDetection(request);
    link.OpenPort(port);
  }
  std::string Said() const { return answers.shown.empty() ? "" : answers.shown.front().text; }

  DetectionRequest request;
  SensorLink link{false};
  DataSet data;
  RecentFiles recent;
  frmMain window{data, recent};
  test::MessageRecorder answers;
};

// Pulled out mid-transfer: reported, the port closed, the next read reopens it; pulled out
// while idle, the detection finds the sensor again on its own.
TEST(ProgramOnAPseudoTerminal, UnpluggedAdapterIsReportedAndFoundAgain) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ttyUSB-test"));
  auto plugIn = [&] {  // as slow as a real line
    auto p = std::make_unique<test::SimProcess>(QStringLiteral(RKT_SIM_PATH), QStringList{"--baud-timing"}, path);
    EXPECT_TRUE(p->Running());
    return p;
  };
  auto process = plugIn();
  OnAPort p(path.toStdString());
  p.link.RunCommand(SensorCommand::Read);
  ASSERT_EQ(p.data.DataValid(), 1) << p.Said();
  const DataSet::Block before = p.data.GetBlock(BlockId::Parameter, kWorkingCopy);
  QTimer poll;  // pulled out once the presence check is past
  QObject::connect(&poll, &QTimer::timeout, [&] {
    frmRWState* progress = p.link.User()->Progress();
    if (process && progress && progress->gaugeBar->value() > 31) process.reset();
  });
  poll.start(5);
  p.link.RunCommand(SensorCommand::Read);
  poll.stop();
  ASSERT_FALSE(process) << "the adapter went during the read";
  ASSERT_FALSE(p.answers.shown.empty()) << "the failure is reported";
  for (const std::string& text : p.answers.Texts()) EXPECT_NE(text, MessageDisplayText(msg::kNoSensor));
  EXPECT_EQ(p.data.GetBlock(BlockId::Parameter, kWorkingCopy), before);
  EXPECT_FALSE(p.link.Ports().IsPortOpen()) << "the lost handle closed the port";
  process = plugIn();
  p.answers.shown.clear();
  p.link.RunCommand(SensorCommand::Read);
  EXPECT_TRUE(p.answers.shown.empty() && p.link.Ports().IsPortOpen()) << p.Said();
  process.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !p.link.Ports().IsPortOpen(); }, 10000));
  p.link.SetDetection(1);
  p.link.DetectSensor();
  EXPECT_TRUE(!p.window.Overview()->isEnabled() && p.answers.shown.empty()) << "shown as gone, nothing asked";
  process = plugIn();
  // The program runs the detection every few seconds; a loaded machine may need more than one run.
  EXPECT_TRUE(QTest::qWaitFor([&] { return p.link.DetectSensor(), p.window.Overview()->isEnabled(); }, 20000))
      << "the sensor found again";
  EXPECT_TRUE(p.link.Ports().IsPortOpen() && p.answers.shown.empty()) << "opened again: " << p.Said();
}

}  // namespace
}  // namespace rkt
