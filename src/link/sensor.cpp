#include "link/sensor.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "model/bit.h"
#include "model/data_code.h"
#include "model/value_conversions.h"
#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt::link {

namespace {

// Presence check 30, lock and type reads 5 each, the sensor's identification
// and parameter blocks 1 each, the type read 5, seven writes 5 each, and the
// read-back 1.
constexpr int kWriteSteps = 83;
// Presence check 30, lock and type reads 5 each, the identification and
// parameter blocks 1 each, two writes 5 each, and the read-back 1.
constexpr int kSensitivityWriteSteps = 53;

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

// The sensor's name blocks as far as the data set knows them: those read from
// this very sensor (same serial number and type), else the working copy's
// unless it came from a data code, which carries no names.
std::array<DataSet::Block, 3> KnownNames(const DataSet& ds, const DataSet::Block& ident) {
  constexpr BlockId kNames[] = {BlockId::Name1, BlockId::Name2, BlockId::Name3};
  const auto names = [&](Copy copy) {
    std::array<DataSet::Block, 3> out{};
    for (std::size_t i = 0; i < 3; ++i) out[i] = ds.GetBlock(kNames[i], copy);
    return out;
  };
  const auto sameSensor = [&](Copy copy) {
    for (const int pos : {ident::kSerialHigh, ident::kSerialLow, ident::kTypeCode})
      if (ds.Ident(copy, pos) != ident[static_cast<std::size_t>(pos)]) return false;
    return true;
  };
  if (ds.DataValid() != 0 && sameSensor(kReadCopy)) return names(kReadCopy);
  if (!NamedByDataCode(ds, kWorkingCopy)) return names(kWorkingCopy);
  return {};
}

// Replaces every %1 and %2 of text.
std::string Fill(std::string text, const std::string& one, const std::string& two) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"%1", one}, {"%2", two}}) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

// A sensitivity in a message: the value the command line takes (0..92) and
// the share the window's bar shows.
std::string SensitivityText(const DataSet::Block& params) {
  DataSet ds;
  ds.GetBlock(BlockId::Parameter, kWorkingCopy) = params;
  const int value = ds.GetInt(ValueId::Sensitivity, kWorkingCopy);
  return std::to_string(value) + " (" + FormatSensitivity(value) + ")";
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
  if (m_data.DataValid() == 0) m_data.SetDataValid(ok ? 1 : 0);
  if (ok) {
    // The comment belongs to the data a read replaces; a failed read keeps both.
    m_data.SetValue(ValueId::Comment, std::string());
    m_data.SetValue(ValueId::FileName, std::string());
    m_data.SetOfflineData(false);
    m_data.TakeReadIntoWorking();
    m_user.ShowNewDataSet(m_data.SensitivityValid() != 0);
  } else {
    // The data stays usable (saved, printed); only the overview shows that it
    // no longer comes from a sensor that answers.
    if (!m_data.OfflineData()) m_user.SetOverviewEnabled(false);
    m_user.SetSensitivityAvailable(m_data.SensitivityValid() != 0);
  }
  m_data.SetValue(ValueId::CommentChanged, false);
  m_data.SetValue(ValueId::Changed, false);
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
  if (rc == 0) rc = ReadParamBlock(params);
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
  record.names = KnownNames(m_data, ident);
  if (!BeginRecord(record)) return -1;
  m_sensorReplaced = false;
  if (m_checkSameSensor) m_sensorSerial = MakeWord(ident[ident::kSerialHigh], ident[ident::kSerialLow]);
  const int rc = WriteDataSet();
  m_sensorSerial.reset();
  EndRecord(ident, rc);
  return rc;
}

// Unless it is required, the history never stops a write: a database that
// cannot be used is reported once, with the reason, and the write goes on
// without it.
void Sensor::JournalFailed() {
  if (m_journalWarned) return;
  m_journalWarned = true;
  m_user.ShowMessageNote(msg::kHistoryUnavailable, m_journal->Problem(), kButtonsOk, 0);
}

bool Sensor::BeginRecord(const WriteRecord& record) {
  m_lastWrite.codeBefore = record.codeBefore;
  if (!m_journal) return true;
  m_lastWrite.recordId = m_journal->Begin(record);
  if (m_lastWrite.recordId == 0 && m_journalRequired) {
    m_user.ShowMessageNote(msg::kHistoryRequired, m_journal->Problem(), kButtonsOk, 0);
    return false;
  }
  if (m_lastWrite.recordId == 0) JournalFailed();
  return true;
}

void Sensor::EndRecord(const DataSet::Block& ident, int rc) {
  if (!m_journal || m_lastWrite.recordId == 0) return;
  // A failed check keeps what the sensor holds beside what was meant.
  if (rc == kCodeVerifyFailed && !m_journal->RecordHeld(m_lastWrite.recordId, SettingOfRaw(m_verified, ident)))
    JournalFailed();
  if (!m_journal->Complete(m_lastWrite.recordId, ResultOf(rc), rc)) JournalFailed();
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
          // The sensor holds the setting now; a comment typed before is
          // still only in the window, and closing or opening must ask.
          m_data.SetValue(ValueId::Changed, m_data.IsCommentChanged());
          ok = true;
        }
      }
      m_lastWrite.code = rc;
      m_lastWrite.written = m_possiblyWritten;
      m_lastWrite.ident = ident;
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
          // the one it had before is kept; first of all a lock nobody asked for.
          std::string note = m_lastWrite.lockedUnasked ? Text("Message", "WriteLockedUnasked") + "\n" : std::string();
          note += Text("Message", "WriteMixed");
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
          // Before the overview is drawn: its sensitivity line asks for it.
          m_user.SetSensitivityAvailable(true);
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
    bool retry = false;
    int rc = -1;
    const int saved = m_ports.GetTimeout();
    {
      RunningScope running(*this);
      m_lastWrite = {};
      m_possiblyWritten = false;
      m_user.ShowForm(kProgressWriteSensitivity, kSensitivityWriteSteps);
      DataSet::Block ident{};
      DataSet::Block raw{};
      if (CheckSensor(CheckMode::InOperation)) {
        rc = CheckWritable(true);
        if (rc == 0) rc = ReadSensorState(ident, raw);
        if (rc == 0) rc = WriteSensitivityAndRecord(ident, raw);
        ok = rc == 0;
      }
      m_lastWrite.code = rc;
      m_lastWrite.written = m_possiblyWritten;
      if (ok || rc == kCodeVerifyFailed) {
        // The overview's copy holds what the sensor holds now: the new bytes,
        // or after a failed check those read back. The working copy keeps
        // what was meant.
        for (const int pos : {param::kSensitivity, param::kSensitivity2})
          m_data.Param(kReadCopy, pos) = ok ? m_data.Param(kWorkingCopy, pos) : m_verified[static_cast<std::size_t>(pos)];
        m_user.RefreshOverview();
      }
      if (rc > 0) {
        const int help = rc == kCodeVerifyFailed ? help::kVerifyFailed : kHelpTransfer;
        // What the sensor holds when the check has shown it, else whether it
        // may hold a mix; and the sensitivity it had before, and where that
        // is kept.
        std::string note;
        if (rc == kCodeVerifyFailed) note = Fill(Text("Message", "SensHeld"), SensitivityText(m_verified), {});
        else if (m_possiblyWritten) note = Text("Message", "WriteMixed");
        if (!note.empty()) {
          note += "\n";
          note += Fill(Text("Message", m_lastWrite.recordId != 0 ? "SensBackupStored" : "SensBackup"),
                       std::to_string(m_lastWrite.recordId), SensitivityText(raw));
          const int buttons = rc == kCodeUserAbort ? kButtonsOk : kButtonsRetryCancel;
          retry = m_user.ShowMessageNote(rc, note, buttons, rc == kCodeUserAbort ? 0 : help) == kAnswerRetry;
        } else if (rc != kCodeUserAbort) {
          retry = m_user.ShowMessage(rc, kButtonsRetryCancel, help) == kAnswerRetry;
        }
      }
    }
    m_ports.SetTimeout(saved);
    m_user.UnloadForm();
    if (!retry) return ok;
  }
}

int Sensor::WriteSensitivityAndRecord(const DataSet::Block& ident, const DataSet::Block& raw) {
  const std::uint8_t first = m_data.Param(kWorkingCopy, param::kSensitivity);
  const std::uint8_t second = m_data.Param(kWorkingCopy, param::kSensitivity2);
  // Before and after are the sensor's own setting; they differ in the
  // sensitivity alone, which the data code does not carry.
  WriteRecord record;
  record.kind = WriteKind::Sensitivity;
  record.port = m_ports.CurrentPortName();
  record.identBefore = ident;
  record.identAfter = ident;
  record.paramsBefore = SettingOfRaw(raw, ident);
  record.paramsAfter = record.paramsBefore;
  record.paramsAfter[param::kSensitivity] = first;
  record.paramsAfter[param::kSensitivity2] = second;
  DataSet setting;
  setting.SetDataValid(1);
  setting.GetBlock(BlockId::Identification, kWorkingCopy) = ident;
  setting.GetBlock(BlockId::Parameter, kWorkingCopy) = record.paramsBefore;
  record.codeBefore = EncodeDataCode(setting);
  record.codeAfter = record.codeBefore;
  record.names = KnownNames(m_data, ident);
  if (!BeginRecord(record)) return -1;

  m_ports.SetTimeout(m_ports.WriteTimeout());
  m_ports.WaitTimeout();
  m_ports.FlushInput();
  int rc = WriteParamByte(kSensitivityAddresses[0], first);
  if (rc == 0) rc = WriteParamByte(kSensitivityAddresses[1], second);
  if (rc == 0) {
    // As with the data set, a confirmed byte is no proof that it stayed.
    m_verified = {};
    rc = ReadBlock(true, kBlockParams, m_verified);
    if (rc == 0 && (m_verified[param::kSensitivity] != first || m_verified[param::kSensitivity2] != second))
      rc = kCodeVerifyFailed;
  }
  EndRecord(ident, rc);
  return rc;
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
