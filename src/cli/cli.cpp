#include "cli/cli.h"

#include <ostream>

#include "rkt_version.h"

namespace rkt::cli {

namespace {

std::vector<std::span<const Command>> AllAreas() { return {FileCommands(), SensorCommands(), HistoryCommands(), OutputCommands()}; }

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

int UsageError(Context& ctx, std::string_view command, std::string_view problem) {
  if (!problem.empty()) ctx.err << "rkt410-cli: " << problem << "\n";
  if (const Command* c = Find(command)) {
    ctx.err << "Usage: rkt410-cli " << c->name << " " << c->usage << "\n";
  } else {
    ctx.err << "Usage: rkt410-cli COMMAND [ARGS]   (rkt410-cli --help lists the commands)\n";
  }
  return kExitUsage;
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
