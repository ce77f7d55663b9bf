#include "sim/sensor_simulator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <charconv>
#include <climits>
#include <string_view>

namespace rkt::sim {

namespace {

void PutText(std::array<std::uint8_t, 16>& block, const std::string& text) {
  block.fill(' ');
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 16), block.begin());
}

}  // namespace

bool FaultFits(Fault f, Command c) {
  switch (f) {
    case Fault::WrongComplement:
    case Fault::Silence: return true;
    case Fault::WrongBlock: return c == Command::LQ || c == Command::LP;
    case Fault::WrongAddress: return c == Command::LQ || c == Command::PQ;
    case Fault::WrongAcknowledge:
    case Fault::WrongConfirmation:
    case Fault::ReadBackDiffers:
    case Fault::StatusByte:
    case Fault::LostWrite: return c == Command::PQ;
    case Fault::NoLp: return c == Command::LP;
  }
  return false;
}

SensorSimulator::SensorSimulator(const SimConfig& config) : m_config(config) {
  int serial = config.serial;
  if (config.swap) {
    m_random.seed(config.swap->seed);
    if (config.swap->firstSerial != kSerialFromConfig) serial = config.swap->firstSerial;
  }
  Factory(serial);
  m_seen.push_back({.serial = Serial()});
}

void SensorSimulator::Factory(int serial) {
  serial = ((serial % 65536) + 65536) % 65536;
  m_memory = {};
  auto& ident = m_memory[0];
  // Made 48/25, version 3.2.1.
  ident = {static_cast<std::uint8_t>(serial >> 8), static_cast<std::uint8_t>(serial & 0xFF), 48, 25, 3, 2, 1, 0};
  ident[7] = static_cast<std::uint8_t>(m_config.typeCode);
  PutText(m_memory[5], "RKT 410-" + std::to_string(m_config.typeCode));
  m_memory[6].fill(' ');
  m_memory[6][0] = 255;  // no second name part
  PutText(m_memory[7], "Simulator");
  // Current settings: static output, unlocked, sensitivity 50, 500 Hz,
  // times 10 and 20, standard hysteresis.
  m_memory[1] = {0x10, 0x04, 57, 9, 10, 20, 0, 0, 128, 0, 0, 0x20, 0, 0, 0, 0};
  // Factory settings.
  m_memory[2] = {0x10, 0x04, 47, 3, 1, 1, 0, 0, 128, 0, 0, 0x20, 0, 0, 0, 0};
  if (m_config.locked) m_memory[1][1] &= static_cast<std::uint8_t>(~0x04);
}

int SensorSimulator::Serial() const { return Memory(0, 0) * 256 + Memory(0, 1); }

std::chrono::milliseconds SensorSimulator::PresentTime() {
  const SwapPlan& plan = *m_config.swap;
  const auto jitter = std::max<long long>(plan.presentJitter.count(), 0);
  return plan.present + std::chrono::milliseconds(std::uniform_int_distribution<long long>(0, jitter)(m_random));
}

std::optional<Clock::time_point> SensorSimulator::ScheduledUnplug() const {
  if (Swapping() && m_plugged) return m_nextSwap;
  return std::nullopt;
}

void SensorSimulator::Advance(Clock::time_point now) {
  if (!m_now) {
    m_seen.front().pluggedAt = now;
    if (Swapping()) m_nextSwap = now + PresentTime();
  }
  m_now = std::max(now, m_now.value_or(now));
  while (Swapping() && m_nextSwap && *m_nextSwap <= *m_now) {
    if (m_plugged) {
      Pull(*m_nextSwap);
    } else {
      Insert(m_seen.back().serial + m_config.swap->step, *m_nextSwap);
    }
  }
}

void SensorSimulator::Unplug(Clock::time_point at) {
  Advance(at);
  // Not before it went in: its whole life is undone at most.
  if (m_plugged) Pull(std::max(at, m_seen.back().pluggedAt));
}

void SensorSimulator::PlugIn(int serial, Clock::time_point at) {
  Advance(at);
  if (m_plugged) Pull(*m_now);
  Insert(serial, *m_now);
}

void SensorSimulator::Pull(Clock::time_point at) {
  // What reached it after `at` never did.
  SeenSensor& seen = m_seen.back();
  while (!m_journal.empty() && m_journal.back().at > at) {
    SetMemory(1, m_journal.back().address, m_journal.back().old);
    m_journal.pop_back();
    if (!m_stored.empty()) m_stored.pop_back();
    --seen.writes;
  }
  m_journal.clear();
  seen.serial = Serial();
  seen.params = m_memory[1];
  seen.locked = Locked();
  seen.unpluggedAt = at;
  m_plugged = false;
  m_state = State::Idle;
  m_lastByte.reset();
  if (Swapping()) m_nextSwap = at + m_config.swap->absent;
}

void SensorSimulator::Insert(int serial, Clock::time_point at) {
  Factory(serial);
  m_plugged = true;
  m_state = State::Idle;
  m_lastByte.reset();
  m_journal.clear();
  m_seen.push_back({.serial = Serial(), .pluggedAt = at});
  if (Swapping()) m_nextSwap = at + PresentTime();
}

bool SensorSimulator::Arrives(const TimedByte& b) const {
  if (b.sensor <= 0 || b.sensor > static_cast<int>(m_seen.size())) return true;
  const SeenSensor& s = m_seen[static_cast<std::size_t>(b.sensor - 1)];
  if (s.unpluggedAt) return b.at <= *s.unpluggedAt;
  const auto unplug = ScheduledUnplug();
  return !unplug || b.at <= *unplug;
}

std::vector<SeenSensor> SensorSimulator::SensorsSeen() const {
  std::vector<SeenSensor> seen = m_seen;
  if (m_plugged) {
    seen.back().serial = Serial();
    seen.back().params = m_memory[1];
    seen.back().locked = Locked();
  }
  return seen;
}

int SensorSimulator::SlotOf(int block) {
  return std::find(kBlocks.begin(), kBlocks.end(), block) != kBlocks.end() ? block : -1;
}

std::uint8_t SensorSimulator::Memory(int block, int address) const {
  const int slot = SlotOf(block);
  if (slot < 0 || address < 0 || address >= 16) return 0;
  return m_memory[slot][address];
}

void SensorSimulator::SetMemory(int block, int address, std::uint8_t value) {
  const int slot = SlotOf(block);
  if (slot < 0 || address < 0 || address >= 16) return;
  m_memory[slot][address] = value;
}

bool SensorSimulator::Locked() const { return (m_memory[1][1] & 0x04) == 0; }

void SensorSimulator::InjectFault(const FaultPlan& plan) { m_faults.push_back(plan); }

int SensorSimulator::CommandCount(Command c) const { return m_commandCount[static_cast<int>(c)]; }

const FaultPlan* SensorSimulator::Hit(Fault f) const {
  for (const FaultPlan& p : m_hit)
    if (p.fault == f) return &p;
  return nullptr;
}

void SensorSimulator::StartCommand(Command c) {
  ++m_commandCount[static_cast<int>(c)];
  ++m_commandCount[static_cast<int>(Command::Any)];
  m_command = c;
  m_firstAnswer = true;
  m_hit.clear();
  for (FaultPlan& p : m_faults) {
    if (p.times == 0 || (p.command != Command::Any && p.command != c) || !FaultFits(p.fault, c)) continue;
    if (p.skip > 0) {
      --p.skip;
      continue;
    }
    m_hit.push_back(p);
    if (p.times > 0) --p.times;
  }
}

void SensorSimulator::Answer(std::uint8_t byte, std::vector<std::uint8_t>& out) {
  auto complement = static_cast<std::uint8_t>(255 - byte);
  if (m_firstAnswer && Has(Fault::WrongComplement)) complement ^= 0x01;
  m_firstAnswer = false;
  out.push_back(byte);
  out.push_back(complement);
}

std::vector<TimedByte> SensorSimulator::Write(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  Advance(now);
  std::vector<TimedByte> result;
  std::vector<std::uint8_t> out;
  for (const std::uint8_t byte : bytes) {
    Clock::time_point in = now;
    if (m_config.baudTiming) {
      in = std::max(now, m_wireFree) + m_config.byteTime;
      m_wireFree = in;
    }
    Advance(in);
    out.clear();
    // The echo comes from the interface, which stays when the sensor goes.
    if (m_config.echo) out.push_back(byte);
    const std::size_t echoed = out.size();
    if (m_plugged) Process(byte, in, out);
    const auto unplug = ScheduledUnplug();
    const int sensor = static_cast<int>(m_seen.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
      TimedByte b{out[i], in, i < echoed ? 0 : sensor};
      if (m_config.baudTiming) b.at = std::max(in, m_wireFree) + m_config.byteTime;
      // A sensor pulled before the byte is out sends no more of its answer.
      if (b.sensor != 0 && unplug && b.at > *unplug) continue;
      if (m_config.baudTiming) m_wireFree = b.at;
      result.push_back(b);
    }
  }
  return result;
}

void SensorSimulator::Process(std::uint8_t byte, Clock::time_point at, std::vector<std::uint8_t>& out) {
  const bool resets = m_config.idleTimeout > std::chrono::milliseconds::zero();
  if (m_state != State::Idle && resets && m_lastByte && at - *m_lastByte > m_config.idleTimeout)
    m_state = State::Idle;
  m_lastByte = at;
  switch (m_state) {
    case State::Deaf: return;
    case State::GotL:
    case State::GotP:
      if (byte == 'Q' || (m_state == State::GotL && byte == 'P')) {
        const Command c = m_state == State::GotP ? Command::PQ : byte == 'Q' ? Command::LQ : Command::LP;
        StartCommand(c);
        if (Has(Fault::Silence)) {
          // Deaf until it drops back to idle; a sensor that never does has
          // simply not taken the command.
          m_state = resets ? State::Deaf : State::Idle;
        } else if (c == Command::PQ) {
          Answer(Has(Fault::WrongAcknowledge) ? 0x02 : 0x01, out);
          m_state = State::PqAddress;
        } else {
          m_state = c == Command::LQ ? State::LqBlock : State::LpBlock;
        }
        return;
      }
      m_state = State::Idle;
      [[fallthrough]];
    case State::Idle:
      if (byte == 'V') {
        StartCommand(Command::V);
        if (!Has(Fault::Silence)) Answer(0x11, out);
      } else if (byte == 'L') {
        m_state = State::GotL;
      } else if (byte == 'P') {
        m_state = State::GotP;
      }
      return;
    case State::LqBlock:
    case State::LpBlock:
      m_block = byte;
      if (m_state == State::LpBlock) {
        if (const FaultPlan* p = Hit(Fault::NoLp); p && p->value == byte) {
          m_state = State::Idle;
          return;
        }
      }
      Answer(static_cast<std::uint8_t>(Has(Fault::WrongBlock) ? byte + 1 : byte), out);
      if (m_state == State::LpBlock) {
        for (int a = 0; a < 16; ++a) Answer(Memory(m_block, a), out);
        m_state = State::Idle;
      } else {
        m_state = State::LqAddress;
      }
      return;
    case State::LqAddress:
      Answer(static_cast<std::uint8_t>(Has(Fault::WrongAddress) ? byte + 1 : byte), out);
      Answer(Memory(m_block, byte), out);
      m_state = State::Idle;
      return;
    case State::PqAddress:
      m_address = byte;
      Answer(static_cast<std::uint8_t>(Has(Fault::WrongAddress) ? byte + 1 : byte), out);
      m_state = State::PqData;
      return;
    case State::PqData: {
      std::uint8_t st = Locked() ? 1 : 0;
      if (const FaultPlan* p = Hit(Fault::StatusByte)) st = static_cast<std::uint8_t>(p->value);
      Answer(st, out);
      if (st != 0 || m_address < 0 || m_address >= 16) {
        m_state = State::Idle;
        return;
      }
      if (Has(Fault::ReadBackDiffers)) {
        m_reported = static_cast<std::uint8_t>(byte + 1);
      } else if (Has(Fault::LostWrite)) {
        // A failing cell: the sensor says it took the byte, keeps the old one.
        m_reported = byte;
      } else {
        m_journal.push_back({at, m_address, Memory(1, m_address)});
        if (m_journal.size() > 64) m_journal.pop_front();
        ++m_seen.back().writes;
        SetMemory(1, m_address, byte);
        m_stored.emplace_back(m_address, byte);
        m_reported = byte;
      }
      Answer(m_reported, out);
      m_state = State::PqConfirm;
      return;
    }
    case State::PqConfirm:
      Answer(Has(Fault::WrongConfirmation) ? static_cast<std::uint8_t>(byte ^ 0xFF) : byte, out);
      m_state = State::Idle;
      return;
  }
}

std::string SensorSimulator::SaveState() const {
  QJsonObject blocks;
  for (const int b : kBlocks) {
    QJsonArray bytes;
    for (const std::uint8_t v : m_memory[b]) bytes.append(v);
    blocks.insert(QString::number(b), bytes);
  }
  QJsonObject root;
  root.insert("blocks", blocks);
  return QJsonDocument(root).toJson().toStdString();
}

bool SensorSimulator::LoadState(const std::string& json) {
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
  if (!doc.isObject() || !doc.object().value("blocks").isObject()) return false;
  const QJsonObject blocks = doc.object().value("blocks").toObject();
  auto memory = m_memory;
  for (const int b : kBlocks) {
    const QJsonValue v = blocks.value(QString::number(b));
    if (v.isUndefined()) continue;
    const QJsonArray bytes = v.toArray();
    if (!v.isArray() || bytes.size() != 16) return false;
    for (int i = 0; i < 16; ++i) {
      const int x = bytes.at(i).toInt(-1);
      if (x < 0 || x > 255) return false;
      memory[b][i] = static_cast<std::uint8_t>(x);
    }
  }
  m_memory = memory;
  return true;
}

std::optional<FaultPlan> ParseFaultPlan(const std::string& text) {
  // Name, whether it takes a value, and the value when none is given.
  static const struct {
    const char* name;
    Fault fault;
    bool valued = false;
    int value = 0;
  } kNames[] = {
      {"wrong-complement", Fault::WrongComplement}, {"silence", Fault::Silence},
      {"wrong-block", Fault::WrongBlock},           {"wrong-address", Fault::WrongAddress},
      {"wrong-acknowledge", Fault::WrongAcknowledge}, {"wrong-confirmation", Fault::WrongConfirmation},
      {"read-back-differs", Fault::ReadBackDiffers}, {"lost-write", Fault::LostWrite},
      {"no-lp", Fault::NoLp, true, 1},
  };
  // The whole text as a number within lo..hi.
  const auto number = [](std::string_view digits, int lo, int hi) -> std::optional<int> {
    int v = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.empty() || v < lo || v > hi)
      return std::nullopt;
    return v;
  };
  const std::string_view all(text);
  const std::size_t at = all.find('@');
  const std::string_view head = all.substr(0, at);
  const std::size_t eq = head.find('=');
  const std::string_view name = head.substr(0, eq);
  for (const auto& n : kNames) {
    if (name != n.name) continue;
    FaultPlan plan{n.fault};
    plan.value = n.value;
    if (eq != std::string_view::npos) {
      const auto v = n.valued ? number(head.substr(eq + 1), 0, 255) : std::nullopt;
      if (!v) return std::nullopt;
      plan.value = *v;
    }
    if (at == std::string_view::npos) return plan;
    const auto nth = number(all.substr(at + 1), 1, INT_MAX);
    if (!nth) return std::nullopt;
    plan.skip = *nth - 1;
    plan.times = 1;
    return plan;
  }
  return std::nullopt;
}

}  // namespace rkt::sim
