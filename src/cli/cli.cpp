#include "cli/cli.h"

#include <cctype>
#include <csignal>
#include <ostream>

#include <QCoreApplication>

#include "rkt_version.h"

namespace rkt::cli {

namespace {

std::vector<std::span<const Command>> AllAreas() { return {FileCommands(), SensorCommands(), StationCommands(), HistoryCommands(), OutputCommands()}; }

const Command* Find(std::string_view name) {
  for (const auto area : AllAreas())
    for (const Command& c : area)
      if (c.name == name) return &c;
  return nullptr;
}

void PrintHelp(std::ostream& os) {
  os << "rkt410-cli " << RKT_VERSION_STRING << " - RKT 410 Parametrierung\n\n"
     << "Usage: rkt410-cli COMMAND [ARGS]\n\nCommands:\n";
  for (const auto area : AllAreas()) {
    for (const Command& c : area) {
      std::string head = "  " + std::string(c.name) + " " + std::string(c.usage);
      os << head << "\n      " << c.summary << "\n";
    }
  }
  os << "\nExit status: 0 success, 1 invalid input or failed operation, 2 usage error.\n";
}

}  // namespace

namespace {
std::filesystem::path& ProgramDirStorage() {
  static std::filesystem::path dir = std::filesystem::current_path();
  return dir;
}
}  // namespace

void SetProgramDir(const std::filesystem::path& dir) { ProgramDirStorage() = dir; }
const std::filesystem::path& ProgramDir() { return ProgramDirStorage(); }

void EnsureCoreApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "rkt410-cli";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

SignalScope::SignalScope(void (*handler)(int)) {
  for (const int number : {SIGINT, SIGTERM,
#ifdef SIGHUP
                           SIGHUP,
#endif
#ifdef SIGQUIT
                           SIGQUIT,
#endif
       }) {
    void (*previous)(int) = std::signal(number, handler);
    if (previous == SIG_IGN) std::signal(number, SIG_IGN);
    m_previous.emplace_back(number, previous);
  }
}

SignalScope::~SignalScope() {
  for (const auto& [number, previous] : m_previous) std::signal(number, previous == SIG_ERR ? SIG_DFL : previous);
}

int UsageError(Context& ctx, std::string_view command, std::string_view problem) {
  if (!problem.empty()) ctx.err << "rkt410-cli: " << problem << "\n";
  if (const Command* c = Find(command)) {
    ctx.err << "Usage: rkt410-cli " << c->name << " " << c->usage << "\n";
  } else {
    ctx.err << "Usage: rkt410-cli COMMAND [ARGS]   (rkt410-cli --help lists the commands)\n";
  }
  return kExitUsage;
}

namespace {
// Arguments that are not options pass through the parser as this mark and
// their index: file names that are not UTF-8 keep their bytes, and "-5" can
// be a value.
constexpr QChar kMark = u'\x1f';

std::string Dashed(const QString& name) { return (name.size() == 1 ? "-" : "--") + name.toStdString(); }
}  // namespace

CommandLine::CommandLine(std::vector<OptionRule> options, Arguments arguments)
    : m_options(std::move(options)), m_arguments(arguments) {
  // "-output" is "--output"; only "-o" is short.
  m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const OptionRule& rule : m_options) {
    QCommandLineOption option(rule.names);
    if (rule.takesValue) option.setValueName(QStringLiteral("VALUE"));
    m_parser.addOption(option);
  }
}

std::string CommandLine::Original(const QString& token) const {
  bool ok = false;
  const qulonglong i = token.startsWith(kMark) ? token.mid(1).toULongLong(&ok) : 0;
  return ok && i < m_args.size() ? m_args[i] : token.toStdString();
}

// The parser warns about names it was not given; a command asks only whether
// an option it does not have was set.
bool CommandLine::Known(const QString& name) const {
  for (const OptionRule& rule : m_options)
    if (rule.names.contains(name)) return true;
  return false;
}

bool CommandLine::IsSet(const QString& name) const { return Known(name) && m_parser.isSet(name); }

std::optional<std::string> CommandLine::Value(const QString& name) const {
  if (!IsSet(name)) return std::nullopt;
  return Original(m_parser.value(name));
}

bool CommandLine::Parse(Context& ctx, std::string_view command, std::span<const std::string> args) {
  m_args = args;
  QStringList tokens{QStringLiteral("rkt410-cli")};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool number =
        m_arguments == Arguments::NumbersToo && a.size() > 1 && std::isdigit(static_cast<unsigned char>(a[1]));
    if (a.size() > 1 && a[0] == '-' && !number) tokens << QString::fromStdString(a);
    else tokens << kMark + QString::number(i);
  }
  const std::string unknown = m_arguments == Arguments::None ? "unknown argument '" : "unknown option '";
  if (!m_parser.parse(tokens)) {
    std::string problem = m_parser.errorText().toStdString();
    if (const QStringList names = m_parser.unknownOptionNames(); !names.isEmpty()) {
      // As typed: "-bogus", "--bogus=1".
      std::string typed = Dashed(names.front());
      for (const std::string& a : args) {
        const std::size_t from = a.find_first_not_of('-');
        if (a.size() > 1 && a[0] == '-' && from != std::string::npos &&
            a.substr(from, a.find('=') - from) == names.front().toStdString()) {
          typed = a;
          break;
        }
      }
      problem = unknown + typed + "'";
    } else {
      for (const OptionRule& rule : m_options)
        for (const QString& name : rule.names)
          if (rule.takesValue && !args.empty() && args.back() == Dashed(name))
            problem = *rule.missingValue ? rule.missingValue : args.back() + " needs a value";
    }
    UsageError(ctx, command, problem);
    return false;
  }
  m_positional.clear();
  for (const QString& token : m_parser.positionalArguments()) {
    if (m_arguments == Arguments::None) {
      UsageError(ctx, command, unknown + Original(token) + "'");
      return false;
    }
    m_positional.push_back(Original(token));
  }
  return true;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Context ctx{out, err};
  if (args.empty()) return UsageError(ctx, "", "no command given");
  const std::string& name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp(out);
    return kExitOk;
  }
  if (name == "--version") {
    out << "rkt410-cli " << RKT_VERSION_STRING << "\n";
    return kExitOk;
  }
  const Command* command = Find(name);
  if (!command) return UsageError(ctx, "", "unknown command '" + name + "'");
  const std::span<const std::string> rest(args.data() + 1, args.size() - 1);
  for (const std::string& a : rest) {
    if (a == "--help" || a == "-h") {
      out << "Usage: rkt410-cli " << command->name << " " << command->usage << "\n  " << command->summary << "\n";
      return kExitOk;
    }
  }
  const int code = command->run(ctx, rest);
  // Output that did not arrive (a closed pipe, a full disk) is a failure.
  out.flush();
  if (!out) {
    err << "rkt410-cli: the output could not be written\n";
    return kExitFailure;
  }
  return code;
}

}  // namespace rkt::cli
