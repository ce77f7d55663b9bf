#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <set>

#include "cli/describe.h"
#include "history/history_db.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/safe_file.h"
#include "model/text_encoding.h"
#include "model/value_conversions.h"
#include "support/cli_run.h"
#include "support/sim_process.h"
#include "text/language.h"
#include "text/reason_texts.h"
#include "text/messages.h"
#include "text/text_keys.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rkt::cli {
namespace {

using test::Cli;
using test::CliOk;
using test::CliResult;
using Args = std::vector<std::string>;
const std::string kSample = std::string(RKT_SOURCE_DIR) + "/resources/samples/sample.RKT";
QJsonObject Json(const std::string& text) { return test::Json(text).object(); }
std::string Joined(const Args& args) {
  return std::accumulate(args.begin(), args.end(), std::string(), [](auto s, auto& a) { return s + a + " "; });
}
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
// The command with the line options after its name.
Args With(Args args, const Args& line) {
  args.insert(args.begin() + 1, line.begin(), line.end());
  return args;
}

// The sample was written by a separate script: this checks the reader against the file layout itself.
TEST(CliShow, SampleFileInWordsAndAsJsonAndItsCodeBackToAFile) {
  const std::string code = Cli({"code", kSample}).out.substr(0, 23);
  const std::string text = CliOk({"show", kSample});
  for (const char* expected : {"RKT 410-DL/2", "Lichtschranke", "12345", "7/3", "3.1.2", "UND-Verknüpfung",
                               "negative Logik", "Impulsverlängerung 120 ms", "1.3 s", "50%",
                               "Förderband Halle 3 – Station 12"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  const QJsonObject o = Json(CliOk({"show", kSample, "--json"}));
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
      {o["dataCode"], QString::fromStdString(code)}};
  for (const auto& [got, want] : fields) EXPECT_EQ(got, want) << want.toVariant().toString().toStdString();
  for (const char* b : {"identification", "name1", "name2", "name3", "parameters"})
    EXPECT_EQ(o["blocks"][b].toArray().size(), 16) << b;
  QTemporaryDir dir;
  const std::string out = dir.filePath("decoded").toStdString();
  const QJsonObject d = Json(CliOk({"decode", QString::fromUtf8(code).toLower().toStdString(), "-o", out, "--json"}));
  EXPECT_EQ(std::tuple(d["typeName"].toString(), d["values"]["InputFunction"].toInt(), d["sensitivityValid"].toBool()),
            std::tuple(QString("<DATACODE>"), 3, false));
  EXPECT_EQ(Cli({"code", out + ".RKT"}).out, code + "\n") << "the saved file carries the same setting";
}

TEST(CliErrors, ExitCodesAndMessages) {
  const std::string usage = "Usage:";
  // Trace files that would damage the command's own file or block.
  QTemporaryDir dir;
  const std::string job = dir.filePath("job.RKT").toStdString(), fifo = dir.filePath("fifo").toStdString(),
                    link = dir.filePath("link.txt").toStdString(), own = "is also the command's file";
  std::filesystem::copy_file(kSample, job);
  std::filesystem::create_symlink(job, link);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string jobBefore = ReadAll(job);
  // The history database, named directly, through a link, or by its journal file.
  const std::string db = dir.filePath("history.sqlite").toStdString(), dbLink = dir.filePath("db-link").toStdString(),
                    isDb = "is the history database";
  ASSERT_GT(history::HistoryDb(QString::fromStdString(db)).Begin({}), 0);
  std::filesystem::create_symlink(db, dbLink);
  const std::string dbBefore = ReadAll(db);
  ASSERT_GT(dbBefore.size(), 0u);
  const std::string readOnly = dir.filePath("kept.RKT").toStdString();
  std::filesystem::copy_file(kSample, readOnly);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  const std::string range = "VALUE must be a whole number from 0 to 92", invalid = "Ungültige Datendatei!";
  const struct { std::vector<std::string> args; int code; std::string err; } rows[] = {
      {{}, kExitUsage, usage},                                {{"frobnicate"}, kExitUsage, "unknown command"},
      {{"show"}, kExitUsage, "Usage: rkt410-cli show"},       {{"decode", "X", "-o"}, kExitUsage, "-o needs"},
      {{"show", kSample, "--bogus"}, kExitUsage, "unknown option"},
      {{"decode", "X", "--output"}, kExitUsage, "rkt410-cli: -o needs a file name\nUsage: rkt410-cli decode"},
      {{"export", kSample, "--lang"}, kExitUsage, "--lang needs a value"},
      {{"read", "--simulate", "--port", "/dev/ttyS0"}, kExitUsage, usage},
      {{"read", "--simulate", "--port"}, kExitUsage, "--port needs a value"},
      {{"test", "--simulate", "--read-timeout", "0"}, kExitUsage, usage},
      {{"test", "--simulate", "--read-timeout", "12abc"}, kExitUsage, "--read-timeout needs a positive number"},
      {{"test", "--simulate", "--detect-timeout", "0.4"}, kExitUsage, "--detect-timeout needs a positive number"},
      {{"sensitivity", "--simulate"}, kExitUsage, usage},     {{"write", "--simulate"}, kExitUsage, usage},
      {{"sensitivity", "--simulate", "write", "93"}, kExitUsage, range},
      {{"sensitivity", "--simulate", "write", "-1"}, kExitUsage, range},
      {{"ports", "extra"}, kExitUsage, usage},                {{"history", "--bogus"}, kExitUsage, "'--bogus'"},
      {{"history", "--serial", "abc"}, kExitUsage, "--serial needs a number from 0 to 65535"},
      {{"history", "-o", "x.RKT"}, kExitUsage, ""},           {{"history", "--id", "0"}, kExitUsage, ""},
      {{"history", "--id", "1", "--serial", "2"}, kExitUsage, ""},
      {{"show", "/nonexistent/file.RKT"}, kExitFailure, invalid},
      {{"code", std::string(RKT_SOURCE_DIR) + "/README.md"}, kExitFailure, invalid},
      {{"decode", "0000-0000-0000-0000-00D"}, kExitFailure, "Ungültiger Datencode!"},
      {{"decode", "0000-0000-0000-0000-00C", "-o", "/nonexistent/dir/x.RKT"}, kExitFailure, "beim Speichern"},
      // Sensor commands print the message at the start of the error output.
      {{"write", "--simulate", kSample}, kExitFailure, MessageDisplayText(30)},  // a type 5 file, a type 1 sensor
      {{"read", "--port", "/nonexistent/rkt-port"}, kExitFailure, MessageDisplayText(2)},
      {{"write", "--simulate", "/nonexistent/file.RKT"}, kExitFailure, MessageDisplayText(20)},
      {{"test", "--port", ""}, kExitFailure, MessageDisplayText(2)},
      {{"write", "--simulate", "--trace", job, job}, kExitUsage, own},
      {{"write", "--simulate", "--trace", link, job}, kExitUsage, own},
      {{"read", "--simulate", "-o", job, "--trace", job}, kExitUsage, own},
      {{"test", "--simulate", "--trace", fifo}, kExitUsage, "is a FIFO"},
      {{"test", "--simulate", "--trace", "/dev/null"}, kExitUsage, "is a device"},
      {{"test", "--simulate", "--trace", dir.path().toStdString()}, kExitUsage, "is a folder"},
      {{"write", "--simulate", "--history-db", db, "--trace", db, job}, kExitUsage, isDb},
      {{"write", "--simulate", "--history-db", db, "--trace", dbLink, job}, kExitUsage, isDb},
      {{"write", "--simulate", "--history-db", db, "--trace", db + "-wal", job}, kExitUsage, isDb},
      {{"write", "--simulate", "--history-db", dbLink, "--trace", db, job}, kExitUsage, isDb},
      // Saves that would replace a read-only file, or make a new file beside a device.
      {{"decode", "0000-0000-0000-0000-00C", "-o", readOnly}, kExitFailure, readOnly + ": the file is read-only"},
      {{"decode", "0000-0000-0000-0000-00C", "-o", "/dev/null"}, kExitFailure, "/dev/null: is a device, not a file"}};
  for (const auto& row : rows) {
    const CliResult r = Cli(row.args);
    const std::string what = Joined(row.args) + "\n" + r.err;
    EXPECT_EQ(r.code, row.code) << what;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << what;
    if (row.code == kExitFailure && row.args.size() > 1 && row.args[1].starts_with("--")) {
      EXPECT_EQ(r.err.rfind(row.err, 0), 0u) << what;
    }
    EXPECT_EQ(r.out, "") << "failures print nothing on standard output";
    EXPECT_EQ(ReadAll(job), jobBefore) << what;
    EXPECT_EQ(ReadAll(db), dbBefore) << what;
  }
  EXPECT_EQ(ReadAll(readOnly), ReadAll(kSample)) << "the read-only file is kept";
  const bool besideDevice = std::filesystem::exists("/dev/null.RKT");
  if (besideDevice) std::filesystem::remove("/dev/null.RKT");
  EXPECT_FALSE(besideDevice) << "no file beside the device";
  const CliResult help = Cli({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  for (const char* cmd : {"show", "code", "decode"}) EXPECT_NE(help.out.find(cmd), std::string::npos) << cmd;
}

// A failed write's setting before, kept in the history, goes back to the sensor.
TEST(SensorCommands, WriteChecksKeepsTheSettingBeforeAndRestoresIt) {
  QTemporaryDir dir;
  // Time value 1 confirmed, not kept; no echo, which the in-process tests take.
  test::SimProcess sim(RKT_SIM_PATH, {"--faults", "lost-write@4", "--noecho"});
  ASSERT_TRUE(sim.Running());
  const std::string db = dir.filePath("history.sqlite").toStdString();
  const Args port = {"--port", sim.Link(), "--noecho"}, line = {"--port", sim.Link(), "--noecho", "--history-db", db};
  EXPECT_EQ(CliOk(With({"test"}, port)), "Kommunikation ok!\n");
  const auto readCode = [&](const char* name) {
    CliOk(With({"read", "-o", dir.filePath(name).toStdString()}, port));
    return CliOk({"code", dir.filePath(name).toStdString()});
  };
  const std::string original = readCode("original.RKT");
  DataSet ds;  // both time functions on, other times
  ASSERT_EQ(LoadParameterFile(ds, dir.filePath("original.RKT").toStdString()), LoadStatus::Ok);
  ds.SetValue(ValueId::TimeFunction1, 1);
  ds.SetValue(ValueId::TimeValue1, 40);
  ds.SetValue(ValueId::TimeFunction2, 1);
  ds.SetValue(ValueId::TimeValue2, 13);
  const std::string wanted = dir.filePath("wanted.RKT").toStdString();
  ASSERT_TRUE(SaveParameterFile(ds, wanted).ok);
  EXPECT_EQ(CliOk(With({"write", "--dry-run", wanted}, line)),
            "Einschaltverzögerung: 0.0 s → 4.0 s\nAusschaltzeit: 0.0 s → Ausschaltverzögerung 1.3 s\n");
  EXPECT_EQ(readCode("untouched.RKT"), original) << "the dry run leaves the sensor as it was";
  const CliResult r = Cli(With({"write", "--json", wanted}, line));
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.err.rfind(MessageDisplayText(1040), 0), 0u) << r.err;
  EXPECT_NE(r.err.find("history --id 1 -o"), std::string::npos) << r.err;
  const QJsonObject written = Json(r.out);
  EXPECT_EQ(std::tuple(written["result"].toString(), written["code"].toInt(), written["record"].toInt()),
            std::tuple(QString("verify-failed"), 1040, 1)) << r.out;
  EXPECT_FALSE(written["changes"].toArray().isEmpty());
  const auto firstLine = [](const std::string& c) { return QString::fromStdString(c.substr(0, c.find('\n'))); };
  const QJsonObject record = test::Json(CliOk({"history", "--history-db", db, "--json"}))[0].toObject();
  EXPECT_EQ(std::tuple(record["before"].toString(), record["after"].toString(), record["result"].toString()),
            std::tuple(firstLine(original), firstLine(CliOk({"code", wanted})), QString("verify-failed")));
  EXPECT_EQ(Cli({"history", "--history-db", db, "--serial", "1"}).out, "") << "no record of another sensor";
  const std::string before = dir.filePath("before.RKT").toStdString();
  CliOk({"history", "--history-db", db, "--id", "1", "-o", before});
  CliOk(With({"write", before}, line));
  EXPECT_EQ(readCode("after.RKT"), original) << "the sensor is back where it was";
  const QJsonObject newest = test::Json(CliOk({"history", "--history-db", db, "--json"}))[0].toObject();
  EXPECT_EQ(std::pair(newest["id"].toInt(), newest["result"].toString()), std::pair(2, QString("done"))) << "newest 1st";
  EXPECT_EQ(CliOk(With({"sensitivity", "write", "33"}, port)), "Empfindlichkeit: 33\n");
  EXPECT_EQ(CliOk(With({"sensitivity", "read"}, port)), "Empfindlichkeit: 33\n");
  // Time-outs are rounded and capped at 32767 ms (a long one would be waited out in full).
  for (const auto& [read, detect] : {std::pair{"99999", " 250"}, std::pair{"0.6", "0.6"}})
    EXPECT_EQ(CliOk({"test", "--simulate", "--read-timeout", read, "--detect-timeout", detect}), "Kommunikation ok!\n");
}

// A sensitivity write to a sensor that confirms the byte and keeps the old one fails with 1040, and the history has
// its record with what the sensor kept.
TEST(SensorCommands, SensitivityWriteThatDidNotTakeFailsWith1040AndIsRecorded) {
  QTemporaryDir dir;
  test::SimProcess sim(RKT_SIM_PATH, {"--faults", "lost-write@1"});
  ASSERT_TRUE(sim.Running());
  const std::string db = dir.filePath("history.sqlite").toStdString();
  const Args port = {"--port", sim.Link()};
  const auto sensitivity = [&] { return Json(CliOk(With({"sensitivity", "read", "--json"}, port))).value("sensitivity"); };
  const int before = sensitivity().toInt(-1);
  ASSERT_TRUE(before >= 0 && before != 80) << before;
  const CliResult r = Cli(With({"sensitivity", "write", "80", "--json", "--history-db", db}, port));
  EXPECT_EQ(std::pair(r.code, r.err.rfind(MessageDisplayText(1040), 0)), std::pair(kExitFailure, std::size_t{0})) << r.err;
  const QJsonObject o = Json(r.out);
  EXPECT_EQ(std::tuple(o["result"].toString(), o["record"].toInt(), o["before"].toInt(), o["sensitivity"].toInt()),
            std::tuple(QString("verify-failed"), 1, before, before)) << r.out;
  EXPECT_EQ(sensitivity().toInt(), before) << "the sensor kept its byte";
  const QJsonObject record = test::Json(CliOk({"history", "--history-db", db, "--json"}))[0].toObject();
  EXPECT_EQ(std::tuple(record["kind"].toString(), record["code"].toInt(), record["kept"].toString()),
            std::tuple(QString("sensitivity"), 1040, record["before"].toString())) << "the code carries no sensitivity";
  const QString label = "Empfindlichkeit:", wanted = QString::fromStdString(FormatSensitivity(80)),
                kept = QString::fromStdString(FormatSensitivity(before));
  EXPECT_EQ(record["notTaken"].toArray(), QJsonArray({QJsonObject{{"label", label}, {"after", wanted}, {"kept", kept}}}));
  EXPECT_EQ(record["changes"].toArray(), QJsonArray({QJsonObject{{"label", label}, {"before", kept}, {"after", wanted}}}));
}

// SIGTERM (a service stopped or timed out), SIGHUP (a closed terminal) and SIGQUIT during a write end it as Ctrl-C
// does: at the next byte, saying what state the sensor is left in, with its record completed.
TEST(SensorCommands, SignalsDuringAWriteCancelItAndSayWhatTheSensorHolds) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("wanted.RKT").toStdString();
  CliOk({"read", "--simulate", "-o", file});  // rkt410-sim starts as the built-in sensor does
  DataSet ds;
  ASSERT_EQ(LoadParameterFile(ds, file), LoadStatus::Ok);
  ds.SetValue(ValueId::TimeValue1, 40);
  ASSERT_TRUE(SaveParameterFile(ds, file).ok);
  static constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGQUIT};
  for (const int sig : kSignals) {
    SCOPED_TRACE(strsignal(sig));
    test::SimProcess sim(RKT_SIM_PATH, {"--baud-timing"});
    ASSERT_TRUE(sim.Running());
    const QString db = dir.filePath(QString("history-%1.sqlite").arg(sig));
    const std::string trace = dir.filePath(QString("trace-%1.txt").arg(sig)).toStdString();
    const auto sentPq = [&] {  // "PQ" commands sent so far
      const std::string t = ReadAll(trace);
      int n = 0;
      for (std::size_t at = t.find(">  50 51"); at != std::string::npos; at = t.find(">  50 51", at + 1)) ++n;
      return n;
    };
    QProcess cli;
    cli.setChildProcessModifier([] {  // as a shell starts it, whatever this test program does with the signals
      for (const int s : kSignals) ::signal(s, SIG_DFL);
    });
    cli.start(RKT_CLI_PATH, {"write", "--port", QString::fromStdString(sim.Link()), "--history-db", db, "--trace",
                             QString::fromStdString(trace), "--json", QString::fromStdString(file)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentPq() > 0 || cli.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(cli.state(), QProcess::Running) << "the write ended before its first byte";
    ::kill(static_cast<pid_t>(cli.processId()), sig);  // the first byte is on its way
    ASSERT_TRUE(cli.waitForFinished(60000));
    const std::string err = cli.readAllStandardError().toStdString();
    ASSERT_EQ(std::pair(cli.exitStatus(), cli.exitCode()), std::pair(QProcess::NormalExit, kExitFailure)) << err;
    EXPECT_TRUE(err.starts_with(MessageDisplayText(1030)) && err.find(Text("Message", "WriteMixed")) != std::string::npos &&
                err.find("history --id 1 -o") != std::string::npos) << err;
    EXPECT_EQ(Json(cli.readAllStandardOutput().toStdString())["result"].toString(), "cancelled");
    const auto record = history::HistoryDb(db).Get(1);
    EXPECT_TRUE(record && record->result == "cancelled" && record->code == 1030) << "the record is completed";
    EXPECT_LT(sentPq(), 7) << "stopped at a byte boundary, not written to the end";
  }
}

// --require-history: a history that cannot take the record ends the write with status 1 before the port is
// opened (no trace begun); without it the write goes on and says why there is no record.
TEST(SensorCommands, ARequiredHistoryThatCannotKeepTheRecordStopsTheWriteFirst) {
  QTemporaryDir dir;
  const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
  const std::string job = path("job.RKT"), trace = path("trace.txt");
  CliOk({"read", "--simulate", "-o", job});
  DataSet ds;
  ASSERT_EQ(LoadParameterFile(ds, job), LoadStatus::Ok);
  ds.SetValue(ValueId::TimeValue1, 40);  // differs from the simulated sensor's
  ASSERT_TRUE(SaveParameterFile(ds, job).ok);
  std::ofstream(path("damaged.sqlite")) << std::string(4096, 'x');
  {
    history::HistoryDb newer(QString::fromStdString(path("newer.sqlite")));
    ASSERT_TRUE(newer.Open()) << newer.Error();
  }
  {
    QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "newer");
    raw.setDatabaseName(QString::fromStdString(path("newer.sqlite")));
    ASSERT_TRUE(raw.open() && QSqlQuery(raw).exec("PRAGMA user_version=99"));
  }
  QSqlDatabase::removeDatabase("newer");
  ASSERT_TRUE(history::HistoryDb(QString::fromStdString(path("locked.sqlite"))).Open());
  QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
  holder.setDatabaseName(QString::fromStdString(path("locked.sqlite")));
  ASSERT_TRUE(holder.open());
  QSqlQuery lock(holder);
  ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE")) << "another program is writing";
  const struct { const char* db; const char* reason; } rows[] = {
      {"damaged.sqlite", "die Datenbank ist beschädigt"},
      {"newer.sqlite", "die Datenbank stammt von einer neueren Programmversion (Schema 99)"},
      {"locked.sqlite", "die Datenbank ist von einem anderen Programm gesperrt"}};
  for (const auto& row : rows) {
    const std::string db = path(row.db), before = ReadAll(db);
    const CliResult r = Cli({"write", "--simulate", "--trace", trace, "--history-db", db, "--require-history", job});
    EXPECT_EQ(r.code, kExitFailure) << row.db << "\n" << r.err;
    EXPECT_EQ(r.err, MessageDisplayText(msg::kHistoryRequired) + "\n" + db + ": " + row.reason + "\n") << row.db;
    EXPECT_EQ(ReadAll(trace), "") << row.db << ": the sensor heard nothing";
    EXPECT_EQ(ReadAll(db), before) << row.db;
  }
  // Without the option, the same databases do not stop the write; the reason is told.
  const CliResult anyway = Cli({"write", "--simulate", "--trace", trace, "--history-db", path("damaged.sqlite"), job});
  EXPECT_EQ(anyway.code, kExitOk) << anyway.err;
  EXPECT_EQ(anyway.err, MessageDisplayText(msg::kHistoryUnavailable) + "\n" + path("damaged.sqlite") +
                            ": die Datenbank ist beschädigt\n");
  EXPECT_GT(ReadAll(trace).size(), 100u) << "written";
  lock.exec("ROLLBACK");
  const QJsonObject stored = Json(CliOk({"write", "--simulate", "--history-db", path("locked.sqlite"),
                                        "--require-history", "--json", job}));
  EXPECT_EQ(std::pair(stored["result"].toString(), stored["record"].toInt()), std::pair(QString("done"), 1));
  lock = QSqlQuery();
  holder.close();
  holder = QSqlDatabase();
  QSqlDatabase::removeDatabase("holder");
}

// A sensor that never leaves a command by itself, whose answer to the
// address of the "PQ" to address 1 is spoilt: a retry's "P" taken as that
// byte's data would lock it ("(1011)"). Once with a sensor that does not
// answer "LP" on its parameter block, which the write reads byte by byte.
TEST(SensorCommands, WriteToASensorThatNeverLeavesACommandIsDoneCheckedAndKept) {
  QTemporaryDir dir;
  const std::string original = dir.filePath("original.RKT").toStdString(), wanted = dir.filePath("wanted.RKT").toStdString();
  CliOk({"read", "--simulate", "-o", original});  // the same sensor, in the process
  DataSet ds;
  ASSERT_EQ(LoadParameterFile(ds, original), LoadStatus::Ok);
  ds.SetValue(ValueId::TimeFunction1, 1);
  ds.SetValue(ValueId::TimeValue1, 40);
  ASSERT_TRUE(SaveParameterFile(ds, wanted).ok);
  // Its answers by command: presence, lock and type, the parameter block
  // (nine "LQ" without "LP"), the type again, then "PQ" to 0 and to 1.
  for (const char* faults : {"wrong-address@6", "no-lp=1,wrong-address@15"}) {
    SCOPED_TRACE(faults);
    test::SimProcess sim(RKT_SIM_PATH, {"--reset-ms", "0", "--faults", faults, "--noecho"});
    ASSERT_TRUE(sim.Running());
    const std::string db = dir.filePath(QString("%1.sqlite").arg(faults)).toStdString();
    const Args line = {"--port", sim.Link(), "--noecho"};
    const CliResult r = Cli(With({"write", "--json", "--history-db", db, wanted}, line));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const QJsonObject written = Json(r.out);
    EXPECT_EQ(std::pair(written["result"].toString(), written["record"].toInt()), std::pair(QString("done"), 1)) << r.out;
    const std::string after = dir.filePath("after.RKT").toStdString();
    CliOk(With({"read", "-o", after}, line));
    EXPECT_EQ(CliOk({"code", after}), CliOk({"code", wanted})) << "the sensor holds the file, unlocked";
    const QJsonObject record = test::Json(CliOk({"history", "--history-db", db, "--json"}))[0].toObject();
    EXPECT_EQ(std::pair(record["before"].toString().toStdString(), record["result"].toString()),
              std::pair(FirstLine(CliOk({"code", original})), QString("done")));
  }
}

// The text of a PDF file as pdftotext reads it, UTF-8.
std::string PdfText(const std::string& pdf) {
  QProcess p;
  p.start("pdftotext", {QString::fromStdString(pdf), "-"});
  EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << "pdftotext (poppler-utils) is needed: " << pdf;
  return p.readAllStandardOutput().toStdString();
}

// Each format written, then once more on a disk that fills up: status 1, the file and the reason, the old file kept.
TEST(CliOutput, ExportAndPrintWriteTheirFilesOrKeepTheOldOne) {
  QTemporaryDir dir;
  const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
  const std::string label = "St\xc3\xb6rfilterung:", ligature = "\xef\xac\x81";  // pdftotext gives UTF-8
  const struct { Args args; std::string file, start, contains; } rows[] = {
      {{"export", kSample, "-o", path("a.TXT")}, "a.TXT", "RKT 410 - Parametereinstellung\r\n", "St\xf6rfilterung:"},
      {{"export", kSample, "--output", path("a.csv")}, "a.csv", "Datei;Typenbezeichnung;", "UND-Verkn\xfcpfung negative Logik"},
      {{"print", kSample, "-o", path("a.pdf")}, "a.pdf", "%PDF-", label},
      // Last: in this process the language stays chosen.
      {{"export", kSample, "-o", path("en.txt"), "--lang", "English"}, "en.txt", "RKT 410 - Parameter settings\r\n",
       "Serial number:"},
      {{"export", kSample, "-o", path("fr.txt"), "--lang", "Fran\xc3\xa7" "ais"}, "fr.txt",
       "RKT 410 - R\xe9glage des param\xe8tres\r\n", "Temporisation \xe0 l'enclenchement:"},
      // Polish letters are not in Windows-1252: UTF-8 with its mark, no letter lost to '?'.
      {{"export", kSample, "-o", path("pl.csv"), "--lang", "Polski"}, "pl.csv", "\xef\xbb\xbfPlik;Oznaczenie typu;",
       "Cz\xc4\x99stotliwo\xc5\x9b\xc4\x87 impuls\xc3\xb3w 2"},
      {{"print", kSample, "-o", path("pl.pdf"), "--lang", "Polski"}, "pl.pdf", "%PDF-", "Wyj\xc5\x9b" "cie ostrzegawcze"}};
  SetProgramDir(std::string(RKT_SOURCE_DIR) + "/resources");  // where the language files are
  for (const auto& row : rows) {
    const std::string target = path(row.file.c_str()), what = Joined(row.args);
    const CliResult r = Cli(row.args);
    ASSERT_EQ(r.code, kExitOk) << what << r.err;
    EXPECT_EQ(ReadAll(target).rfind(row.start, 0), 0u) << what;
    const std::string text = row.start == "%PDF-" ? PdfText(target) : ReadAll(target);
    EXPECT_NE(text.find(row.contains), std::string::npos) << what << "\n" << text;
    EXPECT_EQ(text.find(ligature), std::string::npos) << what;
    { std::ofstream(target) << "old contents"; }
    InjectWriteFailureForTesting(ENOSPC, 16);
    const CliResult full = Cli(row.args);
    InjectWriteFailureForTesting(0);
    EXPECT_EQ(full.code, kExitFailure) << what;
    EXPECT_NE(full.err.find(target + ": " + ReasonText(std::strerror(ENOSPC))), std::string::npos) << what << full.err;
    EXPECT_EQ(ReadAll(target), "old contents") << what;
  }
  SetProgramDir(std::filesystem::current_path());
  FindLanguages({});
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 7) << "no temporary file left";
  // With DejaVu Sans alone (a fresh Debian), whose "fi" is a ligature, the labels still come out letter by letter.
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!std::filesystem::exists(dejavu)) GTEST_SKIP() << "needs DejaVu Sans";
  std::filesystem::create_directory(path("fonts"));
  std::filesystem::create_symlink(dejavu, path("fonts/DejaVuSans.ttf"));
  std::ofstream(path("fonts.conf")) << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << path("fonts")
                                    << "</dir><cachedir>" << path("cache") << "</cachedir></fontconfig>\n";
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("FONTCONFIG_FILE", dir.filePath("fonts.conf"));
  cli.setProcessEnvironment(env);
  cli.start(RKT_CLI_PATH, {"print", QString::fromStdString(kSample), "-o", dir.filePath("dejavu.pdf")});
  ASSERT_TRUE(cli.waitForFinished(60000) && cli.exitCode() == 0) << cli.readAllStandardError().toStdString();
  const std::string text = PdfText(path("dejavu.pdf"));
  EXPECT_TRUE(text.find(label) != std::string::npos && text.find(ligature) == std::string::npos) << text;
}

// A reader that has gone before the output comes: status 1 and a message, not an end by SIGPIPE nor a hang.
TEST(CliOutput, ClosedOutputPipeIsAFailure) {
  QTemporaryDir dir;
  const std::string errFile = dir.filePath("err.txt").toStdString();
  for (Args args : {Args{"show", kSample, "--json"}, Args{"read", "--simulate", "--json"}}) {
    const std::string what = Joined(args);
    args.insert(args.begin(), RKT_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // SIGPIPE as a shell leaves it, whatever this test program does with it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &pipeSignal);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, RKT_CLI_PATH, &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[1]);
    ASSERT_EQ(spawned, 0) << what;
    int status = 0;
    const bool ended = QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 60000);
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << what << ": still running after a minute";
    ASSERT_TRUE(WIFEXITED(status)) << what << ": ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), kExitFailure) << what;
    EXPECT_NE(ReadAll(errFile).find("the output could not be written"), std::string::npos) << what << ReadAll(errFile);
  }
}

// Texts reach the JSON as the characters they stand for: control characters, quotes and backslashes
// escaped, Windows-1252 bytes converted, bytes that are not UTF-8 replaced.
TEST(CliJson, ControlCharactersQuotesAndHighBytesGiveValidJson) {
  std::string comment = "Zeile 1\r\n\"zitiert\" \\ ";
  for (int b = 1; b < 0x20; ++b) comment.push_back(static_cast<char>(b));
  for (int b = 0x7F; b <= 0xFF; ++b) comment.push_back(static_cast<char>(b));
  const std::string type = "A\"\\\x01\x1f\t\n\x7f\x80\xe4\b\f\r/<z", extra = "\x1b[1m\"x\"\\\x08\xfc!";
  DataSet ds;
  ds.SetValue(ValueId::Comment, comment);
  for (std::size_t i = 0; i < type.size(); ++i) ds.Byte(BlockId::Name1, kWorkingCopy, int(i) + 1) = std::uint8_t(type[i]);
  for (std::size_t i = 0; i < extra.size(); ++i) ds.Byte(BlockId::Name3, kWorkingCopy, int(i) + 1) = std::uint8_t(extra[i]);
  const auto text = [](const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); };
  const QJsonObject o = Json(DescribeJson(ds));  // strict: escaped, UTF-8
  // A port name is the device path's own bytes, not necessarily UTF-8.
  QTemporaryDir dir;
  const std::string db = dir.filePath("history.sqlite").toStdString();
  {
    history::HistoryDb history(QString::fromStdString(db));
    link::WriteRecord record;
    record.port = "/dev/tty\xff\x01\"\\";
    ASSERT_GT(history.Begin(record), 0) << history.Error();
  }
  const QJsonDocument listed = test::Json(CliOk({"history", "--history-db", db, "--json"}));
  const std::pair<QJsonValue, QString> rows[] = {
      {o["comment"], text(comment)},
      {o["values"]["Comment"], text(comment)},
      {o["typeName"], text(type)},
      {o["additionalName"], text(extra)},
      {listed[0]["port"], QString::fromUtf8("/dev/tty\xEF\xBF\xBD\x01\"\\")}};
  for (const auto& [got, want] : rows) EXPECT_EQ(got.toString(), want) << want.toStdString();
  EXPECT_TRUE(text(comment).contains(QChar(0x20AC)) && text(comment).contains(QChar(0x1F))) << "the table tests what it says";
}

}  // namespace
}  // namespace rkt::cli

namespace rkt::cli {
namespace {

// rkt410-sim serving `count` sensors at link1..linkN in dir, serial numbers from 100.
class MultiSim {
 public:
  MultiSim(const QTemporaryDir& dir, int count, QStringList extra = {}) : m_dir(dir.path()) {
    m_process.start(RKT_SIM_PATH, QStringList{"--link", m_dir + "/link%d", "--count", QString::number(count),
                                              "--serial", "100", "--type", "5"} + extra);
    // Ready once every device is named.
    for (int lines = 0; lines < count && m_process.state() != QProcess::NotRunning;) {
      if (m_process.canReadLine()) lines += m_process.readLine().isEmpty() ? 0 : 1;
      else m_process.waitForReadyRead(5000);
    }
  }
  ~MultiSim() {
    m_process.terminate();
    m_process.waitForFinished(5000);
  }
  QString Link(int n) const { return m_dir + "/link" + QString::number(n); }

 private:
  QString m_dir;
  QProcess m_process;
};

std::vector<QJsonObject> JsonLines(const QByteArray& out) {
  std::vector<QJsonObject> lines;
  for (const QByteArray& line : out.split('\n'))
    if (!line.trimmed().isEmpty()) lines.push_back(Json(line.toStdString()));
  return lines;
}

// Three sensors on three ports of one simulator process, through the pipe:
// one JSON line each, all passed, each with its own serial number and record;
// a locked one on a fourth port fails, and the exit status says so.
TEST(StationCommand, WritesEveryPortsSensorAndReportsEachAsAJsonLine) {
  QTemporaryDir dir;
  MultiSim sims(dir, 3);
  QTemporaryDir lockedDir;
  MultiSim locked(lockedDir, 1, {"--locked", "--serial", "900"});
  const QString db = dir.filePath("history.sqlite");
  const QString ports = sims.Link(1) + "," + sims.Link(2) + "," + sims.Link(3) + "," + locked.Link(1);
  QProcess cli;
  cli.start(RKT_CLI_PATH, {"station", QString::fromStdString(kSample), "--ports", ports, "--count", "4",
                           "--history-db", db});
  ASSERT_TRUE(cli.waitForFinished(60000));
  const std::string err = cli.readAllStandardError().toStdString();
  EXPECT_EQ(cli.exitCode(), kExitFailure) << err;
  auto lines = JsonLines(cli.readAllStandardOutput());
  ASSERT_EQ(lines.size(), 4u) << err;
  const auto refused = std::find_if(lines.begin(), lines.end(), [](auto& o) { return o["result"] == "fail"; });
  ASSERT_NE(refused, lines.end());
  EXPECT_EQ(std::tuple((*refused)["port"].toString(), (*refused)["serial"].toInt(), (*refused)["message"].toString()),
            std::tuple(locked.Link(1), 900, QString::fromStdString(MessageDisplayText(msg::kSensorLocked))));
  lines.erase(refused);
  std::set<int> serials;
  for (const QJsonObject& o : lines) {
    EXPECT_EQ(o["result"].toString(), "pass");
    EXPECT_EQ(o["after"].toString().toStdString(), FirstLine(CliOk({"code", kSample})));
    EXPECT_EQ(o["type"].toInt(), 5);
    serials.insert(o["serial"].toInt());
    const auto record = history::HistoryDb(db).Get(o["record"].toInt());
    ASSERT_TRUE(record);
    EXPECT_EQ(QString::fromStdString(record->port), o["port"].toString());
    EXPECT_EQ(record->serial, o["serial"].toInt());
  }
  EXPECT_EQ(serials, (std::set<int>{100, 101, 102}));
  EXPECT_NE(err.find("passed 3, failed 1"), std::string::npos) << err;
}

// The first Ctrl-C lets the running writes end (and they pass); two cancel
// them, each port saying so, and the status is then 1.
TEST(StationCommand, OneCtrlCFinishesTheRunningWritesTwoCancelThem) {
  for (const int presses : {1, 2}) {
    SCOPED_TRACE(presses);
    QTemporaryDir dir;
    MultiSim sims(dir, 2, {"--baud-timing"});
    const QString db = dir.filePath("history.sqlite");
    QProcess cli;
    cli.setChildProcessModifier([] { ::signal(SIGINT, SIG_DFL); });
    cli.start(RKT_CLI_PATH, {"station", QString::fromStdString(kSample), "--ports", sims.Link(1) + "," + sims.Link(2),
                             "--history-db", db});
    // Both writes have begun once both records are stored (before the first byte).
    const auto begun = [&] {
      const auto records = history::HistoryDb(db).List();
      return records && records->size() == 2;
    };
    ASSERT_TRUE(QTest::qWaitFor(begun, 30000));
    for (int i = 0; i < presses; ++i) {
      ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
      QTest::qWait(100);
    }
    ASSERT_TRUE(cli.waitForFinished(60000));
    const std::string err = cli.readAllStandardError().toStdString();
    const auto lines = JsonLines(cli.readAllStandardOutput());
    ASSERT_EQ(lines.size(), 2u) << err;
    for (const QJsonObject& o : lines) {
      EXPECT_EQ(o["result"].toString(), presses == 1 ? "pass" : "fail") << err;
      if (presses == 2) {
        EXPECT_EQ(o["outcome"].toString(), "cancelled");
      }
    }
    EXPECT_EQ(cli.exitCode(), presses == 1 ? kExitOk : kExitFailure) << err;
    EXPECT_NE(err.find(presses == 1 ? "finishing the running writes" : "cancelling the running writes"),
              std::string::npos) << err;
  }
}

}  // namespace
}  // namespace rkt::cli
