#include "link/port_list.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace rkt::link {

std::vector<std::string> PortListFrom(const std::vector<std::string>& found, bool windows) {
  std::vector<std::string> out;
  for (const std::string& name : found) {
    if (name.empty() || std::find(out.begin(), out.end(), name) != out.end()) continue;
    out.push_back(name);
  }
  if (out.empty()) out.push_back(windows ? "COM1" : "/dev/ttyS0");
  return out;
}

std::vector<std::string> ListSerialPorts() {
  std::vector<std::string> found;
#if defined(_WIN32)
  // QSerialPortInfo reads the registry's serial device map and the device
  // manager, which covers what the old registry keys and the spooler gave.
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    const std::string name = info.portName().toUpper().toStdString();
    if (name.rfind("COM", 0) == 0) found.push_back(name);
  }
  return PortListFrom(found, true);
#else
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    found.push_back(info.systemLocation().toStdString());
  return PortListFrom(found, false);
#endif
}

}  // namespace rkt::link
