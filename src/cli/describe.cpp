#include "cli/describe.h"

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

std::string JsonBlock(const DataSet& ds, BlockId block) {
  std::string out = "[";
  for (int i = 1; i <= kBlockSize; ++i) {
    if (i > 1) out += ",";
    out += std::to_string(ds.Byte(block, kWorkingCopy, i));
  }
  return out + "]";
}

// Texts inside the data set are Windows-1252; everything else is UTF-8.
bool IsDataSetText(ValueId id) { return id == ValueId::TypeName || id == ValueId::Comment; }

}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          static const char* hex = "0123456789abcdef";
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out.push_back(ch);
        }
    }
  }
  return out + "\"";
}

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
  std::ostringstream out;
  const auto get = [&](ValueId id) { return ds.GetInt(id, kWorkingCopy); };
  out << "{\n";
  out << "  \"typeName\": " << JsonString(Cp1252ToUtf8(TypeDesignation(ds, kWorkingCopy))) << ",\n";
  out << "  \"additionalName\": " << JsonString(Cp1252ToUtf8(AdditionalDesignation(ds, kWorkingCopy))) << ",\n";
  out << "  \"serialNumber\": " << get(ValueId::SerialNumber) << ",\n";
  out << "  \"manufactureDate\": "
      << JsonString(std::to_string(get(ValueId::ManufacturePart1)) + "/" + std::to_string(get(ValueId::ManufacturePart2)))
      << ",\n";
  out << "  \"version\": " << JsonString(ds.GetString(ValueId::VersionText, kWorkingCopy)) << ",\n";
  out << "  \"typeCode\": " << get(ValueId::TypeCode) << ",\n";
  out << "  \"dataCode\": " << JsonString(EncodeDataCode(ds)) << ",\n";
  out << "  \"sensitivityValid\": " << (ds.SensitivityValid() != 0 ? "true" : "false") << ",\n";
  out << "  \"comment\": " << JsonString(Cp1252ToUtf8(ds.Comment())) << ",\n";
  out << "  \"blocks\": {\n";
  out << "    \"identification\": " << JsonBlock(ds, BlockId::Identification) << ",\n";
  out << "    \"name1\": " << JsonBlock(ds, BlockId::Name1) << ",\n";
  out << "    \"name2\": " << JsonBlock(ds, BlockId::Name2) << ",\n";
  out << "    \"name3\": " << JsonBlock(ds, BlockId::Name3) << ",\n";
  out << "    \"parameters\": " << JsonBlock(ds, BlockId::Parameter) << "\n";
  out << "  },\n";
  out << "  \"values\": {\n";
  const auto ids = AllValueIds();
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const auto value = ds.GetValue(ids[i].id, kWorkingCopy);
    out << "    \"" << ids[i].name << "\": ";
    if (const auto* s = std::get_if<std::string>(&*value)) {
      out << JsonString(IsDataSetText(ids[i].id) ? Cp1252ToUtf8(*s) : *s);
    } else if (const auto* b = std::get_if<bool>(&*value)) {
      out << (*b ? "true" : "false");
    } else {
      out << std::get<int>(*value);
    }
    out << (i + 1 < ids.size() ? ",\n" : "\n");
  }
  out << "  }\n}\n";
  return out.str();
}

}  // namespace rkt::cli
