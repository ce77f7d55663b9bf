#include "output/value_changes.h"

#include <algorithm>
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

namespace {

std::vector<ValueChange> Compare(const DataSet& before, const DataSet& after, const DataSet* held) {
  const Lines b = ParameterLines(before);
  const Lines a = ParameterLines(after);
  const Lines h = held ? ParameterLines(*held) : Lines{};
  const auto value = [](const Lines& lines, const std::string& label) {
    const std::string* v = Find(lines, label);
    return v ? *v : Missing(label);
  };
  // Every label any of them shows, in the order after, before, held.
  std::vector<std::string> labels;
  for (const Lines* lines : {&a, &b, &h})
    for (const auto& [label, v] : *lines)
      if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
  std::vector<ValueChange> out;
  for (const std::string& label : labels) {
    ValueChange c{label, value(b, label), value(a, label), {}, false};
    if (held) {
      c.held = value(h, label);
      c.notTaken = c.held != c.after;
    }
    if (c.before != c.after || c.notTaken) out.push_back(std::move(c));
  }
  if (!out.empty()) return out;
  // Bits no control shows (reserved, or not offered for this type) still
  // change the sensor: name them by address rather than say nothing.
  constexpr std::array kWritten = {0, 1, 3, 4, 5, 6, 11};
  for (const int address : kWritten) {
    const int x = before.Param(kWorkingCopy, address + 1);
    const int y = after.Param(kWorkingCopy, address + 1);
    const int z = held ? held->Param(kWorkingCopy, address + 1) : y;
    if (x != y || z != y) {
      std::string label = Text("Message", "ParameterByte");
      if (const auto at = label.find("%1"); at != std::string::npos) label.replace(at, 2, std::to_string(address));
      out.push_back({label, std::to_string(x), std::to_string(y), held ? std::to_string(z) : std::string(), z != y});
    }
  }
  return out;
}

}  // namespace

std::vector<ValueChange> ValueChanges(const DataSet& before, const DataSet& after) {
  return Compare(before, after, nullptr);
}

std::vector<ValueChange> WriteOutcome(const DataSet& before, const DataSet& after, const DataSet& held) {
  return Compare(before, after, &held);
}

}  // namespace rkt
