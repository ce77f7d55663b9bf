#include "output/value_changes.h"

#include <array>
#include <utility>

#include "model/data_set.h"
#include "output/datasheet_content.h"
#include "text/text_keys.h"

namespace rkt {

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

// The parameter lines: everything after the empty line that follows the
// data code, continuation lines joined to the value they continue.
Lines ParameterLines(const DataSet& ds) {
  const std::string codeLabel = Text("Print", "lblDatacode");
  Lines out;
  bool seenCode = false;
  bool inParameters = false;
  for (const OutputLineItem& item : CommonContent(ds)) {
    if (!inParameters) {
      if (item.label == codeLabel) seenCode = true;
      else if (seenCode && item.label.empty() && item.value.empty()) inParameters = true;
      continue;
    }
    if (item.label.empty()) {
      if (!out.empty() && !item.value.empty()) out.back().second += ", " + item.value;
    } else {
      out.emplace_back(item.label, item.value);
    }
  }
  return out;
}

const std::string* Find(const Lines& lines, const std::string& label) {
  for (const auto& [l, v] : lines)
    if (l == label) return &v;
  return nullptr;
}

// The programming lock is listed only when it is on; off, it reads as the
// panel's unlocked item.
std::string Missing(const std::string& label) {
  if (label == Text("frmMain", "lblProgramLock") + ":") return ListItemText(TextList::ProgramLock, 0);
  return "-";
}

}  // namespace

std::vector<ValueChange> ValueChanges(const DataSet& before, const DataSet& after) {
  const Lines b = ParameterLines(before);
  const Lines a = ParameterLines(after);
  std::vector<ValueChange> out;
  for (const auto& [label, value] : a) {
    const std::string* old = Find(b, label);
    const std::string was = old ? *old : Missing(label);
    if (was != value) out.push_back({label, was, value});
  }
  for (const auto& [label, value] : b)
    if (!Find(a, label) && value != Missing(label)) out.push_back({label, value, Missing(label)});
  if (!out.empty()) return out;
  // Bits no control shows (reserved, or not offered for this type) still
  // change the sensor: name them by address rather than say nothing.
  constexpr std::array kWritten = {0, 1, 3, 4, 5, 6, 11};
  for (const int address : kWritten) {
    const int x = before.Param(kWorkingCopy, address + 1);
    const int y = after.Param(kWorkingCopy, address + 1);
    if (x != y) {
      std::string label = Text("Message", "ParameterByte");
      if (const auto at = label.find("%1"); at != std::string::npos) label.replace(at, 2, std::to_string(address));
      out.push_back({label, std::to_string(x), std::to_string(y)});
    }
  }
  return out;
}

}  // namespace rkt
