#pragma once

#include <string>
#include <vector>

// The serial ports to offer: what the system reports, device paths on Linux
// and "COM" names on Windows, never an empty list.
namespace rkt::link {

std::vector<std::string> ListSerialPorts();

// The list from names the system gave: duplicates dropped in order, and the
// last resort when nothing is left.
std::vector<std::string> PortListFrom(const std::vector<std::string>& found, bool windows);

// The Windows list from its three sources, one after the other: the serial
// device map's data texts as they are, then the port enumeration key's
// PORTNAME values in upper case where not already listed, and only when both
// gave nothing the spooler's ports of the form "COMn:" without the colon;
// "COM1" when no source gave anything.
std::vector<std::string> WindowsPortList(const std::vector<std::string>& deviceMap,
                                         const std::vector<std::string>& portNames,
                                         const std::vector<std::string>& spoolerPorts);

// The order a Linux machine's ports are offered in: the stable names under
// /dev/serial/by-id/ first (by name), then the devices, USB adapters
// (ttyUSB) before modems (ttyACM) before built-in ports (ttyS) before
// anything else, each kind by its number.
std::vector<std::string> OrderLinuxPorts(std::vector<std::string> byId, std::vector<std::string> devices);

// The port a first start takes when no port is stored: the first one the
// list offers, or "" when the machine has none (Windows: "COM1").
std::string DefaultPort();

}  // namespace rkt::link
