#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/cli.h"
#include "model/safe_file.h"
#include "support/cli_run.h"
#include "text/language.h"
#include "test_data.h"

namespace rkt::cli {
namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(RKT_SOURCE_DIR) + "/resources/samples/sample.RKT";

std::string ReadFile(const std::string& path) {
  const auto bytes = test::ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Each format once written, once on a disk that fills up while the file is
// written: status 1, the file and the reason, the old file as it was.
TEST(CliOutput, ExportAndPrintWriteTheirFormatsOrKeepTheOldFile) {
  test::TempDir dir;
  const struct {
    std::vector<std::string> args;
    std::string file, start, contains;
  } rows[] = {
      {{"export", kSample, "-o", dir.Path("a.TXT")}, "a.TXT", "RKT 410 - Parametereinstellung\r\n", ""},
      {{"export", kSample, "--output", dir.Path("a.csv")}, "a.csv", "Datei;Typenbezeichnung;", "UND-Verkn\xfcpfung negative Logik"},
      {{"print", kSample, "-o", dir.Path("a.pdf")}, "a.pdf", "%PDF-", ""},
      {{"export", kSample, "-o", dir.Path("en.txt"), "--lang", "English"}, "en.txt", "RKT 410 - Parameter settings\r\n",
       "Serial number:"},
      {{"decode", "3804-G2N2-4A4U-0W12-01S", "-o", dir.Path("a.RKT")}, "a.RKT", "SENSOR-10-02", ""},
  };
  SetProgramDir(std::string(RKT_SOURCE_DIR) + "/resources");
  for (const auto& row : rows) {
    const std::string target = dir.Path(row.file);
    const test::CliResult r = test::Cli(row.args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(ReadFile(target).rfind(row.start, 0), 0u) << row.file;
    EXPECT_NE(ReadFile(target).find(row.contains), std::string::npos) << row.file;
    { std::ofstream(target) << "old contents"; }
    InjectWriteFailureForTesting(ENOSPC, 16);
    const test::CliResult full = test::Cli(row.args);
    InjectWriteFailureForTesting(0);
    EXPECT_EQ(full.code, kExitFailure);
    EXPECT_NE(full.err.find(target + ": No space left on device"), std::string::npos) << full.err;
    EXPECT_EQ(ReadFile(target), "old contents");
  }
  SetProgramDir(fs::current_path());
  FindLanguages({});
  EXPECT_EQ(dir.Entries().size(), 5u) << "no temporary file left";
}

#ifdef RKT_CLI_PATH
// A machine with only DejaVu Sans (a fresh Debian): the printed labels come
// out of the PDF letter for letter, without the "fi" ligature.
TEST(CliOutput, PdfLabelsAreFoundWithALigatureFont) {
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!fs::exists(dejavu)) GTEST_SKIP() << "needs DejaVu Sans";
  test::TempDir dir;
  fs::create_directory(dir.Path("fonts"));
  fs::create_symlink(dejavu, dir.Path("fonts/DejaVuSans.ttf"));
  std::ofstream(dir.Path("fonts.conf")) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                                        << "<fontconfig><dir>" << dir.Path("fonts") << "</dir><cachedir>"
                                        << dir.Path("cache") << "</cachedir></fontconfig>\n";
  const std::string command = "FONTCONFIG_FILE=" + dir.Path("fonts.conf") + " QT_QPA_PLATFORM=offscreen " +
                              RKT_CLI_PATH + " print " + kSample + " -o " + dir.Path("s.pdf") +
                              " 2>/dev/null && pdftotext " + dir.Path("s.pdf") + " " + dir.Path("s.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_NE(ReadFile(dir.Path("s.txt")).find("St\xc3\xb6rfilterung:"), std::string::npos);
}
#endif

}  // namespace
}  // namespace rkt::cli
