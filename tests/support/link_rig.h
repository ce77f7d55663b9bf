#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "link/ports.h"
#include "link/sensor.h"
#include "link/sensor_user.h"
#include "model/data_set.h"
#include "sim/simulated_line.h"

namespace rkt::test {

// The user side of the sensor operations, recording what it was asked.
class RecordingUser : public link::QuietSensorUser {
 public:
  using Message = std::tuple<int, int, int>;  // number, buttons, help
  std::vector<std::pair<int, int>> forms;  // kind, steps
  std::vector<int> increments;             // IncBar arguments, in order
  std::vector<Message> messages;
  std::vector<std::string> notes;  // the further paragraph of each message ("" for none)
  std::deque<int> answers;         // answers to the next questions; else the safe default
  int unloads = 0;
  int nothingToWrite = 0;
  int cancelAtInc = -1;  // IncBar returns false from this call (0-based) on
  bool stopOnDataChanged = false;
  bool agreeToSensitivityWrite = true;
  std::function<void()> onReadPanel, onIncBar;
  // Before a write that changes something: what the sensor holds now.
  std::function<bool(const DataSet& sensorNow)> onConfirmWrite;

  int BarTotal() const { return std::accumulate(increments.begin(), increments.end(), 0); }
  std::vector<int> MessageNumbers() const {
    std::vector<int> n;
    for (const Message& m : messages) n.push_back(std::get<0>(m));
    return n;
  }

  void ShowForm(int kind, int steps) override { forms.emplace_back(kind, steps); }
  bool IncBar(int count) override {
    increments.push_back(count);
    if (onIncBar) onIncBar();
    return cancelAtInc < 0 || static_cast<int>(increments.size()) <= cancelAtInc;
  }
  void UnloadForm() override { ++unloads; }
  int ShowMessageNote(int number, const std::string& note, int buttons, int help) override {
    const int answer = ShowMessage(number, buttons, help);
    return notes.back() = note, answer;
  }
  bool ConfirmWrite(const DataSet& sensorNow, const DataSet&) override {
    return onConfirmWrite ? onConfirmWrite(sensorNow) : true;
  }
  void NothingToWrite() override { ++nothingToWrite; }
  int ShowMessage(int number, int buttons, int help) override {
    messages.emplace_back(number, buttons, help);
    notes.emplace_back();
    if (buttons == link::kButtonsOk || answers.empty()) return SafeAnswer(buttons);
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  bool AskWriteSensitivity() override { return agreeToSensitivityWrite; }
  bool DataChanged(bool) override { return stopOnDataChanged; }
  void ReadPanel() override { onReadPanel ? onReadPanel() : void(); }
};

// Short periods keep failures fast; the sensor drops a half-received command sooner, as the real one does.
inline link::PortSettings FastPorts(bool echo = true) {
  return {.detectTimeout = 10, .readTimeout = 25, .writeTimeout = 25, .echo = echo, .quietGap = 5, .sensorIdle = 15,
          .sensorReset = 30};
}

inline sim::SimConfig FastSim(bool echo = true, int type = 1, bool locked = false) {
  return {.typeCode = type, .locked = locked, .echo = echo, .idleTimeout = std::chrono::milliseconds(10)};
}

// A simulated sensor, the port on it, a data set and the operations.
struct Rig {
  explicit Rig(sim::SimConfig simConfig = FastSim(), link::PortSettings settings = FastPorts())
      : sim(std::make_shared<sim::SensorSimulator>(simConfig)), line(new sim::SimulatedLine(sim)),
        ports(std::make_unique<link::Ports>(std::unique_ptr<sim::SimulatedLine>(line))) {
    ports->InitPorts(settings);
    ports->OpenPort("SIM");
  }
  std::shared_ptr<sim::SensorSimulator> sim;
  sim::SimulatedLine* line = nullptr;
  std::unique_ptr<link::Ports> ports;
  DataSet data;
  RecordingUser user;
  std::unique_ptr<link::Sensor> sensor = std::make_unique<link::Sensor>(*ports, data, user);
};

}  // namespace rkt::test
