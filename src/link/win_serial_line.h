#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <deque>

#include "link/serial_line.h"

namespace rkt::link {

// A COM port through the Win32 communications API. Received bytes are fetched
// from the driver with non-blocking reads; a wait looks at the driver every
// millisecond from the event loop, which costs nothing at 1200 baud (a byte
// takes 9 ms) and needs no event support from the driver, which USB adapters
// and wine's serial layer give unevenly.
class WinSerialLine final : public SerialLine {
 public:
  WinSerialLine() = default;
  ~WinSerialLine() override;
  WinSerialLine(const WinSerialLine&) = delete;
  WinSerialLine& operator=(const WinSerialLine&) = delete;

  // name: "COM12" or a device path ("\\.\COM12").
  OpenResult Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return m_handle != nullptr; }
  void Write(std::span<const std::uint8_t> bytes) override;
  int BytesAvailable() override;
  std::vector<std::uint8_t> Read(int count) override;
  void DiscardInput() override;
  bool WaitForBytes(int count, QDeadlineTimer deadline) override;
  void Interrupt(bool on) override;

 private:
  // Moves what the driver holds into m_received.
  void Fetch();
  // The device went away (an adapter pulled out): closed at once.
  void Lose();

  void* m_handle = nullptr;  // HANDLE; nullptr when closed
  std::deque<std::uint8_t> m_received;
  QEventLoop* m_waiting = nullptr;
  bool m_interrupted = false;
};

}  // namespace rkt::link
