#pragma once

#include <string>

namespace rkt {
class DataSet;
}

namespace rkt::cli {

// The data set in words, one "label value" line each, UTF-8.
std::string DescribeText(const DataSet& ds);
// The data set as one JSON object (working copy).
std::string DescribeJson(const DataSet& ds);
// A UTF-8 text as a JSON string, quotes included.
std::string JsonString(const std::string& utf8);

}  // namespace rkt::cli
