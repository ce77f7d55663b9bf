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
};

// The parameter lines of before and after that differ, in the order the
// datasheet lists them. Identification, data code and file name are left
// out: a write changes only the parameters. Parameter bytes that differ
// without changing any shown text are listed by their address.
std::vector<ValueChange> ValueChanges(const DataSet& before, const DataSet& after);

}  // namespace rkt
