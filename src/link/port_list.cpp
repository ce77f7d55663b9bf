#include "link/port_list.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <tuple>

namespace rkt::link {

namespace {

// USB adapters first: they are what a sensor is plugged into today.
int KindOf(const std::string& device) {
  static constexpr const char* kKinds[] = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyS"};
  for (int i = 0; i < 3; ++i) {
    const std::string prefix = kKinds[i];
    if (device.rfind(prefix, 0) == 0 && device.size() > prefix.size() &&
        std::all_of(device.begin() + static_cast<std::ptrdiff_t>(prefix.size()), device.end(),
                    [](unsigned char c) { return std::isdigit(c) != 0; }))
      return i;
  }
  return 3;
}

// The number at the end of a device name, so that ttyS10 follows ttyS9.
long NumberOf(const std::string& device) {
  std::size_t i = device.size();
  while (i > 0 && std::isdigit(static_cast<unsigned char>(device[i - 1]))) --i;
  if (i == device.size() || device.size() - i > 9) return -1;
  return std::stol(device.substr(i));
}

#if !defined(_WIN32)
std::vector<std::string> LinuxPorts() {
  std::vector<std::string> byId;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/serial/by-id", ec))
    byId.push_back(entry.path().string());
  std::vector<std::string> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    devices.push_back(info.systemLocation().toStdString());
  return OrderLinuxPorts(std::move(byId), std::move(devices));
}
#endif

}  // namespace

std::vector<std::string> PortListFrom(const std::vector<std::string>& found, bool windows) {
  std::vector<std::string> out;
  for (const std::string& name : found) {
    if (name.empty() || std::find(out.begin(), out.end(), name) != out.end()) continue;
    out.push_back(name);
  }
  if (out.empty()) out.push_back(windows ? "COM1" : "/dev/ttyS0");
  return out;
}

std::vector<std::string> OrderLinuxPorts(std::vector<std::string> byId, std::vector<std::string> devices) {
  std::sort(byId.begin(), byId.end());
  std::stable_sort(devices.begin(), devices.end(), [](const std::string& a, const std::string& b) {
    return std::make_tuple(KindOf(a), NumberOf(a), a) < std::make_tuple(KindOf(b), NumberOf(b), b);
  });
  std::vector<std::string> out;
  for (auto* list : {&byId, &devices})
    for (std::string& name : *list)
      if (!name.empty() && std::find(out.begin(), out.end(), name) == out.end()) out.push_back(std::move(name));
  return out;
}

std::vector<std::string> ListSerialPorts() {
#if defined(_WIN32)
  std::vector<std::string> found;
  // QSerialPortInfo reads the registry's serial device map and the device
  // manager, which covers what the old registry keys and the spooler gave.
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    const std::string name = info.portName().toUpper().toStdString();
    if (name.rfind("COM", 0) == 0) found.push_back(name);
  }
  return PortListFrom(found, true);
#else
  return PortListFrom(LinuxPorts(), false);
#endif
}

std::string DefaultPort() {
#if defined(_WIN32)
  return "COM1";
#else
  const std::vector<std::string> ports = LinuxPorts();
  return ports.empty() ? std::string() : ports.front();
#endif
}

}  // namespace rkt::link
