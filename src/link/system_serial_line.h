#pragma once

#include <memory>

#include "link/serial_line.h"

namespace rkt::link {

// The machine's own serial line: QSerialPort on Linux, the Win32
// communications API on Windows (only qtbase is built for Windows).
std::unique_ptr<SerialLine> MakeSystemSerialLine();

}  // namespace rkt::link
