#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A simulated sensor behind its interface: the byte protocol with its
// complements, the interface's echo, the programming lock, an optional
// 1200-baud time model and faults injected by tests. It only computes: the
// caller hands it bytes with the moment they were written and gets back the
// bytes the line carries to the PC, each with the moment it is complete.
namespace rkt::sim {

using Clock = std::chrono::steady_clock;

struct TimedByte {
  std::uint8_t value;
  Clock::time_point at;
};

struct SimConfig {
  int typeCode = 1;
  bool locked = false;
  bool echo = true;
  // Each byte occupies the line for 11 bits at 1200 baud, echo included.
  bool baudTiming = false;
  // With baudTiming: the time of one byte; shorter makes a faster line.
  std::chrono::nanoseconds byteTime{11'000'000'000LL / 1200};
  // The sensor's reset time: left inside a command, it drops back to idle
  // after this long without a byte. 0: it never leaves a command by itself,
  // and only the bytes that complete the command bring it back.
  std::chrono::milliseconds idleTimeout{150};
};

// One byte on a 1200-baud line: start, 8 data, parity, stop.
inline constexpr std::chrono::nanoseconds kByteTime{11'000'000'000LL / 1200};

enum class Fault {
  WrongComplement,  // the first answer byte of the command has a wrong complement
  Silence,          // the sensor ignores the command (the interface still echoes) and hears
                    // nothing until it drops back to idle; with reset time 0 it only loses
                    // the command itself
  WrongBlock,       // "LQ"/"LP" repeat a wrong block number
  WrongAddress,     // "LQ"/"PQ" repeat a wrong address
  WrongAcknowledge, // "PQ" is acknowledged with 0x02 instead of 0x01
  WrongConfirmation,// "PQ": the confirmation byte is not repeated
  ReadBackDiffers,  // "PQ": the sensor reports a value other than the one sent, and keeps its old one
  StatusByte,       // "PQ": the status byte is `value` and nothing is stored
  LostWrite,        // "PQ": the byte is reported and confirmed as taken, but the old one is kept
  NoLp,             // "LP" to block `value` gets no answer: the sensor takes the block byte and
                    // goes back to idle, as one that reads that block only byte by byte
};

enum class Command { Any, V, LQ, LP, PQ };

inline constexpr int kForever = -1;

struct FaultPlan {
  Fault fault;
  Command command = Command::Any;  // which commands it hits
  int times = kForever;            // how many commands it hits, then the sensor recovers
  int value = 0;                   // StatusByte: the status byte; NoLp: the block
  int skip = 0;                    // commands it fits that pass unharmed before it hits
};

// A fault plan from its command-line name, "NAME" (every fitting command) or
// "NAME@N" (only the N-th, counting from 1), e.g. "lost-write@3"; a fault
// with a value takes it as "NAME=V" ("no-lp=1", the block; 1 when not
// given). nullopt for anything else.
std::optional<FaultPlan> ParseFaultPlan(const std::string& text);

// Whether a fault can hit a command of this kind (the commands its skip and
// times count).
bool FaultFits(Fault f, Command c);

class SensorSimulator {
 public:
  // Sensor blocks it keeps: 0 identification, 1 parameters, 2 factory
  // settings, 5..7 name blocks.
  static constexpr std::array<int, 6> kBlocks = {0, 1, 2, 5, 6, 7};

  explicit SensorSimulator(const SimConfig& config = {});

  const SimConfig& Config() const { return m_config; }
  void SetEcho(bool echo) { m_config.echo = echo; }

  // The PC wrote bytes at `now`.
  std::vector<TimedByte> Write(std::span<const std::uint8_t> bytes, Clock::time_point now);

  std::uint8_t Memory(int block, int address) const;
  void SetMemory(int block, int address, std::uint8_t value);
  bool Locked() const;

  void InjectFault(const FaultPlan& plan);
  void ClearFaults() { m_faults.clear(); }

  // How many commands of each kind were started, and the "PQ" writes
  // stored, in order (address, value).
  int CommandCount(Command c) const;
  const std::vector<std::pair<int, std::uint8_t>>& StoredWrites() const { return m_stored; }

  // Memory as JSON ({"blocks": {"0": [16 numbers], ...}}), for --state.
  std::string SaveState() const;
  // Takes the blocks found in the JSON; false (nothing changed) when it is
  // not such a document.
  bool LoadState(const std::string& json);

 private:
  enum class State {
    Idle,
    Deaf,       // a silenced command: ignore everything until idle again
    GotL,
    GotP,
    LqBlock,
    LqAddress,
    LpBlock,
    PqAddress,
    PqData,
    PqConfirm,
  };

  void Process(std::uint8_t byte, Clock::time_point at, std::vector<std::uint8_t>& out);
  void Answer(std::uint8_t byte, std::vector<std::uint8_t>& out);
  void StartCommand(Command c);
  // The plan of fault f that hit the current command, or nullptr.
  const FaultPlan* Hit(Fault f) const;
  bool Has(Fault f) const { return Hit(f) != nullptr; }
  static int SlotOf(int block);

  SimConfig m_config;
  std::array<std::array<std::uint8_t, 16>, 8> m_memory{};
  State m_state = State::Idle;
  Command m_command = Command::Any;
  std::optional<Clock::time_point> m_lastByte;
  Clock::time_point m_wireFree{};
  int m_block = 0;
  int m_address = 0;
  std::uint8_t m_reported = 0;
  bool m_firstAnswer = true;
  std::vector<FaultPlan> m_faults;
  std::vector<FaultPlan> m_hit;  // the plans that hit the current command
  std::array<int, 5> m_commandCount{};
  std::vector<std::pair<int, std::uint8_t>> m_stored;
};

}  // namespace rkt::sim
