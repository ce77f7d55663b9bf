#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>

// A record of every byte on the line for support: one exchange a line, with
// the milliseconds since the trace began, the direction and the bytes in hex.
//
//     1234.567 >  4C 51
//     1243.810 <  4C 51                 echo
//     1262.114 <  00 FF
//     1662.400 <  (time-out: 0 of 2 bytes)
namespace rkt::link {

class SerialTrace {
 public:
  // Starts a trace in path (replacing an older file); false when the file
  // cannot be written.
  bool Open(const std::string& path, const std::string& portName);
  bool IsOpen() const { return m_out.is_open(); }
  // False once a line could not be written (a full disk, a reader gone).
  bool Good() const { return m_out.good(); }
  void Close() { m_out.close(); }

  void Sent(std::span<const std::uint8_t> bytes);
  void Received(std::span<const std::uint8_t> bytes, bool echo);
  void TimedOut(int wanted, int had);
  void Flushed(int dropped);
  void Note(const std::string& text);

 private:
  void Line(char direction, const std::string& text);

  std::ofstream m_out;
  std::chrono::steady_clock::time_point m_start;
};

}  // namespace rkt::link
