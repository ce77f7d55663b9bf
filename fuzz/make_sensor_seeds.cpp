// Writes seed inputs for sensor_receive_fuzz: each operation run once
// against the simulated sensor, with the sensor's answer to every write of
// the PC recorded as one chunk. Run: make_sensor_seeds fuzz/corpus/sensor_receive
#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "link/ports.h"
#include "link/sensor.h"
#include "sim/simulated_line.h"

namespace {

using namespace rkt;

class YesUser final : public link::QuietSensorUser {
 public:
  int ShowMessage(int, int, int) override { return link::kAnswerOk; }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // the simulated line waits in the event loop
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sensor_seeds FOLDER\n");
    return 2;
  }
  const char* names[] = {"read", "read_defaults", "write", "check_silent",
                         "check", "sensor_read", "sensor_write", "read_sensitivity"};
  for (int what = 0; what < 8; ++what) {
    for (const int typeCode : {1, 2}) {
      sim::SimConfig config;
      config.typeCode = typeCode;
      config.echo = false;
      auto owned = std::make_unique<sim::SimulatedLine>(std::make_shared<sim::SensorSimulator>(config));
      sim::SimulatedLine& line = *owned;
      line.Record(true);
      link::Ports ports(std::move(owned));
      link::PortSettings settings;
      settings.echo = false;
      ports.InitPorts(settings);
      ports.OpenPort("seed");
      DataSet ds;
      ds.Byte(BlockId::Identification, kWorkingCopy, ident::kTypeCode) = static_cast<std::uint8_t>(typeCode);
      ds.Param(kWorkingCopy, param::kInput) = 0x04;
      ds.SetDataValid(1);
      ds.SetSensitivityValid(1);
      YesUser user;
      link::Sensor sensor(ports, ds, user);
      switch (what) {
        case 0: sensor.ReadDataSet(false, true); break;
        case 1: sensor.ReadDataSet(true, true); break;
        case 2: sensor.WriteDataSet(); break;
        case 3: sensor.CheckSensor(link::CheckMode::Silent); break;
        case 4: sensor.CheckSensor(link::CheckMode::InOperation); break;
        case 5: sensor.SensorRead(false); break;
        case 6: sensor.SensorWrite(); break;
        case 7: sensor.ReadSensitivity(); break;
      }
      std::string script;
      for (const auto& e : line.Exchanges()) {
        script.push_back(static_cast<char>(e.answer.size()));
        script.append(e.answer.begin(), e.answer.end());
      }
      for (const bool echo : {false, true}) {
        const std::string header = {static_cast<char>(what | (echo ? 0x08 : 0) | 0x10 | 0x20),
                                    static_cast<char>(typeCode), 0x04, 0};
        const std::string path = std::string(argv[1]) + "/" + names[what] + "_type" + std::to_string(typeCode) +
                                 (echo ? "_echo" : "");
        std::ofstream out(path, std::ios::binary);
        if (!(out << header << script) || !out.flush()) {
          std::fprintf(stderr, "cannot write %s\n", path.c_str());
          return 1;
        }
      }
    }
  }
  return 0;
}
