#include "link/detection.h"

#include "text/messages.h"

namespace rkt::link {

Detection::Detection(Sensor& sensor, Ports& ports, DataSet& data, SensorUser& user)
    : m_sensor(sensor), m_ports(ports), m_data(data), m_user(user) {
  m_timer.setInterval(kDetectionIntervalMs);
}

void Detection::InitDetection(std::function<void()> request, std::function<void()> dropRequest) {
  QObject::disconnect(&m_timer, nullptr, nullptr, nullptr);
  QObject::connect(&m_timer, &QTimer::timeout, [request = std::move(request)] { request(); });
  m_dropRequest = std::move(dropRequest);
}

void Detection::SetDetection(int mode) {
  if (mode < 0) return;
  m_user.ShowDetectionState(mode == 1 ? DetectionState::On : DetectionState::Off);
  m_mode = mode;
  if (mode != 0) {
    if (!m_timer.isActive()) m_timer.start();
  } else {
    m_timer.stop();
    if (m_dropRequest) m_dropRequest();
  }
}

void Detection::DetectSensor() {
  if (m_guard) return;
  if (m_sensor.OperationRunning()) return;
  Sensor::BusyScope busy(m_sensor);
  if (!busy.Entered()) return;
  m_guard = true;
  Run();
  m_user.ShowDetectionState(m_mode == 1 ? DetectionState::On : DetectionState::Off);
  m_guard = false;
}

void Detection::Run() {
  m_user.ShowDetectionState(DetectionState::Searching);
  // A device that went away (an adapter unplugged) is opened again as soon
  // as it is back, without asking.
  if (!m_ports.CurrentPortName().empty() && !m_ports.IsPortOpen()) m_ports.ReopenQuietly();

  const bool found = m_sensor.CheckSensor(CheckMode::Silent);
  // A run that gave way to a user's command has learnt nothing.
  if (m_ports.Abandoned()) return;
  if (!found) {
    m_user.SetOverviewEnabled(false);
    return;
  }
  // Data from a file or a data code is never replaced by a sensor, also
  // when it arrives while the read runs (the read then takes nothing).
  if (m_data.OfflineData()) return;

  int previousType = m_data.Ident(kReadCopy, ident::kTypeCode);
  if (previousType == 0) previousType = m_data.Ident(kWorkingCopy, ident::kTypeCode);
  if (m_sensor.ReadDataSetFor(m_data.Generation()) != 0) return;

  const int newType = m_data.Ident(kReadCopy, ident::kTypeCode);
  const int workingType = m_data.Ident(kWorkingCopy, ident::kTypeCode);
  if (TypesCompatible(newType, workingType)) {
    m_user.SetOverviewEnabled(true);
    m_user.RefreshOverview();
  } else if (!TypesCompatible(previousType, newType) && previousType != 0) {
    // A sensor of another family took the place of the one being edited.
    if (m_user.ShowMessage(msg::kTypeChanged, kButtonsYesNo, kHelpTypeChanged) != kAnswerYes ||
        m_user.DataChanged(false)) {
      m_user.SetOverviewEnabled(false);
    } else {
      m_data.SetSensitivityValid(0);
      m_data.SetDataValid(0);
      m_user.SetSensitivityAvailable(false);
    }
  }

  if (m_data.DataValid() == 0) {
    m_data.SetValue(ValueId::FileName, std::string());
    m_data.SetDataValid(1);
    m_data.CopyCopy(kReadCopy, kWorkingCopy);
    m_user.ShowNewDataSet(m_data.SensitivityValid() != 0);
    m_data.SetValue(ValueId::Changed, false);
  }
}

}  // namespace rkt::link
