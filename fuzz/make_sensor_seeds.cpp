// Writes seed inputs for sensor_receive_fuzz: each operation run once
// against the simulated sensor, with the sensor's answer to every write of
// the PC recorded as one chunk. Run: make_sensor_seeds fuzz/corpus/sensor_receive
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <string>

#include "link/ports.h"
#include "link/sensor.h"
#include "sim/sensor_simulator.h"

namespace {

using namespace rkt;

class RecordingLine final : public link::SerialLine {
 public:
  RecordingLine(sim::SensorSimulator& sim, std::string& script) : m_sim(sim), m_script(script) {}
  link::OpenResult Open(const std::string& name) override { return {true, false, name, {}, {}}; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  void Write(std::span<const std::uint8_t> bytes) override {
    const auto answer = m_sim.Write(bytes, sim::Clock::now());
    m_script.push_back(static_cast<char>(answer.size()));
    for (const auto& b : answer) {
      m_script.push_back(static_cast<char>(b.value));
      m_input.push_back(b.value);
    }
  }
  int BytesAvailable() override { return static_cast<int>(m_input.size()); }
  std::vector<std::uint8_t> Read(int count) override {
    std::vector<std::uint8_t> out;
    while (count-- > 0 && !m_input.empty()) {
      out.push_back(m_input.front());
      m_input.pop_front();
    }
    return out;
  }
  void DiscardInput() override { m_input.clear(); }
  bool WaitForBytes(int count, QDeadlineTimer) override { return BytesAvailable() >= count; }
  void Interrupt(bool) override {}

 private:
  sim::SensorSimulator& m_sim;
  std::string& m_script;
  std::deque<std::uint8_t> m_input;
};

class YesUser final : public link::QuietSensorUser {
 public:
  int ShowMessage(int, int, int) override { return link::kAnswerOk; }
};

}  // namespace

int main(int argc, char** argv) {
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
      sim::SensorSimulator simulator(config);
      std::string script;
      link::Ports ports(std::make_unique<RecordingLine>(simulator, script));
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
      for (const bool echo : {false, true}) {
        const std::string header = {static_cast<char>(what | (echo ? 0x08 : 0) | 0x10 | 0x20),
                                    static_cast<char>(typeCode), 0x04, 0};
        const std::string path = std::string(argv[1]) + "/" + names[what] + "_type" + std::to_string(typeCode) +
                                 (echo ? "_echo" : "");
        std::ofstream(path, std::ios::binary) << header << script;
      }
    }
  }
  return 0;
}
