#pragma once

#include <string>
#include <vector>

// What a write changes, in the words the parameter panel uses: one row per
// value whose shown text differs between two data sets (working copies).
namespace rkt {

class DataSet;

struct ValueChange {
  std::string label;   // UTF-8, as the datasheet labels it (ends in ":")
  std::string before;  // UTF-8
  std::string after;
  std::string held;       // what the sensor holds (WriteOutcome only)
  bool notTaken = false;  // held differs from after
};

// The parameter lines of before and after that differ, in the order the
// datasheet lists them. Identification, data code and file name are left
// out: a write changes only the parameters. Parameter bytes that differ
// without changing any shown text are listed by their address.
std::vector<ValueChange> ValueChanges(const DataSet& before, const DataSet& after);

// A write whose check failed: the rows of ValueChanges, and every value the
// sensor holds other than was meant, even one the write did not change; each
// row says what the sensor holds and whether that is not what was meant.
std::vector<ValueChange> WriteOutcome(const DataSet& before, const DataSet& after, const DataSet& held);

}  // namespace rkt
