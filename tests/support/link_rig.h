#pragma once

#include <QCoreApplication>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/ports.h"
#include "link/sensor.h"
#include "link/sensor_user.h"
#include "model/data_set.h"
#include "sim/simulated_line.h"

namespace rkt::test {

inline void EnsureQtApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "rkt-tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

// The user side of the sensor operations, recording what it was asked.
class RecordingUser : public link::SensorUser {
 public:
  struct Message {
    int number;
    int buttons;
    int help;
  };

  std::vector<std::pair<int, int>> forms;  // kind, steps
  std::vector<int> increments;             // IncBar arguments, in order
  std::vector<Message> messages;
  std::deque<int> answers;                 // answers to the next messages; else the safe default
  int unloads = 0;
  int fills = 0;
  int cancelAtInc = -1;                    // IncBar returns false from this call (0-based) on
  bool stopOnDataChanged = false;
  bool agreeToSensitivityWrite = true;
  std::function<void()> onReadPanel;
  std::function<void()> onIncBar;
  std::vector<std::string> notes;  // the further paragraph of each message ("" for none)
  // Before a write that changes something: what the sensor holds now (its
  // working copy); the answer decides whether it is written.
  std::function<bool(const DataSet& sensorNow)> onConfirmWrite;
  int nothingToWrite = 0;

  int BarTotal() const {
    int t = 0;
    for (int i : increments) t += i;
    return t;
  }
  std::vector<int> MessageNumbers() const {
    std::vector<int> n;
    for (const Message& m : messages) n.push_back(m.number);
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
    notes.back() = note;
    return answer;
  }
  bool ConfirmWrite(const DataSet& sensorNow, const DataSet&) override {
    return onConfirmWrite ? onConfirmWrite(sensorNow) : true;
  }
  void NothingToWrite() override { ++nothingToWrite; }
  int ShowMessage(int number, int buttons, int help) override {
    messages.push_back({number, buttons, help});
    notes.emplace_back();
    if (buttons != link::kButtonsOk && !answers.empty()) {
      const int a = answers.front();
      answers.pop_front();
      return a;
    }
    if (buttons == link::kButtonsYesNo) return link::kAnswerNo;
    if (buttons == link::kButtonsRetryCancel) return link::kAnswerCancel;
    return link::kAnswerOk;
  }
  bool AskWriteSensitivity() override { return agreeToSensitivityWrite; }
  bool DataChanged(bool) override { return stopOnDataChanged; }
  void FillPanel() override { ++fills; }
  void ReadPanel() override {
    if (onReadPanel) onReadPanel();
  }
  void ShowSensitivity() override {}
  void TakeSensitivity() override {}
  void SetDataAvailable(bool) override {}
  void SetSensitivityAvailable(bool) override {}
  void RefreshOverview() override {}
  void HideSensorFrame() override {}
  void ShowConnected(bool) override {}
};

// Short periods keep failure paths fast; the simulated sensor drops a
// half-received command sooner than one period, as the real one does.
inline link::PortSettings FastPorts(bool echo = true) {
  link::PortSettings s;
  s.detectTimeout = 10;
  s.readTimeout = 25;
  s.writeTimeout = 25;
  s.echo = echo;
  s.quietGap = 5;
  s.sensorIdle = 15;
  return s;
}

// A sensor on a line as slow as the real one: every byte takes 9.17 ms, so
// echoes and answers are still on their way while the program does
// something else, and a command left unfinished is dropped after 150 ms.
inline sim::SimConfig TimedSim() {
  sim::SimConfig c;
  c.baudTiming = true;
  return c;
}

inline sim::SimConfig FastSim(bool echo = true) {
  sim::SimConfig c;
  c.echo = echo;
  c.idleTimeout = std::chrono::milliseconds(10);
  return c;
}

// A simulated sensor, the port on it, a data set and the operations.
struct Rig {
  explicit Rig(sim::SimConfig simConfig = FastSim(), link::PortSettings settings = FastPorts())
      : sim(std::make_shared<sim::SensorSimulator>(simConfig)) {
    EnsureQtApp();
    auto owned = std::make_unique<sim::SimulatedLine>(sim);
    line = owned.get();
    ports = std::make_unique<link::Ports>(std::move(owned));
    ports->InitPorts(settings);
    ports->OpenPort("SIM");
    sensor = std::make_unique<link::Sensor>(*ports, data, user);
  }

  std::shared_ptr<sim::SensorSimulator> sim;
  sim::SimulatedLine* line = nullptr;
  std::unique_ptr<link::Ports> ports;
  DataSet data;
  RecordingUser user;
  std::unique_ptr<link::Sensor> sensor;
};

}  // namespace rkt::test
