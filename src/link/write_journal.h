#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/data_set.h"

// Where the sensor write keeps its backup: what the sensor held before the
// first byte went out, and how the write ended. The link only calls it; the
// storage (a database in the user's data folder) lives above the link.
namespace rkt::link {

enum class WriteResult { Done, Failed, Cancelled, VerifyFailed };

// What a write sends: the data set's parameter bytes, or only the two
// sensitivity bytes (then before and after differ in those alone).
enum class WriteKind { DataSet, Sensitivity };

struct WriteRecord {
  std::string port;
  // What the sensor held (identification as read, parameters in their
  // logical sense) and what is to be written (the working copy).
  DataSet::Block identBefore{};
  DataSet::Block paramsBefore{};
  DataSet::Block identAfter{};
  DataSet::Block paramsAfter{};
  std::string codeBefore;  // data codes, "" when there is none
  std::string codeAfter;
  // The sensor's name blocks 1 to 3 (its designation) as far as the program
  // knows them; all zero when it does not.
  std::array<DataSet::Block, 3> names{};
  WriteKind kind = WriteKind::DataSet;
};

class WriteJournal {
 public:
  virtual ~WriteJournal() = default;
  // Stores the record, durably, before anything is written; its id, or 0
  // when it could not be stored.
  virtual std::int64_t Begin(const WriteRecord& record) = 0;
  // Adds the result; false when it could not be stored.
  virtual bool Complete(std::int64_t id, WriteResult result, int code) = 0;
  // After a failed read-back check (VerifyFailed): what the sensor holds,
  // in the sense of paramsAfter, so that the values that did not take can be
  // told. False when it could not be stored.
  virtual bool RecordHeld(std::int64_t id, const DataSet::Block& held) {
    (void)id;
    (void)held;
    return true;
  }
  // Why the last call failed, for the user ("" when not known).
  virtual std::string Problem() const { return {}; }
};

}  // namespace rkt::link
