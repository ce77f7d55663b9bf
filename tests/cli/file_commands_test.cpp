#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <filesystem>

#include "cli/describe.h"
#include "history/history_db.h"
#include "model/data_set.h"
#include "model/text_encoding.h"
#include "support/cli_run.h"
#include "text/messages.h"

namespace rkt::cli {
namespace {

const std::string kSample = std::string(RKT_SOURCE_DIR) + "/resources/samples/sample.RKT";
using test::Cli;
using test::CliResult;
QJsonObject Json(const std::string& text) { return test::Json(text).object(); }

// The sample was written byte by byte by a separate script, not by our own
// writer, so these values check the reader against the file layout itself.
TEST(CliShow, SampleFileInWordsAndAsJson) {
  const CliResult text = Cli({"show", kSample});
  ASSERT_EQ(text.code, kExitOk) << text.err;
  for (const char* expected : {"RKT 410-DL/2", "Lichtschranke", "12345", "7/3", "3.1.2", "UND-Verknüpfung",
                               "negative Logik", "Impulsverlängerung 120 ms", "1.3 s", "50%",
                               "Förderband Halle 3 – Station 12"})
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << "\n" << text.out;

  const CliResult json = Cli({"show", kSample, "--json"});
  ASSERT_EQ(json.code, kExitOk);
  const QJsonObject o = Json(json.out);
  const QJsonObject values = o["values"].toObject();
  const std::pair<QJsonValue, QJsonValue> fields[] = {
      {o["typeName"], "RKT 410-DL/2"},      {o["additionalName"], "Lichtschranke"},
      {o["serialNumber"], 12345},           {o["manufactureDate"], "7/3"},
      {o["version"], "3.1.2"},              {o["typeCode"], 5},
      {o["sensitivityValid"], true},        {o["comment"], QString::fromUtf8("Förderband Halle 3 – Station 12")},
      {values["InputFunction"], 3},         {values["InputInverted"], true},
      {values["TimeFunction2"], 2},         {values["Sensitivity"], 46},
      {values["OutputType"], 0},            {values.size(), 32},
      {o["blocks"]["parameters"][1], 0x45},  // the file's inverted input bit is taken back
      {o["dataCode"], QString::fromStdString(Cli({"code", kSample}).out.substr(0, 23))},
  };
  for (const auto& [got, want] : fields) EXPECT_EQ(got, want) << want.toVariant().toString().toStdString();
  for (const char* b : {"identification", "name1", "name2", "name3", "parameters"})
    EXPECT_EQ(o["blocks"][b].toArray().size(), 16) << b;
}

TEST(CliDecode, CodeToFileAndBack) {
  const std::string code = Cli({"code", kSample}).out.substr(0, 23);
  QTemporaryDir dir;
  const std::string out = dir.filePath("decoded").toStdString();
  std::string lower = code;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const CliResult decoded = Cli({"decode", lower, "-o", out, "--json"});
  ASSERT_EQ(decoded.code, kExitOk) << decoded.err;
  const QJsonObject o = Json(decoded.out);
  EXPECT_EQ(o["typeName"].toString(), "<DATACODE>");
  EXPECT_EQ(o["values"]["InputFunction"].toInt(), 3);
  EXPECT_FALSE(o["sensitivityValid"].toBool());
  const CliResult again = Cli({"code", out + ".RKT"});
  EXPECT_EQ(again.code, kExitOk);
  EXPECT_EQ(again.out, code + "\n") << "the saved file carries the same setting";
}

TEST(CliErrors, ExitCodesAndMessages) {
  const std::string usage = "Usage:";
  const struct {
    std::vector<std::string> args;
    int code;
    std::string err;
  } rows[] = {
      {{}, kExitUsage, usage},
      {{"frobnicate"}, kExitUsage, "unknown command"},
      {{"show"}, kExitUsage, "Usage: rkt410-cli show"},
      {{"show", kSample, "--bogus"}, kExitUsage, "unknown option"},
      {{"decode", "X", "-o"}, kExitUsage, "-o needs"},
      {{"decode", "X", "--output"}, kExitUsage, "rkt410-cli: -o needs a file name\nUsage: rkt410-cli decode"},
      {{"show", kSample, "-1"}, kExitUsage, "unknown option '-1'"},
      {{"export", kSample, "--lang"}, kExitUsage, "--lang needs a value"},
      {{"print", kSample, "-o", "x.pdf", "--bogus=1"}, kExitUsage, "unknown option '--bogus=1'"},
      {{"read"}, kExitUsage, usage},
      {{"read", "--simulate", "--port", "/dev/ttyS0"}, kExitUsage, usage},
      {{"read", "--simulate", "--frobnicate"}, kExitUsage, usage},
      {{"read", "--simulate", "--port"}, kExitUsage, "--port needs a value"},
      {{"test", "--simulate", "--read-timeout", "0"}, kExitUsage, usage},
      {{"test", "--simulate", "--read-timeout", "12abc"}, kExitUsage, "--read-timeout needs a positive number"},
      {{"test", "--simulate", "--detect-timeout", "ten"}, kExitUsage, usage},
      {{"test", "--simulate", "--detect-timeout", "0.4"}, kExitUsage, "--detect-timeout needs a positive number"},
      {{"sensitivity", "--simulate"}, kExitUsage, usage},
      {{"sensitivity", "--simulate", "write", "93"}, kExitUsage, "VALUE must be a whole number from 0 to 92"},
      {{"sensitivity", "--simulate", "write", "-1"}, kExitUsage, "VALUE must be a whole number from 0 to 92"},
      {{"sensitivity", "--simulate", "write", "4x"}, kExitUsage, usage},
      {{"write", "--simulate"}, kExitUsage, usage},
      {{"ports", "extra"}, kExitUsage, usage},
      {{"history", "--bogus"}, kExitUsage, "unknown argument '--bogus'"},
      {{"history", "extra"}, kExitUsage, "unknown argument 'extra'"},
      {{"history", "--serial", "abc"}, kExitUsage, "--serial needs a number from 0 to 65535"},
      {{"history", "-o", "x.RKT"}, kExitUsage, ""},
      {{"history", "--id", "0"}, kExitUsage, ""},
      {{"history", "--id"}, kExitUsage, ""},
      {{"history", "--id", "1", "--serial", "2"}, kExitUsage, ""},
      {{"show", "/nonexistent/file.RKT"}, kExitFailure, "Ungültige Datendatei!"},
      {{"code", std::string(RKT_SOURCE_DIR) + "/README.md"}, kExitFailure, "Ungültige Datendatei!"},
      {{"decode", "0000-0000-0000-0000-00D"}, kExitFailure, "Ungültiger Datencode!"},
      {{"decode", "0000-0000-0000-0000-00C", "-o", "/nonexistent/dir/x.RKT"}, kExitFailure,
       "Fehler beim Speichern der Datei!"},
      // Sensor commands print the message at the start of the error output.
      {{"write", "--simulate", kSample}, kExitFailure, MessageDisplayText(30)},  // a type 5 file, a type 1 sensor
      {{"read", "--port", "/nonexistent/rkt-port"}, kExitFailure, MessageDisplayText(2)},
      {{"write", "--simulate", "/nonexistent/file.RKT"}, kExitFailure, MessageDisplayText(20)},
      {{"test", "--port", ""}, kExitFailure, MessageDisplayText(2)},
  };
  for (const auto& row : rows) {
    const CliResult r = Cli(row.args);
    const std::string what = row.args.empty() ? "" : row.args[0] + " " + (row.args.size() > 1 ? row.args.back() : "");
    EXPECT_EQ(r.code, row.code) << what << "\n" << r.err;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << what << "\n" << r.err;
    if (row.code == kExitFailure && row.args.size() > 1 && row.args[1].starts_with("--")) {
      EXPECT_EQ(r.err.rfind(row.err, 0), 0u) << what << "\n" << r.err;
    }
    EXPECT_EQ(r.out, "") << "failures print nothing on standard output";
  }
  const CliResult help = Cli({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  for (const char* cmd : {"show", "code", "decode"}) EXPECT_NE(help.out.find(cmd), std::string::npos) << cmd;
}

// Texts reach the JSON as the characters they stand for: control characters
// escaped, Windows-1252 bytes converted, bytes that are not UTF-8 replaced.
TEST(CliJson, ControlCharactersAndHighBytesGiveValidJson) {
  std::string comment = "Zeile 1\r\n\"zitiert\" \\ ";
  for (int b = 1; b < 0x20; ++b) comment.push_back(static_cast<char>(b));
  for (int b = 0x7F; b <= 0xFF; ++b) comment.push_back(static_cast<char>(b));
  // JSON is UTF-8; the parser alone would let other bytes through.
  const auto wellFormed = [](const std::string& s) { return QString::fromStdString(s).toStdString() == s; };
  DataSet ds;
  ds.SetValue(ValueId::Comment, comment);
  const std::string json = DescribeJson(ds);
  EXPECT_TRUE(wellFormed(json));
  const QJsonObject o = Json(json);
  const QString expected = QString::fromStdString(Cp1252ToUtf8(comment));
  EXPECT_EQ(o["comment"].toString(), expected);
  EXPECT_EQ(o["values"]["Comment"].toString(), expected);
  EXPECT_TRUE(expected.contains(QChar(0x20AC)) && expected.contains(QChar(0xFF)) && expected.contains(QChar(0x1F)));

  // A port name is the device path's own bytes, not necessarily UTF-8.
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const std::string db = dir.filePath("history.sqlite").toStdString();
  {
    history::HistoryDb history(QString::fromStdString(db));
    link::WriteRecord record;
    record.port = "/dev/tty\xff\x01";
    ASSERT_GT(history.Begin(record), 0) << history.Error();
  }
  const CliResult r = Cli({"history", "--history-db", db, "--json"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(wellFormed(r.out)) << r.out;
  EXPECT_EQ(test::Json(r.out)[0]["port"].toString(), QString::fromUtf8("/dev/tty\xEF\xBF\xBD\x01")) << r.out;
}

}  // namespace
}  // namespace rkt::cli
