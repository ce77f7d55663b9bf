#include "link/serial_trace.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "model/safe_file.h"

namespace rkt::link {

namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  char cell[4];
  for (const std::uint8_t b : bytes) {
    std::snprintf(cell, sizeof cell, " %02X", b);
    out += cell;
  }
  return out;
}

}  // namespace

bool SerialTrace::Open(const std::string& path, const std::string& portName) {
  // Only a regular file (or a new one): opening a FIFO would wait for a
  // reader for ever, a device would get bytes it does not expect.
  // The name is UTF-8; Windows would read a narrow one in its ANSI code page
  // and miss a folder such as "Prüfstand".
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
  m_out.open(file, std::ios::out | std::ios::trunc);
  if (!m_out) return false;
  m_start = std::chrono::steady_clock::now();
  const std::time_t now = std::time(nullptr);
  char stamp[32] = "";
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  m_out << "# serial trace, started " << stamp << (portName.empty() ? "" : " on " + portName)
        << "\n# ms since start, > sent, < received, bytes in hex\n";
  m_out.flush();
  return true;
}

void SerialTrace::Line(char direction, const std::string& text) {
  if (!m_out.is_open()) return;
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start).count();
  char head[32];
  std::snprintf(head, sizeof head, "%11.3f %c ", ms, direction);
  // Flushed line by line: a trace is wanted most when the program dies.
  m_out << head << text << '\n' << std::flush;
}

void SerialTrace::Sent(std::span<const std::uint8_t> bytes) { Line('>', Hex(bytes)); }

void SerialTrace::Received(std::span<const std::uint8_t> bytes, bool echo) {
  std::string text = Hex(bytes);
  if (echo) text.append(text.size() < 24 ? 24 - text.size() : 1, ' ').append("echo");
  Line('<', text);
}

void SerialTrace::TimedOut(int wanted, int had) {
  Line('<', " (time-out: " + std::to_string(had) + " of " + std::to_string(wanted) + " bytes)");
}

void SerialTrace::Flushed(int dropped) {
  if (dropped > 0) Line('-', " (" + std::to_string(dropped) + " stale bytes dropped)");
}

void SerialTrace::Note(const std::string& text) { Line('#', " " + text); }

}  // namespace rkt::link
