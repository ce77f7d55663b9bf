// The real path: QSerialPort on a pseudo-terminal served by rkt410-sim.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "link/qt_serial_line.h"
#include "support/link_rig.h"
#include "support/sim_process.h"

namespace rkt::link {
namespace {

struct PtyRig {
  explicit PtyRig(bool echo) : sim(RKT_SIM_PATH, echo ? QStringList{} : QStringList{"--noecho"}) {
    test::EnsureQtApp();
    ports = std::make_unique<Ports>(std::make_unique<QtSerialLine>());
    PortSettings s;
    s.echo = echo;
    ports->InitPorts(s);
    ports->onOpenFailed = [](const OpenFailure&) { return kAnswerCancel; };
    ports->OpenPort(sim.Link());
    sensor = std::make_unique<Sensor>(*ports, data, user);
  }
  test::SimProcess sim;
  std::unique_ptr<Ports> ports;
  DataSet data;
  test::RecordingUser user;
  std::unique_ptr<Sensor> sensor;
};

TEST(PseudoTerminal, ReadAndWriteThroughQSerialPort) {
  for (const bool echo : {true, false}) {
    PtyRig rig(echo);
    ASSERT_TRUE(rig.sim.Running());
    ASSERT_TRUE(rig.ports->IsPortOpen()) << "echo " << echo;
    ASSERT_TRUE(rig.sensor->SensorRead()) << "echo " << echo;
    EXPECT_EQ(rig.data.Ident(kWorkingCopy, ident::kTypeCode), 1);
    rig.data.SetValue(ValueId::TimeValue1, 77);
    ASSERT_TRUE(rig.sensor->SensorWrite()) << "echo " << echo;
    EXPECT_TRUE(rig.user.messages.empty()) << "echo " << echo;
    rig.ports->ClosePort();
    ASSERT_EQ(rig.sim.Stop(), 0);

    QFile state(rig.sim.StatePath());
    ASSERT_TRUE(state.open(QIODevice::ReadOnly));
    const QJsonArray params = QJsonDocument::fromJson(state.readAll()).object()["blocks"].toObject()["1"].toArray();
    EXPECT_EQ(params.at(4).toInt(), 77) << "the simulator kept the written byte; echo " << echo;
  }
}

}  // namespace
}  // namespace rkt::link
