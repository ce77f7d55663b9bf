#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/ports.h"
#include "link/sensor_user.h"
#include "link/write_journal.h"
#include "model/data_set.h"

// The sensor's command protocol ("V", "LQ", "LP", "PQ") and the transfer
// sequences that move the data set (sensor_protocol.cpp), and the user-level
// operations built on them (sensor.cpp). Results are 0 for success or an error code (1000 minus a status).
namespace rkt::link {

// Command status values (error code = 1000 - status).
namespace status {
inline constexpr int kOk = 0;
inline constexpr int kNoAnswer = -1;
inline constexpr int kComplementOrAddress = -2;
inline constexpr int kWrongBlock = -5;
inline constexpr int kWriteAcknowledge = -10;
inline constexpr int kWriteStatus1 = -11;
inline constexpr int kWriteStatus2 = -12;
inline constexpr int kConfirmation = -20;
inline constexpr int kRefused = -21;
inline constexpr int kUserAbort = -30;
}  // namespace status

inline constexpr int kCodeUserAbort = 1030;
// The sensor confirmed every byte, but reading it back shows other values.
inline constexpr int kCodeVerifyFailed = 1040;
// A read that ran while the user replaced the data set: nothing was taken.
inline constexpr int kCodeDataReplaced = 1050;
inline constexpr int kCommandAttempts = 5;
inline constexpr int kPresenceAttempts = 30;

// Sensor blocks.
inline constexpr int kBlockIdent = 0;
inline constexpr int kBlockParams = 1;
inline constexpr int kBlockDefaults = 2;
inline constexpr int kBlockName1 = 5;
inline constexpr int kBlockName2 = 6;
inline constexpr int kBlockName3 = 7;
// Identification addresses.
inline constexpr int kAddrPresence = 5;  // bit 0 set: treat the sensor as absent
inline constexpr int kAddrTypeCode = 7;
// Parameter address 1 holds the programming-lock bit (bit 2 clear = locked).
inline constexpr int kAddrLock = 1;
inline constexpr int kLockBit = 2;
// Parameter addresses of the transfer sequences, in their order.
inline constexpr std::array<int, 7> kParamAddresses = {0, 1, 3, 4, 5, 6, 11};
inline constexpr std::array<int, 2> kSensitivityAddresses = {2, 8};

enum class CheckMode : int { Silent = 0, InOperation = 1, CommunicationTest = 2 };

class Sensor {
 public:
  Sensor(Ports& ports, DataSet& data, SensorUser& user);

  // Commands.
  int CheckSensor(CheckMode mode);
  int ReadParamByte(bool progress, int block, int address, std::uint8_t& value);
  int ReadBlock(bool progress, int block, DataSet::Block& target);
  // A "PQ" that breaks off is finished with the bytes it meant to send, so
  // that the sensor never takes a later command byte as data: the sensor
  // then holds the old value or the meant one.
  int WriteParamByte(int address, std::uint8_t value);
  // The parameter block (block 1), with progress: by one "LP" where the
  // sensor answers it, else byte by byte with "LQ" (the addresses the read
  // sequence knows; the other positions stay 0). A sensor that does not
  // answer "LP" on it is read byte by byte until the port is closed.
  int ReadParamBlock(DataSet::Block& target);

  // Transfer sequences: the data set from block 1 (or the factory settings
  // from block 2) into the read copy; the working copy's parameter bytes to
  // the sensor, then block 1 read back and compared with what was sent
  // (kCodeVerifyFailed on a difference; what the sensor holds is then in
  // VerifiedBlock()). A write whose commands failed reads the block back
  // too: what the sensor holds tells a write that did end (its last byte
  // taken, the answer lost) from one that did not, and a programming lock
  // switched on that the data did not ask for. The data set is not changed.
  int ReadDataSet(bool defaults, bool progress);
  // The same, but it commits nothing and returns kCodeDataReplaced when the
  // data set was replaced (a file opened, a code applied) while it ran.
  int ReadDataSetFor(std::uint64_t generation);
  int WriteDataSet();
  // Block 1 as the last write (of the data set or the sensitivity) read it
  // back, as the sensor holds it.
  const DataSet::Block& VerifiedBlock() const { return m_verified; }

  // The history every write is recorded in; nullptr for none. A required
  // history refuses a write whose record cannot be stored, before anything
  // is written; otherwise the write goes on without it.
  void SetJournal(WriteJournal* journal, bool required = false) {
    m_journal = journal;
    m_journalRequired = journal != nullptr && required;
  }

  // How the last SensorWrite or WriteSensitivity ended, for the command line.
  struct WriteOutcome {
    int code = 0;                 // 0, an error code, kCodeUserAbort, kCodeVerifyFailed; -1 refused
    bool written = false;         // at least one byte may have reached the sensor
    bool nothingToWrite = false;  // the sensor held every value already
    bool declined = false;        // the user said No to the changes
    bool lockedUnasked = false;   // a failed write left the programming lock on, which the data did not ask for
    std::int64_t recordId = 0;    // the history record, 0 when none was stored
    std::string codeBefore;       // the sensor's data code before the write
    DataSet::Block ident{};       // the sensor's identification as read; all zero when it was not
  };
  const WriteOutcome& LastWrite() const { return m_lastWrite; }

  // Operations. They return whether they did what was asked; anything the
  // user needs to know has gone through SensorUser. An operation started
  // while another exchange is running returns false and sends nothing.
  bool SensorRead(bool defaults = false);
  bool SensorWrite();
  // 0 writing may go on, -1 refused with a message, else an error code.
  int CheckWritable(bool checkLock);
  bool ReadSensitivity();
  // Refuses (false, nothing sent) until the sensitivity has been read.
  bool WriteSensitivity();
  bool CommunicationTest();
  // One look at the socket, for a station that waits for a sensor to be
  // plugged in or pulled out: one "V" and, when it is answered, the serial
  // number by two "LQ", each tried once. No message, no retry.
  struct Probe {
    bool present = false;
    std::optional<int> serial;  // none when the answer to "V" was all it gave
  };
  Probe ProbeSocket();

  // At a production station a sensor may be pulled and the next one plugged
  // in while a write retries: with this on, a data-set write checks the
  // serial number before each retry and after its read-back, and gives up
  // (on the sensor it began with) unless that sensor answers.
  void SetSameSensorCheck(bool on) { m_checkSameSensor = on; }

  bool OperationRunning() const { return m_running > 0; }

  // Keeps every other exchange off the wire while it lives; Entered() is
  // false when one is already running (then nothing may be sent).
  class BusyScope {
   public:
    explicit BusyScope(Sensor& s) : m_s(s), m_entered(!s.m_busy) { m_s.m_busy = true; }
    ~BusyScope() {
      if (m_entered) m_s.m_busy = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    bool Entered() const { return m_entered; }

   private:
    Sensor& m_s;
    bool m_entered;
  };

  bool Busy() const { return m_busy; }
  bool SensorConnected() const { return m_connected; }
  // Attempt at which the last presence check stopped (31 when all failed).
  int LastPresenceAttempt() const { return m_lastPresenceAttempt; }

 private:
  class RunningScope;

  bool PresenceTest(bool progress);
  int ReadParamByteOnce(int block, int address, std::uint8_t& value);
  int ReadBlockOnce(int block, DataSet::Block& target);
  int WriteParamByteOnce(int address, std::uint8_t value);
  bool Ask(int code);  // reports an error code with Retry/Cancel; true for Retry
  // How a command's attempts move the progress bar.
  enum class Bar {
    None,  // no dialog: no step, no Cancel
    Step,  // one step before each attempt
    Five,  // one step before each attempt, topped up to five
    Still, // no step, but Cancel is honoured before each attempt
  };
  bool PrepareRetry(int attempt, Bar bar);
  // One command, tried up to `attempts` times, each attempt an exchange of
  // its own. 0 or an error code.
  int RunAttempts(int attempts, Bar bar, const std::function<int()>& once);
  // The rest of a "PQ" that broke off before `from` (1 address, 2 data,
  // 3 confirmation), sent as meant; returns `failure`.
  int FinishWriteCommand(int from, int address, std::uint8_t value, int failure);
  // True only when the sensor answers with the serial number the write
  // began with.
  bool StillTheSameSensor();
  // After the writes failed with rc: the block read back decides.
  int CheckFailedWrite(int rc, int sensorType, bool lockAsked);

  int ReadDataSetImpl(bool defaults, bool progress, const std::uint64_t* generation);
  bool SensorReadImpl(bool defaults);
  int ReadSensorState(DataSet::Block& ident, DataSet::Block& params);
  int WriteAndRecord(const DataSet::Block& ident, const DataSet::Block& params);
  // The sensitivity bytes to the sensor with the data write's safeguards:
  // the record before, the read-back check, the record's end.
  int WriteSensitivityAndRecord(const DataSet::Block& ident, const DataSet::Block& raw);
  // Stores the record before the first byte goes out. Unless it is
  // required, the history never stops a write: one that cannot be used is
  // reported once. False when it is required and cannot store the record:
  // then nothing may be written.
  bool BeginRecord(const WriteRecord& record);
  // After a failed check the record keeps what the sensor holds; then it gets its result.
  void EndRecord(const DataSet::Block& ident, int rc);
  void JournalFailed();
  std::uint8_t RawParam(int address, int sensorType) const;
  bool ReadDataImpl(bool progress, bool defaults);
  int WorkingTypeCode() const;

  Ports& m_ports;
  DataSet& m_data;
  SensorUser& m_user;
  int m_running = 0;
  bool m_busy = false;
  bool m_connected = false;
  int m_lastPresenceAttempt = 0;
  WriteJournal* m_journal = nullptr;
  bool m_journalWarned = false;
  bool m_journalRequired = false;
  bool m_possiblyWritten = false;
  // The current "PQ" may have left the sensor inside the command; the last
  // one got no answer at all.
  bool m_writeMayBeOpen = false;
  bool m_writeUnanswered = false;
  // The port session in which the sensor did not answer "LP" on block 1.
  std::optional<std::uint64_t> m_noParamLp;
  bool m_checkSameSensor = false;
  std::optional<int> m_sensorSerial;  // while a checked write runs
  bool m_sensorReplaced = false;
  DataSet::Block m_verified{};
  WriteOutcome m_lastWrite;
};

// The code an error shows: status → 1000 - status.
constexpr int CodeOf(int st) { return st == 0 ? 0 : 1000 - st; }

}  // namespace rkt::link
