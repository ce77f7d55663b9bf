#pragma once

#include <QDeadlineTimer>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// The byte pipe under the port layer: a real serial port, or the simulated
// sensor in the same process. Everything that waits for the sensor waits in
// WaitForBytes, which blocks in the event loop and never spins.
namespace rkt::link {

struct OpenResult {
  bool ok = false;
  bool permissionDenied = false;  // the device exists but this user may not open it
  std::string device;             // the device the name stood for
  std::string group;              // with permissionDenied: the group that owns the device
  std::string error;              // the system's reason, for the user
};

class SerialLine {
 public:
  virtual ~SerialLine() = default;

  // Opens the line at 1200 baud, even parity, 8 data bits, 1 stop bit.
  virtual OpenResult Open(const std::string& name) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual void Write(std::span<const std::uint8_t> bytes) = 0;
  // Received bytes not yet taken.
  virtual int BytesAvailable() = 0;
  // Takes up to count received bytes.
  virtual std::vector<std::uint8_t> Read(int count) = 0;
  // Drops everything received so far, including what the driver holds.
  virtual void DiscardInput() = 0;
  // Lets the event loop run until at least count bytes are available or the
  // deadline has passed; true when the bytes are there.
  virtual bool WaitForBytes(int count, QDeadlineTimer deadline) = 0;
  // While on, every wait ends at once without bytes, and a wait in progress
  // is woken: an exchange that must give way (to a user's command) unwinds
  // without sending or waiting further.
  virtual void Interrupt(bool on) = 0;

  // Called once when the device goes away under an open line (an adapter
  // pulled out: resource error, hang-up, I/O error). The line counts as
  // closed from then on, waiting or not; only a new Open brings it back.
  void SetLostHandler(std::function<void()> handler) { m_onLost = std::move(handler); }

 protected:
  void ReportLost() {
    if (m_onLost) m_onLost();
  }

 private:
  std::function<void()> m_onLost;
};

}  // namespace rkt::link
