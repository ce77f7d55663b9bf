#include "link/sensor.h"

#include <array>
#include <string>

#include "model/bit.h"
#include "model/data_code.h"
#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt::link {

namespace {

constexpr std::uint8_t kPresenceAnswer = 0x11;
constexpr std::uint8_t kWriteReady = 0x01;
constexpr std::uint8_t kConfirmAccept = 0x06;
constexpr std::uint8_t kConfirmReject = 0x15;

// Parameter addresses of the transfer sequences, in their order.
constexpr std::array<int, 7> kParamAddresses = {0, 1, 3, 4, 5, 6, 11};
constexpr std::array<int, 2> kSensitivityAddresses = {2, 8};

// Presence check 30, lock and type reads 5 each, the sensor's identification
// and parameter blocks 1 each, the type read 5, seven writes 5 each, and the
// read-back 1.
constexpr int kWriteSteps = 83;

// The sensor's parameter block in its logical sense: sensors of odd type
// codes with version 3 (but not type 15) hold the input-logic bit inverted.
DataSet::Block LogicalParams(const DataSet::Block& raw, const DataSet::Block& ident) {
  DataSet::Block p = raw;
  const int type = ident[ident::kTypeCode];
  if (type != 15 && ident[ident::kVersion1] == 3 && type % 2 == 1) p[param::kInput] ^= 1;
  return p;
}

// The setting that, written, gives the sensor back exactly these bytes: the
// write inverts the input-logic bit for every odd type code, and the read
// only for some, so the history and the preview undo the write's rule.
DataSet::Block SettingOfRaw(const DataSet::Block& raw, const DataSet::Block& ident) {
  DataSet::Block p = raw;
  if (ident[ident::kTypeCode] % 2 == 1) p[param::kInput] ^= 1;
  return p;
}

WriteResult ResultOf(int rc) {
  if (rc == 0) return WriteResult::Done;
  if (rc == kCodeUserAbort) return WriteResult::Cancelled;
  if (rc == kCodeVerifyFailed) return WriteResult::VerifyFailed;
  return WriteResult::Failed;
}

// Replaces every %1 and %2 of text.
std::string Fill(std::string text, const std::string& one, const std::string& two) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"%1", one}, {"%2", two}}) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

int StatusOfWriteRefusal(std::uint8_t b) {
  if (b == 1) return status::kWriteStatus1;
  if (b == 2) return status::kWriteStatus2;
  return status::kWriteAcknowledge;
}

}  // namespace

// The operation-running flag counts nesting: a read started from inside
// another operation must not clear it for the outer one.
class Sensor::RunningScope {
 public:
  explicit RunningScope(Sensor& s) : m_s(s) { ++m_s.m_running; }
  ~RunningScope() { --m_s.m_running; }

 private:
  Sensor& m_s;
};

Sensor::Sensor(Ports& ports, DataSet& data, SensorUser& user) : m_ports(ports), m_data(data), m_user(user) {}

int Sensor::WorkingTypeCode() const { return m_data.Ident(kWorkingCopy, ident::kTypeCode); }

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
  if (found != m_connected) {
    m_connected = found;
    m_user.ShowConnected(found);
  }
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

int Sensor::ReadParamByte(bool progress, int block, int address, std::uint8_t& value) {
  const int attempts = progress ? kCommandAttempts : 1;
  int st = status::kOk;
  int used = 0;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (!PrepareRetry(attempt, progress)) return CodeOf(status::kUserAbort);
    used = attempt;
    m_ports.BeginExchange();
    st = ReadParamByteOnce(block, address, value);
    m_ports.EndExchange(st == status::kOk, true);
    if (st == status::kOk) break;
  }
  // Every read advances the bar by five steps, however many attempts it took.
  if (progress && used < kCommandAttempts) m_user.IncBar(kCommandAttempts - used);
  return CodeOf(st);
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
  const int attempts = progress ? kCommandAttempts : 1;
  int st = status::kOk;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (!PrepareRetry(attempt, progress)) return CodeOf(status::kUserAbort);
    m_ports.BeginExchange();
    st = ReadBlockOnce(block, target);
    m_ports.EndExchange(st == status::kOk, true);
    if (st == status::kOk) break;
  }
  return CodeOf(st);
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

int Sensor::WriteParamByte(int address, std::uint8_t value) {
  int st = status::kOk;
  int used = 0;
  for (int attempt = 1; attempt <= kCommandAttempts; ++attempt) {
    // Writes run only with the progress dialog open.
    if (!PrepareRetry(attempt, true)) return CodeOf(status::kUserAbort);
    used = attempt;
    m_ports.BeginExchange();
    st = WriteParamByteOnce(address, value);
    m_ports.EndExchange(st == status::kOk, true);
    if (st == status::kOk) break;
  }
  if (used < kCommandAttempts) m_user.IncBar(kCommandAttempts - used);
  return CodeOf(st);
}

// ---- transfer sequences -----------------------------------------------------

int Sensor::ReadDataSet(bool defaults, bool progress) {
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

  if (rc == 0) {
    for (const BlockId id : kAllBlocks) m_data.GetBlock(id, kReadCopy) = target(id);
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

// ---- operations -------------------------------------------------------------

bool Sensor::Ask(int code) {
  return m_user.ShowMessage(code, kButtonsRetryCancel, kHelpTransfer) == kAnswerRetry;
}

bool Sensor::SensorRead(bool defaults) {
  BusyScope busy(*this);
  if (!busy.Entered()) return false;
  return SensorReadImpl(defaults);
}

bool Sensor::SensorReadImpl(bool defaults) {
  RunningScope running(*this);
  if (m_user.DataChanged(false)) return false;
  const bool ok = ReadDataImpl(true, defaults);
  if (defaults && !ok) return false;
  if (ok) {
    m_data.SetValue(ValueId::FileName, std::string());
    m_data.SetOfflineData(false);
    m_user.SetDataAvailable(true);
    m_data.TakeReadIntoWorking();
    m_user.FillPanel();
  } else if (!m_data.OfflineData()) {
    // The data stays usable (saved, printed); only the overview shows that it
    // no longer comes from a sensor that answers.
    m_user.SetOverviewEnabled(false);
  }
  m_user.SetSensitivityAvailable(m_data.SensitivityValid() != 0);
  m_data.SetValue(ValueId::Comment, std::string());
  m_data.SetValue(ValueId::CommentChanged, false);
  m_data.SetValue(ValueId::Changed, false);
  if (m_data.DataValid() == 0) m_data.SetDataValid(ok ? 1 : 0);
  return ok;
}

bool Sensor::ReadDataImpl(bool progress, bool defaults) {
  if (!progress) return ReadDataSet(defaults, false) == 0;
  for (;;) {
    const int saved = m_ports.GetTimeout();
    m_user.ShowForm(defaults ? kProgressReadDefaults : kProgressRead, 75);
    bool ok = false;
    bool retry = false;
    if (CheckSensor(CheckMode::InOperation)) {
      int rc = 0;
      bool done = false;
      if (defaults) {
        std::uint8_t type = 0;
        rc = ReadParamByte(true, kBlockIdent, kAddrTypeCode, type);
        if (rc == 0 && !TypesCompatible(type, WorkingTypeCode())) {
          done = true;
          if (m_user.ShowMessage(msg::kTypeChanged, kButtonsYesNo, kHelpTypeChanged) == kAnswerYes) {
            SensorReadImpl(false);
            if (m_data.DataValid() != 0) ok = ReadDataImpl(true, true);
          }
        }
      }
      if (!done) {
        if (rc == 0) rc = ReadDataSet(defaults, true);
        ok = rc == 0;
        if (rc != 0 && rc != kCodeUserAbort) retry = Ask(rc);
      }
    }
    m_ports.SetTimeout(saved);
    m_user.UnloadForm();
    if (!retry) return ok;
  }
}

int Sensor::CheckWritable(bool checkLock) {
  m_ports.SetTimeout(m_ports.ReadTimeout());
  m_ports.WaitTimeout();
  m_ports.FlushInput();
  if (checkLock) {
    std::uint8_t b = 0;
    if (const int rc = ReadParamByte(true, kBlockParams, kAddrLock, b); rc != 0) return rc;
    if (GetBit(b, kLockBit) == 0) {
      m_user.ShowMessage(msg::kSensorLocked, kButtonsOk, 0);
      return -1;
    }
  }
  std::uint8_t type = 0;
  if (const int rc = ReadParamByte(true, kBlockIdent, kAddrTypeCode, type); rc != 0) return rc;
  if (TypesCompatible(type, WorkingTypeCode())) return 0;
  m_user.ShowMessage(msg::kTypeMismatch, kButtonsOk, 0);
  return -1;
}

int Sensor::ReadSensorState(DataSet::Block& ident, DataSet::Block& params) {
  ident = {};
  params = {};
  int rc = ReadBlock(true, kBlockIdent, ident);
  if (rc == 0) rc = ReadBlock(true, kBlockParams, params);
  return rc;
}

int Sensor::WriteAndRecord(const DataSet::Block& ident, const DataSet::Block& raw) {
  const int type = ident[ident::kTypeCode];
  bool same = true;
  for (const int a : kParamAddresses) same = same && raw[a + 1] == RawParam(a, type);
  if (same) {
    m_lastWrite.nothingToWrite = true;
    m_user.NothingToWrite();
    return 0;
  }

  const DataSet::Block logical = SettingOfRaw(raw, ident);
  // What the sensor has now, shown like the working copy. The sensitivity is
  // not part of this write, so it keeps the working copy's bytes.
  DataSet now;
  now.SetDataValid(1);
  now.SetSensitivityValid(m_data.SensitivityValid());
  for (const BlockId id : kAllBlocks) now.GetBlock(id, kWorkingCopy) = m_data.GetBlock(id, kWorkingCopy);
  now.GetBlock(BlockId::Identification, kWorkingCopy) = ident;
  for (const int a : kParamAddresses) now.Param(kWorkingCopy, a + 1) = logical[a + 1];
  if (!m_user.ConfirmWrite(now, m_data)) {
    m_lastWrite.declined = true;
    return -1;
  }

  WriteRecord record;
  record.port = m_ports.CurrentPortName();
  record.identBefore = ident;
  record.paramsBefore = logical;
  record.identAfter = m_data.GetBlock(BlockId::Identification, kWorkingCopy);
  record.paramsAfter = m_data.GetBlock(BlockId::Parameter, kWorkingCopy);
  DataSet before;
  before.SetDataValid(1);
  before.GetBlock(BlockId::Identification, kWorkingCopy) = ident;
  before.GetBlock(BlockId::Parameter, kWorkingCopy) = logical;
  record.codeBefore = EncodeDataCode(before);
  record.codeAfter = EncodeDataCode(m_data);
  m_lastWrite.codeBefore = record.codeBefore;

  // The history never stops a write: a database that cannot be used is
  // reported once, and the write goes on without it.
  const auto journalFailed = [this] {
    if (m_journalWarned) return;
    m_journalWarned = true;
    m_user.ShowMessage(msg::kHistoryUnavailable, kButtonsOk, 0);
  };
  if (m_journal) {
    m_lastWrite.recordId = m_journal->Begin(record);
    if (m_lastWrite.recordId == 0) journalFailed();
  }
  const int rc = WriteDataSet();
  if (m_journal && m_lastWrite.recordId != 0 && !m_journal->Complete(m_lastWrite.recordId, ResultOf(rc), rc))
    journalFailed();
  return rc;
}

bool Sensor::SensorWrite() {
  BusyScope busy(*this);
  if (!busy.Entered()) return false;
  for (;;) {
    bool ok = false;
    bool retry = false;
    const int saved = m_ports.GetTimeout();
    {
      RunningScope running(*this);
      m_lastWrite = {};
      m_possiblyWritten = false;
      if (m_data.IsCommentChanged()) m_user.ShowMessage(msg::kCommentNotStored, kButtonsOk, 0);
      m_data.SaveBackup();
      m_user.ReadPanel();
      m_user.ShowForm(kProgressWrite, kWriteSteps);
      int rc = -1;  // no sensor: the presence check has spoken already
      DataSet::Block ident{};
      if (CheckSensor(CheckMode::InOperation)) {
        rc = CheckWritable(true);
        DataSet::Block raw{};
        if (rc == 0) rc = ReadSensorState(ident, raw);
        if (rc == 0) rc = WriteAndRecord(ident, raw);
        if (rc == 0) {
          m_data.TakeWorkingIntoRead();
          m_user.FillPanel();
          m_data.SetValue(ValueId::Changed, false);
          ok = true;
        }
      }
      m_lastWrite.code = rc;
      m_lastWrite.written = m_possiblyWritten;
      if (rc == kCodeVerifyFailed) {
        // The read copy takes what the sensor really holds, and the overview,
        // which shows the read copy, shows it; the working copy keeps what
        // was meant to be written.
        m_data.GetBlock(BlockId::Parameter, kReadCopy) = LogicalParams(m_verified, ident);
        m_user.RefreshOverview();
      }
      if (rc > 0) {
        const int help = rc == kCodeVerifyFailed ? help::kVerifyFailed : kHelpTransfer;
        if (m_possiblyWritten) {
          // Part of the new setting may be in the sensor: say so, and where
          // the one it had before is kept.
          std::string note = Text("Message", "WriteMixed");
          note += "\n";
          note += Fill(Text("Message", m_lastWrite.recordId != 0 ? "WriteBackupStored" : "WriteBackupCode"),
                       std::to_string(m_lastWrite.recordId), m_lastWrite.codeBefore);
          const int buttons = rc == kCodeUserAbort ? kButtonsOk : kButtonsRetryCancel;
          retry = m_user.ShowMessageNote(rc, note, buttons, rc == kCodeUserAbort ? 0 : help) == kAnswerRetry;
        } else if (rc != kCodeUserAbort) {
          retry = m_user.ShowMessage(rc, kButtonsRetryCancel, help) == kAnswerRetry;
        }
      }
      // A failed, refused or cancelled write leaves the data set as it was.
      if (!ok && !retry) m_data.RestoreBackup();
    }
    m_ports.SetTimeout(saved);
    m_user.UnloadForm();
    if (!retry) return ok;
  }
}

bool Sensor::ReadSensitivity() {
  BusyScope busy(*this);
  if (!busy.Entered()) return false;
  for (;;) {
    bool fullRead = false;
    if (m_data.DataValid() == 0 || m_data.OfflineData()) {
      if (!SensorReadImpl(false)) return false;
      fullRead = true;
    }
    const int saved = m_ports.GetTimeout();
    m_user.ShowForm(kProgressReadSensitivity, fullRead ? 10 : 40);
    int rc = 0;
    bool ok = false;
    {
      RunningScope running(*this);
      bool go = true;
      if (!fullRead) {
        go = CheckSensor(CheckMode::InOperation) != 0;
        std::uint8_t type = 0;
        if (go) {
          rc = ReadParamByte(true, kBlockIdent, kAddrTypeCode, type);
          go = rc == 0;
        }
        if (go && !TypesCompatible(type, WorkingTypeCode())) {
          go = false;
          if (m_user.ShowMessage(msg::kTypeChanged, kButtonsYesNo, kHelpTypeChanged) == kAnswerYes) {
            SensorReadImpl(false);
            if (m_data.DataValid() != 0) {
              m_user.ShowForm(kProgressReadSensitivity, 15);
              m_user.IncBar(5);
              go = true;
            }
          }
        }
      }
      if (go) {
        m_data.SetSensitivityValid(0);
        m_ports.SetTimeout(m_ports.ReadTimeout());
        m_ports.WaitTimeout();
        m_ports.FlushInput();
        std::uint8_t s1 = 0;
        std::uint8_t s2 = 0;
        rc = ReadParamByte(true, kBlockParams, kSensitivityAddresses[0], s1);
        if (rc == 0) rc = ReadParamByte(true, kBlockParams, kSensitivityAddresses[1], s2);
        if (rc == 0) {
          m_data.Param(kReadCopy, param::kSensitivity) = s1;
          m_data.Param(kReadCopy, param::kSensitivity2) = s2;
          m_data.SetSensitivityValid(1);
          ok = true;
          if (!fullRead) {
            m_data.Param(kWorkingCopy, param::kSensitivity) = s1;
            m_data.Param(kWorkingCopy, param::kSensitivity2) = s2;
            m_user.ShowSensitivity();
            m_user.RefreshOverview();
          } else {
            m_user.SetDataAvailable(m_data.DataValid() != 0);
            if (m_data.DataValid() != 0) {
              m_data.CopyCopy(kReadCopy, kWorkingCopy);
              m_user.FillPanel();
            } else {
              m_user.HideSensorFrame();
            }
            m_data.SetValue(ValueId::Changed, false);
            m_user.ShowSensitivity();
            m_user.RefreshOverview();
          }
        }
      }
    }
    const bool retry = rc != 0 && rc != kCodeUserAbort && Ask(rc);
    m_ports.SetTimeout(saved);
    m_user.UnloadForm();
    if (!retry) {
      m_user.SetSensitivityAvailable(m_data.SensitivityValid() != 0);
      return ok;
    }
  }
}

bool Sensor::WriteSensitivity() {
  BusyScope busy(*this);
  if (!busy.Entered()) return false;
  // The second sensitivity byte goes back as it was read; without a read
  // it would be whatever the working copy happens to hold.
  if (m_data.SensitivityValid() == 0) return false;
  for (;;) {
    if (!m_user.AskWriteSensitivity()) return false;
    m_user.TakeSensitivity();
    bool ok = false;
    int rc = -1;
    const int saved = m_ports.GetTimeout();
    {
      RunningScope running(*this);
      m_user.ShowForm(kProgressWriteSensitivity, 50);
      if (CheckSensor(CheckMode::InOperation)) {
        rc = CheckWritable(true);
        if (rc == 0) {
          m_ports.SetTimeout(m_ports.WriteTimeout());
          m_ports.WaitTimeout();
          m_ports.FlushInput();
          rc = WriteParamByte(kSensitivityAddresses[0], m_data.Param(kWorkingCopy, param::kSensitivity));
          if (rc == 0) rc = WriteParamByte(kSensitivityAddresses[1], m_data.Param(kWorkingCopy, param::kSensitivity2));
          ok = rc == 0;
        }
      }
    }
    const bool retry = rc > 0 && rc != kCodeUserAbort && Ask(rc);
    m_ports.SetTimeout(saved);
    m_user.UnloadForm();
    if (!retry) return ok;
  }
}

bool Sensor::CommunicationTest() {
  BusyScope busy(*this);
  if (!busy.Entered()) return false;
  m_user.ShowForm(kProgressSearch, kPresenceAttempts);
  m_ports.WaitTimeout();
  m_ports.WaitTimeout();
  const bool ok = CheckSensor(CheckMode::CommunicationTest) != 0;
  m_user.UnloadForm();
  return ok;
}

}  // namespace rkt::link
