#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "model/data_code.h"
#include "model/text_encoding.h"
#include "output/export.h"
#include "output/value_changes.h"
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

TEST(Export, TxtAndCsvMatchTheLayoutExactly) {
  const struct {
    DataSet (*make)();
    const char* txt;
    const char* csv;
  } goldens[] = {{test::SensorA, kTxtA, kCsvA}, {test::SensorB, kTxtB, kCsvB}, {test::SensorC, kTxtC, nullptr}};
  for (const auto& g : goldens) {
    const DataSet ds = g.make();
    ASSERT_FALSE(EncodeDataCode(ds).empty());
    EXPECT_EQ(ExportText(ds, ExportFormat::Txt), test::WithCode(g.txt, ds));
    if (g.csv) { EXPECT_EQ(ExportText(ds, ExportFormat::Csv), test::WithCode(g.csv, ds)); }
  }
}

TEST(Export, TxtValueColumn) {
  const std::string label38(38, 'x');
  const std::string pad39(39, ' ');
  const struct {
    std::string label, value, expected;
  } rows[] = {
      {"Ab:", "1", "Ab:" + std::string(36, ' ') + "1\r\n"},
      {"Öl:", "1", "Öl:" + std::string(36, ' ') + "1\r\n"},  // an umlaut is one character
      {label38 + ":", "1", label38 + ":1\r\n"},
      {label38 + "y:", "1", label38 + "y:\r\n" + pad39 + "1\r\n"},
      {"", "negative Logik", pad39 + "negative Logik\r\n"},
      {"", "", "\r\n"},
  };
  for (const auto& row : rows) {
    TxtOutput txt;
    txt.OutputLine(row.label, row.value);
    EXPECT_EQ(txt.Text(), row.expected) << row.label;
  }
  TxtOutput txt;
  txt.OutputLine("a:", "b", false);
  txt.OutputLine("", "", false);
  txt.OutputLine("", "c");
  EXPECT_EQ(txt.Text(), "a:" + std::string(37, ' ') + "b" + "\r\n" + pad39 + "c\r\n") << "column 41 is past the value column";
}

TEST(Export, CsvCellRules) {
  CsvOutput csv;
  csv.OutputLine("", "lost");  // nothing to continue yet: a cell of its own
  csv.OutputLine("Zeit:", "1 s");
  csv.OutputLine("", "");
  csv.OutputLine("", "mehr");
  csv.OutputLine("Ohne Doppelpunkt", "a;b");
  csv.OutputLine("Doppelt::", "sagt \"ja\"");
  csv.OutputLine("=Titel:", "=HYPERLINK(\"x\")");  // formulas stay text
  csv.OutputLine("+a:", "-1");
  csv.OutputLine("@b:", "@SUM(A1)\n");
  csv.OutputLine("c:", "a=b\r");
  EXPECT_EQ(csv.Text(),
            ";Zeit;Ohne Doppelpunkt;Doppelt:;'=Titel;'+a;'@b;c\r\n"
            "lost;1 s mehr;\"a;b\";\"sagt \"\"ja\"\"\";\"'=HYPERLINK(\"\"x\"\")\";'-1;\"'@SUM(A1)\n\";\"a=b\r\"\r\n");
}

TEST(Export, FormatByNameAndDialogFilter) {
  const std::pair<const char*, ExportFormat> rows[] = {
      {"out.CSV", ExportFormat::Csv}, {"out.csv", ExportFormat::Csv}, {"out.Csv", ExportFormat::Csv},
      {"out.TXT", ExportFormat::Txt}, {"out", ExportFormat::Txt},     {"csv", ExportFormat::Csv},
      {"cs", ExportFormat::Txt},      {"out.csv.txt", ExportFormat::Txt}};
  for (const auto& [name, format] : rows) EXPECT_EQ(ExportFormatFor(name), format) << name;
  EXPECT_EQ(ExportFileFilter(), "Textdatei (*.TXT *.txt);;CSV Datei (*.CSV *.csv)");
}

// Only the parameter lines, joined continuations; the lock counts as off when missing.
TEST(ValueChanges, ListsTheShownDifferencesOrTheBytes) {
  const DataSet a = test::SensorA();
  DataSet b = a;
  EXPECT_TRUE(ValueChanges(a, b).empty());
  b.SetValue(ValueId::FileName, std::string("/other.RKT"));
  b.SetValue(ValueId::InputInverted, 0);
  b.SetValue(ValueId::ProgramLock, 1);
  b.SetValue(ValueId::Hysteresis, 0);
  const auto changes = ValueChanges(a, b);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].label + changes[0].before + ">" + changes[0].after, "Hysterese:groß>klein");
  EXPECT_EQ(changes[1].label + changes[1].before + ">" + changes[1].after, "Parametrierung:aktiviert>gesperrt");
  EXPECT_EQ(changes[2].before + ">" + changes[2].after, "UND-Verknüpfung, negative Logik>UND-Verknüpfung");
  const auto back = ValueChanges(b, a);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[2].label + back[2].before + ">" + back[2].after, "Parametrierung:gesperrt>aktiviert");
  DataSet c = a;
  c.Param(kWorkingCopy, 12) ^= 0x80;
  c.Param(kWorkingCopy, 1) ^= 0x40;
  c.Param(kWorkingCopy, 16) ^= 0x01;
  const auto bytes = ValueChanges(a, c);
  ASSERT_EQ(bytes.size(), 2u);
  EXPECT_EQ(bytes[0].label + bytes[0].before + ">" + bytes[0].after, "Parameteradresse 0:" + std::to_string(a.Param(kWorkingCopy, 1)) + ">" + std::to_string(c.Param(kWorkingCopy, 1)));
  EXPECT_EQ(bytes[1].label, "Parameteradresse 11:");
}

TEST(ExportFile, WrittenInWindows1252AndReplacingAnOldFile) {
  test::TempDir dir;
  const std::string path = dir.Path("sheet.csv");
  { std::ofstream(path) << "an older and much longer file that must be replaced completely\n"; }
  const OutputResult result = ExportDatasheet(test::SensorA(), path);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.error, "");
  const auto bytes = test::ReadBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Utf8ToCp1252(ExportText(test::SensorA(), ExportFormat::Csv)));
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("St\xf6rfilterung"), std::string::npos);
  ASSERT_TRUE(ExportDatasheet(test::SensorA(), dir.Path("sheet.TXT")).ok);
  const auto txt = test::ReadBytes(dir.Path("sheet.TXT"));
  EXPECT_EQ(std::string(txt.begin(), txt.end()), Utf8ToCp1252(ExportText(test::SensorA(), ExportFormat::Txt)));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"sheet.TXT", "sheet.csv"})) << "no temporary file left";
}

// Tests may run as root, so the failures come from the file system's shape.
TEST(ExportFile, UnwritableTargetReportsAndLeavesNothing) {
  test::TempDir dir;
  { std::ofstream(dir.Path("plain-file")) << "x"; }
  fs::create_directory(dir.Path("taken.txt"));
  for (const std::string& path : {dir.Path("plain-file/out.txt"), dir.Path("taken.txt"), dir.Path("missing/out.csv")}) {
    const OutputResult result = ExportDatasheet(test::SensorB(), path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.rfind("Fehler beim Speichern der Datei!\n" + path + ": ", 0), 0u) << result.error;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"plain-file", "taken.txt"}));
    EXPECT_TRUE(fs::is_empty(dir.Path("taken.txt")));
  }
}

}  // namespace
}  // namespace rkt
