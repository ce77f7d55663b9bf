#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/link_services.h"
#include "app/main_loop.h"

namespace rkt {

// Records the calls the frame makes, in order, and keeps the state a link would keep.
class FakeLink : public LinkServices {
 public:
  void InitPorts(const LinkSettings& s) override { calls.push_back("InitPorts"), settings = s; }
  void OpenPort(const std::string& name) override {
    calls.push_back("OpenPort " + name);
    if (!name.empty()) port = name;
    if (onOpenPort) onOpenPort();
  }
  std::string PortName() const override { return port; }
  std::string DefaultPort() const override { return defaultPort; }
  std::vector<std::string> PortList() const override { return {"/dev/ttyS0", "/dev/ttyUSB0"}; }
  void ClosePort() override { calls.push_back("ClosePort"); }
  void InitDetection(DetectionRequest& r) override { calls.push_back("InitDetection"), request = &r; }
  void SetDetection(int m) override {
    calls.push_back("SetDetection " + std::to_string(m));
    if (m >= 0) mode = m;
    if (m == 0 && request != nullptr) request->Clear();
  }
  int DetectionMode() const override { return mode; }
  void DetectSensor() override { calls.push_back("DetectSensor"), onDetect ? onDetect() : void(); }
  bool SetTrace(bool on) override { return tracing = on && traceWritable, traceWritable; }
  bool Tracing() const override { return tracing; }
  std::string TraceFile() const override { return "/var/trace.txt"; }

  std::vector<std::string> calls;
  LinkSettings settings;
  std::string port, defaultPort = "COM1";
  int mode = 0;
  bool tracing = false, traceWritable = true;
  DetectionRequest* request = nullptr;
  std::function<void()> onDetect, onOpenPort;
};

}  // namespace rkt
