#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "model/data_set.h"
#include "model/parameter_file.h"
#include "support/cli_run.h"
#include "support/sim_process.h"
#include "text/messages.h"

namespace rkt::cli {
namespace {

using test::Cli;
using test::CliResult;
using Args = std::vector<std::string>;
const std::string kSample = std::string(RKT_SOURCE_DIR) + "/resources/samples/sample.RKT";

std::string Joined(const Args& args) {
  std::string s;
  for (const auto& a : args) s += a + " ";
  return s;
}
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
// The command with the line options after its name.
Args With(Args args, const Args& line) {
  args.insert(args.begin() + 1, line.begin(), line.end());
  return args;
}

TEST(SensorCommands, SimulatedSensorReadTestSensitivityAndWriteBack) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("read.RKT").toStdString();
  for (const Args& line : {Args{"--simulate"}, Args{"--simulate", "--noecho"}}) {
    SCOPED_TRACE(Joined(line));
    CliResult r = Cli(With({"test"}, line));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Kommunikation ok!\n");
    r = Cli(With({"read", "--json"}, line));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(test::Json(r.out)["typeCode"].toInt(), 1) << r.out;
    r = Cli(With({"sensitivity", "write", "33"}, line));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Empfindlichkeit: 33\n");
    ASSERT_EQ(Cli(With({"read", "-o", file}, line)).code, kExitOk);
    r = Cli(With({"write", file}, line));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
  }
  // The settings file's time-out rule: rounded, and capped at 32767 ms (a
  // long detection time-out would be waited out in full).
  for (const auto& [read, detect] : {std::pair{"99999", " 250"}, std::pair{"0.6", "0.6"}}) {
    const CliResult r = Cli({"test", "--simulate", "--read-timeout", read, "--detect-timeout", detect});
    EXPECT_EQ(r.code, kExitOk) << read << " " << detect << ": " << r.err;
  }
}

TEST(SensorCommands, TraceFilesThatWouldDamageOrBlockAreRefused) {
  QTemporaryDir dir;
  const std::string job = dir.filePath("job.RKT").toStdString();
  std::filesystem::copy_file(kSample, job);
  const std::string fifo = dir.filePath("fifo").toStdString();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.filePath("link.txt").toStdString();
  std::filesystem::create_symlink(job, link);
  const std::string own = "is also the command's file";
  const std::pair<Args, std::string> rows[] = {
      {{"write", "--simulate", "--trace", job, job}, own},
      {{"write", "--simulate", "--trace", link, job}, own},
      {{"read", "--simulate", "-o", job, "--trace", job}, own},
      {{"test", "--simulate", "--trace", fifo}, "is a FIFO"},
      {{"test", "--simulate", "--trace", "/dev/null"}, "is a device"},
      {{"test", "--simulate", "--trace", dir.path().toStdString()}, "is a folder"},
  };
  const std::string before = ReadAll(job);
  for (const auto& [args, problem] : rows) {
    const CliResult r = Cli(args);
    EXPECT_NE(r.code, kExitOk) << Joined(args);
    EXPECT_NE(r.err.find(problem), std::string::npos) << Joined(args) << "\n" << r.err;
    EXPECT_EQ(ReadAll(job), before) << Joined(args);
  }
}

// A reader that has gone before the output comes: the command ends with a
// message and status 1 instead of being killed by SIGPIPE.
TEST(SensorCommands, ClosedOutputPipeIsReported) {
  QTemporaryDir dir;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  const std::string errFile = dir.filePath("err.txt").toStdString();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Args args = {RKT_CLI_PATH, "read", "--simulate", "--json"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, RKT_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), kExitFailure);
  EXPECT_NE(ReadAll(errFile).find("the output could not be written"), std::string::npos) << ReadAll(errFile);
}

TEST(SensorCommands, AgainstTheSimulatorOnAPseudoTerminal) {
  for (const bool echo : {true, false}) {
    test::SimProcess sim(RKT_SIM_PATH, echo ? QStringList{"--type", "6"} : QStringList{"--type", "6", "--noecho"});
    ASSERT_TRUE(sim.Running());
    const Args line = echo ? Args{"--port", sim.Link()} : Args{"--port", sim.Link(), "--noecho"};
    SCOPED_TRACE(Joined(line));
    CliResult r = Cli(With({"write", kSample}, line));
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Cli(With({"read", "--json"}, line));
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(test::Json(r.out)["blocks"]["parameters"].toArray(),
              (QJsonArray{21, 69, 0, 17, 13, 120, 16, 0, 0, 0, 0, 32, 0, 0, 0, 0})) << r.out;
    EXPECT_EQ(Cli(With({"sensitivity", "write", "30"}, line)).code, kExitOk);
    r = Cli(With({"sensitivity", "read"}, line));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Empfindlichkeit: 30\n");
  }
}

// A write whose check fails keeps the setting before in the history, from
// where it goes back to the sensor.
TEST(SensorCommands, WriteChecksKeepsTheSettingBeforeAndRestoresIt) {
  QTemporaryDir dir;
  test::SimProcess sim(RKT_SIM_PATH, {"--faults", "lost-write@4"});  // time value 1 confirmed, not kept
  ASSERT_TRUE(sim.Running());
  const std::string db = dir.filePath("history.sqlite").toStdString();
  const Args line = {"--port", sim.Link(), "--history-db", db};
  const auto readCode = [&](const char* name) {
    const std::string file = dir.filePath(name).toStdString();
    EXPECT_EQ(Cli({"read", "--port", sim.Link(), "-o", file}).code, kExitOk);
    return Cli({"code", file}).out;
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

  CliResult r = Cli(With({"write", "--dry-run", wanted}, line));
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "Einschaltverzögerung: 0.0 s → 4.0 s\nAusschaltzeit: 0.0 s → Ausschaltverzögerung 1.3 s\n");
  EXPECT_EQ(readCode("untouched.RKT"), original) << "the dry run leaves the sensor as it was";

  r = Cli(With({"write", "--json", wanted}, line));
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.err.rfind(MessageDisplayText(1040), 0), 0u) << r.err;
  EXPECT_NE(r.err.find("history --id 1 -o"), std::string::npos) << r.err;
  const QJsonObject written = test::Json(r.out).object();
  EXPECT_EQ(written["result"].toString(), "verify-failed") << r.out;
  EXPECT_EQ(written["code"].toInt(), 1040);
  EXPECT_EQ(written["record"].toInt(), 1);
  EXPECT_FALSE(written["changes"].toArray().isEmpty());

  r = Cli({"history", "--history-db", db, "--json"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const auto firstLine = [](const std::string& c) { return c.substr(0, c.find('\n')); };
  const QJsonObject record = test::Json(r.out)[0].toObject();
  EXPECT_EQ(record["before"].toString().toStdString(), firstLine(original)) << r.out;
  EXPECT_EQ(record["after"].toString().toStdString(), firstLine(Cli({"code", wanted}).out));
  EXPECT_EQ(record["result"].toString(), "verify-failed");
  EXPECT_EQ(record["code"].toInt(), 1040);
  EXPECT_EQ(Cli({"history", "--history-db", db, "--serial", "1"}).out, "") << "no record of another sensor";

  const std::string before = dir.filePath("before.RKT").toStdString();
  ASSERT_EQ(Cli({"history", "--history-db", db, "--id", "1", "-o", before}).code, kExitOk);
  r = Cli(With({"write", before}, line));
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(readCode("after.RKT"), original) << "the sensor is back where it was";
  const QJsonObject newest = test::Json(Cli({"history", "--history-db", db, "--json"}).out)[0].toObject();
  EXPECT_EQ(newest["id"].toInt(), 2) << "newest first";
  EXPECT_EQ(newest["result"].toString(), "done");
  EXPECT_EQ(newest["code"].toInt(), 0);
}

}  // namespace
}  // namespace rkt::cli
