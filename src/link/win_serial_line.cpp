#include "link/win_serial_line.h"

#include <windows.h>

#include <QTimer>
#include <algorithm>
#include <utility>

#include "link/system_serial_line.h"

namespace rkt::link {

std::unique_ptr<SerialLine> MakeSystemSerialLine() { return std::make_unique<WinSerialLine>(); }

namespace {

// How often a wait looks at the driver.
constexpr int kPollMs = 1;

HANDLE Handle(void* h) { return static_cast<HANDLE>(h); }

// The reason of a Win32 error in the C library's English wording where one
// fits, so that the message shows it in the user's language; the system's
// own text otherwise.
std::string ErrorText(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "No such file or directory";
    // Another program holds the port: Windows opens a COM port only once.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return "Device or resource busy";
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: return "Input/output error";
    default: break;
  }
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(std::max(bytes, 0)));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), bytes, nullptr, nullptr);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
      out.pop_back();
  }
  if (text) LocalFree(text);
  return out.empty() ? "Windows error " + std::to_string(code) : out;
}

std::wstring Widen(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

// 1200 baud, 8 data bits, even parity, 1 stop bit, no flow control; DTR and
// RTS on, since some interface converters take their supply from them.
bool Configure(HANDLE h) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return false;
  dcb.BaudRate = CBR_1200;
  dcb.ByteSize = 8;
  dcb.Parity = EVENPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = TRUE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  // A parity or framing error must not stop all further reads until it is
  // cleared: the protocol's own checks catch the damaged byte.
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) return false;
  // Reads return at once with what the driver holds; a write gives up
  // rather than hang on a stalled line.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 0;
  t.WriteTotalTimeoutMultiplier = 20;
  t.WriteTotalTimeoutConstant = 1000;
  return SetCommTimeouts(h, &t) != 0;
}

}  // namespace

WinSerialLine::~WinSerialLine() { Close(); }

OpenResult WinSerialLine::Open(const std::string& name) {
  Close();
  OpenResult r;
  r.device = name.rfind("\\\\.\\", 0) == 0 ? name : "\\\\.\\" + name;
  HANDLE h = CreateFileW(Widen(r.device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    r.error = ErrorText(GetLastError());
    return r;
  }
  SetupComm(h, 4096, 4096);
  if (!Configure(h)) {
    r.error = ErrorText(GetLastError());
    CloseHandle(h);
    return r;
  }
  PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  m_handle = h;
  m_received.clear();
  r.ok = true;
  return r;
}

void WinSerialLine::Close() {
  if (m_handle) CloseHandle(Handle(m_handle));
  m_handle = nullptr;
  m_received.clear();
}

void WinSerialLine::Lose() {
  if (!m_handle) return;
  Close();
  if (m_waiting) m_waiting->quit();
  ReportLost();
}

void WinSerialLine::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (m_handle && done < bytes.size()) {
    DWORD written = 0;
    const BOOL ok = WriteFile(Handle(m_handle), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                              nullptr);
    // A write that times out without a byte leaves the rest unsent; the
    // missing echo or answer tells the protocol.
    if (!ok) {
      Lose();
      return;
    }
    if (written == 0) return;
    done += written;
  }
}

void WinSerialLine::Fetch() {
  while (m_handle) {
    std::uint8_t buffer[256];
    DWORD got = 0;
    if (!ReadFile(Handle(m_handle), buffer, sizeof buffer, &got, nullptr)) {
      Lose();
      return;
    }
    m_received.insert(m_received.end(), buffer, buffer + got);
    if (got < sizeof buffer) return;
  }
}

int WinSerialLine::BytesAvailable() {
  Fetch();
  return static_cast<int>(m_received.size());
}

std::vector<std::uint8_t> WinSerialLine::Read(int count) {
  Fetch();
  const auto n = static_cast<std::ptrdiff_t>(std::min<std::size_t>(std::max(count, 0), m_received.size()));
  std::vector<std::uint8_t> out(m_received.begin(), m_received.begin() + n);
  m_received.erase(m_received.begin(), m_received.begin() + n);
  return out;
}

void WinSerialLine::DiscardInput() {
  if (!m_handle) return;
  PurgeComm(Handle(m_handle), PURGE_RXCLEAR);
  m_received.clear();
  Fetch();
  m_received.clear();
}

bool WinSerialLine::WaitForBytes(int count, QDeadlineTimer deadline) {
  for (;;) {
    if (BytesAvailable() >= count) return true;
    if (!m_handle || m_interrupted || deadline.hasExpired()) return false;
    const qint64 left = deadline.remainingTime();
    QEventLoop loop;
    QEventLoop* outer = std::exchange(m_waiting, &loop);
    QTimer::singleShot(left < 0 ? kPollMs : static_cast<int>(std::min<qint64>(kPollMs, left)), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
    m_waiting = outer;
  }
}

void WinSerialLine::Interrupt(bool on) {
  m_interrupted = on;
  if (on && m_waiting) m_waiting->quit();
}

}  // namespace rkt::link
