#pragma once

#include <QSerialPort>
#include <QEventLoop>
#include <QTimer>

#include "link/serial_line.h"

namespace rkt::link {

// A real serial port (or pseudo-terminal) through QSerialPort.
class QtSerialLine final : public SerialLine {
 public:
  QtSerialLine();
  ~QtSerialLine() override;

  OpenResult Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return m_port.isOpen() && !m_lost; }
  void Write(std::span<const std::uint8_t> bytes) override;
  int BytesAvailable() override { return IsOpen() ? static_cast<int>(m_port.bytesAvailable()) : 0; }
  std::vector<std::uint8_t> Read(int count) override;
  void DiscardInput() override;
  bool WaitForBytes(int count, QDeadlineTimer deadline) override;
  void Interrupt(bool on) override;

 private:
  // The device went away: the line is closed for the program at once; the
  // handle itself is closed on the next pass of the event loop, outside the
  // port's own signal.
  void Lose();

  QSerialPort m_port;
  bool m_lost = false;
  int m_generation = 0;
  QTimer m_deadlineTimer;
  QEventLoop* m_waiting = nullptr;
  bool m_interrupted = false;
};

}  // namespace rkt::link
