// The history of sensor writes: list the records, show one, and save the
// setting a sensor had before a write as a parameter file.
#include "cli/history_commands.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <charconv>
#include <cstdio>
#include <limits>
#include <ostream>
#include <sstream>

#include "cli/cli.h"
#include "cli/describe.h"
#include "history/history_db.h"
#include "history/plant_journal.h"
#include "model/parameter_file.h"
#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt::cli {

std::string HistoryPath(const std::optional<std::string>& option) {
  return option ? *option : history::HistoryDb::DefaultPath().toStdString();
}

std::string LocalHistoryPath(const std::optional<std::string>& historyDb,
                             const std::optional<std::string>& localHistory) {
  if (historyDb && history::IsServerAddress(QString::fromStdString(*historyDb))) return HistoryPath(localHistory);
  return HistoryPath(historyDb);
}

CommandJournal::CommandJournal(Context& ctx, const std::optional<std::string>& historyDb,
                               const std::optional<std::string>& localHistory)
    : m_ctx(ctx), m_local(LocalHistoryPath(historyDb, localHistory)) {
  m_journal = history::OpenJournal(HistoryPath(historyDb), m_local, [this](const history::ServerNotice& n) {
    const std::lock_guard lock(m_mutex);
    if (!n.reachable)
      m_notices.push_back("rkt410-cli: " + n.problem + "; the history is kept in " + m_local +
                          " and sent when the server can be reached\n");
    else
      m_notices.push_back("rkt410-cli: the history server has got the " + std::to_string(n.sent) +
                          " record(s) kept in " + m_local + "\n");
  });
}

CommandJournal::~CommandJournal() {
  m_journal.reset();
  for (const std::string& notice : m_notices) m_ctx.err << notice;
}

QJsonArray ChangesJson(const std::vector<ValueChange>& changes) {
  QJsonArray out;
  for (const ValueChange& c : changes)
    out.append(QJsonObject{{"label", JsonText(c.label)}, {"before", JsonText(c.before)}, {"after", JsonText(c.after)}});
  return out;
}

std::string ChangesText(const std::vector<ValueChange>& changes) {
  if (changes.empty()) return Text("Message", "NoChanges") + "\n";
  std::string out;
  for (const ValueChange& c : changes) out += c.label + " " + c.before + " → " + c.after + "\n";
  return out;
}

namespace {

std::vector<ValueChange> ChangesOf(const history::HistoryEntry& e) {
  return ValueChanges(history::SettingOf(e, true), history::SettingOf(e, false));
}

// After a failed check: the values the sensor did not take, with what it
// holds instead; none when the record does not know.
std::vector<ValueChange> NotTaken(const history::HistoryEntry& e) {
  const std::optional<DataSet> held = history::HeldSettingOf(e);
  if (!held) return {};
  std::vector<ValueChange> out;
  for (ValueChange& c : WriteOutcome(history::SettingOf(e, true), history::SettingOf(e, false), *held))
    if (c.notTaken) out.push_back(std::move(c));
  return out;
}

QJsonObject EntryJson(const history::HistoryEntry& e) {
  QJsonArray notTaken;
  for (const ValueChange& c : NotTaken(e))
    notTaken.append(QJsonObject{{"label", JsonText(c.label)}, {"after", JsonText(c.after)}, {"kept", JsonText(c.held)}});
  return {{"id", static_cast<qint64>(e.id)},  {"time", JsonText(e.time)},
          {"port", JsonText(e.port)},         {"serial", e.serial},
          {"type", e.type},                   {"version", JsonText(e.version)},
          {"kind", JsonText(e.kind)},         {"before", JsonText(e.codeBefore)},
          {"after", JsonText(e.codeAfter)},   {"kept", JsonText(e.codeKept)},
          {"result", JsonText(e.result)},     {"code", e.code},
          {"station", JsonText(e.station)},   {"uid", JsonText(e.uid)},
          {"changes", ChangesJson(ChangesOf(e))}, {"notTaken", notTaken}};
}

// plant: the records of many stations, each with its station's name.
std::string EntryText(const history::HistoryEntry& e, bool plant) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%05d", e.serial);
  std::ostringstream out;
  out << e.id << "  " << e.time << "  " << (plant ? e.station + "  " : std::string()) << e.port << "  " << serial << "  Typ " << e.type << "  " << e.result;
  if (e.code != 0) out << " (" << e.code << ")";
  out << "  " << e.codeBefore << " → " << e.codeAfter << "\n";
  for (const ValueChange& c : ChangesOf(e)) out << "    " << c.label << " " << c.before << " → " << c.after << "\n";
  if (!e.codeKept.empty()) out << "    " << Text("frmHistory", "colHeld") << ": " << e.codeKept << "\n";
  for (const ValueChange& c : NotTaken(e))
    out << "    " << Text("frmHistory", "notTaken") << ": " << c.label << " " << c.after << " (" << Text("frmHistory", "colHeld")
        << ": " << c.held << ")\n";
  return out.str();
}

std::optional<long long> ParseNumber(const std::string& s, long long lo, long long hi) {
  long long v = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || ptr != s.data() + s.size() || v < lo || v > hi) return std::nullopt;
  return v;
}

int History(Context& ctx, std::span<const std::string> args) {
  CommandLine line({{{"json"}}, {{"history-db"}, true}, {{"o", "output"}, true}, {{"serial"}, true}, {{"id"}, true}},
                   CommandLine::Arguments::None);
  if (!line.Parse(ctx, "history", args)) return kExitUsage;
  const std::optional<std::string> db = line.Value("history-db");
  const std::optional<std::string> output = line.Value("output");
  const bool json = line.IsSet("json");
  std::optional<int> serial;
  std::optional<long long> id;
  if (const auto text = line.Value("serial")) {
    const auto v = ParseNumber(*text, 0, 65535);
    if (!v) return UsageError(ctx, "history", "--serial needs a number from 0 to 65535");
    serial = static_cast<int>(*v);
  }
  if (const auto text = line.Value("id")) {
    id = ParseNumber(*text, 1, std::numeric_limits<long long>::max());
    if (!id) return UsageError(ctx, "history", "--id needs a record number");
  }
  if (output && !id) return UsageError(ctx, "history", "-o needs --id");
  if (id && serial) return UsageError(ctx, "history", "give --id or --serial, not both");
  EnsureCoreApplication();
  history::HistoryDb history(QString::fromStdString(HistoryPath(db)));
  const bool plant = db && history::IsServerAddress(QString::fromStdString(*db));
  if (id) {
    const auto entry = history.Get(*id);
    if (!entry) {
      ctx.err << "rkt410-cli: " << history.Error() << "\n";
      return kExitFailure;
    }
    if (output) {
      DataSet setting = history::SettingOf(*entry, true);
      const SaveResult saved = SaveParameterFile(setting, *output);
      if (!saved.ok) {
        ctx.err << MessageDisplayText(msg::kSaveFailed) << "\n" << saved.path << ": " << saved.error << "\n";
        return kExitFailure;
      }
      return kExitOk;
    }
    ctx.out << (json ? JsonLine(QJsonDocument(EntryJson(*entry))) : EntryText(*entry, plant));
    return kExitOk;
  }
  const auto entries = history.List(serial);
  if (!entries) {
    ctx.err << "rkt410-cli: " << history.Error() << "\n";
    return kExitFailure;
  }
  if (json) {
    QJsonArray all;
    for (const auto& e : *entries) all.append(EntryJson(e));
    ctx.out << JsonLine(QJsonDocument(all));
  } else {
    for (const auto& e : *entries) ctx.out << EntryText(e, plant);
  }
  return kExitOk;
}

constexpr Command kHistoryCommands[] = {
    {"history", "[--serial N | --id ID [-o FILE.RKT]] [--json] [--history-db FILE|postgresql://USER@HOST[:PORT]/DB]",
     "Lists the sensor writes, newest first, with the setting before and after each; with --id and -o saves the "
     "setting a sensor had before that write as a parameter file. With a server's address, the writes of all the "
     "stations that keep their history there.",
     History},
};

}  // namespace

std::span<const Command> HistoryCommands() { return kHistoryCommands; }

}  // namespace rkt::cli
