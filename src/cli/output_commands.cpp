// Datasheet output from the command line: the TXT/CSV export and the printed
// datasheet as a PDF file, for production lines without a printer dialog.
#include <QGuiApplication>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "text/language.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "output/datasheet_print.h"
#include "output/export.h"
#include "text/messages.h"
#include "text/reason_texts.h"

namespace rkt::cli {

namespace {

struct Options {
  std::string input;
  std::string output;
};

// FILE.RKT -o OUT [--lang NAME]; nullopt after the error has been reported
// (exit code in `code`).
std::optional<Options> Parse(Context& ctx, std::string_view command, std::span<const std::string> args, int& code) {
  Options o;
  code = kExitUsage;
  CommandLine line({{{"o", "output"}, true}, {{"lang"}, true}});
  if (!line.Parse(ctx, command, args)) return std::nullopt;
  const std::vector<std::string>& positional = line.Positional();
  o.output = line.Value("output").value_or(std::string{});
  const std::optional<std::string> language = line.Value("lang");
  if (positional.size() != 1) {
    UsageError(ctx, command, "expected one parameter file");
    return std::nullopt;
  }
  if (o.output.empty()) {
    UsageError(ctx, command, "-o OUT is required");
    return std::nullopt;
  }
  if (language) {
    FindLanguages(LanguageFolders(ProgramDir()));
    if (!SelectLanguageByName(*language)) {
      ctx.err << "rkt410-cli: --lang " << *language << ": no such language; available:";
      for (int i = 0; !GetLanguageName(i).empty(); ++i) ctx.err << (i ? ", " : " ") << GetLanguageName(i);
      ctx.err << "\n";
      code = kExitFailure;
      return std::nullopt;
    }
  }
  o.input = positional.front();
  return o;
}

int Load(Context& ctx, DataSet& ds, const std::string& path) {
  const LoadResult loaded = LoadParameterFileChecked(ds, path);
  if (loaded.status == LoadStatus::Ok) return kExitOk;
  ctx.err << MessageDisplayText(msg::kInvalidFile) << "\n" << path << ": " << ReasonText(loaded.reason) << "\n";
  return kExitFailure;
}

int Report(Context& ctx, const OutputResult& result) {
  if (result.ok) return kExitOk;
  ctx.err << result.error << "\n";
  return kExitFailure;
}

int Export(Context& ctx, std::span<const std::string> args) {
  int code = kExitOk;
  const auto o = Parse(ctx, "export", args, code);
  if (!o) return code;
  DataSet ds;
  if (const int rc = Load(ctx, ds, o->input); rc != kExitOk) return rc;
  return Report(ctx, ExportDatasheet(ds, o->output));
}

// Fonts and painting need a QGuiApplication. The command line has no window,
// so on Linux it uses the offscreen platform unless the caller chose one.
// Windows keeps its own platform, which needs no display and is the one that
// knows the system's fonts.
bool EnsureGuiApplication() {
  if (QCoreApplication::instance()) return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
#if !defined(_WIN32)
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  static int argc = 1;
  static char name[] = "rkt410-cli";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; the command line may print more than once.
  new QGuiApplication(argc, argv);
  return true;
}

int Print(Context& ctx, std::span<const std::string> args) {
  int code = kExitOk;
  const auto o = Parse(ctx, "print", args, code);
  if (!o) return code;
  DataSet ds;
  if (const int rc = Load(ctx, ds, o->input); rc != kExitOk) return rc;
  if (!EnsureGuiApplication()) {
    ctx.err << "rkt410-cli: printing needs a graphical application object\n";
    return kExitFailure;
  }
  return Report(ctx, PrintDatasheetToPdf(ds, o->output));
}

constexpr Command kOutputCommands[] = {
    {"export", "FILE.RKT -o OUT.TXT|OUT.CSV [--lang NAME]",
     "Exports the datasheet of a parameter file as text, or as CSV when OUT ends in \"csv\" (Windows-1252, CR LF).",
     Export},
    {"print", "FILE.RKT -o OUT.PDF [--lang NAME]",
     "Prints the datasheet of a parameter file, with its comment, into an A4 PDF file.", Print},
};

}  // namespace

std::span<const Command> OutputCommands() { return kOutputCommands; }

}  // namespace rkt::cli
