#include "link/sensor.h"

#include <array>
#include <utility>

#include "model/bit.h"

// The wire side of Sensor: the four commands with their checks and retries,
// the presence check, and the fixed sequences that read and write the data
// set. The operations a user starts are in sensor.cpp.
namespace rkt::link {

namespace {

constexpr std::uint8_t kPresenceAnswer = 0x11;
constexpr std::uint8_t kWriteReady = 0x01;
constexpr std::uint8_t kConfirmAccept = 0x06;
constexpr std::uint8_t kConfirmReject = 0x15;
// The parameter block byte by byte: the addresses the read sequence knows.
constexpr std::array<int, 9> kParamBlockBytes = {0, 1, 2, 3, 4, 5, 6, 8, 11};

int StatusOfWriteRefusal(std::uint8_t b) {
  if (b == 1) return status::kWriteStatus1;
  if (b == 2) return status::kWriteStatus2;
  return status::kWriteAcknowledge;
}

}  // namespace

// ---- commands ---------------------------------------------------------------

bool Sensor::PresenceTest(bool progress) {
  m_ports.BeginExchange();
  m_ports.FlushInput();
  m_ports.SendText("V", 1);
  if (progress) m_user.IncBar(1);
  std::uint8_t b = 0;
  const bool found = m_ports.ReceiveByte(b) == kReceiveOk && b == kPresenceAnswer;
  // "V" is a whole command in one byte: a failed test leaves at most its
  // answer on the wire, never the sensor inside a command.
  m_ports.EndExchange(found, false);
  return found;
}

Sensor::Probe Sensor::ProbeSocket() {
  Probe probe;
  BusyScope busy(*this);
  if (!busy.Entered() || !m_ports.IsPortOpen() || !PresenceTest(false)) return probe;
  probe.present = true;
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  if (ReadParamByte(false, kBlockIdent, ident::kSerialHigh - 1, high) == 0 &&
      ReadParamByte(false, kBlockIdent, ident::kSerialLow - 1, low) == 0)
    probe.serial = MakeWord(high, low);
  return probe;
}

int Sensor::CheckSensor(CheckMode mode) {
  const bool progress = mode != CheckMode::Silent;
  const auto showConnected = [this](bool connected) {
    if (connected == m_connected) return;
    m_connected = connected;
    m_user.ShowConnected(connected);
  };
  bool found = false;
  int reopened = 0;
  for (;;) {
    found = false;
    int used = 0;
    // A port that is not open (its device went away, or opening it failed)
    // is opened again first; when that fails, message 2 has said why, and
    // there is no sensor to blame.
    const bool open = m_ports.IsPortOpen() || (progress && m_ports.Reopen());
    for (int attempt = 1; open && attempt <= kPresenceAttempts; ++attempt) {
      if (!m_ports.IsPortOpen()) break;  // lost on the way: no use asking on
      used = attempt;
      if (PresenceTest(progress)) {
        found = true;
        break;
      }
      // The detection shows a sensor that stopped answering as gone with
      // its first unanswered test, not after all of them (up to 30 times
      // two periods); one that answers a later test is shown again below.
      if (!progress) showConnected(false);
    }
    m_lastPresenceAttempt = found ? used : kPresenceAttempts + 1;
    if (found) {
      std::uint8_t b = 0;
      if (ReadParamByte(false, kBlockIdent, kAddrPresence, b) != 0 || GetBit(b, 0) != 0) found = false;
    }
    if (!progress) break;
    if (used < kPresenceAttempts) m_user.IncBar(kPresenceAttempts - used);
    if (found) {
      if (mode == CheckMode::CommunicationTest) m_user.ShowMessage(msg::kCommunicationOk, kButtonsOk, 0);
      break;
    }
    if (!m_ports.IsPortOpen()) {
      // Lost during the check: open it again (or say why not) and ask anew.
      if (!open || ++reopened > 2) break;
      m_user.IncBar(-kPresenceAttempts);
      continue;
    }
    if (m_user.ShowMessage(msg::kNoSensor, kButtonsRetryCancel, kHelpNoSensor) != kAnswerRetry) break;
    m_user.IncBar(-kPresenceAttempts);
  }
  showConnected(found);
  return m_connected ? 1 : 0;
}

bool Sensor::PrepareRetry(int attempt, Bar bar) {
  if (bar != Bar::None && !m_user.IncBar(bar == Bar::Still ? 0 : 1)) return false;
  if (attempt > 1) {
    // A failed attempt can leave the sensor inside the command, where it
    // would take the next "L" or "P" as data. One quiet period lets it drop
    // back to idle; then whatever it still sent is discarded.
    m_ports.WaitTimeout();
    m_ports.FlushInput();
  }
  return true;
}

int Sensor::ReadParamByteOnce(int block, int address, std::uint8_t& value) {
  std::uint8_t b = 0;
  m_ports.SendText("LQ", 2);
  m_ports.SendByte(static_cast<std::uint8_t>(block));
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  if (b != block) return status::kWrongBlock;
  m_ports.SendByte(static_cast<std::uint8_t>(address));
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  if (b != address) return status::kComplementOrAddress;
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  value = b;
  return status::kOk;
}

// Every read advances the bar by five steps, however many attempts it took.
int Sensor::ReadParamByte(bool progress, int block, int address, std::uint8_t& value) {
  return RunAttempts(progress ? kCommandAttempts : 1, progress ? Bar::Five : Bar::None,
                     [&] { return ReadParamByteOnce(block, address, value); });
}

int Sensor::ReadBlockOnce(int block, DataSet::Block& target) {
  std::uint8_t b = 0;
  m_ports.SendText("LP", 2);
  m_ports.SendByte(static_cast<std::uint8_t>(block));
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  if (b != block) return status::kWrongBlock;
  for (int pos = 1; pos <= kBlockSize; ++pos) {
    if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
    target[pos] = b;
  }
  return status::kOk;
}

int Sensor::ReadBlock(bool progress, int block, DataSet::Block& target) {
  return RunAttempts(progress ? kCommandAttempts : 1, progress ? Bar::Step : Bar::None,
                     [&] { return ReadBlockOnce(block, target); });
}

int Sensor::ReadParamBlock(DataSet::Block& target) {
  target = {};
  if (m_noParamLp != m_ports.Session()) {
    // One attempt: a sensor that refuses "LP" here would refuse every retry.
    const int rc = RunAttempts(1, Bar::Step, [&] { return ReadBlockOnce(kBlockParams, target); });
    if (rc == 0 || rc == kCodeUserAbort || !m_ports.IsPortOpen()) return rc;
    m_noParamLp = m_ports.Session();
    target = {};
  } else if (!m_user.IncBar(1)) {  // the step the "LP" would have taken
    return kCodeUserAbort;
  }
  // The bar stays where the "LP" would have left it.
  for (const int a : kParamBlockBytes) {
    std::uint8_t v = 0;
    const int rc = RunAttempts(kCommandAttempts, Bar::Still, [&] { return ReadParamByteOnce(kBlockParams, a, v); });
    if (rc != 0) return rc;
    target[static_cast<std::size_t>(a + 1)] = v;
  }
  return 0;
}

// The steps of a "PQ" after "PQ" itself, where FinishWriteCommand goes on.
enum WriteStep : int { kStepAddress = 1, kStepData = 2, kStepConfirm = 3 };

int Sensor::WriteParamByteOnce(int address, std::uint8_t value) {
  std::uint8_t b = 0;
  m_ports.SendText("PQ", 2);
  int st = m_ports.ReceiveByte(b);
  m_writeUnanswered = st == kNoAnswer && m_ports.InputCount() == 0;
  if (st == kReceiveOk && b != kWriteReady) st = status::kWriteAcknowledge;
  if (st != kReceiveOk) return FinishWriteCommand(kStepAddress, address, value, st);
  m_ports.SendByte(static_cast<std::uint8_t>(address));
  st = m_ports.ReceiveByte(b);
  if (st == kReceiveOk && b != address) st = status::kWriteAcknowledge;
  if (st != kReceiveOk) return FinishWriteCommand(kStepData, address, value, st);
  m_ports.SendByte(value);
  // From here the sensor may have stored the byte, unless it refuses it.
  st = m_ports.ReceiveByte(b);
  if (st == kReceiveOk && b != 0) return StatusOfWriteRefusal(b);  // refused: the sensor is back at idle
  m_possiblyWritten = true;
  std::uint8_t held = 0;
  if (st == kReceiveOk) st = m_ports.ReceiveByte(held);
  if (st != kReceiveOk) return FinishWriteCommand(kStepConfirm, address, value, st);
  const std::uint8_t confirm = held == value ? kConfirmAccept : kConfirmReject;
  m_ports.SendByte(confirm);
  st = m_ports.ReceiveByte(b);
  // Without an answer the confirmation may not have reached it.
  if (st == kNoAnswer && m_ports.InputCount() == 0) m_writeMayBeOpen = true;
  if (st != kReceiveOk) return st;
  if (b != confirm) return status::kConfirmation;
  return confirm == kConfirmReject ? status::kRefused : status::kOk;
}

// A sensor whose answer was spoilt has gone on inside the command, and one
// that never drops a command by itself would take the retry's "P" as the
// next address or, worse, as data ("P" at address 1 switches the
// programming lock on). So the command is finished first, with the bytes it
// meant to send: they can only store the meant value at the meant address.
// A sensor that never had the command ignores them: an address is no
// command, and the confirmation ends whatever a data byte began. Where the
// sensor stops answering, it may still be inside; the next command then
// waits for its reset time (Ports::Settle).
int Sensor::FinishWriteCommand(int from, int address, std::uint8_t value, int failure) {
  std::uint8_t b = 0;
  // Whether the sensor answered at all (a spoilt answer, or part of one).
  const auto answered = [&](int st) { return st != kNoAnswer || m_ports.InputCount() > 0; };
  if (from <= kStepAddress) {
    m_ports.SendByte(static_cast<std::uint8_t>(address));
    if (!answered(m_ports.ReceiveByte(b))) {
      m_writeMayBeOpen = true;
      return failure;
    }
    m_writeUnanswered = false;
  }
  if (from <= kStepData) {
    m_ports.SendByte(value);
    m_possiblyWritten = true;
    const int st = m_ports.ReceiveByte(b);
    if (st == kReceiveOk && b != 0) return failure;  // refused: back at idle
    if (answered(st)) m_ports.ReceiveByte(b);         // the value it holds now
  }
  // Not confirmed: nothing in this attempt was seen to be right.
  m_ports.SendByte(kConfirmReject);
  if (!answered(m_ports.ReceiveByte(b))) m_writeMayBeOpen = true;
  return failure;
}

// Writes run only with the progress dialog open.
int Sensor::WriteParamByte(int address, std::uint8_t value) {
  return RunAttempts(kCommandAttempts, Bar::Five, [&] { return WriteParamByteOnce(address, value); });
}

int Sensor::RunAttempts(int attempts, Bar bar, const std::function<int()>& once) {
  int st = status::kOk;
  int used = 0;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (!PrepareRetry(attempt, bar)) return CodeOf(status::kUserAbort);
    // A retry would go to whatever sensor is in the socket now.
    if (attempt > 1 && m_sensorSerial && !StillTheSameSensor()) break;
    used = attempt;
    m_ports.BeginExchange();
    m_writeMayBeOpen = false;
    st = once();
    m_ports.EndExchange(st == status::kOk, true, m_writeMayBeOpen);
    if (st == status::kOk) break;
  }
  if (bar == Bar::Five && used < kCommandAttempts) m_user.IncBar(kCommandAttempts - used);
  return CodeOf(st);
}

// ---- transfer sequences -----------------------------------------------------

int Sensor::ReadDataSet(bool defaults, bool progress) { return ReadDataSetImpl(defaults, progress, nullptr); }

int Sensor::ReadDataSetFor(std::uint64_t generation) { return ReadDataSetImpl(false, false, &generation); }

int Sensor::ReadDataSetImpl(bool defaults, bool progress, const std::uint64_t* generation) {
  const int saved = m_ports.SetTimeout(m_ports.ReadTimeout());
  m_ports.WaitTimeout();
  m_ports.FlushInput();

  // Read into a scratch set and take it over only when complete, so that a
  // failed or cancelled read leaves the read copy as it was (the overview
  // and the detection's type comparison go on using it).
  std::array<DataSet::Block, kBlockCount> blocks{};
  auto target = [&](BlockId id) -> DataSet::Block& { return blocks[static_cast<int>(id)]; };
  const std::array<std::pair<int, BlockId>, 4> wholeBlocks = {{{kBlockIdent, BlockId::Identification},
                                                               {kBlockName1, BlockId::Name1},
                                                               {kBlockName2, BlockId::Name2},
                                                               {kBlockName3, BlockId::Name3}}};
  int rc = 0;
  for (const auto& [sensorBlock, id] : wholeBlocks) {
    rc = ReadBlock(progress, sensorBlock, target(id));
    if (rc != 0) break;
  }
  const int paramBlock = defaults ? kBlockDefaults : kBlockParams;
  auto readParams = [&](auto addresses) {
    for (const int a : addresses) {
      std::uint8_t v = 0;
      rc = ReadParamByte(progress, paramBlock, a, v);
      if (rc != 0) return;
      target(BlockId::Parameter)[a + 1] = v;
    }
  };
  if (rc == 0) readParams(kParamAddresses);
  if (rc == 0 && m_data.SensitivityValid() != 0) readParams(kSensitivityAddresses);

  // The waits let the window run: a file opened meanwhile owns the data now.
  if (rc == 0 && generation != nullptr && m_data.Generation() != *generation) rc = kCodeDataReplaced;
  if (rc == 0) {
    for (const BlockId id : kAllBlocks) m_data.GetBlock(id, kReadCopy) = target(id);
    m_data.SetReadCopyCurrent(true);
    const int type = m_data.Ident(kReadCopy, ident::kTypeCode);
    if (type != 15 && m_data.Ident(kReadCopy, ident::kVersion1) == 3 && type % 2 == 1)
      InvertInputBit(m_data, kReadCopy);
  }
  m_ports.SetTimeout(saved);
  return rc;
}

std::uint8_t Sensor::RawParam(int address, int sensorType) const {
  std::uint8_t v = m_data.Param(kWorkingCopy, address + 1);
  // Sensors of odd type codes hold the input-logic bit inverted.
  if (address == kAddrLock && sensorType % 2 == 1) v ^= 1;
  return v;
}

int Sensor::WriteDataSet() {
  m_ports.SetTimeout(m_ports.WriteTimeout());
  m_ports.WaitTimeout();
  m_ports.FlushInput();
  std::uint8_t type = 0;
  if (const int rc = ReadParamByte(true, kBlockIdent, kAddrTypeCode, type); rc != 0) return rc;

  // A working copy that switches the programming lock on would lock the
  // sensor half-written if address 1 went out early: then it goes last.
  const bool locks = GetBit(m_data.Param(kWorkingCopy, param::kInput), kLockBit) == 0;
  const std::array<int, 7> order =
      locks ? std::array<int, 7>{0, 3, 4, 5, 6, 11, 1} : std::array<int, 7>{0, 1, 3, 4, 5, 6, 11};
  for (const int a : order) {
    if (const int rc = WriteParamByte(a, RawParam(a, type)); rc != 0) return CheckFailedWrite(rc, type, locks);
  }

  // A confirmed byte is not proof: a failing memory cell confirms the byte
  // and keeps its old value. Only reading the block back shows what stayed.
  m_verified = {};
  if (const int rc = ReadParamBlock(m_verified); rc != 0) return rc;
  // What was read back must come from the sensor that was written.
  if (m_sensorSerial && !StillTheSameSensor()) return CodeOf(status::kNoAnswer);
  for (const int a : kParamAddresses)
    if (m_verified[a + 1] != RawParam(a, type)) return kCodeVerifyFailed;
  return 0;
}

// A write whose last byte the sensor took, but whose answer was spoilt, has
// ended; yet when that byte switched the programming lock on, every retry is
// refused and the write seems to have failed. And a byte taken wrongly may
// have switched the lock on unasked. Reading the sensor back tells.
bool Sensor::StillTheSameSensor() {
  // Only a serial number read proves the sensor: one that cannot be read
  // (three tries, so that one spoilt answer does not end the write) may
  // belong to the next sensor going in.
  const std::optional<int> expected = std::exchange(m_sensorSerial, std::nullopt);
  const auto read = [this](int address, std::uint8_t& value) {
    return RunAttempts(3, Bar::None, [&] { return ReadParamByteOnce(kBlockIdent, address, value); }) == 0;
  };
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  const bool same = read(ident::kSerialHigh - 1, high) && read(ident::kSerialLow - 1, low) && expected &&
                    MakeWord(high, low) == *expected;
  m_sensorSerial = expected;
  if (!same) m_sensorReplaced = true;
  return same;
}

int Sensor::CheckFailedWrite(int rc, int sensorType, bool lockAsked) {
  // A sensor that answered nothing to the last attempt has gone away or
  // does not hear: a read would only wait out its attempts. Another sensor
  // in the socket says nothing about this one.
  if (rc == kCodeUserAbort || !m_ports.IsPortOpen() || m_writeUnanswered || m_sensorReplaced) return rc;
  if (m_sensorSerial && !StillTheSameSensor()) return rc;
  std::uint8_t lock = 0;
  if (ReadParamByte(true, kBlockParams, kAddrLock, lock) != 0) return rc;
  if (GetBit(lock, kLockBit) == 0 && !lockAsked) {
    m_lastWrite.lockedUnasked = true;
    m_possiblyWritten = true;
    return rc;
  }
  DataSet::Block held{};
  if (ReadParamBlock(held) != 0) return rc;
  for (const int a : kParamAddresses)
    if (held[static_cast<std::size_t>(a + 1)] != RawParam(a, sensorType)) return rc;
  m_verified = held;
  return 0;
}

}  // namespace rkt::link
