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

}  // namespace rkt::link
