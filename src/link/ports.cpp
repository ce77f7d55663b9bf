#include "link/ports.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

#include "link/sensor_user.h"

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

std::string PermissionHint(const OpenFailure& failure) {
  if (!failure.result.permissionDenied) return {};
  const std::string group = failure.result.group.empty() ? "dialout" : failure.result.group;
  return "Keine Berechtigung für " + failure.result.device + ": der Benutzer muss Mitglied der Gruppe \"" + group +
         "\" sein (danach neu anmelden).";
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

Ports::Ports(std::unique_ptr<SerialLine> line) : m_line(std::move(line)) {}

Ports::~Ports() { ClosePort(); }

void Ports::InitPorts(const PortSettings& settings) {
  m_detectTimeout = settings.detectTimeout > 0 ? settings.detectTimeout : kDefaultDetectTimeout;
  m_readTimeout = settings.readTimeout > 0 ? settings.readTimeout : kDefaultReadTimeout;
  m_writeTimeout = settings.writeTimeout > 0 ? settings.writeTimeout : kDefaultWriteTimeout;
  m_echo = settings.echo;
  ClosePort();
  m_portName.clear();
  m_timeout = m_detectTimeout;
}

void Ports::OpenPort(const std::string& name) {
  if (name.empty() || name == m_portName) return;
  m_portName = name;
#if defined(_WIN32)
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  for (;;) {
    if (onPortShown) onPortShown(m_portName, false);
    m_line->Close();
    m_portOpen = false;
    const std::string device = SystemPortName(name, kWindows);
    OpenResult r;
    if (device.empty()) {
      r.device = name;
      r.error = "no port number in the name";
    } else {
      r = m_line->Open(device);
    }
    if (r.ok) {
      m_portOpen = true;
      if (onPortShown) onPortShown(m_portName, true);
      return;
    }
    const int answer = onOpenFailed ? onOpenFailed(OpenFailure{name, r}) : kAnswerCancel;
    if (answer != kAnswerRetry) return;
  }
}

bool Ports::ReopenQuietly() {
  if (m_portName.empty()) return false;
#if defined(_WIN32)
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  const std::string device = SystemPortName(m_portName, kWindows);
  m_line->Close();
  m_portOpen = !device.empty() && m_line->Open(device).ok;
  if (onPortShown) onPortShown(m_portName, m_portOpen);
  return m_portOpen;
}

void Ports::Abandon(bool on) {
  m_abandoned = on;
  m_line->Interrupt(on);
}

void Ports::ClosePort() {
  m_portOpen = false;
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
  if (m_trace) m_trace->Sent(bytes);
  if (m_echo) {
    std::string echo;
    m_receivingEcho = true;
    ReceiveText(echo, static_cast<int>(n));
    m_receivingEcho = false;
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
    // Nothing can arrive; the caller still sees the usual time-out.
    m_line->WaitForBytes(INT_MAX, deadline);
    if (m_trace) m_trace->TimedOut(count, 0);
    return 0;
  }
  if (!m_line->WaitForBytes(count, deadline)) {
    if (m_trace) m_trace->TimedOut(count, m_line->BytesAvailable());
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
  m_line->WaitForBytes(INT_MAX, deadline);
  m_waitedMs += m_timeout;
}

int Ports::SetTimeout(int ms) {
  const int previous = m_timeout;
  if (ms > 0) m_timeout = ms;
  return previous;
}

}  // namespace rkt::link
