#include "cli/describe.h"

#include <QJsonArray>
#include <QJsonObject>
#include <sstream>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/text_encoding.h"
#include "output/datasheet_content.h"
#include "text/language.h"
#include "text/text_keys.h"

namespace rkt::cli {

namespace {

constexpr std::size_t kLabelWidth = 30;

std::size_t Utf8Length(const std::string& s) {
  std::size_t n = 0;
  for (const char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

void Line(std::ostringstream& out, const std::string& label, const std::string& value) {
  out << label;
  for (std::size_t n = Utf8Length(label); n < kLabelWidth; ++n) out << ' ';
  out << value << '\n';
}

QJsonArray JsonBlock(const DataSet& ds, BlockId block) {
  QJsonArray out;
  for (int i = 1; i <= kBlockSize; ++i) out.append(ds.Byte(block, kWorkingCopy, i));
  return out;
}

// Texts inside the data set are Windows-1252; everything else is UTF-8.
bool IsDataSetText(ValueId id) { return id == ValueId::TypeName || id == ValueId::Comment; }

}  // namespace

QJsonValue JsonText(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string JsonLine(const QJsonDocument& doc) { return doc.toJson(QJsonDocument::Compact).toStdString() + "\n"; }

std::string DescribeText(const DataSet& ds) {
  std::ostringstream out;
  const std::string typeLabel = Text("Print", "lblTyp");
  const std::string versionLabel = Text("Print", "lblVersion");
  for (const OutputLineItem& item : CommonContent(ds)) {
    if (item.label.empty() && item.value.empty()) {
      out << '\n';
    } else if (item.label.empty()) {
      Line(out, "", item.value);
    } else if (item.label == typeLabel) {
      // The designation and the additional line apart, without the padding.
      Line(out, item.label, Cp1252ToUtf8(TypeDesignation(ds, kWorkingCopy)));
      const std::string extra = Cp1252ToUtf8(AdditionalDesignation(ds, kWorkingCopy));
      if (!extra.empty()) Line(out, "", extra);
    } else {
      Line(out, item.label, item.value);
      if (item.label == versionLabel)
        Line(out, "Typenschlüssel:", std::to_string(ds.GetInt(ValueId::TypeCode, kWorkingCopy)));
    }
  }
  const std::string comment = Cp1252ToUtf8(ds.Comment());
  if (!comment.empty()) {
    out << '\n' << Text("Print", "lblComment") << '\n';
    // Files from Windows end their comment lines with CR LF.
    for (const char c : comment)
      if (c != '\r') out << c;
    out << '\n';
  }
  return out.str();
}

std::string DescribeJson(const DataSet& ds) {
  const auto get = [&](ValueId id) { return ds.GetInt(id, kWorkingCopy); };
  QJsonObject values;
  for (const auto& [id, name] : AllValueIds()) {
    const auto value = ds.GetValue(id, kWorkingCopy);
    if (const auto* s = std::get_if<std::string>(&*value)) {
      values[QLatin1String(name)] = JsonText(IsDataSetText(id) ? Cp1252ToUtf8(*s) : *s);
    } else if (const auto* b = std::get_if<bool>(&*value)) {
      values[QLatin1String(name)] = *b;
    } else {
      values[QLatin1String(name)] = std::get<int>(*value);
    }
  }
  const QJsonObject out{
      {"typeName", JsonText(Cp1252ToUtf8(TypeDesignation(ds, kWorkingCopy)))},
      {"additionalName", JsonText(Cp1252ToUtf8(AdditionalDesignation(ds, kWorkingCopy)))},
      {"serialNumber", get(ValueId::SerialNumber)},
      {"manufactureDate", JsonText(std::to_string(get(ValueId::ManufacturePart1)) + "/" +
                                   std::to_string(get(ValueId::ManufacturePart2)))},
      {"version", JsonText(ds.GetString(ValueId::VersionText, kWorkingCopy))},
      {"typeCode", get(ValueId::TypeCode)},
      {"dataCode", JsonText(EncodeDataCode(ds))},
      {"sensitivityValid", ds.SensitivityValid() != 0},
      {"comment", JsonText(Cp1252ToUtf8(ds.Comment()))},
      {"blocks", QJsonObject{{"identification", JsonBlock(ds, BlockId::Identification)},
                             {"name1", JsonBlock(ds, BlockId::Name1)},
                             {"name2", JsonBlock(ds, BlockId::Name2)},
                             {"name3", JsonBlock(ds, BlockId::Name3)},
                             {"parameters", JsonBlock(ds, BlockId::Parameter)}}},
      {"values", values},
  };
  return QJsonDocument(out).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace rkt::cli
