#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "support/cli_run.h"
#include "support/link_rig.h"
#include "support/sim_process.h"
#include "text/messages.h"

namespace rkt::cli {
namespace {

struct CliRun {
  int rc;
  std::string out;
  std::string err;
};

CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int rc = RunCli(args, out, err);
  return {rc, out.str(), err.str()};
}

std::string Joined(const std::vector<std::string>& args) {
  std::string s;
  for (const auto& a : args) s += a + " ";
  return s;
}

const std::string kSample = std::string(RKT_SOURCE_DIR) + "/resources/samples/sample.RKT";

TEST(SensorCommands, UsageErrors) {
  const std::vector<std::vector<std::string>> rows = {
      {"read"},
      {"read", "--simulate", "--port", "/dev/ttyS0"},
      {"read", "--simulate", "--frobnicate"},
      {"test", "--simulate", "--read-timeout", "0"},
      {"test", "--simulate", "--detect-timeout", "ten"},
      {"sensitivity", "--simulate"},
      {"sensitivity", "--simulate", "write", "93"},
      {"sensitivity", "--simulate", "write", "-1"},
      {"sensitivity", "--simulate", "write", "4x"},
      {"write", "--simulate"},
      {"ports", "extra"},
  };
  for (const auto& args : rows) {
    const CliRun r = Cli(args);
    EXPECT_EQ(r.rc, kExitUsage) << Joined(args);
    EXPECT_NE(r.err.find("Usage:"), std::string::npos) << Joined(args);
  }
}

TEST(SensorCommands, SimulatedSensorReadTestAndSensitivity) {
  for (const std::string echo : {"", "--noecho"}) {
    std::vector<std::string> line = {"--simulate"};
    if (!echo.empty()) line.push_back(echo);
    auto with = [&](std::vector<std::string> args) {
      args.insert(args.begin() + 1, line.begin(), line.end());
      return args;
    };
    CliRun r = Cli(with({"test"}));
    EXPECT_EQ(r.rc, kExitOk) << echo << r.err;
    EXPECT_EQ(r.out, "Kommunikation ok!\n") << echo;

    r = Cli(with({"read", "--json"}));
    EXPECT_EQ(r.rc, kExitOk) << echo << r.err;
    EXPECT_EQ(test::Json(r.out)["typeCode"].toInt(), 1) << echo << r.out;

    r = Cli(with({"sensitivity", "write", "33"}));
    EXPECT_EQ(r.rc, kExitOk) << echo << r.err;
    EXPECT_EQ(r.out, "Empfindlichkeit: 33\n") << echo;
  }
}

// The settings file's time-out rule: rounded, and capped at 32767 ms.
TEST(SensorCommands, TimeoutsFollowTheSettingsRule) {
  // A long detection time-out would be waited out in full.
  for (const auto& [read, detect] : {std::pair{"99999", " 250"}, std::pair{"0.6", "0.6"}}) {
    const CliRun r = Cli({"test", "--simulate", "--read-timeout", read, "--detect-timeout", detect});
    EXPECT_EQ(r.rc, kExitOk) << read << " " << detect << ": " << r.err;
  }
}

TEST(SensorCommands, ReadSavesAFileThatWritesBack) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("read.RKT").toStdString();
  CliRun r = Cli({"read", "--simulate", "-o", file});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  r = Cli({"write", "--simulate", file});
  EXPECT_EQ(r.rc, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
}

TEST(SensorCommands, FailuresPrintTheMessageAndExitOne) {
  const struct {
    std::vector<std::string> args;
    int message;
  } rows[] = {
      {{"write", "--simulate", kSample}, 30},  // a type 5 file, a type 1 sensor
      {{"read", "--port", "/nonexistent/rkt-port"}, 2},
      {{"write", "--simulate", "/nonexistent/file.RKT"}, 20},
      {{"test", "--port", ""}, 2},
  };
  for (const auto& row : rows) {
    const CliRun r = Cli(row.args);
    EXPECT_EQ(r.rc, kExitFailure) << Joined(row.args);
    EXPECT_EQ(r.err.rfind(MessageDisplayText(row.message), 0), 0u) << Joined(row.args) << "\n" << r.err;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SensorCommands, TraceFilesThatWouldDamageOrBlockAreRefused) {
  QTemporaryDir dir;
  const std::string job = dir.filePath("job.RKT").toStdString();
  std::filesystem::copy_file(kSample, job);
  const std::string fifo = dir.filePath("fifo").toStdString();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.filePath("link.txt").toStdString();
  std::filesystem::create_symlink(job, link);
  const struct {
    std::vector<std::string> args;
    const char* problem;
  } rows[] = {
      {{"write", "--simulate", "--trace", job, job}, "is also the command's file"},
      {{"write", "--simulate", "--trace", link, job}, "is also the command's file"},
      {{"read", "--simulate", "-o", job, "--trace", job}, "is also the command's file"},
      {{"test", "--simulate", "--trace", fifo}, "is a FIFO"},
      {{"test", "--simulate", "--trace", "/dev/null"}, "is a device"},
      {{"test", "--simulate", "--trace", dir.path().toStdString()}, "is a folder"},
  };
  const std::string before = ReadAll(job);
  for (const auto& row : rows) {
    const CliRun r = Cli(row.args);
    EXPECT_NE(r.rc, kExitOk) << Joined(row.args);
    EXPECT_NE(r.err.find(row.problem), std::string::npos) << Joined(row.args) << "\n" << r.err;
    EXPECT_EQ(ReadAll(job), before) << Joined(row.args);
  }
}

#ifdef RKT_CLI_PATH
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
  std::vector<std::string> args = {RKT_CLI_PATH, "read", "--simulate", "--json"};
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
#endif

#ifdef RKT_SIM_PATH
// The trace named the file to write: the set checked must be the set sent.
TEST(SensorCommands, WriteWithTheTraceOnItsOwnFileSendsNothing) {
  test::SimProcess sim(RKT_SIM_PATH, {"--type", "6"});
  ASSERT_TRUE(sim.Running());
  CliRun before = Cli({"read", "--port", sim.Link(), "--json"});
  ASSERT_EQ(before.rc, kExitOk) << before.err;
  QTemporaryDir dir;
  const std::string job = dir.filePath("job.RKT").toStdString();
  std::filesystem::copy_file(kSample, job);
  const std::string bytes = ReadAll(job);
  const CliRun r = Cli({"write", "--port", sim.Link(), "--trace", job, job});
  EXPECT_NE(r.rc, kExitOk) << r.err;
  EXPECT_EQ(ReadAll(job), bytes);
  const CliRun after = Cli({"read", "--port", sim.Link(), "--json"});
  ASSERT_EQ(after.rc, kExitOk) << after.err;
  EXPECT_EQ(after.out, before.out) << "nothing was written to the sensor";
}

TEST(SensorCommands, AgainstTheSimulatorOnAPseudoTerminal) {
  for (const bool echo : {true, false}) {
    QStringList simArgs{"--type", "6"};
    if (!echo) simArgs << "--noecho";
    test::SimProcess sim(RKT_SIM_PATH, simArgs);
    ASSERT_TRUE(sim.Running());
    std::vector<std::string> line = {"--port", sim.Link()};
    if (!echo) line.push_back("--noecho");
    auto with = [&](std::vector<std::string> args) {
      args.insert(args.begin() + 1, line.begin(), line.end());
      return args;
    };
    CliRun r = Cli(with({"write", kSample}));
    ASSERT_EQ(r.rc, kExitOk) << "echo " << echo << ": " << r.err;
    r = Cli(with({"read", "--json"}));
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(test::Json(r.out)["blocks"]["parameters"].toArray(),
              (QJsonArray{21, 69, 0, 17, 13, 120, 16, 0, 0, 0, 0, 32, 0, 0, 0, 0}))
        << "echo " << echo << "\n" << r.out;
    r = Cli(with({"sensitivity", "write", "30"}));
    EXPECT_EQ(r.rc, kExitOk) << r.err;
    r = Cli(with({"sensitivity", "read"}));
    EXPECT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Empfindlichkeit: 30\n") << "echo " << echo;
  }
}

// A copy of a parameter file with both time functions on and other times.
std::string Changed(const std::string& from, const QString& to, int time1, int time2) {
  DataSet ds;
  if (LoadParameterFile(ds, from) != LoadStatus::Ok) return {};
  ds.SetValue(ValueId::TimeFunction1, 1);
  ds.SetValue(ValueId::TimeValue1, time1);
  ds.SetValue(ValueId::TimeFunction2, 1);
  ds.SetValue(ValueId::TimeValue2, time2);
  return SaveParameterFile(ds, to.toStdString()).ok ? to.toStdString() : std::string();
}

std::string CodeOf(const std::string& file) { return Cli({"code", file}).out; }

TEST(SensorCommands, WriteChecksKeepsTheSettingBeforeAndRestoresIt) {
  QTemporaryDir dir;
  // The fourth byte written (time value 1) is confirmed but not kept.
  test::SimProcess sim(RKT_SIM_PATH, {"--faults", "lost-write@4"});
  ASSERT_TRUE(sim.Running());
  const std::string db = dir.filePath("history.sqlite").toStdString();
  const std::vector<std::string> line = {"--port", sim.Link(), "--history-db", db};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, line.begin(), line.end());
    return args;
  };
  const std::string original = dir.filePath("original.RKT").toStdString();
  ASSERT_EQ(Cli({"read", "--port", sim.Link(), "-o", original}).rc, kExitOk);
  const std::string wanted = Changed(original, dir.filePath("wanted.RKT"), 40, 13);
  ASSERT_FALSE(wanted.empty());

  // The dry run lists the changes and leaves the sensor as it was.
  CliRun r = Cli(with({"write", "--dry-run", wanted}));
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "Einschaltverzögerung: 0.0 s → 4.0 s\nAusschaltzeit: 0.0 s → Ausschaltverzögerung 1.3 s\n");
  const std::string untouched = dir.filePath("untouched.RKT").toStdString();
  ASSERT_EQ(Cli({"read", "--port", sim.Link(), "-o", untouched}).rc, kExitOk);
  EXPECT_EQ(CodeOf(untouched), CodeOf(original));

  r = Cli(with({"write", "--json", wanted}));
  EXPECT_EQ(r.rc, kExitFailure);
  EXPECT_EQ(r.err.rfind(MessageDisplayText(1040), 0), 0u) << r.err;
  EXPECT_NE(r.err.find("history --id 1 -o"), std::string::npos) << r.err;
  const QJsonObject written = test::Json(r.out).object();
  EXPECT_EQ(written["result"].toString(), "verify-failed") << r.out;
  EXPECT_EQ(written["code"].toInt(), 1040);
  EXPECT_EQ(written["record"].toInt(), 1);
  EXPECT_FALSE(written["changes"].toArray().isEmpty());

  r = Cli({"history", "--history-db", db, "--json"});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  const auto code = [](const std::string& c) { return c.substr(0, c.find('\n')); };
  const QJsonObject record = test::Json(r.out)[0].toObject();
  EXPECT_EQ(record["before"].toString().toStdString(), code(CodeOf(original))) << r.out;
  EXPECT_EQ(record["after"].toString().toStdString(), code(CodeOf(wanted)));
  EXPECT_EQ(record["result"].toString(), "verify-failed");
  EXPECT_EQ(record["code"].toInt(), 1040);
  EXPECT_EQ(Cli({"history", "--history-db", db, "--serial", "1"}).out, "") << "no record of another sensor";

  // Restoring: the setting before, as a file, written back.
  const std::string before = dir.filePath("before.RKT").toStdString();
  r = Cli({"history", "--history-db", db, "--id", "1", "-o", before});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  r = Cli(with({"write", before}));
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  const std::string after = dir.filePath("after.RKT").toStdString();
  ASSERT_EQ(Cli({"read", "--port", sim.Link(), "-o", after}).rc, kExitOk);
  EXPECT_EQ(CodeOf(after), CodeOf(original)) << "the sensor is back where it was";
  r = Cli({"history", "--history-db", db, "--json"});
  const QJsonObject newest = test::Json(r.out)[0].toObject();
  EXPECT_EQ(newest["id"].toInt(), 2) << "newest first: " << r.out;
  EXPECT_EQ(newest["result"].toString(), "done");
  EXPECT_EQ(newest["code"].toInt(), 0);
}

TEST(SensorCommands, HistoryUsage) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"history", "-o", "x.RKT"}, {"history", "--serial", "abc"}, {"history", "--id", "0"}, {"history", "--id"},
           {"history", "--id", "1", "--serial", "2"}, {"history", "extra"}}) {
    const CliRun r = Cli(args);
    EXPECT_EQ(r.rc, kExitUsage) << Joined(args);
  }
}

TEST(SensorCommands, LockedSimulatorRefusesTheWrite) {
  test::SimProcess sim(RKT_SIM_PATH, {"--type", "5", "--locked"});
  ASSERT_TRUE(sim.Running());
  const CliRun r = Cli({"write", "--port", sim.Link(), kSample});
  EXPECT_EQ(r.rc, kExitFailure);
  EXPECT_EQ(r.err, MessageDisplayText(32) + "\n");
}
#endif

}  // namespace
}  // namespace rkt::cli
