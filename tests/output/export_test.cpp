#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/data_code.h"
#include "output/export.h"
#include "output_test_data.h"
#include "test_data.h"

namespace rkt {
namespace {

namespace fs = std::filesystem;

// Written out by hand from the layout rules, not produced by the code under test.
constexpr const char* kTxtA =
    "RKT 410 - Parametereinstellung\r\n"
    "==============================\r\n"
    "\r\n"
    "\r\n"
    "Typenbezeichnung:                      RKT 410-A                       \r\n"
    "Seriennummer:                          Unbekannt\r\n"
    "Herstellungsjahr:                      Unbekannt\r\n"
    "Version:                               3.0.1\r\n"
    "Datencode:                             {CODE}\r\n"
    "\r\n"
    "Störfilterung:                         250 Hz  --> 2 ms\r\n"
    "Gegenseitige Beeinflussung:            Pulsfrequenz 2\r\n"
    "Hysterese:                             groß\r\n"
    "Tastaturverriegelung:                  automatisch\r\n"
    "Ausgangsfunktion:                      Warnausgang invertiert\r\n"
    "Funktion des Warnausgangs:             autocontrol\r\n"
    "Eingangsfunktion:                      UND-Verknüpfung\r\n"
    "                                       negative Logik\r\n"
    "Einschaltverzögerung:                  0.7 s\r\n"
    "Ausschaltzeit:                         Ausschaltverzögerung 12.0 s\r\n";
constexpr const char* kCsvA =
    "Typenbezeichnung;Seriennummer;Herstellungsjahr;Version;Datencode;Störfilterung;Gegenseitige Beeinflussung;Hysterese;Tastaturverriegelung;Ausgangsfunktion;Funktion des Warnausgangs;Eingangsfunktion;Einschaltverzögerung;Ausschaltzeit\r\n"
    "RKT 410-A                       ;Unbekannt;Unbekannt;3.0.1;{CODE};250 Hz  --> 2 ms;Pulsfrequenz 2;groß;automatisch;Warnausgang invertiert;autocontrol;UND-Verknüpfung negative Logik;0.7 s;Ausschaltverzögerung 12.0 s\r\n";
constexpr const char* kTxtB =
    "RKT 410 - Parametereinstellung\r\n"
    "==============================\r\n"
    "\r\n"
    "Datei:                                 /daten/Halle 3; Linie \"B\".RKT\r\n"
    "\r\n"
    "Typenbezeichnung:                      RKT 410-B                       Tor 2\r\n"
    "Seriennummer:                          00513\r\n"
    "Herstellungsjahr:                      12/24\r\n"
    "Version:                               4.0.3\r\n"
    "Datencode:                             {CODE}\r\n"
    "\r\n"
    "Störfilterung:                         1 kHz    --> 0,5 ms\r\n"
    "Tastaturverriegelung:                  immer\r\n"
    "Parametrierung:                        gesperrt\r\n"
    "Ausgangsfunktion:                      dunkelschaltend\r\n"
    "Funktion des Warnausgangs:             abgeschaltet\r\n"
    "Eingangsfunktion:                      D-Flipflop\r\n"
    "Einschaltverzögerung:                  0.0 s\r\n"
    "Ausschaltzeit:                         Wischerfunktion 15 ms\r\n"
    "Empfindlichkeit:                       50%\r\n";
constexpr const char* kCsvB =
    "Datei;Typenbezeichnung;Seriennummer;Herstellungsjahr;Version;Datencode;Störfilterung;Tastaturverriegelung;Parametrierung;Ausgangsfunktion;Funktion des Warnausgangs;Eingangsfunktion;Einschaltverzögerung;Ausschaltzeit;Empfindlichkeit\r\n"
    "\"/daten/Halle 3; Linie \"\"B\"\".RKT\";RKT 410-B                       Tor 2;00513;12/24;4.0.3;{CODE};1 kHz    --> 0,5 ms;immer;gesperrt;dunkelschaltend;abgeschaltet;D-Flipflop;0.0 s;Wischerfunktion 15 ms;50%\r\n";
constexpr const char* kTxtC =
    "RKT 410 - Parametereinstellung\r\n"
    "==============================\r\n"
    "\r\n"
    "\r\n"
    "Typenbezeichnung:                      RKT 410-C                       \r\n"
    "Seriennummer:                          65535\r\n"
    "Herstellungsjahr:                      1/0\r\n"
    "Version:                               3.0.5\r\n"
    "Datencode:                             {CODE}\r\n"
    "\r\n"
    "Störfilterung:                         20 Hz    --> 25 ms\r\n"
    "Gegenseitige Beeinflussung:            Pulsfrequenz 1\r\n"
    "Hysterese:                             klein\r\n"
    "Tastaturverriegelung:                  aus\r\n"
    "Ausgangsfunktion:                      Hellschaltung+Eingang\r\n"
    "Funktion des Warnausgangs:             statisch\r\n"
    "Eingangsfunktion:                      keine\r\n"
    "Einschaltverzögerung:                  25.5 s\r\n"
    "Ausschaltzeit:                         Impulsverlängerung 255 ms\r\n";
constexpr const char* kCsvC =
    "Typenbezeichnung;Seriennummer;Herstellungsjahr;Version;Datencode;Störfilterung;Gegenseitige Beeinflussung;Hysterese;Tastaturverriegelung;Ausgangsfunktion;Funktion des Warnausgangs;Eingangsfunktion;Einschaltverzögerung;Ausschaltzeit\r\n"
    "RKT 410-C                       ;65535;1/0;3.0.5;{CODE};20 Hz    --> 25 ms;Pulsfrequenz 1;klein;aus;Hellschaltung+Eingang;statisch;keine;25.5 s;Impulsverlängerung 255 ms\r\n";

struct Golden {
  const char* name;
  DataSet (*make)();
  const char* txt;
  const char* csv;
};

constexpr Golden kGoldens[] = {
    {"A: variant 1, no file, unknown serial, inverted input", test::SensorA, kTxtA, kCsvA},
    {"B: variant 3, quoted file name, lock, unoffered frequency", test::SensorB, kTxtB, kCsvB},
    {"C: variant 5, stale read copy, unoffered pulse and input", test::SensorC, kTxtC, kCsvC},
};

// Separators outside quoted cells.
int Separators(std::string_view line) {
  int count = 0;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) ++count;
  }
  return count;
}

TEST(Export, TxtAndCsvMatchTheLayoutExactly) {
  for (const Golden& g : kGoldens) {
    SCOPED_TRACE(g.name);
    const DataSet ds = g.make();
    ASSERT_FALSE(EncodeDataCode(ds).empty());
    EXPECT_EQ(ExportText(ds, ExportFormat::Txt), test::WithCode(g.txt, ds));
    const std::string csv = ExportText(ds, ExportFormat::Csv);
    EXPECT_EQ(csv, test::WithCode(g.csv, ds));
    const std::size_t firstEnd = csv.find("\r\n");
    EXPECT_EQ(Separators(csv.substr(0, firstEnd)), Separators(csv.substr(firstEnd))) << "as many cells as labels";
  }
}

TEST(Export, TxtValueColumn) {
  const std::string label39(38, 'x');
  struct Row {
    const char* context;
    std::string label;
    std::string value;
    std::string expected;
  };
  const Row rows[] = {
      {"short label", "Ab:", "1", "Ab:" + std::string(36, ' ') + "1\r\n"},
      {"umlauts count as one character", "Öl:", "1", "Öl:" + std::string(36, ' ') + "1\r\n"},
      {"39 characters end just before the value", label39 + ":", "1", label39 + ":1\r\n"},
      {"40 characters push the value to the next line", label39 + "y:", "1",
       label39 + "y:\r\n" + std::string(39, ' ') + "1\r\n"},
      {"continuation value", "", "negative Logik", std::string(39, ' ') + "negative Logik\r\n"},
      {"empty line", "", "", "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.context);
    TxtOutput txt;
    txt.OutputLine(row.label, row.value);
    EXPECT_EQ(txt.Text(), row.expected);
  }
}

TEST(Export, CsvCellRules) {
  CsvOutput csv;
  csv.OutputLine("", "lost");  // nothing to continue yet: a cell of its own
  csv.OutputLine("Zeit:", "1 s");
  csv.OutputLine("", "");
  csv.OutputLine("", "mehr");
  csv.OutputLine("Ohne Doppelpunkt", "a;b");
  csv.OutputLine("Doppelt::", "sagt \"ja\"");
  EXPECT_EQ(csv.Text(),
            ";Zeit;Ohne Doppelpunkt;Doppelt:\r\n"
            "lost;1 s mehr;\"a;b\";\"sagt \"\"ja\"\"\"\r\n");
}

TEST(Export, CsvCellsThatLookLikeFormulasStayText) {
  CsvOutput csv;
  csv.OutputLine("=Titel:", "=HYPERLINK(\"x\")");
  csv.OutputLine("+a:", "-1");
  csv.OutputLine("@b:", "@SUM(A1)");
  csv.OutputLine("c:", "a=b");
  EXPECT_EQ(csv.Text(),
            "'=Titel;'+a;'@b;c\r\n"
            "\"'=HYPERLINK(\"\"x\"\")\";'-1;'@SUM(A1);a=b\r\n");
}

TEST(Export, FormatByTheNamesLastThreeCharacters) {
  const struct {
    const char* name;
    ExportFormat format;
  } rows[] = {
      {"out.CSV", ExportFormat::Csv}, {"out.csv", ExportFormat::Csv}, {"out.Csv", ExportFormat::Csv},
      {"out.TXT", ExportFormat::Txt}, {"out.txt", ExportFormat::Txt}, {"out", ExportFormat::Txt},
      {"csv", ExportFormat::Csv},     {"cs", ExportFormat::Txt},      {"out.csv.txt", ExportFormat::Txt},
  };
  for (const auto& row : rows) EXPECT_EQ(ExportFormatFor(row.name), row.format) << row.name;
}

TEST(Export, FileDialogFilterOffersBothCases) {
  EXPECT_EQ(ExportFileFilter(), "Textdatei (*.TXT *.txt);;CSV Datei (*.CSV *.csv)");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ExportFile, WrittenInWindows1252AndReplacingAnOldFile) {
  test::TempDir dir;
  const DataSet ds = test::SensorA();
  const std::string path = dir.Path("sheet.csv");
  { std::ofstream(path) << "an older and much longer file that must be replaced completely\n"; }

  const OutputResult result = ExportDatasheet(ds, path);
  ASSERT_TRUE(result.ok) << result.error;
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.rfind("Typenbezeichnung;", 0), 0u) << "lower-case .csv gives CSV";
  EXPECT_NE(bytes.find("St\xf6rfilterung"), std::string::npos) << "ö as one Windows-1252 byte";
  EXPECT_EQ(bytes.find("\xc3"), std::string::npos) << "no UTF-8 left";
  EXPECT_EQ(bytes.find("older"), std::string::npos);
  EXPECT_EQ(Entries(dir.Dir()), std::vector<std::string>{"sheet.csv"}) << "no temporary file left";

  ASSERT_TRUE(ExportDatasheet(ds, dir.Path("sheet.TXT")).ok);
  EXPECT_EQ(ReadFile(dir.Path("sheet.TXT")).rfind("RKT 410 - Parametereinstellung\r\n====", 0), 0u);
}

// Tests may run as root, so the failures are made by the file system's
// shape rather than by permissions.
TEST(ExportFile, UnwritableTargetReportsAndLeavesNothing) {
  test::TempDir dir;
  { std::ofstream(dir.Path("plain-file")) << "x"; }
  fs::create_directory(dir.Path("taken.txt"));
  const struct {
    const char* context;
    std::string path;
  } rows[] = {
      {"folder is a file", dir.Path("plain-file/out.txt")},
      {"target is a folder", dir.Path("taken.txt")},
      {"folder missing", dir.Path("missing/out.csv")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.context);
    const OutputResult result = ExportDatasheet(test::SensorB(), row.path);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Fehler beim Speichern"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find(row.path), std::string::npos) << result.error;
    EXPECT_EQ(Entries(dir.Dir()), (std::vector<std::string>{"plain-file", "taken.txt"}));
    EXPECT_TRUE(fs::is_empty(dir.Path("taken.txt")));
    EXPECT_EQ(ReadFile(dir.Path("plain-file")), "x");
  }
}

}  // namespace
}  // namespace rkt
