// Commands that talk to a sensor, on a serial port or on the built-in
// simulated sensor. They answer no questions: Retry is never chosen, a
// question is answered No, and Ctrl-C (or SIGTERM, SIGHUP, SIGQUIT) acts as
// the progress dialog's Cancel.
#include <QCoreApplication>
#include <cerrno>
#include <QJsonObject>
#include <QString>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/describe.h"
#include "cli/history_commands.h"
#include "history/history_db.h"
#include "link/port_list.h"
#include "link/ports.h"
#include "link/system_serial_line.h"
#include "link/sensor.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/safe_file.h"
#include "output/value_changes.h"
#include "sim/simulated_line.h"
#include "text/messages.h"
#include "text/reason_texts.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rkt::cli {

namespace {

volatile std::sig_atomic_t g_cancelled = 0;

void OnInterrupt(int number) {
  g_cancelled = 1;
  std::signal(number, SIG_DFL);
}

// One of those signals while a command runs: the first one cancels like the
// dialog's Cancel button, at the next byte boundary, and the command says
// what state the sensor is in; the same signal again ends the program at once.
class InterruptScope {
 public:
  InterruptScope() { g_cancelled = 0; }

 private:
  SignalScope m_signals{OnInterrupt};
};

class CliUser final : public link::QuietSensorUser {
 public:
  CliUser(Context& ctx, DataSet& data) : m_ctx(ctx), m_data(data) {}

  bool IncBar(int) override { return g_cancelled == 0; }
  int ShowMessageNote(int number, const std::string& note, int buttons, int help) override {
    const int answer = ShowMessage(number, buttons, help);
    if (!note.empty()) m_ctx.err << ConvertLineBreaks(note) << "\n";
    return answer;
  }
  bool ConfirmWrite(const DataSet& sensorNow, const DataSet& toWrite) override {
    changes = ValueChanges(sensorNow, toWrite);
    return !dryRun;
  }
  void NothingToWrite() override { changes.clear(); }
  int ShowMessage(int number, int buttons, int) override {
    if (number == link::kCodeUserAbort) m_cancelReported = true;
    if (number == msg::kCommunicationOk) {
      m_ctx.out << MessageDisplayText(number) << "\n";
    } else {
      m_ctx.err << MessageDisplayText(number) << "\n";
      m_reported = true;
    }
    return SafeAnswer(buttons);
  }
  void TakeSensitivity() override {
    if (m_sensitivity) m_data.SetValue(ValueId::Sensitivity, *m_sensitivity);
  }

  void SetSensitivity(int value) { m_sensitivity = value; }
  bool Reported() const { return m_reported; }
  bool CancelReported() const { return m_cancelReported; }

  bool dryRun = false;
  std::vector<ValueChange> changes;  // of the last write, in the panel's words

 private:
  Context& m_ctx;
  DataSet& m_data;
  std::optional<int> m_sensitivity;
  bool m_reported = false;
  bool m_cancelReported = false;
};

struct LinkOptions {
  std::optional<std::string> port;
  bool simulate = false;
  link::PortSettings settings;
  // Command-specific.
  bool defaults = false;
  bool json = false;
  std::optional<std::string> output;
  std::optional<std::string> trace;
  std::vector<std::string> positional;
  // write: show the changes only; the history database to use; no write
  // whose record cannot be stored.
  bool dryRun = false;
  std::optional<std::string> historyDb;
  std::optional<std::string> localHistory;  // the outbox when historyDb is a server
  bool requireHistory = false;
};

// Why the trace file cannot take the trace, or "" when it can. The trace
// replaces its file, so it must never be one of the command's own files or
// the history database on this computer (with its journal files); a FIFO or
// a device would block the program or get bytes it does not expect.
std::string TraceProblem(const std::string& trace, const std::vector<std::string>& ownFiles,
                         const std::string& historyDb) {
  namespace fs = std::filesystem;
  const fs::path path = PathFromUtf8(trace);
  for (const std::string& file : history::HistoryDbFiles(historyDb))
    if (SameFile(path, PathFromUtf8(file))) return "is the history database " + historyDb;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (fs::exists(st)) {
    if (fs::is_directory(st)) return "is a folder";
    if (fs::is_fifo(st)) return "is a FIFO";
    if (fs::is_character_file(st) || fs::is_block_file(st)) return "is a device";
    if (!fs::is_regular_file(st)) return "is not a regular file";
    for (const std::string& own : ownFiles)
      if (SameFile(path, PathFromUtf8(own))) return "is also the command's file " + own;
  }
#ifndef _WIN32
  // Non-blocking and without truncating: only whether it can be written.
  const int fd = ::open(trace.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return std::strerror(errno);
  struct stat opened {};
  const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
  ::close(fd);
  if (!regular) return "is not a regular file";
#endif
  return {};
}

// Parses the line options and those the command allows; nullopt after a
// usage error has been reported. Time-outs follow the settings file's rule:
// rounded, at most 32767; here text that is not a positive number is an error.
std::optional<LinkOptions> Parse(Context& ctx, std::string_view command, std::span<const std::string> args,
                                 bool readOptions) {
  std::vector<OptionRule> options = {{{"port"}, true}, {{"simulate"}}, {{"trace"}, true}, {{"noecho"}},
                                     {{"detect-timeout"}, true}, {{"read-timeout"}, true}};
  if (readOptions) options.insert(options.end(), {{{"defaults"}}, {{"o", "output"}, true}});
  if (readOptions || command == "write" || command == "sensitivity") options.push_back({{"json"}});
  if (command == "write") options.insert(options.end(), {{{"dry-run"}}, {{"require-history"}}});
  if (command == "write" || command == "sensitivity")
    options.insert(options.end(), {{{"history-db"}, true}, {{"local-history"}, true}});
  CommandLine line(std::move(options), CommandLine::Arguments::NumbersToo);
  if (!line.Parse(ctx, command, args)) return std::nullopt;
  LinkOptions o;
  o.port = line.Value("port");
  o.simulate = line.IsSet("simulate");
  o.trace = line.Value("trace");
  o.settings.echo = !line.IsSet("noecho");
  for (const auto& [name, timeout] : {std::pair{"detect-timeout", &o.settings.detectTimeout},
                                      std::pair{"read-timeout", &o.settings.readTimeout}}) {
    const std::optional<std::string> text = line.Value(name);
    if (!text) continue;
    bool number = false;
    QString::fromStdString(*text).toDouble(&number);
    const int ms = link::TimeoutFromSetting(*text, 0);
    if (!number || ms <= 0) {
      UsageError(ctx, command, std::string("--") + name + " needs a positive number of milliseconds");
      return std::nullopt;
    }
    *timeout = ms;
  }
  o.defaults = line.IsSet("defaults");
  o.json = line.IsSet("json");
  o.output = line.Value("output");
  o.dryRun = line.IsSet("dry-run");
  o.historyDb = line.Value("history-db");
  o.localHistory = line.Value("local-history");
  o.requireHistory = line.IsSet("require-history");
  o.positional = line.Positional();
  if (o.localHistory && !(o.historyDb && history::IsServerAddress(QString::fromStdString(*o.historyDb)))) {
    UsageError(ctx, command, "--local-history goes with a server's address as --history-db");
    return std::nullopt;
  }
  if (o.simulate == o.port.has_value()) {
    UsageError(ctx, command, "give either --port PORT or --simulate");
    return std::nullopt;
  }
  if (o.trace) {
    std::vector<std::string> ownFiles = o.positional;
    if (o.output) ownFiles.push_back(*o.output);
    EnsureCoreApplication();  // for the history's default place
    if (const std::string problem = TraceProblem(*o.trace, ownFiles, LocalHistoryPath(o.historyDb, o.localHistory));
        !problem.empty()) {
      UsageError(ctx, command, "cannot use the trace file " + *o.trace + ": " + problem);
      return std::nullopt;
    }
  }
  return o;
}

// A data set, the port and the sensor operations on it for one command.
class Session {
 public:
  // `preset`: the data set to work on (a checked parameter file), taken
  // before the port or the trace file is opened.
  Session(Context& ctx, const LinkOptions& o, const DataSet* preset = nullptr)
      : m_ctx(ctx), m_user(ctx, m_data), m_tracePath(o.trace.value_or(std::string{})) {
    if (preset) m_data = *preset;
    EnsureCoreApplication();
    std::unique_ptr<link::SerialLine> line;
    if (o.simulate) {
      sim::SimConfig config;
      config.echo = o.settings.echo;
      line = std::make_unique<sim::SimulatedLine>(std::make_shared<sim::SensorSimulator>(config));
    } else {
      line = link::MakeSystemSerialLine();
    }
    m_ports = std::make_unique<link::Ports>(std::move(line));
    m_ports->InitPorts(o.settings);
    if (o.trace) {
      if (m_trace.Open(*o.trace, o.simulate ? "SIM" : *o.port)) m_ports->SetTrace(&m_trace);
      else m_ctx.err << "rkt410-cli: the trace file " << *o.trace << " cannot be written\n";
    }
    m_ports->onOpenFailed = [this](const link::OpenFailure& f) {
      m_ctx.err << MessageDisplayText(msg::kPortInit) << "\n";
      const std::string hint = link::PermissionHint(f);
      m_ctx.err << (hint.empty() ? f.result.device + ": " + f.result.error : hint) << "\n";
      return link::kAnswerCancel;
    };
    // An empty name would only ask which port is open: say so, and fail.
    if (!o.simulate && o.port->empty())
      m_ctx.err << MessageDisplayText(msg::kPortInit) << "\n" << "--port \"\": no port named\n";
    else
      m_ports->OpenPort(o.simulate ? "SIM" : *o.port);
    m_sensor = std::make_unique<link::Sensor>(*m_ports, m_data, m_user);
  }

  bool Open() const { return m_ports->IsPortOpen(); }
  DataSet& Data() { return m_data; }
  link::Sensor& Sensor() { return *m_sensor; }
  CliUser& User() { return m_user; }

  // Exit status after an operation: a failure has printed its message
  // already, except a cancel, which the operations never report.
  int Finish(bool ok) {
    if (m_trace.IsOpen() && !m_trace.Good() && !m_traceReported) {
      m_traceReported = true;
      m_ctx.err << "rkt410-cli: the trace file " << m_tracePath << " could not be written completely\n";
    }
    if (ok) return kExitOk;
    if (g_cancelled) {
      // An interrupted write has said it already, with what it left behind.
      if (!m_user.CancelReported()) m_ctx.err << MessageDisplayText(link::kCodeUserAbort) << "\n";
    } else if (!m_user.Reported()) {
      m_ctx.err << MessageDisplayText(msg::kNoSensor) << "\n";
    }
    return kExitFailure;
  }

 private:
  Context& m_ctx;
  DataSet m_data;
  CliUser m_user;
  link::SerialTrace m_trace;
  std::string m_tracePath;
  bool m_traceReported = false;
  std::unique_ptr<link::Ports> m_ports;
  std::unique_ptr<link::Sensor> m_sensor;
};

int Ports(Context& ctx, std::span<const std::string> args) {
  if (!args.empty()) return UsageError(ctx, "ports", "takes no arguments");
  EnsureCoreApplication();
  for (const std::string& p : link::ListSerialPorts()) ctx.out << p << "\n";
  return kExitOk;
}

int Test(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "test", args, false);
  if (!o) return kExitUsage;
  if (!o->positional.empty()) return UsageError(ctx, "test", "takes no file or value");
  InterruptScope interrupt;
  Session s(ctx, *o);
  if (!s.Open()) return kExitFailure;
  return s.Finish(s.Sensor().CommunicationTest());
}

int Read(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "read", args, true);
  if (!o) return kExitUsage;
  if (!o->positional.empty()) return UsageError(ctx, "read", "takes no positional argument");
  InterruptScope interrupt;
  Session s(ctx, *o);
  if (!s.Open()) return kExitFailure;
  if (const int rc = s.Finish(s.Sensor().SensorRead(o->defaults)); rc != kExitOk) return rc;
  if (o->output) {
    const SaveResult saved = SaveParameterFile(s.Data(), *o->output);
    if (!saved.ok) {
      ctx.err << MessageDisplayText(msg::kSaveFailed) << "\n" << saved.path << ": " << saved.error << "\n";
      return kExitFailure;
    }
  }
  ctx.out << (o->json ? DescribeJson(s.Data()) : DescribeText(s.Data()));
  return kExitOk;
}

// How a write ended, for --json: done, failed, cancelled or verify-failed.
std::string ResultWord(bool ok, const link::Sensor::WriteOutcome& w) {
  if (ok) return "done";
  if (w.code == link::kCodeUserAbort || (g_cancelled && w.code <= 0)) return "cancelled";
  if (w.code == link::kCodeVerifyFailed) return "verify-failed";
  return "failed";
}

// The write with its history record and read-back check; --dry-run stops
// after reading the sensor and lists what would change.
int FinishWrite(Context& ctx, Session& s, history::Journal& history, const LinkOptions& o) {
  s.Sensor().SetJournal(&history, o.requireHistory);
  s.User().dryRun = o.dryRun;
  const bool ok = s.Sensor().SensorWrite();
  s.Sensor().SetJournal(nullptr);
  const link::Sensor::WriteOutcome& w = s.Sensor().LastWrite();
  const bool read = ok || w.declined;  // the dry run ends as declined, after reading the sensor
  if (w.written && !ok && w.recordId != 0)
    ctx.err << "rkt410-cli history --id " << w.recordId << " -o FILE.RKT\n";
  if (o.json) {
    std::string result = ResultWord(ok, w);
    if (o.dryRun && read) result = "dry-run";
    else if (w.nothingToWrite) result = "unchanged";
    ctx.out << JsonLine(QJsonDocument(QJsonObject{{"result", JsonText(result)},
                                                  {"code", w.code > 0 ? w.code : 0},
                                                  {"record", static_cast<qint64>(w.recordId)},
                                                  {"changes", ChangesJson(s.User().changes)}}));
  } else if (read && (o.dryRun || w.nothingToWrite)) {
    ctx.out << ChangesText(s.User().changes);
  }
  if (o.dryRun && read) return kExitOk;
  return s.Finish(ok);
}

int Write(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "write", args, false);
  if (!o) return kExitUsage;
  if (o->positional.size() != 1) return UsageError(ctx, "write", "expected one parameter file");
  const std::string& path = o->positional[0];
  // Read once, before the port and the trace are opened: what was checked is
  // what is sent.
  DataSet file;
  if (const LoadResult loaded = LoadParameterFileChecked(file, path); loaded.status != LoadStatus::Ok) {
    ctx.err << MessageDisplayText(msg::kInvalidFile) << "\n" << path << ": " << ReasonText(loaded.reason) << "\n";
    return kExitFailure;
  }
  EnsureCoreApplication();
  CommandJournal history(ctx, o->historyDb, o->localHistory);
  // A required history is checked before the port is opened: a database
  // that cannot take the record now stops the job before the sensor hears
  // anything. (The write checks again when it stores the record.) For a
  // server, the station's outbox must take it.
  if (o->requireHistory && !o->dryRun && !history->CheckWritable()) {
    ctx.err << MessageDisplayText(msg::kHistoryRequired) << "\n" << history->Problem() << "\n";
    return kExitFailure;
  }
  InterruptScope interrupt;
  Session s(ctx, *o, &file);
  if (!s.Open()) return kExitFailure;
  return FinishWrite(ctx, s, *history, *o);
}

// The sensitivity write, after the read, with the write's history record
// and read-back check. --json: the result, the sensitivity before, the one
// meant and the one the sensor holds (null when that is not known).
int FinishSensitivityWrite(Context& ctx, Session& s, const LinkOptions& o, int value, bool read) {
  const int before = s.Data().GetInt(ValueId::Sensitivity, kReadCopy);
  bool ok = false;
  if (read) {
    CommandJournal history(ctx, o.historyDb, o.localHistory);
    s.Sensor().SetJournal(&*history);
    s.User().SetSensitivity(value);
    ok = s.Sensor().WriteSensitivity();
    s.Sensor().SetJournal(nullptr);
  }
  const link::Sensor::WriteOutcome& w = s.Sensor().LastWrite();
  // After a failed check the read copy holds what the sensor read back.
  const bool known = ok || w.code == link::kCodeVerifyFailed;
  const int now = s.Data().GetInt(ValueId::Sensitivity, ok ? kWorkingCopy : kReadCopy);
  if (o.json) {
    ctx.out << JsonLine(QJsonDocument(QJsonObject{{"result", JsonText(ResultWord(ok, w))},
                                                  {"code", w.code > 0 ? w.code : 0},
                                                  {"record", static_cast<qint64>(w.recordId)},
                                                  {"before", read ? QJsonValue(before) : QJsonValue()},
                                                  {"after", value},
                                                  {"sensitivity", known ? QJsonValue(now) : QJsonValue()}}));
  } else if (ok) {
    ctx.out << "Empfindlichkeit: " << now << "\n";
  }
  return s.Finish(ok);
}

int Sensitivity(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "sensitivity", args, false);
  if (!o) return kExitUsage;
  const auto& pos = o->positional;
  const bool isRead = pos.size() == 1 && pos[0] == "read";
  const bool isWrite = pos.size() == 2 && pos[0] == "write";
  if (!isRead && !isWrite) return UsageError(ctx, "sensitivity", "expected 'read' or 'write VALUE'");
  int value = 0;
  if (isWrite) {
    const auto [ptr, ec] = std::from_chars(pos[1].data(), pos[1].data() + pos[1].size(), value);
    if (ec != std::errc() || ptr != pos[1].data() + pos[1].size() || value < 0 || value > 92)
      return UsageError(ctx, "sensitivity", "VALUE must be a whole number from 0 to 92");
  }
  if (isRead && (o->historyDb || o->localHistory))
    return UsageError(ctx, "sensitivity", "--history-db and --local-history go with 'write VALUE'");
  InterruptScope interrupt;
  Session s(ctx, *o);
  if (!s.Open()) return kExitFailure;
  // Both ways start by reading the sensor's two sensitivity bytes, so that a
  // write sends the second one back unchanged.
  const bool read = s.Sensor().ReadSensitivity() && s.Data().SensitivityValid() == 1;
  if (isWrite) return FinishSensitivityWrite(ctx, s, *o, value, read);
  if (const int rc = s.Finish(read); rc != kExitOk) return rc;
  const int now = s.Data().GetInt(ValueId::Sensitivity, kWorkingCopy);
  if (o->json) ctx.out << JsonLine(QJsonDocument(QJsonObject{{"sensitivity", now}}));
  else ctx.out << "Empfindlichkeit: " << now << "\n";
  return kExitOk;
}

#define RKT_LINE_OPTIONS \
  "(--port PORT | --simulate) [--noecho] [--detect-timeout MS] [--read-timeout MS] [--trace FILE]"
#define RKT_HISTORY_OPTIONS "[--history-db FILE|postgresql://USER@HOST[:PORT]/DB [--local-history FILE]]"

constexpr Command kSensorCommands[] = {
    {"ports", "", "Lists the serial ports of this computer.", Ports},
    {"test", RKT_LINE_OPTIONS, "Tests the communication with the sensor.", Test},
    {"read", RKT_LINE_OPTIONS " [--defaults] [-o FILE.RKT] [--json]",
     "Reads the sensor (its factory settings with --defaults), shows it like 'show' and with -o saves it.", Read},
    {"write", RKT_LINE_OPTIONS " [--dry-run] [--json] " RKT_HISTORY_OPTIONS " [--require-history] FILE.RKT",
     "Writes a parameter file to the sensor after checking its lock and type, reads it back to check it, and "
     "keeps the sensor's setting before the write in the history; --dry-run only lists what would change; "
     "--require-history fails (status 1) before anything is written when the history cannot store the record. "
     "With a PostgreSQL server's address as --history-db, the record goes first into the file --local-history "
     "(the user's own history by default) and from there to the server, at once or when it can be reached.",
     Write},
    {"sensitivity", RKT_LINE_OPTIONS " [--json] (read | write VALUE " RKT_HISTORY_OPTIONS ")",
     "Reads the sensor's sensitivity, or writes VALUE (0..92) and leaves the second sensitivity byte as it was; a "
     "write reads both bytes back (1040 when the sensor did not keep them) and keeps the sensor's setting before it "
     "in the history, as 'write' does.",
     Sensitivity},
};

#undef RKT_LINE_OPTIONS

}  // namespace

std::span<const Command> SensorCommands() { return kSensorCommands; }

}  // namespace rkt::cli
