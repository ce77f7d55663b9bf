#pragma once

#include <QCommandLineParser>
#include <filesystem>
#include <optional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The command line for production lines and scripts: answers no questions,
// prints UTF-8, and exits 0 on success, 1 for invalid input or a failed
// operation (the program's own message on standard error), 2 for a usage
// error (the usage on standard error).
namespace rkt::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Context {
  std::ostream& out;
  std::ostream& err;
};

struct Command {
  std::string_view name;
  std::string_view usage;    // the arguments, e.g. "FILE.RKT [--json]"
  std::string_view summary;  // one line for --help
  int (*run)(Context& ctx, std::span<const std::string> args);
};

// The commands of each area, in the order --help lists them.
std::span<const Command> FileCommands();
std::span<const Command> SensorCommands();
std::span<const Command> OutputCommands();
std::span<const Command> HistoryCommands();
std::span<const Command> StationCommands();

// The folder the program runs from; language files are looked for there
// (and in share/rkt410 beside it).
void SetProgramDir(const std::filesystem::path& dir);
const std::filesystem::path& ProgramDir();

// While it lives, the signals that end a command (Ctrl-C, and what a closed
// terminal, a service manager's stop or the quit key send) go to handler
// instead; one the caller ignores (nohup, a background job) stays ignored.
// Ended at once, a write would leave the sensor half-written with nobody
// told and its history record open.
class SignalScope {
 public:
  explicit SignalScope(void (*handler)(int));
  ~SignalScope();
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;

 private:
  std::vector<std::pair<int, void (*)(int)>> m_previous;
};

// Runs one command line (without the program name).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Makes sure a Qt application exists (the sensor's waits and the history
// database need one); it lives until the process ends.
void EnsureCoreApplication();

// Writes the usage of one command to ctx.err and returns kExitUsage.
int UsageError(Context& ctx, std::string_view command, std::string_view problem);

// One option of a command: its names as typed without dashes ("o", "output"),
// whether it takes a value, and the problem shown when the value is missing
// ("" for "OPTION needs a value").
struct OptionRule {
  QStringList names;
  bool takesValue = false;
  const char* missingValue = "";
};

// The options and arguments of one command, parsed by QCommandLineParser.
class CommandLine {
 public:
  // Whether the command takes arguments besides its options, and whether
  // "-5" is one of them or an unknown option.
  enum class Arguments { Allowed, NumbersToo, None };

  explicit CommandLine(std::vector<OptionRule> options, Arguments arguments = Arguments::Allowed);
  // False after the usage error has been reported.
  bool Parse(Context& ctx, std::string_view command, std::span<const std::string> args);

  bool IsSet(const QString& name) const;
  std::optional<std::string> Value(const QString& name) const;
  const std::vector<std::string>& Positional() const { return m_positional; }

 private:
  std::string Original(const QString& token) const;
  bool Known(const QString& name) const;

  QCommandLineParser m_parser;
  std::vector<OptionRule> m_options;
  Arguments m_arguments;
  std::span<const std::string> m_args;
  std::vector<std::string> m_positional;
};

}  // namespace rkt::cli
