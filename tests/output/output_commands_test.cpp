#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "model/safe_file.h"
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

// Every way the command line writes a file, on a disk that fills up while
// the file is written: status 1, the message with the file and the reason,
// the old file as it was and nothing else left in the folder.
TEST(CliOutputCommands, FullDiskKeepsTheOldFile) {
  test::TempDir dir;
  const struct {
    std::vector<std::string> args;
    std::string target;
  } rows[] = {
      {{"export", kSample, "-o", dir.Path("out.TXT")}, dir.Path("out.TXT")},
      {{"export", kSample, "-o", dir.Path("out.csv")}, dir.Path("out.csv")},
      {{"print", kSample, "-o", dir.Path("out.pdf")}, dir.Path("out.pdf")},
      {{"decode", "3804-G2N2-4A4U-0W12-01S", "-o", dir.Path("out.RKT")}, dir.Path("out.RKT")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.target);
    { std::ofstream(row.target) << "old contents"; }
    InjectWriteFailureForTesting(ENOSPC, 16);
    const CliResult r = Cli(row.args);
    InjectWriteFailureForTesting(0);
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find(row.target + ": No space left on device"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(row.target), "old contents");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dir()), std::filesystem::directory_iterator()), 4);
}

// The same on a real full file system: a small tmpfs in a mount namespace of
// its own. Skipped where mounting is not allowed.
#ifdef RKT_CLI_PATH
TEST(CliOutputCommands, FullTmpfsKeepsTheOldFile) {
  test::TempDir dir;
  if (std::system("command -v unshare >/dev/null 2>&1") != 0) GTEST_SKIP() << "no unshare";
  const std::string script = dir.Path("full.sh");
  {
    std::ofstream sh(script);
    sh << "set -e\n"
          "d=\"$1\"; cli=\"$2\"; sample=\"$3\"\n"
          "mount -t tmpfs -o size=256k tmpfs \"$d/fs\" || exit 77\n"
          "for f in a.TXT a.csv a.pdf a.RKT; do printf 'old contents' > \"$d/fs/$f\"; done\n"
          "dd if=/dev/zero of=\"$d/fs/filler\" bs=4k >/dev/null 2>&1 || true\n"
          "rc=0\n"
          "\"$cli\" export \"$sample\" -o \"$d/fs/a.TXT\" 2>>\"$d/err\" && rc=1\n"
          "\"$cli\" export \"$sample\" -o \"$d/fs/a.csv\" 2>>\"$d/err\" && rc=1\n"
          "QT_QPA_PLATFORM=offscreen \"$cli\" print \"$sample\" -o \"$d/fs/a.pdf\" 2>>\"$d/err\" && rc=1\n"
          "\"$cli\" decode 3804-G2N2-4A4U-0W12-01S -o \"$d/fs/a.RKT\" >/dev/null 2>>\"$d/err\" && rc=1\n"
          "for f in a.TXT a.csv a.pdf a.RKT; do [ \"$(cat \"$d/fs/$f\")\" = 'old contents' ] || rc=2; done\n"
          "[ \"$(ls -A \"$d/fs\" | wc -l)\" = 5 ] || rc=3\n"
          "exit $rc\n";
  }
  std::filesystem::create_directory(dir.Path("fs"));
  const std::string command = "unshare -m --propagation private sh " + script + " " + dir.Dir() + " " + RKT_CLI_PATH +
                              " " + kSample + " 2>/dev/null";
  const int status = std::system(command.c_str());
  const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (rc == 77 || (rc == 1 && !std::filesystem::exists(dir.Path("err")))) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
  EXPECT_EQ(rc, 0) << "1: a write reported success, 2: an old file changed, 3: a file left behind\n"
                   << ReadFile(dir.Path("err"));
  EXPECT_NE(ReadFile(dir.Path("err")).find("No space left on device"), std::string::npos) << ReadFile(dir.Path("err"));
}
#endif

#ifdef RKT_CLI_PATH
// A machine with only DejaVu Sans (a fresh Debian): the printed labels come
// out of the PDF letter for letter, without the "fi" ligature.
TEST(CliOutputCommands, PdfLabelsAreFoundWithALigatureFont) {
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!std::filesystem::exists(dejavu) || std::system("command -v pdftotext >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs DejaVu Sans and pdftotext";
  test::TempDir dir;
  std::filesystem::create_directory(dir.Path("fonts"));
  std::filesystem::create_symlink(dejavu, dir.Path("fonts/DejaVuSans.ttf"));
  {
    std::ofstream conf(dir.Path("fonts.conf"));
    conf << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig><dir>"
         << dir.Path("fonts") << "</dir><cachedir>" << dir.Path("cache") << "</cachedir></fontconfig>\n";
  }
  const std::string command = "FONTCONFIG_FILE=" + dir.Path("fonts.conf") + " QT_QPA_PLATFORM=offscreen " +
                              RKT_CLI_PATH + " print " + kSample + " -o " + dir.Path("s.pdf") +
                              " 2>/dev/null && pdftotext " + dir.Path("s.pdf") + " " + dir.Path("s.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string text = ReadFile(dir.Path("s.txt"));
  EXPECT_NE(text.find("St\xc3\xb6rfilterung:"), std::string::npos) << text;
}
#endif

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
