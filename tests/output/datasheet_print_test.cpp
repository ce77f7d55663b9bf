#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <filesystem>
#include <optional>

#include "output/datasheet_content.h"
#include "output/datasheet_print.h"
#include "output_test_data.h"
#include "test_data.h"

namespace rkt {
namespace {

namespace fs = std::filesystem;

// pdftotext's output, or nullopt when the tool is missing.
std::optional<QString> PdfText(const std::string& pdf, const QStringList& options = {"-layout"}) {
  const QString tool = QStandardPaths::findExecutable("pdftotext");
  if (tool.isEmpty()) return std::nullopt;
  QProcess process;
  process.start(tool, options + QStringList{QString::fromStdString(pdf), "-"});
  EXPECT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

#define PDF_TEXT_OR_SKIP(var, ...)                                        \
  const std::optional<QString> var##Opt = PdfText(__VA_ARGS__);           \
  if (!var##Opt) GTEST_SKIP() << "pdftotext (poppler-utils) is missing"; \
  const QString& var = *var##Opt

QString Simplified(const std::string& s) { return QString::fromStdString(s).simplified(); }

QStringList Lines(const QString& text) {
  QStringList lines;
  for (const QString& line : text.split('\n')) lines << line.simplified();
  return lines;
}

std::string ShortComment() {
  // Windows-1252, as the data set holds it: "Prüfstand Süd".
  return "Pr\xfc" "fstand S\xfc" "d\r\nZweite Zeile";
}

std::string LongParagraph() {
  std::string text;
  for (int i = 1; i <= 60; ++i) text += "Wort" + std::to_string(i) + " ";
  return text;
}

TEST(PrintDatasheet, PdfHoldsHeaderDateEveryLineAndTheComment) {
  test::TempDir dir;
  DataSet ds = test::SensorB();
  const std::string longWord(150, 'x');
  ds.SetValue(ValueId::Comment, ShortComment() + "\r\n" + LongParagraph() + "\r\n" + longWord);
  const std::string pdf = dir.Path("sheet.pdf");
  const OutputResult result = PrintDatasheetToPdf(ds, pdf, {"24.12.2026"});
  ASSERT_TRUE(result.ok) << result.error;
  PDF_TEXT_OR_SKIP(text, pdf);
  const QStringList lines = Lines(text);

  EXPECT_TRUE(lines.front().startsWith("Varem electronic RKT 410 - Parametereinstellung")) << lines.front().toStdString();
  EXPECT_TRUE(lines.contains("Druckdatum: 24.12.2026")) << text.toStdString();

  // Each label and its value on one line, continuation values on their own.
  for (const OutputLineItem& item : CommonContent(ds)) {
    if (item.label.empty() && item.value.empty()) continue;
    const QString expected = (Simplified(item.label) + " " + Simplified(item.value)).trimmed();
    EXPECT_TRUE(lines.contains(expected)) << "missing line: " << expected.toStdString() << "\n" << text.toStdString();
  }

  EXPECT_TRUE(lines.contains("Zusatzbeschreibung:"));
  EXPECT_TRUE(lines.contains(QString::fromUtf8("Prüfstand Süd"))) << "line break kept, umlauts right";
  EXPECT_TRUE(lines.contains("Zweite Zeile"));

  // The long paragraph is wrapped at spaces, over several lines, in order.
  QStringList paragraph;
  for (const QString& line : lines)
    if (line.startsWith("Wort")) paragraph << line;
  EXPECT_GE(paragraph.size(), 3);
  EXPECT_EQ(paragraph.join(' ').toStdString(), QString::fromStdString(LongParagraph()).trimmed().toStdString());

  // The word too long for a line is cut into pieces rather than off the page.
  QString joined;
  for (const QString& line : lines)
    if (line.startsWith("xxx")) joined += line;
  EXPECT_EQ(joined.toStdString(), longWord);
}

// Word boxes from pdftotext: nothing may reach into the right margin or
// start left of the text margin.
TEST(PrintDatasheet, NothingCrossesTheMargins) {
  test::TempDir dir;
  DataSet ds = test::SensorB();
  ds.SetValue(ValueId::FileName, "/" + std::string(40, 'd') + "/" + std::string(60, 'f') + ".RKT");
  ds.SetValue(ValueId::Comment, LongParagraph() + std::string(150, 'x'));
  const std::string pdf = dir.Path("sheet.pdf");
  ASSERT_TRUE(PrintDatasheetToPdf(ds, pdf, {"1.1.2027"}).ok);
  PDF_TEXT_OR_SKIP(boxes, pdf, {"-bbox"});

  // A4 with 5 mm page margins; text keeps 15 mm from the printable edges.
  constexpr double kPt = 72 / 25.4;
  const double left = (5 + 15) * kPt - 0.5;
  const double right = (210 - 5 - 15) * kPt + 0.5;
  const QRegularExpression word(R"re(<word xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
  int words = 0;
  for (auto it = word.globalMatch(boxes); it.hasNext();) {
    const auto m = it.next();
    ++words;
    EXPECT_GE(m.captured(1).toDouble(), left) << m.captured(3).toStdString();
    EXPECT_LE(m.captured(2).toDouble(), right) << m.captured(3).toStdString();
  }
  EXPECT_GT(words, 60);
}

TEST(PrintDatasheet, LogoInTheHeader) {
  ASSERT_TRUE(QFile::exists(LogoResourcePath()));
  const QString tool = QStandardPaths::findExecutable("pdftoppm");
  if (tool.isEmpty()) GTEST_SKIP() << "pdftoppm (poppler-utils) is missing";
  test::TempDir dir;
  ASSERT_TRUE(PrintDatasheetToPdf(test::SensorA(), dir.Path("logo.pdf")).ok);
  QProcess process;
  process.start(tool, {"-r", "254", "-png", "-singlefile", QString::fromStdString(dir.Path("logo.pdf")),
                       QString::fromStdString(dir.Path("page"))});
  ASSERT_TRUE(process.waitForFinished(30000));
  const QImage page(QString::fromStdString(dir.Path("page.png")));
  ASSERT_FALSE(page.isNull());
  // At 254 dpi one millimetre is 10 pixels; the logo spans 20..27 mm from
  // the paper's corner (5 mm page margin + 15 mm).
  const QColor inside = page.pixelColor(205, 235);
  const QColor outside = page.pixelColor(185, 235);
  EXPECT_GT(inside.blue(), inside.red() + 60) << "the logo's blue";
  EXPECT_EQ(outside, QColor(Qt::white));
}

TEST(PrintDatasheet, LongCommentContinuesOnASecondPage) {
  test::TempDir dir;
  DataSet ds = test::SensorA();
  std::string comment;
  for (int i = 1; i <= 80; ++i) comment += "Zeile " + std::to_string(i) + "\r\n";
  ds.SetValue(ValueId::Comment, comment);
  const std::string pdf = dir.Path("long.pdf");
  ASSERT_TRUE(PrintDatasheetToPdf(ds, pdf).ok);
  PDF_TEXT_OR_SKIP(text, pdf);
  const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
  ASSERT_EQ(pages.size(), 2);
  EXPECT_TRUE(Lines(pages[0]).contains("Zeile 1"));
  EXPECT_TRUE(Lines(pages[1]).contains("Zeile 80"));
  for (int i = 1; i <= 80; ++i)
    EXPECT_TRUE(Lines(text).contains(QString("Zeile %1").arg(i))) << i;
  EXPECT_TRUE(Lines(pages[0]).contains(QString::fromStdString("Druckdatum: " + PrintDateText())))
      << "today's date by default";
}

TEST(PrintDatasheet, BlankCommentHasNoCommentBlock) {
  test::TempDir dir;
  DataSet ds = test::SensorC();
  ds.SetValue(ValueId::Comment, std::string(" \r\n "));
  const std::string pdf = dir.Path("blank.pdf");
  ASSERT_TRUE(PrintDatasheetToPdf(ds, pdf).ok);
  PDF_TEXT_OR_SKIP(text, pdf);
  EXPECT_FALSE(text.contains("Zusatzbeschreibung"));
  EXPECT_TRUE(text.contains("Hellschaltung+Eingang"));
}

TEST(PrintDatasheet, PdfPrinterWritesAtomically) {
  test::TempDir dir;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.Path("printer.pdf")));
  const OutputResult ok = PrintDatasheet(test::SensorA(), printer);
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_GT(fs::file_size(dir.Path("printer.pdf")), 1000u);

  fs::create_directory(dir.Path("taken.pdf"));
  printer.setOutputFileName(QString::fromStdString(dir.Path("taken.pdf")));
  const OutputResult failed = PrintDatasheet(test::SensorA(), printer);
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error.find("taken.pdf"), std::string::npos) << failed.error;
  const OutputResult noFolder = PrintDatasheetToPdf(test::SensorA(), dir.Path("missing/x.pdf"));
  EXPECT_FALSE(noFolder.ok);

  QPrinter nowhere(QPrinter::HighResolution);
  nowhere.setOutputFormat(QPrinter::PdfFormat);
  nowhere.setOutputFileName({});
  const OutputResult refused = PrintDatasheet(test::SensorA(), nowhere);
  EXPECT_FALSE(refused.ok) << "a printer that cannot start is reported";
  EXPECT_NE(refused.error.find("Fehler beim Drucken"), std::string::npos) << refused.error;

  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Dir())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"printer.pdf", "taken.pdf"})) << "no temporary file left";
  EXPECT_TRUE(fs::is_empty(dir.Path("taken.pdf")));
}

}  // namespace
}  // namespace rkt
