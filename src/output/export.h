#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output/datasheet_content.h"

// The datasheet as a text file: a TXT layout for reading and printing, a
// two-line CSV layout for spreadsheets. Both end every line with CR LF and
// are written in Windows-1252.
namespace rkt {

class DataSet;

enum class ExportFormat { Txt, Csv };

// CSV when the name's last three characters, upper-cased, are "CSV".
ExportFormat ExportFormatFor(std::string_view fileName);

// The export dialog's name filters in Qt's form ("Textdatei (*.TXT *.txt);;
// CSV Datei (*.CSV *.csv)"), from the language texts ExportFilter0/1.
std::string ExportFileFilter();

// Where the label/value lines of a datasheet go.
class OutputTarget {
 public:
  virtual ~OutputTarget() = default;
  // One label/value pair. An empty label and value with newLine give an
  // empty line; an empty label with a value continues the previous value.
  virtual void OutputLine(const std::string& label, const std::string& value, bool newLine = true) = 0;
};

// Text with the value at column 40 (39 characters before it).
class TxtOutput final : public OutputTarget {
 public:
  static constexpr int kValueColumn = 40;
  void OutputLine(const std::string& label, const std::string& value, bool newLine = true) override;
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
  int m_column = 1;  // column the next character lands in
};

// A label line and a value line, cells separated by ";".
class CsvOutput final : public OutputTarget {
 public:
  void OutputLine(const std::string& label, const std::string& value, bool newLine = true) override;
  // Both lines, each ended by CR LF; cells holding ";", a double quote or a
  // line break are quoted, every other cell stays bare. A cell starting with
  // "=", "+", "-" or "@" gets a leading apostrophe, so that a spreadsheet
  // shows it as text instead of running it as a formula.
  std::string Text() const;

 private:
  std::vector<std::string> m_labels;
  std::vector<std::string> m_values;
};

// Sends every line of the common content to the target.
void OutputContent(OutputTarget& target, const std::vector<OutputLineItem>& lines);

// The whole export file as UTF-8 text (TXT: title, "=" line, empty line,
// content; CSV: the two lines of the content).
std::string ExportText(const DataSet& ds, ExportFormat format);

struct OutputResult {
  bool ok = false;
  std::string error;  // UTF-8, ready to show; empty on success
};

// Writes the export of the working copy to path in the format its name asks
// for, in Windows-1252 (UTF-8 with a byte-order mark when the language's
// texts hold characters Windows-1252 lacks), through a temporary file renamed over the target (WriteFileAtomically):
// a failure leaves any previous file as it was and no partial file behind.
OutputResult ExportDatasheet(const DataSet& ds, const std::string& path);

}  // namespace rkt
