#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/serial_line.h"
#include "link/serial_trace.h"

// The one serial port the program talks to the sensor through: open and
// close, send with echo handling, receive a fixed count within two time-out
// periods, receive a protocol byte with its complement, wait one period.
namespace rkt::link {

inline constexpr int kDefaultDetectTimeout = 100;
inline constexpr int kDefaultReadTimeout = 200;
inline constexpr int kDefaultWriteTimeout = 300;
// A line counts as quiet after this long without a byte: about five byte
// times at 1200 baud. Bytes do not come evenly: a USB adapter hands them
// over in bursts, and a loaded machine delivers them late.
inline constexpr int kDefaultQuietGap = 50;
// However long the line keeps talking, the wait for quiet ends after this
// long: enough for the longest answer ("LP", 34 bytes and its echo) to end.
inline constexpr int kSettleLimit = 1000;
// A sensor left inside a command drops back to idle after about 150 ms
// without a byte; waiting a little longer makes sure it has.
inline constexpr int kDefaultSensorIdle = 160;
// Some sensors stay inside a command far longer (half a second and more);
// one left inside a write would store the next byte it hears. Where the PC
// cannot tell whether such a command has ended, it waits this long after its
// last byte before the next command.
inline constexpr int kDefaultSensorReset = 1000;

// Receive status values.
inline constexpr int kReceiveOk = 1;
inline constexpr int kNoAnswer = -1;
inline constexpr int kComplementError = -2;

// A time-out setting in milliseconds: its leading number, or `fallback` when
// the text is no number or the number is not positive (a wait with such a
// time-out would never end). Values beyond a 16-bit integer are capped.
int TimeoutFromSetting(std::string_view text, int fallback);
// The interface repeats every byte sent unless the setting is "noecho" (any case).
bool EchoFromSetting(std::string_view text);

struct PortSettings {
  int detectTimeout = kDefaultDetectTimeout;
  int readTimeout = kDefaultReadTimeout;
  // The period of the parameter writes; fixed in the product, shorter in tests.
  int writeTimeout = kDefaultWriteTimeout;
  bool echo = true;
  // How long the line must have been silent before stale input is dropped
  // (capped by the current time-out), and how long the sensor takes to give
  // up a command left unfinished.
  int quietGap = kDefaultQuietGap;
  int sensorIdle = kDefaultSensorIdle;
  // How long a sensor left inside a write command may take to drop it.
  int sensorReset = kDefaultSensorReset;
};

// What the open failure handler gets to tell the user.
struct OpenFailure {
  std::string name;
  OpenResult result;
};

// The line of the open-failure message that names the port and gives the
// system's reason, in the current language.
std::string PortFailureLine(const OpenFailure& failure);
// The line of the open-failure message when the user lacks the right to open
// the device, in the current language; "" when that is not the reason.
std::string PermissionHint(const OpenFailure& failure);

// The device QSerialPort is to open for a port name. Only a "COM" name has
// its number taken from the fourth character on ("COM12" → 12); nullopt-like
// "" when such a name carries no valid number. Other names (device paths,
// links to pseudo-terminals) are used as they are.
std::string SystemPortName(std::string_view name, bool windows);

class Ports {
 public:
  explicit Ports(std::unique_ptr<SerialLine> line);
  ~Ports();
  Ports(const Ports&) = delete;
  Ports& operator=(const Ports&) = delete;

  // Takes the service values (time-outs guarded, echo mode); the port stays
  // closed and the current time-out becomes the detect time-out.
  void InitPorts(const PortSettings& settings);

  // Opens the named port unless it is already the current name. A failure is
  // handed to the open-failure handler, which returns the button pressed:
  // Retry (4) tries again, anything else leaves the port closed.
  void OpenPort(const std::string& name);
  const std::string& CurrentPortName() const { return m_portName; }
  bool IsPortOpen() const { return m_portOpen; }
  void ClosePort();
  // Opens the current port again without asking anything, for a device that
  // went away (a USB adapter unplugged and plugged in again). True when open.
  bool ReopenQuietly();
  // Opens the current port again when it is not open (its device went away,
  // or an earlier open failed), asking through the open-failure handler as
  // OpenPort does. True when the port is open.
  bool Reopen();
  // Counts the opens: a new number each time the port is opened (again),
  // so that what was learnt about the sensor on it can be kept until it is
  // closed.
  std::uint64_t Session() const { return m_session; }
  // Whether the line itself is still open; false after the device vanished.
  bool LineOpen() const { return m_line && m_line->IsOpen(); }
  // While on, the exchange in progress gives way: nothing more is sent and
  // every receive and wait ends at once as a time-out.
  void Abandon(bool on);
  bool Abandoned() const { return m_abandoned; }

  // One exchange with the sensor ("V", "LQ", "LP" or "PQ"). An exchange that
  // follows one that failed or gave way starts on a quiet line: Settle runs
  // first. End tells how it went; midCommand when the sensor may still be
  // waiting for the rest of a command it had begun, midWrite when that may be
  // a write, which would take the next byte as data.
  void BeginExchange() { Settle(); }
  void EndExchange(bool completed, bool midCommand, bool midWrite = false);
  // Brings the line to a known quiet state after an exchange that failed,
  // was abandoned or cancelled: waits until no byte has come for the quiet
  // gap (and, when the sensor may be inside a command, until its idle
  // time-out, or inside a write its reset time, has passed since the last
  // byte sent), then discards the input.
  // Does nothing when the last exchange ended cleanly.
  void Settle();
  bool Unsettled() const { return m_unsettled; }

  void FlushInput();
  // Received bytes not yet taken; 0 while the port is closed.
  int InputCount() { return m_portOpen ? m_line->BytesAvailable() : 0; }
  // Transmits the first count bytes of text; with echo on, then takes the
  // interface's echo of them out of the input.
  void SendText(std::string_view text, int count);
  void SendByte(std::uint8_t byte);
  // count bytes into text and count as result, or 0 and text untouched when
  // they do not arrive within two periods of the current time-out. Surplus
  // bytes stay for the next receive.
  int ReceiveText(std::string& text, int count);
  // One protocol byte followed by its complement: kReceiveOk with the byte,
  // kNoAnswer, or kComplementError.
  int ReceiveByte(std::uint8_t& byte);
  // Waits one period of the current time-out.
  void WaitTimeout();
  int SetTimeout(int ms);
  int GetTimeout() const { return m_timeout; }

  int DetectTimeout() const { return m_detectTimeout; }
  int ReadTimeout() const { return m_readTimeout; }
  int WriteTimeout() const { return m_writeTimeout; }
  bool Echo() const { return m_echo; }

  // Told the port name and whether it is open (the status bar's port field).
  std::function<void(const std::string& name, bool open)> onPortShown;
  // Asked what to do after a failed open; returns a button code.
  std::function<int(const OpenFailure&)> onOpenFailed;

  // Every byte sent and received goes to the trace while one is set.
  void SetTrace(SerialTrace* trace) { m_trace = trace; }

  // Time spent in WaitTimeout so far, for the benchmark's floor.
  long long WaitedMs() const { return m_waitedMs; }
  // How often Settle had to bring the line back, and the time it took.
  int Settles() const { return m_settles; }
  long long SettledMs() const { return m_settledMs; }

 private:
  using Clock = std::chrono::steady_clock;

  bool OpenCurrent(bool ask);
  void LineLost();
  // Notes the arrival of bytes seen during a wait.
  void NoteArrivals(int before);

  std::unique_ptr<SerialLine> m_line;
  std::string m_portName;
  bool m_portOpen = false;
  int m_timeout = kDefaultDetectTimeout;
  int m_detectTimeout = kDefaultDetectTimeout;
  int m_readTimeout = kDefaultReadTimeout;
  int m_writeTimeout = kDefaultWriteTimeout;
  bool m_echo = true;
  long long m_waitedMs = 0;
  bool m_abandoned = false;
  bool m_receivingEcho = false;
  int m_quietGap = kDefaultQuietGap;
  int m_sensorIdle = kDefaultSensorIdle;
  int m_sensorReset = kDefaultSensorReset;
  std::uint64_t m_session = 0;
  bool m_lost = false;
  bool m_unsettled = false;
  bool m_midCommand = false;
  bool m_midWrite = false;
  Clock::time_point m_lastSent{};
  Clock::time_point m_lastArrival{};
  int m_settles = 0;
  long long m_settledMs = 0;
  SerialTrace* m_trace = nullptr;
};

}  // namespace rkt::link
