#include "output/export.h"

#include <QString>
#include <algorithm>
#include <cctype>

#include "model/safe_file.h"
#include "model/text_encoding.h"
#include "text/language.h"
#include "text/text_keys.h"
#include "text/messages.h"
#include "text/reason_texts.h"

namespace rkt {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Characters, not bytes: each becomes one Windows-1252 byte in the file.
int Utf8Length(std::string_view s) {
  return static_cast<int>(std::count_if(s.begin(), s.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string CsvCell(std::string cell) {
  // A spreadsheet runs a cell that starts like a formula; a file's name
  // blocks or name could start so. The leading apostrophe keeps it text.
  if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos) cell.insert(0, 1, '\'');
  if (cell.find_first_of(";\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (const char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ';';
    line += CsvCell(cells[i]);
  }
  return line + std::string(kLineEnd);
}

// The language text with its pattern; both cases, as names on Linux differ by
// case where Windows ignores it.
std::string NameFilter(std::string text, std::string_view extension) {
  const std::string upper = "*." + std::string(extension);
  std::string lower = upper;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (const std::string given = " (" + upper + ")"; text.ends_with(given)) text.resize(text.size() - given.size());
  return text + " (" + upper + " " + lower + ")";
}

}  // namespace

std::string ExportFileFilter() {
  return NameFilter(Text("frmMain", "ExportFilter0"), "TXT") + ";;" +
         NameFilter(Text("frmMain", "ExportFilter1"), "CSV");
}

ExportFormat ExportFormatFor(std::string_view fileName) {
  if (fileName.size() < 3) return ExportFormat::Txt;
  std::string tail(fileName.substr(fileName.size() - 3));
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return tail == "CSV" ? ExportFormat::Csv : ExportFormat::Txt;
}

void TxtOutput::OutputLine(const std::string& label, const std::string& value, bool newLine) {
  if (!label.empty() || !value.empty()) {
    m_text += label;
    m_column += Utf8Length(label);
    if (m_column > kValueColumn) {
      m_text += kLineEnd;
      m_column = 1;
    }
    m_text.append(static_cast<std::size_t>(kValueColumn - m_column), ' ');
    m_column = kValueColumn;
    m_text += value;
    m_column += Utf8Length(value);
  }
  if (newLine) {
    m_text += kLineEnd;
    m_column = 1;
  }
}

void CsvOutput::OutputLine(const std::string& label, const std::string& value, bool /*newLine*/) {
  if (!label.empty()) {
    std::string cell = label;
    if (cell.back() == ':') cell.pop_back();
    m_labels.push_back(std::move(cell));
    m_values.push_back(value);
  } else if (!value.empty()) {
    if (m_values.empty()) {
      // Nothing to continue: the value gets a cell of its own.
      m_labels.emplace_back();
      m_values.push_back(value);
    } else {
      m_values.back() += " " + value;
    }
  }
}

std::string CsvOutput::Text() const { return CsvLine(m_labels) + CsvLine(m_values); }

void OutputContent(OutputTarget& target, const std::vector<OutputLineItem>& lines) {
  for (const OutputLineItem& line : lines) target.OutputLine(line.label, line.value, line.newLine);
}

std::string ExportText(const DataSet& ds, ExportFormat format) {
  if (format == ExportFormat::Csv) {
    CsvOutput csv;
    OutputContent(csv, CommonContent(ds));
    return csv.Text();
  }
  const std::string title = DatasheetTitle();
  std::string head = title + std::string(kLineEnd);
  head.append(static_cast<std::size_t>(Utf8Length(title)), '=');
  head += std::string(kLineEnd) + std::string(kLineEnd);
  TxtOutput txt;
  OutputContent(txt, CommonContent(ds));
  return head + txt.Text();
}

OutputResult ExportDatasheet(const DataSet& ds, const std::string& path) {
  const std::string text = ExportText(ds, ExportFormatFor(path));
  // Windows-1252 where it holds every character; a language it lacks (Polish)
  // would lose its letters to '?', so such a file is UTF-8 with a byte-order
  // mark, which spreadsheets and editors recognise.
  const std::string cp1252 = Utf8ToCp1252(text);
  const std::string bytes = Cp1252ToUtf8(cp1252) == text ? cp1252 : "\xEF\xBB\xBF" + text;
  if (const std::string why = WriteFileAtomically(path, bytes); !why.empty())
    return {false, MessageDisplayText(msg::kSaveFailed) + "\n" + path + ": " + ReasonText(why)};
  return {true, {}};
}

}  // namespace rkt
