#pragma once

#include <memory>
#include <optional>

#include "app/link_services.h"
#include "link/detection.h"
#include "link/ports.h"
#include "link/sensor.h"
#include "ui/station_window.h"

namespace rkt {

class GuiSensorUser;

namespace sim {
class SensorSimulator;
}

// The sensor link of the program: the serial port (or the built-in
// simulated sensor), the sensor operations the window's commands run, and
// the automatic detection the main loop drives.
class SensorLink final : public LinkServices {
 public:
  // With simulate, a simulated sensor in this process stands in for the
  // serial port.
  explicit SensorLink(bool simulate);
  // The demo mode on a given simulated sensor (tests change and break it).
  explicit SensorLink(std::shared_ptr<sim::SensorSimulator> simulator);
  // A given line in place of the serial port.
  explicit SensorLink(std::unique_ptr<link::SerialLine> line);
  ~SensorLink() override;

  void InitPorts(const LinkSettings& settings) override;
  void OpenPort(const std::string& name) override;
  // In the demo the port of the options is kept (and saved) untouched; the
  // simulated sensor stands in for it only for this run.
  std::string PortName() const override { return m_simulate ? m_configuredPort : m_ports->CurrentPortName(); }
  void ClosePort() override { m_ports->ClosePort(); }
  void InitDetection(DetectionRequest& request) override;
  void SetDetection(int mode) override;
  int DetectionMode() const override { return m_mode; }
  void DetectSensor() override;
  void Attach(DataSet& data, frmMain& window) override;
  // A command chosen while a detection run waits for the sensor makes that
  // run give way at its next wait; the command runs right after it.
  void RunCommand(SensorCommand command) override;
  // What the station window works with: every port the machine offers (in
  // the demo four simulated sockets whose sensors come and go), and a
  // history connection per port to the history historyPath names (a file,
  // or a server's address; "" for the user's own file). The main
  // window's own port is closed and its detection paused until the
  // station's `done` runs.
  StationSetup StationSetupFor(const std::string& historyPath);
  std::vector<std::string> PortList() const override;
  std::string DefaultPort() const override;
  // Records every byte on the line in path; false when it cannot be written.
  bool StartTrace(const std::string& path);
  // The options' switch: a trace into the program's data folder.
  bool SetTrace(bool on) override;
  bool Tracing() const override { return m_trace.IsOpen(); }
  std::string TraceFile() const override;
  bool Echo() const override { return m_ports->Echo(); }
  // The history every sensor write is recorded in.
  void SetJournal(link::WriteJournal* journal) {
    m_journal = journal;
    if (m_sensor) m_sensor->SetJournal(journal);
  }

  static constexpr const char* kSimulatorPort = "SIMULATOR";

  link::Ports& Ports() { return *m_ports; }
  link::Detection* Detection() { return m_detection.get(); }
  link::Sensor* Sensor() { return m_sensor.get(); }
  GuiSensorUser* User() { return m_user.get(); }

 private:
  void Execute(SensorCommand command);
  // The service display of the window (shown only with the debug option).
  void ShowPresenceAttempt();

  bool m_simulate;
  std::shared_ptr<sim::SensorSimulator> m_simulator;
  std::unique_ptr<link::Ports> m_ports;
  std::unique_ptr<GuiSensorUser> m_user;
  std::unique_ptr<link::Sensor> m_sensor;
  std::unique_ptr<link::Detection> m_detection;
  DetectionRequest* m_request = nullptr;
  frmMain* m_window = nullptr;
  int m_mode = 0;
  std::optional<SensorCommand> m_pending;
  link::SerialTrace m_trace;
  std::string m_tracePath;
  std::string m_configuredPort;
  link::WriteJournal* m_journal = nullptr;
};

}  // namespace rkt
