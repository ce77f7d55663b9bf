#pragma once

#include <QJsonDocument>
#include <QJsonValue>
#include <string>

namespace rkt {
class DataSet;
}

namespace rkt::cli {

// The data set in words, one "label value" line each, UTF-8.
std::string DescribeText(const DataSet& ds);
// The data set as one JSON object (working copy).
std::string DescribeJson(const DataSet& ds);
// A UTF-8 text as a JSON string; bytes that are not UTF-8 become U+FFFD.
QJsonValue JsonText(const std::string& utf8);
// A JSON document on one line, with its line end.
std::string JsonLine(const QJsonDocument& doc);

}  // namespace rkt::cli
