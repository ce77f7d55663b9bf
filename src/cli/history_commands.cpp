// The history of sensor writes: list the records, show one, and save the
// setting a sensor had before a write as a parameter file.
#include "cli/history_commands.h"

#include <QCoreApplication>
#include <charconv>
#include <cstdio>
#include <limits>
#include <ostream>
#include <sstream>

#include "cli/cli.h"
#include "cli/describe.h"
#include "history/history_db.h"
#include "model/parameter_file.h"
#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt::cli {

std::string HistoryPath(const std::optional<std::string>& option) {
  return option ? *option : history::HistoryDb::DefaultPath().toStdString();
}

std::string ChangesJson(const std::vector<ValueChange>& changes) {
  std::string out = "[";
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const ValueChange& c = changes[i];
    out += i ? ", " : "";
    out += "{\"label\": " + JsonString(c.label) + ", \"before\": " + JsonString(c.before) +
           ", \"after\": " + JsonString(c.after) + "}";
  }
  return out + "]";
}

std::string ChangesText(const std::vector<ValueChange>& changes) {
  if (changes.empty()) return Text("Message", "NoChanges") + "\n";
  std::string out;
  for (const ValueChange& c : changes) out += c.label + " " + c.before + " → " + c.after + "\n";
  return out;
}

namespace {

void EnsureApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "rkt410-cli";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

std::vector<ValueChange> ChangesOf(const history::HistoryEntry& e) {
  return ValueChanges(history::SettingOf(e, true), history::SettingOf(e, false));
}

std::string EntryJson(const history::HistoryEntry& e) {
  std::ostringstream out;
  out << "{\"id\": " << e.id << ", \"time\": " << JsonString(e.time) << ", \"port\": " << JsonString(e.port)
      << ", \"serial\": " << e.serial << ", \"type\": " << e.type << ", \"version\": " << JsonString(e.version)
      << ", \"before\": " << JsonString(e.codeBefore) << ", \"after\": " << JsonString(e.codeAfter)
      << ", \"result\": " << JsonString(e.result) << ", \"code\": " << e.code
      << ", \"changes\": " << ChangesJson(ChangesOf(e)) << "}";
  return out.str();
}

std::string EntryText(const history::HistoryEntry& e) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%05d", e.serial);
  std::ostringstream out;
  out << e.id << "  " << e.time << "  " << e.port << "  " << serial << "  Typ " << e.type << "  " << e.result;
  if (e.code != 0) out << " (" << e.code << ")";
  out << "  " << e.codeBefore << " → " << e.codeAfter << "\n";
  for (const ValueChange& c : ChangesOf(e)) out << "    " << c.label << " " << c.before << " → " << c.after << "\n";
  return out.str();
}

std::optional<long long> ParseNumber(const std::string& s, long long lo, long long hi) {
  long long v = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || ptr != s.data() + s.size() || v < lo || v > hi) return std::nullopt;
  return v;
}

int History(Context& ctx, std::span<const std::string> args) {
  std::optional<std::string> db;
  std::optional<std::string> output;
  std::optional<int> serial;
  std::optional<long long> id;
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--json") {
      json = true;
    } else if ((a == "--history-db" || a == "-o" || a == "--output" || a == "--serial" || a == "--id") && !hasValue) {
      return UsageError(ctx, "history", a + " needs a value");
    } else if (a == "--history-db") {
      db = args[++i];
    } else if (a == "-o" || a == "--output") {
      output = args[++i];
    } else if (a == "--serial") {
      const auto v = ParseNumber(args[++i], 0, 65535);
      if (!v) return UsageError(ctx, "history", "--serial needs a number from 0 to 65535");
      serial = static_cast<int>(*v);
    } else if (a == "--id") {
      id = ParseNumber(args[++i], 1, std::numeric_limits<long long>::max());
      if (!id) return UsageError(ctx, "history", "--id needs a record number");
    } else {
      return UsageError(ctx, "history", "unknown argument '" + a + "'");
    }
  }
  if (output && !id) return UsageError(ctx, "history", "-o needs --id");
  if (id && serial) return UsageError(ctx, "history", "give --id or --serial, not both");
  EnsureApp();
  history::HistoryDb history(QString::fromStdString(HistoryPath(db)));
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
    ctx.out << (json ? EntryJson(*entry) + "\n" : EntryText(*entry));
    return kExitOk;
  }
  const auto entries = history.List(serial);
  if (!entries) {
    ctx.err << "rkt410-cli: " << history.Error() << "\n";
    return kExitFailure;
  }
  if (json) {
    ctx.out << "[";
    for (std::size_t i = 0; i < entries->size(); ++i) ctx.out << (i ? ",\n " : "") << EntryJson((*entries)[i]);
    ctx.out << "]\n";
  } else {
    for (const auto& e : *entries) ctx.out << EntryText(e);
  }
  return kExitOk;
}

constexpr Command kHistoryCommands[] = {
    {"history", "[--serial N | --id ID [-o FILE.RKT]] [--json] [--history-db FILE]",
     "Lists the sensor writes, newest first, with the setting before and after each; with --id and -o saves the "
     "setting a sensor had before that write as a parameter file.",
     History},
};

}  // namespace

std::span<const Command> HistoryCommands() { return kHistoryCommands; }

}  // namespace rkt::cli
