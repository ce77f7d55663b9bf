#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "support/cli_run.h"
#include "text/language.h"
#include "test_data.h"

namespace rkt::cli {
namespace {

const std::string kSample = std::string(RKT_SOURCE_DIR) + "/resources/samples/sample.RKT";

using test::Cli;
using test::CliResult;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CliOutput, ExportChoosesTheFormatByName) {
  test::TempDir dir;
  const CliResult txt = Cli({"export", kSample, "-o", dir.Path("a.TXT")});
  ASSERT_EQ(txt.code, kExitOk) << txt.err;
  EXPECT_EQ(ReadFile(dir.Path("a.TXT")).rfind("RKT 410 - Parametereinstellung\r\n", 0), 0u);

  const CliResult csv = Cli({"export", kSample, "--output", dir.Path("a.csv")});
  ASSERT_EQ(csv.code, kExitOk) << csv.err;
  const std::string bytes = ReadFile(dir.Path("a.csv"));
  EXPECT_EQ(bytes.rfind("Datei;Typenbezeichnung;", 0), 0u);
  EXPECT_NE(bytes.find("UND-Verkn\xfcpfung negative Logik"), std::string::npos);
}

TEST(CliOutput, PrintWritesAPdf) {
  test::TempDir dir;
  const CliResult r = Cli({"print", kSample, "-o", dir.Path("sheet.pdf")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(ReadFile(dir.Path("sheet.pdf")).rfind("%PDF-", 0), 0u);
}

TEST(CliOutput, ErrorsAndUsage) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.Path("folder.csv"));
  const struct {
    const char* context;
    std::vector<std::string> args;
    int code;
    const char* message;
  } rows[] = {
      {"no output", {"export", kSample}, kExitUsage, "-o OUT is required"},
      {"two inputs", {"print", kSample, kSample, "-o", dir.Path("x.pdf")}, kExitUsage, "one parameter file"},
      {"unknown option", {"export", kSample, "-x"}, kExitUsage, "unknown option"},
      {"unknown language", {"export", kSample, "-o", dir.Path("x.txt"), "--lang", "Klingon"}, kExitFailure,
       "no such language; available: Deutsch"},
      {"missing input", {"export", dir.Path("none.RKT"), "-o", dir.Path("x.txt")}, kExitFailure, "none.RKT"},
      {"unwritable export", {"export", kSample, "-o", dir.Path("folder.csv")}, kExitFailure, "folder.csv"},
      {"unwritable pdf", {"print", kSample, "-o", dir.Path("folder.csv")}, kExitFailure, "folder.csv"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.context);
    const CliResult r = Cli(row.args);
    EXPECT_EQ(r.code, row.code);
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("x.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("x.pdf")));
}

TEST(CliOutputCommands, LanguageFileTextsReachTheExport) {
  test::TempDir dir;
  SetProgramDir(std::string(RKT_SOURCE_DIR) + "/resources");
  const CliResult r = Cli({"export", kSample, "-o", dir.Path("en.txt"), "--lang", "English"});
  SetProgramDir(std::filesystem::current_path());
  FindLanguages({});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  std::ifstream in(dir.Path("en.txt"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("RKT 410 - Parameter settings\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("Serial number:"), std::string::npos);
}

}  // namespace
}  // namespace rkt::cli
