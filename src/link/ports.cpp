#include "link/ports.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

#include "link/sensor_user.h"
#include "text/language.h"
#include "text/reason_texts.h"

namespace rkt::link {

int TimeoutFromSetting(std::string_view text, int fallback) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  double value = 0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr == first || !(value >= 0.5)) return fallback;
  // Stored as a 16-bit integer, rounded.
  return static_cast<int>(std::min(value + 0.5, 32767.0));
}

bool EchoFromSetting(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower != "noecho";
}

namespace {

// Puts the arguments in place of %1, %2 … of a text from the language file.
std::string Fill(std::string text, const std::vector<std::string>& args) {
  for (std::size_t i = args.size(); i-- > 0;) {
    const std::string mark = "%" + std::to_string(i + 1);
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + args[i].size()))
      text.replace(at, mark.size(), args[i]);
  }
  return text;
}

}  // namespace

std::string PortFailureLine(const OpenFailure& failure) {
  if (failure.name.empty()) return GetText("Message", "PortNone", kTextPortNone);
  std::string reason = ReasonText(failure.result.error);
  if (reason.empty()) reason = GetText("Message", "PortUnknownReason", kTextPortUnknownReason);
  return Fill(GetText("Message", "PortFailed", kTextPortFailed), {failure.name, reason});
}

std::string PermissionHint(const OpenFailure& failure) {
  if (!failure.result.permissionDenied) return {};
  const std::string group = failure.result.group.empty() ? "dialout" : failure.result.group;
  return Fill(GetText("Message", "PortPermission", kTextPortPermission), {failure.result.device, group});
}

std::string SystemPortName(std::string_view name, bool windows) {
  const bool isCom = name.size() >= 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(name[2])) == 'M';
  if (!isCom || !windows) return std::string(name);
  int number = 0;
  const char* first = name.data() + 3;
  const char* last = name.data() + name.size();
  const auto [ptr, ec] = std::from_chars(first, last, number);
  if (ec != std::errc() || ptr == first || number < 1 || number > 255) return {};
  return "COM" + std::to_string(number);
}

Ports::Ports(std::unique_ptr<SerialLine> line) : m_line(std::move(line)) {
  if (m_line) m_line->SetLostHandler([this] { LineLost(); });
}

Ports::~Ports() { ClosePort(); }

void Ports::InitPorts(const PortSettings& settings) {
  m_detectTimeout = settings.detectTimeout > 0 ? settings.detectTimeout : kDefaultDetectTimeout;
  m_readTimeout = settings.readTimeout > 0 ? settings.readTimeout : kDefaultReadTimeout;
  m_writeTimeout = settings.writeTimeout > 0 ? settings.writeTimeout : kDefaultWriteTimeout;
  m_echo = settings.echo;
  m_quietGap = settings.quietGap > 0 ? settings.quietGap : kDefaultQuietGap;
  m_sensorIdle = settings.sensorIdle >= 0 ? settings.sensorIdle : kDefaultSensorIdle;
  m_sensorReset = settings.sensorReset >= 0 ? settings.sensorReset : kDefaultSensorReset;
  ClosePort();
  m_portName.clear();
  m_timeout = m_detectTimeout;
}

void Ports::OpenPort(const std::string& name) {
  if (name.empty() || name == m_portName) return;
  m_portName = name;
  OpenCurrent(true);
}

bool Ports::OpenCurrent(bool ask) {
#if defined(_WIN32)
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  for (;;) {
    if (onPortShown) onPortShown(m_portName, false);
    m_line->Close();
    m_portOpen = false;
    const std::string device = m_portName.empty() ? std::string() : SystemPortName(m_portName, kWindows);
    OpenResult r;
    if (device.empty()) {
      r.device = m_portName;
      r.error = m_portName.empty() ? std::string() : GetText("Message", "PortNoNumber", kTextPortNoNumber);
    } else {
      r = m_line->Open(device);
    }
    if (r.ok) {
      m_portOpen = true;
      m_lost = false;
      ++m_session;
      if (onPortShown) onPortShown(m_portName, true);
      return true;
    }
    if (!ask) return false;
    const int answer = onOpenFailed ? onOpenFailed(OpenFailure{m_portName, r}) : kAnswerCancel;
    if (answer != kAnswerRetry) return false;
  }
}

bool Ports::ReopenQuietly() {
  if (m_portName.empty()) return false;
  const bool open = OpenCurrent(false);
  // Whatever the device held before it went away is stale.
  if (open) m_unsettled = true;
  return open;
}

bool Ports::Reopen() {
  if (m_portOpen && m_line->IsOpen()) return true;
  const bool open = OpenCurrent(true);
  if (open) m_unsettled = true;
  return open;
}

void Ports::LineLost() {
  if (!m_portOpen) return;
  // The handle is gone for good: the next command opens the port again.
  m_portOpen = false;
  m_lost = true;
  m_unsettled = true;
  if (m_trace) m_trace->Note("device lost");
  if (onPortShown) onPortShown(m_portName, false);
}

void Ports::EndExchange(bool completed, bool midCommand, bool midWrite) {
  if (completed) return;
  m_unsettled = true;
  m_midCommand = m_midCommand || midCommand;
  m_midWrite = m_midWrite || midWrite;
}

void Ports::NoteArrivals(int before) {
  if (m_line->BytesAvailable() > before) m_lastArrival = Clock::now();
}

void Ports::Settle() {
  // An exchange that is giving way settles later, once it has.
  if (!m_unsettled || m_abandoned) return;
  m_unsettled = false;
  const bool midCommand = std::exchange(m_midCommand, false);
  const bool midWrite = std::exchange(m_midWrite, false);
  if (!m_portOpen) return;
  ++m_settles;
  const auto started = Clock::now();
  const auto gap = std::chrono::milliseconds(std::min(m_quietGap, m_timeout));
  const int inside = midWrite ? std::max(m_sensorIdle, m_sensorReset) : m_sensorIdle;
  // A line that never falls silent must not hold the program for long.
  const QDeadlineTimer limit(
      std::max({2LL * m_timeout, static_cast<long long>(inside) + m_quietGap, static_cast<long long>(kSettleLimit)}),
      Qt::PreciseTimer);
  int seen = m_line->BytesAvailable();
  // Bytes already waiting came in after the last look at the line.
  if (seen > 0) m_lastArrival = started;
  for (;;) {
    auto ready = m_lastArrival + gap;
    if (midCommand || midWrite) ready = std::max(ready, m_lastSent + std::chrono::milliseconds(inside));
    const auto now = Clock::now();
    if (now >= ready || limit.hasExpired()) break;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(ready - now).count();
    const qint64 wait = std::min<qint64>(ms, std::max<qint64>(limit.remainingTime(), 0));
    m_line->WaitForBytes(seen + 1, QDeadlineTimer(wait, Qt::PreciseTimer));
    if (!m_portOpen || m_abandoned) return;
    const int n = m_line->BytesAvailable();
    if (n > seen) {
      m_lastArrival = Clock::now();
      seen = n;
    }
  }
  m_settledMs += std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
  FlushInput();
}

void Ports::Abandon(bool on) {
  m_abandoned = on;
  if (on) {
    // The exchange that gives way may leave answers on the wire and the
    // sensor inside a command.
    m_unsettled = true;
    m_midCommand = true;
  }
  m_line->Interrupt(on);
}

void Ports::ClosePort() {
  m_portOpen = false;
  m_lost = false;
  if (m_line) m_line->Close();
}

void Ports::FlushInput() {
  if (!m_portOpen) return;
  if (m_trace) m_trace->Flushed(m_line->BytesAvailable());
  m_line->DiscardInput();
}

void Ports::SendText(std::string_view text, int count) {
  if (!m_portOpen || count <= 0 || m_abandoned) return;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), text.size());
  std::vector<std::uint8_t> bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
  m_line->Write(bytes);
  m_lastSent = Clock::now();
  if (m_trace) m_trace->Sent(bytes);
  if (m_echo) {
    std::string echo;
    m_receivingEcho = true;
    ReceiveText(echo, static_cast<int>(n));
    m_receivingEcho = false;
    m_lastSent = Clock::now();
  }
}

void Ports::SendByte(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  SendText(std::string_view(&c, 1), 1);
}

int Ports::ReceiveText(std::string& text, int count) {
  if (count <= 0) return 0;
  // Two periods counted from the start of the receive.
  const QDeadlineTimer deadline(2LL * m_timeout, Qt::PreciseTimer);
  if (!m_portOpen) {
    // Nothing can arrive; the caller still sees the usual time-out, except
    // on a device that went away: waiting for it would only delay the report.
    if (!m_lost) m_line->WaitForBytes(INT_MAX, deadline);
    if (m_trace) m_trace->TimedOut(count, 0);
    return 0;
  }
  const int before = m_line->BytesAvailable();
  const bool arrived = m_line->WaitForBytes(count, deadline);
  NoteArrivals(before);
  if (!arrived) {
    if (m_trace) m_trace->TimedOut(count, m_portOpen ? m_line->BytesAvailable() : 0);
    return 0;
  }
  const std::vector<std::uint8_t> bytes = m_line->Read(count);
  if (m_trace) m_trace->Received(bytes, m_receivingEcho);
  if (static_cast<int>(bytes.size()) < count) return 0;
  text.assign(bytes.begin(), bytes.end());
  return count;
}

int Ports::ReceiveByte(std::uint8_t& byte) {
  std::string two;
  byte = ' ';
  if (ReceiveText(two, 2) < 2) return kNoAnswer;
  const auto b1 = static_cast<std::uint8_t>(two[0]);
  const auto b2 = static_cast<std::uint8_t>(two[1]);
  if (b1 == static_cast<std::uint8_t>(255 - b2)) {
    byte = b1;
    return kReceiveOk;
  }
  byte = b2;
  return kComplementError;
}

void Ports::WaitTimeout() {
  if (m_abandoned) return;
  const QDeadlineTimer deadline(m_timeout, Qt::PreciseTimer);
  const int before = m_portOpen ? m_line->BytesAvailable() : 0;
  m_line->WaitForBytes(INT_MAX, deadline);
  if (m_portOpen) NoteArrivals(before);
  m_waitedMs += m_timeout;
}

int Ports::SetTimeout(int ms) {
  const int previous = m_timeout;
  if (ms > 0) m_timeout = ms;
  return previous;
}

}  // namespace rkt::link
