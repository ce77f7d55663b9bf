#pragma once

#include <QTimer>

#include "app/link_services.h"

// Stands in for the sensor link until the serial layer is wired in: it keeps
// the settings, the port name and the detection mode, and its detection
// timer raises requests, but it opens no port and finds no sensor.
namespace rkt {

class OfflineLink : public LinkServices {
 public:
  OfflineLink();

  void InitPorts(const LinkSettings& settings) override { m_settings = settings; }
  void OpenPort(const std::string& name) override;
  std::string PortName() const override { return m_portName; }
  void ClosePort() override { m_closed = true; }
  void InitDetection(DetectionRequest& request) override { m_request = &request; }
  void SetDetection(int mode) override;
  int DetectionMode() const override { return m_mode; }
  void DetectSensor() override { ++m_detections; }

  const LinkSettings& Settings() const { return m_settings; }
  int Detections() const { return m_detections; }
  bool Closed() const { return m_closed; }

 private:
  LinkSettings m_settings;
  std::string m_portName;
  int m_mode = 0;
  int m_detections = 0;
  bool m_closed = true;
  DetectionRequest* m_request = nullptr;
  QTimer m_timer;
};

}  // namespace rkt
