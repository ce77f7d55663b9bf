// The production station on the command line: one setting into sensor after
// sensor on many ports at once, with a live table on a terminal and one
// JSON line per sensor on a pipe or in a log.
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <utility>

#include "cli/cli.h"
#include "cli/describe.h"
#include "cli/history_commands.h"
#include "history/history_db.h"
#include "history/plant_journal.h"
#include "link/system_serial_line.h"
#include "model/data_code.h"
#include "model/parameter_file.h"
#include "model/safe_file.h"
#include "station/station.h"
#include "text/messages.h"
#include "text/reason_texts.h"

#ifdef _WIN32
#include <io.h>
#define RKT_ISATTY _isatty
#define RKT_FILENO _fileno
#else
#include <unistd.h>
#define RKT_ISATTY ::isatty
#define RKT_FILENO ::fileno
#endif

namespace rkt::cli {

namespace {

volatile std::sig_atomic_t g_signals = 0;

void OnStationSignal(int number) {
  // The first asks the running writes to finish, the second cancels them,
  // the third ends the program at once.
  g_signals = g_signals + 1;
  if (g_signals >= 2) std::signal(number, SIG_DFL);
}

// What the history server's notices say, waiting for the output.
class ServerNotices {
 public:
  void Tell(const history::ServerNotice& n, const std::string& local) {
    const std::lock_guard lock(m_mutex);
    m_pending.push_back(n.reachable ? "the history server can be reached again; the records kept in " + local +
                                          " are being sent"
                                    : n.problem + "; the history is kept in " + local +
                                          " and sent when the server can be reached");
  }
  std::vector<std::string> Take() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_pending, {});
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_pending;
};

QJsonValue OptionalInt(const std::optional<int>& v) { return v ? QJsonValue(*v) : QJsonValue(); }

std::string ReportLine(const station::SensorReport& r) {
  return JsonLine(QJsonDocument(QJsonObject{
      {"port", JsonText(r.port)},
      {"serial", OptionalInt(r.serial)},
      {"type", OptionalInt(r.type)},
      {"before", r.before.empty() ? QJsonValue() : JsonText(r.before)},
      {"after", JsonText(r.after)},
      {"result", r.pass ? "pass" : "fail"},
      {"outcome", JsonText(r.outcome)},
      {"code", r.code},
      {"message", JsonText(r.message)},
      {"record", static_cast<qint64>(r.record)},
      {"time", JsonText(r.time)},
      {"duration_ms", static_cast<qint64>(r.durationMs)},
  }));
}

// The live table: one row a port, drawn over itself.
class LiveTable {
 public:
  explicit LiveTable(std::ostream& out) : m_out(out) {}

  void Draw(const std::vector<station::PortView>& ports, int passed, int failed, const std::string& status) {
    std::ostringstream s;
    if (m_lines > 0) s << "\x1b[" << m_lines << "F";
    std::size_t width = 4;
    for (const auto& p : ports) width = std::max(width, p.port.size());
    const auto row = [&](const std::string& line) { s << "\x1b[2K" << line << "\n"; };
    const auto pad = [](std::string text, std::size_t n) {
      text.resize(std::max(text.size(), n), ' ');
      return text;
    };
    row(pad("PORT", width) + "  " + pad("STATE", 13) + pad("SERIAL", 8) + pad("LAST", 15) + pad("PASS", 6) +
        pad("FAIL", 6) + "MESSAGE");
    for (const auto& p : ports) {
      std::string state = station::StateName(p.state);
      if (p.state == station::PortState::Writing) state += " " + std::to_string(p.progress) + "%";
      std::string message = p.message.substr(0, p.message.find('\n'));
      if (message.size() > 60) message = message.substr(0, 57) + "...";
      row(pad(p.port, width) + "  " + pad(state, 13) + pad(p.serial ? std::to_string(*p.serial) : "-", 8) +
          pad(p.outcome.empty() ? "-" : p.outcome, 15) + pad(std::to_string(p.passed), 6) +
          pad(std::to_string(p.failed), 6) + message);
    }
    row("passed " + std::to_string(passed) + ", failed " + std::to_string(failed) + (status.empty() ? "" : "  " + status));
    m_lines = static_cast<int>(ports.size()) + 2;
    m_out << s.str() << std::flush;
  }

 private:
  std::ostream& m_out;
  int m_lines = 0;
};

std::optional<DataSet> SettingFrom(Context& ctx, const std::optional<std::string>& code,
                                   const std::vector<std::string>& positional) {
  DataSet setting;
  if (code) {
    if (!positional.empty()) {
      UsageError(ctx, "station", "give either FILE.RKT or --code CODE");
      return std::nullopt;
    }
    if (!ApplyDataCode(setting, CleanDataCode(*code))) {
      ctx.err << MessageDisplayText(msg::kInvalidDataCode) << "\n";
      return std::nullopt;
    }
    setting.SetDataValid(1);
    return setting;
  }
  if (positional.size() != 1) {
    UsageError(ctx, "station", "expected one parameter file or --code CODE");
    return std::nullopt;
  }
  if (const LoadResult loaded = LoadParameterFileChecked(setting, positional[0]); loaded.status != LoadStatus::Ok) {
    ctx.err << MessageDisplayText(msg::kInvalidFile) << "\n" << positional[0] << ": " << ReasonText(loaded.reason) << "\n";
    return std::nullopt;
  }
  return setting;
}

int Station(Context& ctx, std::span<const std::string> args) {
  CommandLine line({{{"ports"}, true},
                    {{"code"}, true},
                    {{"lock"}},
                    {{"count"}, true},
                    {{"log"}, true},
                    {{"history-db"}, true},
                    {{"local-history"}, true},
                    {{"noecho"}},
                    {{"detect-timeout"}, true},
                    {{"read-timeout"}, true}});
  if (!line.Parse(ctx, "station", args)) return kExitUsage;
  const std::optional<std::string> portList = line.Value("ports");
  if (!portList) return UsageError(ctx, "station", "--ports is needed");
  station::StationConfig config;
  config.settings.echo = !line.IsSet("noecho");
  for (const auto& [name, timeout] : {std::pair{"detect-timeout", &config.settings.detectTimeout},
                                      std::pair{"read-timeout", &config.settings.readTimeout}}) {
    const std::optional<std::string> text = line.Value(name);
    if (!text) continue;
    const int ms = link::TimeoutFromSetting(*text, 0);
    if (ms <= 0) return UsageError(ctx, "station", std::string("--") + name + " needs a positive number of milliseconds");
    *timeout = ms;
  }
  if (const std::optional<std::string> count = line.Value("count")) {
    const auto [ptr, ec] = std::from_chars(count->data(), count->data() + count->size(), config.count);
    if (ec != std::errc() || ptr != count->data() + count->size() || config.count < 1)
      return UsageError(ctx, "station", "--count needs a whole number of sensors, at least 1");
  }
  config.lock = line.IsSet("lock");
  EnsureCoreApplication();
  std::vector<std::string> unmatched;
  config.ports = station::ExpandPorts(*portList, unmatched);
  if (!unmatched.empty()) return UsageError(ctx, "station", "no port matches " + unmatched.front());
  if (config.ports.empty()) return UsageError(ctx, "station", "--ports names no port");

  const std::optional<DataSet> setting = SettingFrom(ctx, line.Value("code"), line.Positional());
  if (!setting) return line.Value("code") && line.Positional().empty() ? kExitFailure : kExitUsage;
  config.setting = *setting;

  // Every record is required: checked once before the first sensor is touched.
  const std::optional<std::string> historyDb = line.Value("history-db");
  const std::optional<std::string> localHistory = line.Value("local-history");
  if (localHistory && !(historyDb && history::IsServerAddress(QString::fromStdString(*historyDb))))
    return UsageError(ctx, "station", "--local-history goes with a server's address as --history-db");
  const std::string historyPath = HistoryPath(historyDb);
  const std::string localPath = LocalHistoryPath(historyDb, localHistory);
  if (const auto journal = history::OpenJournal(historyPath, localPath); !journal->CheckWritable()) {
    ctx.err << MessageDisplayText(msg::kHistoryRequired) << "\n" << journal->Problem() << "\n";
    return kExitFailure;
  }
  // Every port has a journal of its own, and each tells of the server; the
  // station says it once each time the server goes or comes back.
  auto notices = std::make_shared<ServerNotices>();
  const history::ServerNoticeFn tell =
      history::TellOnChange([notices, localPath](const history::ServerNotice& n) { notices->Tell(n, localPath); });
  config.makeLine = [](const std::string&) { return link::MakeSystemSerialLine(); };
  config.makeJournal = [historyPath, localPath, tell](const std::string&) -> std::unique_ptr<link::WriteJournal> {
    return history::OpenJournal(historyPath, localPath, tell);
  };

  std::ofstream log;
  const std::optional<std::string> logPath = line.Value("log");
  if (logPath) {
    log.open(PathFromUtf8(*logPath), std::ios::app | std::ios::binary);
    if (!log) {
      ctx.err << "rkt410-cli: the log " << *logPath << " cannot be written\n";
      return kExitFailure;
    }
  }
  const bool terminal = &ctx.out == &std::cout && RKT_ISATTY(RKT_FILENO(stdout));
  std::ostream& lines = logPath ? static_cast<std::ostream&>(log) : ctx.out;
  const bool table = terminal;
  const bool jsonToOut = !logPath && !terminal;
  LiveTable live(ctx.out);

  g_signals = 0;
  SignalScope interrupts(OnStationSignal);
  station::Station st(config);
  st.Start();
  int handled = 0;
  bool logFailed = false;
  std::string status;
  for (;;) {
    const bool finished = st.WaitFinished(table ? 250 : 100);
    if (g_signals > handled) {
      handled = g_signals;
      st.Stop(handled >= 2 ? station::StopMode::Cancel : station::StopMode::Finish);
      status = handled >= 2 ? "cancelling the running writes" : "finishing the running writes (Ctrl-C again cancels them)";
      if (!table) ctx.err << "rkt410-cli: " << status << "\n";
    }
    for (const std::string& notice : notices->Take()) {
      if (table) status = notice;
      else ctx.err << "rkt410-cli: " << notice << "\n";
    }
    for (const station::SensorReport& r : st.TakeReports()) {
      if (!jsonToOut && !logPath) continue;
      lines << ReportLine(r) << std::flush;
      if (!lines && !logFailed) {
        // A result that cannot be kept must not be followed by more.
        logFailed = true;
        st.Stop(station::StopMode::Finish);
        status = "the log cannot be written: stopping";
        ctx.err << "rkt410-cli: the log " << logPath.value_or("output") << " could not be written; stopping\n";
      }
      if (!r.pass && !table) ctx.err << r.port << ": " << r.message.substr(0, r.message.find('\n')) << "\n";
    }
    if (table) live.Draw(st.Ports(), st.Passed(), st.Failed(), status);
    if (finished) break;
  }
  if (!table) ctx.err << "passed " << st.Passed() << ", failed " << st.Failed() << "\n";
  if (logPath) {
    log.close();
    if (!log) logFailed = true;
  }
  return st.Failed() == 0 && !logFailed ? kExitOk : kExitFailure;
}

constexpr Command kStationCommands[] = {
    {"station",
     "(FILE.RKT | --code CODE) --ports P1,P2,... [--lock] [--count N] [--log FILE.jsonl] "
     "[--history-db FILE|postgresql://USER@HOST[:PORT]/DB [--local-history FILE]] [--noecho] [--detect-timeout MS] "
     "[--read-timeout MS]",
     "Writes one setting into sensor after sensor on every port at once: waits for a sensor, checks its lock and "
     "type, keeps its setting in the history, writes, reads it back, reports PASS or FAIL and waits until it is "
     "pulled out. --ports takes names and patterns (/dev/serial/by-id/*); --lock switches the programming lock on; "
     "--count stops after N sensors in all. A terminal shows a live table, a pipe or --log gets one JSON line per "
     "sensor. Ctrl-C lets the running writes finish, a second Ctrl-C cancels them. Status 0 only when every sensor "
     "passed.",
     Station},
};

}  // namespace

std::span<const Command> StationCommands() { return kStationCommands; }

}  // namespace rkt::cli
