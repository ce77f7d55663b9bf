#include "app/sensor_link.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/main_loop.h"
#include "history/plant_journal.h"
#include "link/port_list.h"
#include "link/system_serial_line.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"
#include "text/messages.h"
#include "text/text_keys.h"
#include "ui/frm_main.h"
#include "ui/gui_sensor_user.h"

namespace rkt {

SensorLink::SensorLink(bool simulate)
    : SensorLink(simulate ? std::make_shared<sim::SensorSimulator>(sim::SimConfig{}) : nullptr) {}

SensorLink::SensorLink(std::shared_ptr<sim::SensorSimulator> simulator)
    : SensorLink(simulator ? std::unique_ptr<link::SerialLine>(std::make_unique<sim::SimulatedLine>(simulator))
                           : link::MakeSystemSerialLine()) {
  m_simulator = std::move(simulator);
  m_simulate = m_simulator != nullptr;
}

SensorLink::SensorLink(std::unique_ptr<link::SerialLine> line) : m_simulate(false) {
  m_ports = std::make_unique<link::Ports>(std::move(line));
  m_ports->onOpenFailed = [](const link::OpenFailure& failure) {
    MessageBoxRequest request = BuildMessage(msg::kPortInit, msg::kRetryCancel, help::kPortInit);
    // Which port, and why it could not be opened.
    request.text += "\n" + link::PortFailureLine(failure);
    // Say which group the user lacks, when that is the reason.
    const std::string hint = link::PermissionHint(failure);
    if (!hint.empty()) request.text += "\n" + hint;
    return ShowMessageBox(request);
  };
}

SensorLink::~SensorLink() = default;

void SensorLink::InitPorts(const LinkSettings& settings) {
  link::PortSettings s;
  s.detectTimeout = settings.detectTimeoutMs;
  s.readTimeout = settings.readTimeoutMs;
  s.echo = settings.echo;
  m_ports->InitPorts(s);
  if (m_simulate) m_ports->OpenPort(kSimulatorPort);
}

void SensorLink::OpenPort(const std::string& name) {
  // In the demo the simulated sensor is the only port.
  if (m_simulate) {
    if (!name.empty()) m_configuredPort = name;
    return;
  }
  m_ports->OpenPort(name);
}

bool SensorLink::StartTrace(const std::string& path) {
  if (!m_trace.Open(path, m_ports->CurrentPortName())) return false;
  m_tracePath = path;
  m_ports->SetTrace(&m_trace);
  return true;
}

std::string SensorLink::TraceFile() const {
  if (!m_tracePath.empty()) return m_tracePath;
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  return QDir(dir).filePath(QStringLiteral("serial-trace.txt")).toStdString();
}

bool SensorLink::SetTrace(bool on) {
  if (on == m_trace.IsOpen()) return true;
  if (!on) {
    m_ports->SetTrace(nullptr);
    m_trace.Close();
    return true;
  }
  const std::string path = TraceFile();
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  return StartTrace(path);
}

std::vector<std::string> SensorLink::PortList() const {
  if (m_simulate) return {kSimulatorPort};
  return link::ListSerialPorts();
}

StationSetup SensorLink::StationSetupFor(const std::string& historyPath) {
  StationSetup setup;
  setup.settings.detectTimeout = m_ports->DetectTimeout();
  setup.settings.readTimeout = m_ports->ReadTimeout();
  setup.settings.echo = m_ports->Echo();
  const int mode = m_mode;
  SetDetection(0);
  const std::string port = m_ports->CurrentPortName();
  if (!m_simulate) m_ports->ClosePort();
  setup.done = [this, mode, port] {
    if (!m_simulate && !port.empty()) m_ports->OpenPort(port);
    SetDetection(mode);
  };
  if (m_simulate) {
    setup.ports = {"SIM1", "SIM2", "SIM3", "SIM4"};
    // A worker at each socket: a sensor stays 6 to 10 s, then the socket
    // is empty for 2 s; the serial numbers of the four never meet.
    setup.makeLine = [](const std::string& port) -> std::unique_ptr<link::SerialLine> {
      const int n = port.back() - '0';
      sim::SimConfig config;
      config.baudTiming = true;
      config.serial = 20000 + n;
      sim::SwapPlan plan;
      plan.present = std::chrono::milliseconds(6000);
      plan.presentJitter = std::chrono::milliseconds(4000);
      plan.absent = std::chrono::milliseconds(2000);
      plan.seed = static_cast<std::uint32_t>(n);
      plan.step = 4;
      config.swap = plan;
      return std::make_unique<sim::SimulatedLine>(std::make_shared<sim::SensorSimulator>(config));
    };
  } else {
    setup.ports = link::ListSerialPorts();
    setup.makeLine = [](const std::string&) { return link::MakeSystemSerialLine(); };
  }
  setup.makeJournal = [historyPath](const std::string&,
                                    const history::ServerNoticeFn& tell) -> std::unique_ptr<link::WriteJournal> {
    return history::OpenJournal(historyPath, {}, tell);
  };
  // The database driver is loaded here, in the main thread, before the ports' threads use it.
  history::OpenJournal(historyPath)->CheckWritable();
  return setup;
}

std::string SensorLink::DefaultPort() const {
  // The demo's simulated sensor stands in for whatever port there is.
  if (m_simulate) return {};
  return link::DefaultPort();
}

void SensorLink::Attach(DataSet& data, frmMain& window) {
  m_window = &window;
  m_user = std::make_unique<GuiSensorUser>(window, data);
  m_sensor = std::make_unique<link::Sensor>(*m_ports, data, *m_user);
  m_sensor->SetJournal(m_journal);
  m_detection = std::make_unique<link::Detection>(*m_sensor, *m_ports, data, *m_user);
  m_ports->onPortShown = [&window](const std::string& name, bool open) {
    window.ShowPort(QString::fromStdString(name), open);
  };
  window.ShowPort(QString::fromStdString(m_ports->CurrentPortName()), m_ports->IsPortOpen());
  if (m_request) InitDetection(*m_request);
}

void SensorLink::InitDetection(DetectionRequest& request) {
  m_request = &request;
  if (!m_detection) return;
  m_detection->InitDetection([&request] { request.Raise(); }, [&request] { request.Clear(); });
  m_detection->SetDetection(m_mode);
}

void SensorLink::SetDetection(int mode) {
  if (mode < 0) return;
  m_mode = mode;
  if (m_detection) m_detection->SetDetection(mode);
}

void SensorLink::DetectSensor() {
  if (!m_detection) return;
  m_detection->DetectSensor();
  ShowPresenceAttempt();
  m_ports->Abandon(false);
  // A run that gave way hands the line over quiet: its answers may still be
  // on the wire and the sensor inside a command.
  m_ports->Settle();
  // A command that arrived during the run goes now, at the top level.
  if (m_pending) Execute(*std::exchange(m_pending, std::nullopt));
}

void SensorLink::RunCommand(SensorCommand command) {
  if (!m_sensor) return;
  if (m_detection && m_detection->Running()) {
    m_pending = command;
    m_ports->Abandon(true);
    return;
  }
  Execute(command);
}

void SensorLink::Execute(SensorCommand command) {
  // A write that went through is confirmed in the status bar, without a dialog.
  const auto confirm = [this](bool ok, const char* key) {
    if (ok && m_window) m_window->ShowStatusMessage(QString::fromStdString(Text("frmMain", key)));
  };
  switch (command) {
    case SensorCommand::Read: m_sensor->SensorRead(false); break;
    case SensorCommand::Defaults: m_sensor->SensorRead(true); break;
    case SensorCommand::Write: confirm(m_sensor->SensorWrite(), "StatusWritten"); break;
    case SensorCommand::ReadSensitivity: m_sensor->ReadSensitivity(); break;
    case SensorCommand::WriteSensitivity: confirm(m_sensor->WriteSensitivity(), "StatusSensWritten"); break;
    case SensorCommand::Test: m_sensor->CommunicationTest(); break;
  }
  ShowPresenceAttempt();
}

void SensorLink::ShowPresenceAttempt() {
  if (m_window && m_sensor) m_window->ShowPresenceAttempt(m_sensor->LastPresenceAttempt());
}

}  // namespace rkt
