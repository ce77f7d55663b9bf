#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
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
  // Who sent it: 0 the interface (its echo), n the n-th sensor plugged in
  // (SensorsSeen()[n - 1]).
  int sensor = 0;
};

inline constexpr int kDefaultSerial = 12345;
// SwapPlan::firstSerial: the first sensor has SimConfig::serial.
inline constexpr int kSerialFromConfig = -1;

// A worker at a production station: each sensor stays in the socket for
// `present` plus a random 0..presentJitter (so that it is pulled at any
// moment, in the middle of a write too), then the socket stays empty for
// `absent`, then the next sensor (serial + step) goes in. The schedule starts
// at the first moment the simulator is given; present 0: no swapping.
struct SwapPlan {
  std::chrono::milliseconds present{0}, absent{500};
  std::chrono::milliseconds presentJitter{0};
  std::uint32_t seed = 1;
  int firstSerial = kSerialFromConfig;
  int step = 1;
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
  // The first sensor's serial number, 0..65535 (identification addresses 0
  // and 1, high byte first).
  int serial = kDefaultSerial;
  std::optional<SwapPlan> swap = std::nullopt;
};

// A sensor that was in the socket, with its memory as it was when pulled
// (or now, for the one still there).
struct SeenSensor {
  int serial = 0;
  std::array<std::uint8_t, 16> params{};  // block 1
  bool locked = false;
  int writes = 0;  // "PQ" bytes it stored
  Clock::time_point pluggedAt{};
  std::optional<Clock::time_point> unpluggedAt = std::nullopt;  // nullopt: still plugged
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

  // The PC wrote bytes at `now`. Answer bytes due after their sensor is
  // pulled by the swap plan are not among them.
  std::vector<TimedByte> Write(std::span<const std::uint8_t> bytes, Clock::time_point now);

  // The socket. An empty one answers nothing (the interface still echoes);
  // a command in progress is lost with its sensor. Unplug may name a moment
  // before bytes already given (pulled while they were on their way): what
  // reached the sensor after `at` is undone (its last few dozen stores are
  // kept for that) and its answers from `at` on never arrive. A plugged
  // sensor is a new one: factory memory, this serial number (modulo 65536),
  // the configured type and lock; plugging into a full socket pulls the old
  // sensor first, and a moment before one already given counts as that one.
  // Both move the swap plan: its next event counts from then. Like all of the
  // simulator, only for the thread that owns its line.
  void Unplug(Clock::time_point at);
  void PlugIn(int serial, Clock::time_point at);
  bool Plugged() const { return m_plugged; }
  // The serial number of the sensor in the socket, or of the last one there.
  int Serial() const;
  // Lets the swap plan run up to `now` (Write does so for its bytes).
  void Advance(Clock::time_point now);
  // Whether a byte Write returned reaches the PC: false for an answer still
  // on its way when its sensor was pulled.
  bool Arrives(const TimedByte& b) const;
  // Every sensor plugged so far, the first one included, in order.
  std::vector<SeenSensor> SensorsSeen() const;

  // The memory of the sensor in the socket, or of the last one there.
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
  void Factory(int serial);
  bool Swapping() const { return m_config.swap && m_config.swap->present > std::chrono::milliseconds::zero(); }
  void Pull(Clock::time_point at);
  void Insert(int serial, Clock::time_point at);
  std::chrono::milliseconds PresentTime();
  // When the sensor in the socket will be pulled by the swap plan.
  std::optional<Clock::time_point> ScheduledUnplug() const;
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

  bool m_plugged = true;
  std::vector<SeenSensor> m_seen;          // the last entry is the sensor in (or last in) the socket
  std::optional<Clock::time_point> m_now;  // the latest moment given
  std::optional<Clock::time_point> m_nextSwap;
  std::mt19937 m_random;
  struct Store {
    Clock::time_point at;
    int address;
    std::uint8_t old;
  };
  std::deque<Store> m_journal;  // the current sensor's last stores, to undo a late unplug
};

}  // namespace rkt::sim
