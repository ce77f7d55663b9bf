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

bool Sensor::PrepareRetry(int attempt, bool progress) {
  if (progress && !m_user.IncBar(1)) return false;
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
  return RunAttempts(progress, true, [&] { return ReadParamByteOnce(block, address, value); });
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
  return RunAttempts(progress, false, [&] { return ReadBlockOnce(block, target); });
}

int Sensor::WriteParamByteOnce(int address, std::uint8_t value) {
  std::uint8_t b = 0;
  m_ports.SendText("PQ", 2);
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  if (b != kWriteReady) return status::kWriteAcknowledge;
  m_ports.SendByte(static_cast<std::uint8_t>(address));
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  if (b != address) return status::kWriteAcknowledge;
  m_ports.SendByte(value);
  // From here the sensor may have stored the byte, unless it refuses it.
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) {
    m_possiblyWritten = true;
    return st;
  }
  if (b != 0) return StatusOfWriteRefusal(b);
  m_possiblyWritten = true;
  std::uint8_t held = 0;
  if (const int st = m_ports.ReceiveByte(held); st != kReceiveOk) return st;
  const std::uint8_t confirm = held == value ? kConfirmAccept : kConfirmReject;
  m_ports.SendByte(confirm);
  if (const int st = m_ports.ReceiveByte(b); st != kReceiveOk) return st;
  if (b != confirm) return status::kConfirmation;
  return confirm == kConfirmReject ? status::kRefused : status::kOk;
}

// Writes run only with the progress dialog open.
int Sensor::WriteParamByte(int address, std::uint8_t value) {
  return RunAttempts(true, true, [&] { return WriteParamByteOnce(address, value); });
}

int Sensor::RunAttempts(bool progress, bool fullSteps, const std::function<int()>& once) {
  const int attempts = progress ? kCommandAttempts : 1;
  int st = status::kOk;
  int used = 0;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (!PrepareRetry(attempt, progress)) return CodeOf(status::kUserAbort);
    used = attempt;
    m_ports.BeginExchange();
    st = once();
    m_ports.EndExchange(st == status::kOk, true);
    if (st == status::kOk) break;
  }
  if (progress && fullSteps && used < kCommandAttempts) m_user.IncBar(kCommandAttempts - used);
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
    if (const int rc = WriteParamByte(a, RawParam(a, type)); rc != 0) return rc;
  }

  // A confirmed byte is not proof: a failing memory cell confirms the byte
  // and keeps its old value. Only reading the block back shows what stayed.
  m_verified = {};
  if (const int rc = ReadBlock(true, kBlockParams, m_verified); rc != 0) return rc;
  for (const int a : kParamAddresses)
    if (m_verified[a + 1] != RawParam(a, type)) return kCodeVerifyFailed;
  return 0;
}

}  // namespace rkt::link
