#pragma once

#include <QTimer>
#include <functional>

#include "link/ports.h"
#include "link/sensor.h"
#include "model/data_set.h"

// Automatic sensor detection: every five seconds, while switched on, a
// request is raised; the main loop answers it with one DetectSensor run,
// which looks for a sensor, reads a newly found one when there is no data
// yet, and notices a sensor of another type family.
namespace rkt::link {

inline constexpr int kDetectionIntervalMs = 5000;

class Detection {
 public:
  Detection(Sensor& sensor, Ports& ports, DataSet& data, SensorUser& user);

  // Each timer tick calls request (the main loop then runs DetectSensor).
  void InitDetection(std::function<void()> request, std::function<void()> dropRequest);
  // 1 switches automatic detection on, 0 off (a pending request is dropped).
  void SetDetection(int mode);
  int DetectionMode() const { return m_mode; }

  // One detection run. Does nothing while an operation or another run is
  // talking to the sensor.
  void DetectSensor();
  bool Running() const { return m_guard; }

 private:
  void Run();

  Sensor& m_sensor;
  Ports& m_ports;
  DataSet& m_data;
  SensorUser& m_user;
  QTimer m_timer;
  std::function<void()> m_dropRequest;
  int m_mode = 0;
  bool m_guard = false;
};

}  // namespace rkt::link
