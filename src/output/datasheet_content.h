#pragma once

#include <string>
#include <vector>

// What a datasheet, an export and the command line show of a data set: label
// and value pairs in the current language, built from the working copy.
namespace rkt {

class DataSet;

struct OutputLineItem {
  std::string label;  // UTF-8, ends in ":" (the CSV export drops it)
  std::string value;  // UTF-8
  bool newLine = true;
};

// The file name, identification, data code and parameter lines, in order.
// An empty label and value stand for an empty line; an empty label with a
// value continues the previous line's value.
std::vector<OutputLineItem> CommonContent(const DataSet& ds);

// The datasheet's title, also the first line of a TXT export.
std::string DatasheetTitle();

// Shown for a missing serial number or manufacturing date ("Unbekannt").
std::string UnknownText();

}  // namespace rkt
