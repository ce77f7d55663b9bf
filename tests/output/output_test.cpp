#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QPaintEngine>
#include <QPrintEngine>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "model/data_code.h"
#include "model/text_encoding.h"
#include "output/datasheet_content.h"
#include "output/datasheet_print.h"
#include "output/export.h"
#include "output/line_wrap.h"
#include "output/value_changes.h"
#include "text/language.h"
#include "text/text_keys.h"
#include "test_data.h"

namespace rkt {
namespace {

namespace fs = std::filesystem;

// A: unknown serial and date, inverted input; B: file name with ";" and quotes, program lock, values the type
// does not offer; C: a stale read copy, pulse frequency and input function the type does not offer.
using V = ValueId;

DataSet Make(int version1, int version3, int type, int serial, int made1, int made2, const std::string& name,
             std::initializer_list<std::pair<ValueId, int>> values) {
  DataSet ds;
  for (const Copy copy : {kReadCopy, kWorkingCopy}) {
    const int bytes[] = {serial >> 8, serial & 255, made1, made2, version1, 0, version3, type};
    for (int i = 0; i < 8; ++i) ds.Byte(BlockId::Identification, copy, i + 1) = static_cast<std::uint8_t>(bytes[i]);
  }
  for (std::size_t i = 0; i < name.size() && i < kBlockSize; ++i)
    ds.Byte(BlockId::Name1, kWorkingCopy, static_cast<int>(i) + 1) = static_cast<std::uint8_t>(name[i]);
  for (const auto& [id, v] : values) ds.SetValue(id, v);
  ds.SetDataValid(1);
  return ds;
}

DataSet SensorA() {
  return Make(3, 1, 1, 0, 0, 0, "RKT 410-A",
              {{V::SwitchingFrequency, 3}, {V::PulseFrequency, 1}, {V::Hysteresis, 2}, {V::KeyboardLock, 1},
               {V::ProgramLock, 0}, {V::WarningFunction, 1}, {V::OutputType, 1}, {V::InputFunction, 3},
               {V::InputInverted, 1}, {V::TimeFunction1, 1}, {V::TimeValue1, 7}, {V::TimeFunction2, 1},
               {V::TimeValue2, 120}});
}

DataSet SensorB() {
  DataSet ds = Make(4, 3, 15, 513, 12, 24, "RKT 410-B",
                    {{V::SwitchingFrequency, 0}, {V::KeyboardLock, 2}, {V::ProgramLock, 1}, {V::DarkSwitching, 1},
                     {V::OutputType, 2}, {V::InputFunction, 9}, {V::TimeFunction1, 0}, {V::TimeFunction2, 3},
                     {V::TimeValue2, 15}, {V::Sensitivity, 46}});
  for (int i = 0; i < 5; ++i) ds.Byte(BlockId::Name3, kWorkingCopy, i + 1) = static_cast<std::uint8_t>("Tor 2"[i]);
  ds.SetValue(ValueId::FileName, std::string("/daten/Halle 3; Linie \"B\".RKT"));
  ds.SetSensitivityValid(1);
  return ds;
}

DataSet SensorC() {
  DataSet ds = Make(3, 5, 3, 65535, 1, 0, "RKT 410-C",
                    {{V::SwitchingFrequency, 6}, {V::PulseFrequency, 2}, {V::Hysteresis, 0}, {V::KeyboardLock, 0},
                     {V::ProgramLock, 0}, {V::InputOutputMode, 3}, {V::OutputType, 0}, {V::InputFunction, 7},
                     {V::InputInverted, 1}, {V::TimeFunction1, 1}, {V::TimeValue1, 255}, {V::TimeFunction2, 2},
                     {V::TimeValue2, 255}});
  ds.Byte(BlockId::Identification, kReadCopy, ident::kVersion3) = 4;
  return ds;
}

std::string WithCode(std::string text, const DataSet& ds) {
  const std::string code = EncodeDataCode(ds);
  for (std::size_t at = text.find("{CODE}"); at != std::string::npos; at = text.find("{CODE}", at))
    text.replace(at, 6, code);
  return text;
}

const std::string kHead = "RKT 410 - Parametereinstellung\r\n==============================\r\n\r\n";
const std::string kTxtA = kHead +
    "\r\nTypenbezeichnung:                      RKT 410-A                       \r\n"
    "Seriennummer:                          Unbekannt\r\n" "Herstellungsjahr:                      Unbekannt\r\n"
    "Version:                               3.0.1\r\n" "Datencode:                             {CODE}\r\n\r\n"
    "Störfilterung:                         250 Hz  --> 2 ms\r\n"
    "Gegenseitige Beeinflussung:            Pulsfrequenz 2\r\n" "Hysterese:                             groß\r\n"
    "Tastaturverriegelung:                  automatisch\r\n"
    "Ausgangsfunktion:                      Warnausgang invertiert\r\n"
    "Funktion des Warnausgangs:             autocontrol\r\n" "Eingangsfunktion:                      UND-Verknüpfung\r\n"
    "                                       negative Logik\r\n" "Einschaltverzögerung:                  0.7 s\r\n"
    "Ausschaltzeit:                         Ausschaltverzögerung 12.0 s\r\n";
const std::string kTxtB = kHead +
    "Datei:                                 /daten/Halle 3; Linie \"B\".RKT\r\n\r\n"
    "Typenbezeichnung:                      RKT 410-B                       Tor 2\r\n"
    "Seriennummer:                          00513\r\n" "Herstellungsjahr:                      12/24\r\n"
    "Version:                               4.0.3\r\n" "Datencode:                             {CODE}\r\n\r\n"
    "Störfilterung:                         1 kHz    --> 0,5 ms\r\n" "Tastaturverriegelung:                  immer\r\n"
    "Parametrierung:                        gesperrt\r\n" "Ausgangsfunktion:                      dunkelschaltend\r\n"
    "Funktion des Warnausgangs:             abgeschaltet\r\n" "Eingangsfunktion:                      D-Flipflop\r\n"
    "Einschaltverzögerung:                  0.0 s\r\n" "Ausschaltzeit:                         Wischerfunktion 15 ms\r\n"
    "Empfindlichkeit:                       50%\r\n";
constexpr const char* kCsvB =
    "Datei;Typenbezeichnung;Seriennummer;Herstellungsjahr;Version;Datencode;Störfilterung;Tastaturverriegelung;Parametrierung;Ausgangsfunktion;Funktion des Warnausgangs;Eingangsfunktion;Einschaltverzögerung;Ausschaltzeit;Empfindlichkeit\r\n"
    "\"/daten/Halle 3; Linie \"\"B\"\".RKT\";RKT 410-B                       Tor 2;00513;12/24;4.0.3;{CODE};1 kHz    --> 0,5 ms;immer;gesperrt;dunkelschaltend;abgeschaltet;D-Flipflop;0.0 s;Wischerfunktion 15 ms;50%\r\n";
const std::string kTxtC = kHead +
    "\r\nTypenbezeichnung:                      RKT 410-C                       \r\n"
    "Seriennummer:                          65535\r\n" "Herstellungsjahr:                      1/0\r\n"
    "Version:                               3.0.5\r\n" "Datencode:                             {CODE}\r\n\r\n"
    "Störfilterung:                         20 Hz    --> 25 ms\r\n" "Gegenseitige Beeinflussung:            Pulsfrequenz 1\r\n"
    "Hysterese:                             klein\r\n" "Tastaturverriegelung:                  aus\r\n"
    "Ausgangsfunktion:                      Hellschaltung+Eingang\r\n" "Funktion des Warnausgangs:             statisch\r\n"
    "Eingangsfunktion:                      keine\r\n" "Einschaltverzögerung:                  25.5 s\r\n"
    "Ausschaltzeit:                         Impulsverlängerung 255 ms\r\n";

TEST(Export, LayoutValueColumnCsvCellsAndFormatByName) {
  const struct { DataSet (*make)(); std::string txt; const char* csv; } goldens[] = {{SensorA, kTxtA, nullptr}, {SensorB, kTxtB, kCsvB}, {SensorC, kTxtC, nullptr}};
  for (const auto& g : goldens) {
    const DataSet ds = g.make();
    ASSERT_FALSE(EncodeDataCode(ds).empty());
    EXPECT_EQ(ExportText(ds, ExportFormat::Txt), WithCode(g.txt, ds));
    if (g.csv) { EXPECT_EQ(ExportText(ds, ExportFormat::Csv), WithCode(g.csv, ds)); }
  }
  const std::string label38(38, 'x'), pad39(39, ' ');
  const struct { std::string label, value, expected; } rows[] = {
      {"Ab:", "1", "Ab:" + std::string(36, ' ') + "1\r\n"}, {"", "", "\r\n"}, {label38 + ":", "1", label38 + ":1\r\n"},
      {"Öl:", "1", "Öl:" + std::string(36, ' ') + "1\r\n"},  // an umlaut is one character
      {label38 + "y:", "1", label38 + "y:\r\n" + pad39 + "1\r\n"}, {"", "negative Logik", pad39 + "negative Logik\r\n"}};
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
  // A continuation with nothing to continue is a cell of its own; formulas stay text.
  const std::pair<const char*, const char*> cells[] = {{"", "lost"}, {"Zeit:", "1 s"}, {"", ""}, {"", "mehr"},
      {"Ohne Doppelpunkt", "a;b"}, {"Doppelt::", "sagt \"ja\""}, {"=Titel:", "=HYPERLINK(\"x\")"}, {"+a:", "-1"},
      {"@b:", "@SUM(A1)\n"}, {"c:", "a=b\r"}};
  CsvOutput csv;
  for (const auto& [label, value] : cells) csv.OutputLine(label, value);
  EXPECT_EQ(csv.Text(),
            ";Zeit;Ohne Doppelpunkt;Doppelt:;'=Titel;'+a;'@b;c\r\n"
            "lost;1 s mehr;\"a;b\";\"sagt \"\"ja\"\"\";\"'=HYPERLINK(\"\"x\"\")\";'-1;\"'@SUM(A1)\n\";\"a=b\r\"\r\n");
  const std::pair<const char*, ExportFormat> formats[] = {{"out.CSV", ExportFormat::Csv}, {"out.csv", ExportFormat::Csv},
      {"out.Csv", ExportFormat::Csv}, {"out.TXT", ExportFormat::Txt}, {"out", ExportFormat::Txt}, {"csv", ExportFormat::Csv},
      {"cs", ExportFormat::Txt}, {"out.csv.txt", ExportFormat::Txt}};
  for (const auto& [name, format] : formats) EXPECT_EQ(ExportFormatFor(name), format) << name;
  EXPECT_EQ(ExportFileFilter(), "Textdatei (*.TXT *.txt);;CSV Datei (*.CSV *.csv)");
}

// Only the parameter lines, joined continuations; the lock counts as off when missing.
TEST(ExportFile, ValueChangesWindows1252ReplacingAnOldFileOrReportedWhenUnwritable) {
  const auto lines = [](const DataSet& x, const DataSet& y) {
    std::vector<std::string> out;
    for (const ValueChange& c : ValueChanges(x, y)) out.push_back(c.label + c.before + ">" + c.after);
    return out;
  };
  const DataSet a = SensorA();
  DataSet b = a, c = a;
  EXPECT_TRUE(ValueChanges(a, b).empty());
  b.SetValue(ValueId::FileName, std::string("/other.RKT"));
  for (const auto& [id, v] : {std::pair{V::InputInverted, 0}, {V::ProgramLock, 1}, {V::Hysteresis, 0}}) b.SetValue(id, v);
  EXPECT_EQ(lines(a, b), (std::vector<std::string>{"Hysterese:groß>klein", "Parametrierung:aktiviert>gesperrt",
                                                   "Eingangsfunktion:UND-Verknüpfung, negative Logik>UND-Verknüpfung"}));
  EXPECT_EQ(lines(b, a), (std::vector<std::string>{"Hysterese:klein>groß",
                                                   "Eingangsfunktion:UND-Verknüpfung>UND-Verknüpfung, negative Logik",
                                                   "Parametrierung:gesperrt>aktiviert"}));
  const std::pair<int, int> flips[] = {{1, 0x40}, {12, 0x80}, {16, 0x01}};  // bits no line shows
  for (const auto& [pos, bit] : flips) c.Param(kWorkingCopy, pos) ^= static_cast<std::uint8_t>(bit);
  const auto byte = [](const DataSet& x, int pos) { return std::to_string(x.Param(kWorkingCopy, pos)); };
  EXPECT_EQ(lines(a, c), (std::vector<std::string>{"Parameteradresse 0:" + byte(a, 1) + ">" + byte(c, 1),
                                                   "Parameteradresse 11:" + byte(a, 12) + ">" + byte(c, 12)}));
  // A failed check: what the sensor holds beside each row, marked where it is not what was meant; a value the write
  // did not change but the sensor lost is listed too.
  DataSet held = b;
  held.SetValue(V::Hysteresis, 2);     // not taken
  held.SetValue(V::KeyboardLock, 2);   // not touched by the write, yet different
  std::vector<std::string> outcome;
  for (const ValueChange& o : WriteOutcome(a, b, held))
    outcome.push_back(o.label + o.before + ">" + o.after + "=" + o.held + (o.notTaken ? " !" : ""));
  EXPECT_EQ(outcome, (std::vector<std::string>{"Hysterese:groß>klein=groß !", "Tastaturverriegelung:automatisch>automatisch=immer !",
                                               "Parametrierung:aktiviert>gesperrt=gesperrt",
                                               "Eingangsfunktion:UND-Verknüpfung, negative Logik>UND-Verknüpfung=UND-Verknüpfung"}));
  std::vector<std::string> bytes;
  DataSet heldC = c;
  heldC.Param(kWorkingCopy, 12) = a.Param(kWorkingCopy, 12);
  for (const ValueChange& o : WriteOutcome(a, c, heldC)) bytes.push_back(o.label + o.held + (o.notTaken ? " !" : ""));
  EXPECT_EQ(bytes, (std::vector<std::string>{"Parameteradresse 0:" + byte(c, 1), "Parameteradresse 11:" + byte(a, 12) + " !"}));
  test::TempDir dir;
  const std::string path = dir.Path("sheet.csv");
  { std::ofstream(path) << "an older and much longer file that must be replaced completely\n"; }
  const OutputResult result = ExportDatasheet(SensorA(), path);
  ASSERT_EQ(std::pair(result.ok, result.error), std::pair(true, std::string()));
  EXPECT_EQ(test::ReadText(path), Utf8ToCp1252(ExportText(SensorA(), ExportFormat::Csv)));
  ASSERT_TRUE(ExportDatasheet(SensorA(), dir.Path("sheet.TXT")).ok);
  EXPECT_EQ(test::ReadText(dir.Path("sheet.TXT")), Utf8ToCp1252(ExportText(SensorA(), ExportFormat::Txt)));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"sheet.TXT", "sheet.csv"})) << "no temporary file left";
  // Tests may run as root, so the failures come from the file system's shape.
  { std::ofstream(dir.Path("plain-file")) << "x"; }
  fs::create_directory(dir.Path("taken.txt"));
  for (const std::string& path : {dir.Path("plain-file/out.txt"), dir.Path("taken.txt"), dir.Path("missing/out.csv")}) {
    const OutputResult result = ExportDatasheet(SensorB(), path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.rfind("Fehler beim Speichern der Datei!\n" + path + ": ", 0), 0u) << result.error;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"plain-file", "sheet.TXT", "sheet.csv", "taken.txt"}));
    EXPECT_TRUE(fs::is_empty(dir.Path("taken.txt")));
  }
}

// The fallback text, the print date and a failed export's reason come from the language, not the code.
TEST(OutputLanguage, UnknownValuesDatesAndReasonsFollowTheChosenLanguage) {
  test::TempDir dir;
  const QDate date(2026, 12, 7);
  const struct { const char* language; const char* unknown; const char* printed; const char* reason; } rows[] = {
      {"Deutsch", "Unbekannt", "07.12.2026", "Datei oder Ordner nicht vorhanden"},
      {"English", "Unknown", "12/7/2026", "No such file or folder"}};
  FindLanguages({fs::path(RKT_SOURCE_DIR) / "resources"});
  for (const auto& row : rows) {
    ASSERT_TRUE(SelectLanguageByName(row.language)) << row.language;
    const std::string txt = ExportText(SensorA(), ExportFormat::Txt);
    EXPECT_EQ(UnknownText(), row.unknown) << row.language;
    const std::string label = Text("Print", "lblSerial");
    EXPECT_NE(txt.find(label + std::string(39 - label.size(), ' ') + row.unknown + "\r\n"), std::string::npos) << txt;
    EXPECT_EQ(txt.find(row.language == std::string("English") ? "Unbekannt" : "Unknown"), std::string::npos) << txt;
    EXPECT_EQ(PrintDateText(date), row.printed) << row.language;
    const OutputResult failed = ExportDatasheet(SensorA(), dir.Path("missing/out.txt"));
    EXPECT_TRUE(failed.error.ends_with(std::string(": ") + row.reason)) << failed.error;
  }
  FindLanguages({});
}

// Records the text painted on it: the path of a real printer, not the PDF file's.
class FakePrinter : public QPrinter {
 public:
  struct Engine final : QPaintEngine, QPrintEngine {
    Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override { text << item.text(); }
    Type type() const override { return QPaintEngine::User; }
    void setProperty(PrintEnginePropertyKey, const QVariant&) override {}
    QVariant property(PrintEnginePropertyKey key) const override {
      return key == PPK_PrinterName ? QVariant(QStringLiteral("Lager 2")) : QVariant();
    }
    bool newPage() override { return ++pages > 0; }
    bool abort() override { return true; }
    int metric(QPaintDevice::PaintDeviceMetric m) const override {
      const int a4At300Dpi[] = {0, 2480, 3508, 210, 297, 256, 32, 300, 300, 300, 300, 1, 1, 0};
      return m == QPaintDevice::PdmDevicePixelRatioScaled ? int(QPaintDevice::devicePixelRatioFScale()) : a4At300Dpi[m];
    }
    QPrinter::PrinterState printerState() const override { return state; }
    QPrinter::PrinterState state = QPrinter::Idle;
    QStringList text;
    int pages = 0;
  } engine;
  FakePrinter() { setEngines(&engine, &engine); }
};

// pdftotext is a Linux program, which a Windows test under wine cannot start;
// there the command line's PDF is read on the Linux side instead
// (tests/windows/cli_over_com_port.sh).
#if defined(_WIN32)
#define SKIP_WITHOUT_PDFTOTEXT() GTEST_SKIP() << "pdftotext does not run under wine"
#else
#define SKIP_WITHOUT_PDFTOTEXT() (void)0
#endif

QString PdfText(const std::string& pdf, const QString& option = "-layout") {
  QProcess process;
  process.start("pdftotext", {option, QString::fromStdString(pdf), "-"});
  EXPECT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitCode(), 0) << "pdftotext (poppler-utils) is needed";
  return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList Lines(const QString& text) {
  QStringList lines;
  for (const QString& line : text.split('\n')) lines << line.simplified();
  return lines;
}

std::string Paragraph() {
  std::string text;
  for (int i = 1; i <= 60; ++i) text += "Wort" + std::to_string(i) + " ";
  return text;
}

TEST(PrintDatasheet, PdfHoldsHeaderLogoDateEveryLineAndTheComment) {
  SKIP_WITHOUT_PDFTOTEXT();
  test::TempDir dir;
  DataSet ds = SensorB();
  ds.SetValue(ValueId::Comment, "Pr\xfc" "fstand S\xfc" "d\r\nZweite Zeile\n" + Paragraph() + "\r\n" + std::string(150, 'x'));
  ds.SetValue(ValueId::FileName, "/" + std::string(40, 'd') + "/" + std::string(60, 'f') + ".RKT");  // wraps
  const OutputResult result = PrintDatasheetToPdf(ds, dir.Path("sheet.pdf"), {"24.12.2026"});
  ASSERT_EQ(std::pair(result.ok, result.error), std::pair(true, std::string()));
  const QString text = PdfText(dir.Path("sheet.pdf"));
  const QStringList lines = Lines(text);
  EXPECT_TRUE(lines.front().startsWith("Varem electronic RKT 410 - Parametereinstellung")) << lines.front().toStdString();
  EXPECT_TRUE(lines.contains("Druckdatum: 24.12.2026")) << text.toStdString();
  for (const OutputLineItem& item : CommonContent(ds)) {
    const QString expected = QString::fromStdString(item.label + " " + item.value).simplified();
    EXPECT_TRUE(expected.isEmpty() || item.label == "Datei:" || lines.contains(expected)) << expected.toStdString();
  }
  for (const char* line : {"Zusatzbeschreibung:", "Prüfstand Süd", "Zweite Zeile"})  // line breaks kept, umlauts right
    EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line;
  // Wrapped at spaces, in order; a word too long for a line is cut into pieces, not off the page.
  QStringList paragraph;
  QString joined;
  for (const QString& line : lines) {
    if (line.startsWith("Wort")) paragraph << line;
    if (line.startsWith("xxx")) joined += line;
  }
  EXPECT_GE(paragraph.size(), 3);
  EXPECT_EQ(paragraph.join(' ').toStdString(), QString::fromStdString(Paragraph()).trimmed().toStdString());
  EXPECT_GE(text.count(QRegularExpression("\n *xxx")), 2);
  EXPECT_EQ(joined.toStdString(), std::string(150, 'x'));
  // Word boxes in mm from the paper's corner: nothing outside the text margins; a few anchors of the plan.
  const QRegularExpression word(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  std::map<QString, std::array<double, 4>> first;
  int words = 0;
  for (auto it = word.globalMatch(PdfText(dir.Path("sheet.pdf"), "-bbox")); it.hasNext(); ++words) {
    const auto m = it.next();
    std::array<double, 4> box;
    for (int i = 0; i < 4; ++i) box[i] = m.captured(i + 1).toDouble() * 25.4 / 72;
    first.emplace(m.captured(5), box);
    EXPECT_GE(box[0], 19.8) << m.captured(5).toStdString();
    EXPECT_LE(box[2], 190.2) << m.captured(5).toStdString();
  }
  EXPECT_GT(words, 100);
  const double column = 5 + 49 * 904.0 / 2048 * 10 * 25.4 / 72, pitch = 2355.0 / 2048 * 10 * 25.4 / 72;
  const std::tuple<const char*, int, double> at[] = {
      {"Varem", 0, 28},  {"Varem", 1, 21}, {"Parametereinstellung", 2, 190}, {"Druckdatum:", 0, 20},
      {"Druckdatum:", 1, 34}, {"24.12.2026", 0, column}, {"Datei:", 1, 34 + pitch}};
  for (const auto& [text, edge, mm] : at) EXPECT_NEAR(first[text][static_cast<std::size_t>(edge)], mm, 0.2) << text << " " << edge;
  const auto height = [&](const char* w) { return first[w][3] - first[w][1]; };
  EXPECT_NEAR(height("Varem") / height("Druckdatum:"), 1.8, 0.03) << "18 and 10 point";
  EXPECT_TRUE(QFile::exists(LogoResourcePath()));
}

TEST(PrintDatasheet, PagesCommentsPrinterResultsAndAtomicPdf) {
  SKIP_WITHOUT_PDFTOTEXT();
  test::TempDir dir;
  DataSet ds = SensorA();
  std::string comment;
  for (int i = 1; i <= 80; ++i) comment += "Zeile " + std::to_string(i) + "\r\n";
  ds.SetValue(ValueId::Comment, comment);
  ASSERT_TRUE(PrintDatasheetToPdf(ds, dir.Path("long.pdf")).ok);
  const QString text = PdfText(dir.Path("long.pdf"));
  const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
  ASSERT_EQ(pages.size(), 2);
  EXPECT_TRUE(Lines(pages[0]).contains("Zeile 1") && Lines(pages[1]).contains("Zeile 80"));
  for (int i = 1; i <= 80; ++i) EXPECT_TRUE(Lines(text).contains(QString("Zeile %1").arg(i))) << i;
  EXPECT_TRUE(Lines(pages[0]).contains(QString::fromStdString("Druckdatum: " + PrintDateText()))) << "today by default";
  ds = SensorC();
  ds.SetValue(ValueId::Comment, std::string(" \r\n\t"));
  ASSERT_TRUE(PrintDatasheetToPdf(ds, dir.Path("blank.pdf")).ok);
  const QString blank = PdfText(dir.Path("blank.pdf"));
  EXPECT_TRUE(!blank.contains("Zusatzbeschreibung") && blank.contains("Hellschaltung+Eingang")) << blank.toStdString();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  fs::create_directory(dir.Path("taken.pdf"));
  printer.setOutputFileName(QString::fromStdString(dir.Path("taken.pdf")));
  const OutputResult taken = PrintDatasheet(SensorA(), printer);
  EXPECT_FALSE(taken.ok);
  EXPECT_EQ(taken.error.rfind("Fehler beim Speichern der Datei!\n" + dir.Path("taken.pdf") + ": ", 0), 0u) << taken.error;
  EXPECT_FALSE(PrintDatasheetToPdf(SensorA(), dir.Path("missing/x.pdf")).ok);
  QPrinter nowhere(QPrinter::HighResolution);
  nowhere.setOutputFormat(QPrinter::PdfFormat);
  const OutputResult refused = PrintDatasheet(SensorA(), nowhere);
  EXPECT_FALSE(refused.ok) << "a printer that cannot start is reported";
  EXPECT_EQ(refused.error, "Fehler beim Drucken!");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"blank.pdf", "long.pdf", "taken.pdf"})) << "no temporary file left";
  EXPECT_TRUE(fs::is_empty(dir.Path("taken.pdf")));
  FakePrinter fake;
  const OutputResult printed = PrintDatasheet(SensorB(), fake, {"2.1.2027"});
  EXPECT_EQ(std::pair(printed.ok, printed.error), std::pair(true, std::string()));
  EXPECT_TRUE(fake.engine.text.contains("Druckdatum:") && fake.engine.text.contains("2.1.2027"))
      << fake.engine.text.join('|').toStdString();
  EXPECT_EQ(fake.engine.pages, 0);
  fake.engine.state = QPrinter::Error;
  EXPECT_EQ(PrintDatasheet(SensorB(), fake).error, "Fehler beim Drucken!\nLager 2");
}

// Widths of a proportional font in miniature: 'W' is 3 wide, 'i' 1, every other character 2. Counts the
// characters measured.
struct MiniFont {
  long long measured = 0;
  std::function<double(const QString&)> Width() {
    return [this](const QString& s) {
      measured += s.size();
      double w = 0;
      for (const QChar c : s) w += c == u'W' ? 3 : c == u'i' ? 1 : 2;
      return w;
    };
  }
};

// Breaking as the printout has always broken lines, measuring each whole word: the lines the breaking must keep.
std::vector<QString> WholeWordWrap(const QString& all, double limit, const std::function<double(const QString&)>& width) {
  std::vector<QString> words;
  QString word;
  for (const QChar c : all) {
    word += c;
    if (c == u' ') {
      words.push_back(word);
      word.clear();
    }
  }
  if (!word.isEmpty()) words.push_back(word);
  std::vector<QString> lines;
  QString line;
  for (QString w : words) {
    if (!line.isEmpty() && width(line + w.trimmed()) > limit) {
      lines.push_back(line);
      line.clear();
    }
    while (line.isEmpty() && width(w.trimmed()) > limit && w.size() > 1) {
      int fit = 1;
      while (fit < w.size() && width(w.left(fit + 1)) <= limit) ++fit;
      lines.push_back(w.left(fit));
      w = w.mid(fit);
    }
    line += w;
  }
  if (!line.isEmpty() || lines.empty()) lines.push_back(line);
  return lines;
}

TEST(LineWrap, BreaksAfterSpacesAndCutsOnlyAWordWiderThanALine) {
  const struct { const char* text; std::vector<QString> lines; } rows[] = {
      {"", {""}},
      {"ab cd ef", {"ab cd ", "ef"}},
      {"aaaaa bb", {"aaaaa ", "bb"}},  // the space may hang over the margin
      {"a   b", {"a   b"}},
      {"aaaaaaaaaaaa", {"aaaaa", "aaaaa", "aa"}},
      {"WWWW", {"WWW", "W"}},
      {"iiiiiiiiiiiii", {"iiiiiiiiii", "iii"}},
      {"ab aaaaaaaaaaaa cd", {"ab ", "aaaaa", "aaaaa", "aa cd"}},
      {"aaaaa\taaaaaaa", {"aaaaa", "\taaaa", "aaa"}},  // a piece may begin with a tab
      {"a aaaaaaaaaa", {"a ", "aaaaa", "aaaaa"}},
  };
  for (const auto& row : rows) {
    MiniFont font;
    EXPECT_EQ(WrapText(QString::fromUtf8(row.text), 10, font.Width()), row.lines) << row.text;
  }
}

// Random paragraphs of short and overlong words, spaces and tabs in a row, narrow and wide lines: the same lines as
// measuring whole words. A word of 100 000 characters is measured in pieces of about a line: the characters
// measured grow with its length, not with its square.
TEST(LineWrap, SameLinesAsMeasuringWholeWordsInLinearWork) {
  std::mt19937 random(410);
  const QString letters = QStringLiteral("aaaaWi  \t");
  for (int round = 0; round < 400; ++round) {
    QString text;
    const int words = static_cast<int>(random() % 12);
    for (int w = 0; w < words; ++w) {
      const int length = static_cast<int>(random() % (random() % 4 == 0 ? 60 : 8)) + 1;
      for (int i = 0; i < length; ++i) text += letters[static_cast<qsizetype>(random() % letters.size())];
      text += u' ';
    }
    const double limit = 4 + static_cast<double>(random() % 40);
    MiniFont font;
    EXPECT_EQ(WrapText(text, limit, font.Width()), WholeWordWrap(text, limit, font.Width()))
        << "limit " << limit << ": [" << text.toStdString() << "]";
  }
  for (const qsizetype n : {qsizetype(10'000), qsizetype(100'000)}) {
    MiniFont font;
    const std::vector<QString> lines = WrapText(QString(n, u'a'), 200, font.Width());
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(n / 100));
    EXPECT_LT(font.measured, 10 * n) << n << " characters";
  }
}

}  // namespace
}  // namespace rkt
