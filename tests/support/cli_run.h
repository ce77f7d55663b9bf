#pragma once

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace rkt::test {

// One command line run in this process, with what it printed.
struct CliResult {
  int code;
  std::string out, err;
};

inline CliResult Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = cli::RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

// What a command that must succeed printed.
inline std::string CliOk(const std::vector<std::string>& args) {
  const CliResult r = Cli(args);
  EXPECT_EQ(r.code, 0) << args.at(0) << ": " << r.err;
  return r.out;
}

// What the command printed as JSON; anything but strict JSON fails the test. The parser alone lets bytes that
// are not UTF-8 and raw control characters inside strings through.
inline QJsonDocument Json(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
  EXPECT_EQ(QString::fromStdString(text).toStdString(), text) << "not UTF-8:\n" << text;
  bool inString = false, escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (inString && c < 0x20) {
      ADD_FAILURE() << "raw control character " << int(c) << " at " << i << ":\n" << text;
      break;
    }
    if (inString && !escaped && c == '"') inString = false;
    else if (!inString && c == '"') inString = true;
    escaped = inString && !escaped && c == '\\';
  }
  return doc;
}

}  // namespace rkt::test
