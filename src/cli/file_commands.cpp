// Commands on parameter files and data codes; they need no sensor.
#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/describe.h"
#include "model/data_code.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "text/messages.h"
#include "text/reason_texts.h"

namespace rkt::cli {

namespace {

struct Options {
  std::vector<std::string> positional;
  bool json = false;
  std::optional<std::string> output;
};

// Parses [--json] [-o FILE] around positional arguments; nullopt after a
// usage error has been reported.
std::optional<Options> Parse(Context& ctx, std::string_view command, std::span<const std::string> args,
                             bool allowJson, bool allowOutput) {
  std::vector<OptionRule> options;
  if (allowJson) options.push_back({{"json"}});
  if (allowOutput) options.push_back({{"o", "output"}, true, "-o needs a file name"});
  CommandLine line(std::move(options));
  if (!line.Parse(ctx, command, args)) return std::nullopt;
  return Options{line.Positional(), line.IsSet("json"), line.Value("output")};
}

int Fail(Context& ctx, int message, const std::string& detail = {}) {
  ctx.err << MessageDisplayText(message) << "\n";
  if (!detail.empty()) ctx.err << detail << "\n";
  return kExitFailure;
}

// Loads a parameter file or reports why it cannot be used.
int Load(Context& ctx, DataSet& ds, const std::string& path) {
  const LoadResult loaded = LoadParameterFileChecked(ds, path);
  if (loaded.status == LoadStatus::Ok) return kExitOk;
  return Fail(ctx, msg::kInvalidFile, path + ": " + ReasonText(loaded.reason));
}

int Show(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "show", args, true, false);
  if (!o) return kExitUsage;
  if (o->positional.size() != 1) return UsageError(ctx, "show", "expected one parameter file");
  DataSet ds;
  if (const int rc = Load(ctx, ds, o->positional[0]); rc != kExitOk) return rc;
  ctx.out << (o->json ? DescribeJson(ds) : DescribeText(ds));
  return kExitOk;
}

int Code(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "code", args, false, false);
  if (!o) return kExitUsage;
  if (o->positional.size() != 1) return UsageError(ctx, "code", "expected one parameter file");
  DataSet ds;
  if (const int rc = Load(ctx, ds, o->positional[0]); rc != kExitOk) return rc;
  ctx.out << EncodeDataCode(ds) << "\n";
  return kExitOk;
}

int Decode(Context& ctx, std::span<const std::string> args) {
  const auto o = Parse(ctx, "decode", args, true, true);
  if (!o) return kExitUsage;
  if (o->positional.size() != 1) return UsageError(ctx, "decode", "expected one data code");
  // Typed codes are taken as the data code dialog takes them: upper case,
  // blanks between the groups as dashes.
  const std::string code = CleanDataCode(o->positional[0]);
  DataSet ds;
  if (!ApplyDataCode(ds, code)) return Fail(ctx, msg::kInvalidDataCode);
  if (o->output) {
    const SaveResult saved = SaveParameterFile(ds, *o->output);
    if (!saved.ok) return Fail(ctx, msg::kSaveFailed, saved.path + ": " + saved.error);
  }
  ctx.out << (o->json ? DescribeJson(ds) : DescribeText(ds));
  return kExitOk;
}

constexpr Command kFileCommands[] = {
    {"show", "FILE.RKT [--json]", "Shows a parameter file: identification, data code, comment and every setting.",
     Show},
    {"code", "FILE.RKT", "Prints the data code of a parameter file.", Code},
    {"decode", "CODE [-o FILE.RKT] [--json]",
     "Checks a data code, shows the setting it carries and with -o saves it as a parameter file.", Decode},
};

}  // namespace

std::span<const Command> FileCommands() { return kFileCommands; }

}  // namespace rkt::cli
