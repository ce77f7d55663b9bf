#pragma once

#include <string>
#include <vector>

#include "link/detection.h"

// The sensor link as the application frame sees it. The frame starts and
// ends the link and carries the options that belong to it; everything else
// the link does happens behind these calls. The real serial layer and
// detection implement this interface (SensorLink); tests use a fake.
namespace rkt {

class DetectionRequest;

// The service values the serial layer takes from the settings at start.
struct LinkSettings {
  int detectTimeoutMs = 100;  // time-out of the presence check
  int readTimeoutMs = 200;    // time-out of data transfers
  bool echo = true;           // the interface repeats every byte sent
};

using link::kDetectionIntervalMs;

class DataSet;
class frmMain;
enum class SensorCommand;

class LinkServices {
 public:
  virtual ~LinkServices() = default;

  // Takes the time-outs and echo mode; the port stays closed.
  virtual void InitPorts(const LinkSettings& settings) = 0;
  // Opens the named port, reporting a failure itself (message 2 with Retry
  // and Cancel); the name stays the current one either way.
  virtual void OpenPort(const std::string& name) = 0;
  // The current port name ("" before any OpenPort).
  virtual std::string PortName() const = 0;
  virtual void ClosePort() = 0;

  // Keeps request: the detection timer (every kDetectionIntervalMs while
  // the mode is 1) raises it, switching detection off clears it. Only the
  // main loop takes it and then calls DetectSensor.
  virtual void InitDetection(DetectionRequest& request) = 0;
  // 1 = automatic detection, 0 = off.
  virtual void SetDetection(int mode) = 0;
  virtual int DetectionMode() const = 0;
  // One detection run; called only from the top level of the main loop.
  virtual void DetectSensor() = 0;

  // The window the sensor operations report to, once it exists.
  virtual void Attach(DataSet& /*data*/, frmMain& /*window*/) {}
  // A sensor command chosen in the window.
  virtual void RunCommand(SensorCommand /*command*/) {}
  // The ports the options offer.
  virtual std::vector<std::string> PortList() const { return {}; }
  // The port a start without a stored one opens: the first the machine
  // offers, "" when it has none (then nothing is opened, nothing asked).
  virtual std::string DefaultPort() const { return {}; }
  // The serial trace: on writes every byte to TraceFile() from now on.
  virtual bool SetTrace(bool /*on*/) { return false; }
  virtual bool Tracing() const { return false; }
  virtual std::string TraceFile() const { return {}; }
  // The interface repeats the bytes sent (shown in the about box).
  virtual bool Echo() const { return true; }
};

}  // namespace rkt
