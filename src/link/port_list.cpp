#include "link/port_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <tuple>

#if defined(_WIN32)
#include <windows.h>
#include <winspool.h>
#else
#include <QSerialPortInfo>
#endif

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

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// "COM" and a number, nothing else: the form the port layer opens.
bool IsComName(const std::string& name) {
  return name.size() > 3 && name.rfind("COM", 0) == 0 &&
         std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

#if defined(_WIN32)
std::string Narrow(const wchar_t* text, std::size_t length) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

// A text value of an open key; "" when it is missing, not text, or does not
// fit 255 characters.
std::string TextValue(HKEY key, const wchar_t* name) {
  wchar_t data[256];
  DWORD type = 0;
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  std::size_t length = size / sizeof(wchar_t);
  while (length > 0 && data[length - 1] == L'\0') --length;
  return Narrow(data, length);
}

// The data texts of every value of the serial device map, in the registry's
// order.
std::vector<std::string> DeviceMapPorts() {
  std::vector<std::string> out;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    wchar_t data[256];
    DWORD type = 0;
    DWORD size = sizeof data - sizeof(wchar_t);
    const LONG rc =
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    // A value too long ends the reading of the key.
    if (rc != ERROR_SUCCESS) break;
    if (type != REG_SZ) continue;
    std::size_t length = size / sizeof(wchar_t);
    while (length > 0 && data[length - 1] == L'\0') --length;
    out.push_back(Narrow(data, length));
  }
  RegCloseKey(key);
  return out;
}

// PORTNAME of each subkey of the port enumeration key.
std::vector<std::string> EnumeratedPorts() {
  std::vector<std::string> out;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Enum\\Root\\Ports", 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    out.push_back(TextValue(sub, L"PORTNAME"));
    RegCloseKey(sub);
  }
  RegCloseKey(key);
  return out;
}

// The print spooler's port names.
std::vector<std::string> SpoolerPorts() {
  std::vector<std::string> out;
  DWORD needed = 0;
  DWORD count = 0;
  EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
  if (needed == 0) return out;
  std::vector<BYTE> buffer(needed);
  if (!EnumPortsW(nullptr, 2, buffer.data(), needed, &needed, &count)) return out;
  const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    if (ports[i].pPortName) out.push_back(Narrow(ports[i].pPortName, wcslen(ports[i].pPortName)));
  return out;
}
#else
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

std::vector<std::string> WindowsPortList(const std::vector<std::string>& deviceMap,
                                         const std::vector<std::string>& portNames,
                                         const std::vector<std::string>& spoolerPorts) {
  // The device map holds "COMn" texts; the other sources' names are taken
  // only in that form, since the port number is read from the fourth
  // character on.
  std::vector<std::string> out(deviceMap.begin(), deviceMap.end());
  for (const std::string& raw : portNames) {
    const std::string name = Upper(raw);
    if (IsComName(name) && std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
  }
  if (out.empty()) {
    for (const std::string& raw : spoolerPorts) {
      const std::string name = Upper(raw);
      if (name.size() > 1 && name.back() == ':' && IsComName(name.substr(0, name.size() - 1)))
        out.push_back(name.substr(0, name.size() - 1));
    }
  }
  if (out.empty()) out.push_back("COM1");
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
  const std::vector<std::string> deviceMap = DeviceMapPorts();
  const std::vector<std::string> enumerated = EnumeratedPorts();
  return WindowsPortList(deviceMap, enumerated,
                         deviceMap.empty() && enumerated.empty() ? SpoolerPorts() : std::vector<std::string>{});
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
