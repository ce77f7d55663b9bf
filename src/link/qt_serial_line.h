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
  bool IsOpen() const override { return m_port.isOpen(); }
  void Write(std::span<const std::uint8_t> bytes) override;
  int BytesAvailable() override { return static_cast<int>(m_port.bytesAvailable()); }
  std::vector<std::uint8_t> Read(int count) override;
  void DiscardInput() override;
  bool WaitForBytes(int count, QDeadlineTimer deadline) override;
  void Interrupt(bool on) override;

 private:
  QSerialPort m_port;
  QTimer m_deadlineTimer;
  QEventLoop* m_waiting = nullptr;
  bool m_interrupted = false;
};

}  // namespace rkt::link
