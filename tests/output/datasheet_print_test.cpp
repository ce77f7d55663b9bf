#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPaintEngine>
#include <QPrintEngine>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <map>

#include "output/datasheet_content.h"
#include "output/datasheet_print.h"
#include "output_test_data.h"
#include "test_data.h"

namespace rkt {
namespace {

namespace fs = std::filesystem;

// A printer that records the text painted on it: the path of a real
// printer, not the PDF file's.
class FakePrinter : public QPrinter {
 public:
  struct Engine final : QPaintEngine, QPrintEngine {
    Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return starts; }
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
    bool starts = true;
    QPrinter::PrinterState state = QPrinter::Idle;
    QStringList text;
    int pages = 0;
  } engine;
  FakePrinter() { setEngines(&engine, &engine); }
};

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

TEST(PrintDatasheet, PdfHoldsHeaderDateEveryLineAndTheComment) {
  test::TempDir dir;
  DataSet ds = test::SensorB();
  // Windows-1252, as the data set holds it.
  ds.SetValue(ValueId::Comment, "Pr\xfc" "fstand S\xfc" "d\r\nZweite Zeile\n" + Paragraph() + "\r\n" + std::string(150, 'x'));
  ds.SetValue(ValueId::FileName, "/" + std::string(40, 'd') + "/" + std::string(60, 'f') + ".RKT");  // wraps
  const OutputResult result = PrintDatasheetToPdf(ds, dir.Path("sheet.pdf"), {"24.12.2026"});
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.error, "");
  const QString text = PdfText(dir.Path("sheet.pdf"));
  const QStringList lines = Lines(text);
  EXPECT_TRUE(lines.front().startsWith("Varem electronic RKT 410 - Parametereinstellung")) << lines.front().toStdString();
  EXPECT_TRUE(lines.contains("Druckdatum: 24.12.2026")) << text.toStdString();
  for (const OutputLineItem& item : CommonContent(ds)) {
    const QString expected = QString::fromStdString(item.label + " " + item.value).simplified();
    EXPECT_TRUE(expected.isEmpty() || item.label == "Datei:" || lines.contains(expected)) << expected.toStdString();
  }
  EXPECT_TRUE(lines.contains("Zusatzbeschreibung:"));
  EXPECT_TRUE(lines.contains(QString::fromUtf8("Prüfstand Süd"))) << "line breaks kept, umlauts right";
  EXPECT_TRUE(lines.contains("Zweite Zeile"));
  // Wrapped at spaces over several lines, in order; a word too long for a
  // line is cut into pieces rather than off the page.
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
  // Word boxes in mm from the paper's corner (A4, 5 mm page margins): nothing
  // starts left of the text margin or reaches into the right one, and the
  // header, date line, value column and line pitch sit where the plan has them.
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
}

TEST(PrintDatasheet, LogoInTheHeader) {
  ASSERT_TRUE(QFile::exists(LogoResourcePath()));
  test::TempDir dir;
  ASSERT_TRUE(PrintDatasheetToPdf(test::SensorA(), dir.Path("logo.pdf")).ok);
  QProcess process;
  process.start("pdftoppm", {"-r", "254", "-png", "-singlefile", QString::fromStdString(dir.Path("logo.pdf")),
                             QString::fromStdString(dir.Path("page"))});
  ASSERT_TRUE(process.waitForFinished(30000));
  const QImage page(QString::fromStdString(dir.Path("page.png")));
  ASSERT_FALSE(page.isNull());
  // 10 pixels a millimetre; the logo spans 20..27 mm from the paper's corner.
  const QColor inside = page.pixelColor(205, 235);
  EXPECT_GT(inside.blue(), inside.red() + 60) << "the logo's blue";
  EXPECT_EQ(page.pixelColor(185, 235), QColor(Qt::white));
}

TEST(PrintDatasheet, LongCommentContinuesOnASecondPageBlankOneIsLeftOut) {
  test::TempDir dir;
  DataSet ds = test::SensorA();
  std::string comment;
  for (int i = 1; i <= 80; ++i) comment += "Zeile " + std::to_string(i) + "\r\n";
  ds.SetValue(ValueId::Comment, comment);
  ASSERT_TRUE(PrintDatasheetToPdf(ds, dir.Path("long.pdf")).ok);
  const QString text = PdfText(dir.Path("long.pdf"));
  const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
  ASSERT_EQ(pages.size(), 2);
  EXPECT_TRUE(Lines(pages[0]).contains("Zeile 1"));
  EXPECT_TRUE(Lines(pages[1]).contains("Zeile 80"));
  for (int i = 1; i <= 80; ++i) EXPECT_TRUE(Lines(text).contains(QString("Zeile %1").arg(i))) << i;
  EXPECT_TRUE(Lines(pages[0]).contains(QString::fromStdString("Druckdatum: " + PrintDateText()))) << "today by default";

  ds = test::SensorC();
  ds.SetValue(ValueId::Comment, std::string(" \r\n\t"));
  ASSERT_TRUE(PrintDatasheetToPdf(ds, dir.Path("blank.pdf")).ok);
  const QString blank = PdfText(dir.Path("blank.pdf"));
  EXPECT_FALSE(blank.contains("Zusatzbeschreibung"));
  EXPECT_TRUE(blank.contains("Hellschaltung+Eingang"));
}

TEST(PrintDatasheet, PrinterResultsAndAtomicPdf) {
  test::TempDir dir;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.Path("printer.pdf")));
  const OutputResult ok = PrintDatasheet(test::SensorA(), printer);
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(test::ReadBytes(dir.Path("printer.pdf"))[0], '%');

  fs::create_directory(dir.Path("taken.pdf"));
  printer.setOutputFileName(QString::fromStdString(dir.Path("taken.pdf")));
  const OutputResult taken = PrintDatasheet(test::SensorA(), printer);
  EXPECT_FALSE(taken.ok);
  EXPECT_EQ(taken.error.rfind("Fehler beim Speichern der Datei!\n" + dir.Path("taken.pdf") + ": ", 0), 0u) << taken.error;
  EXPECT_FALSE(PrintDatasheetToPdf(test::SensorA(), dir.Path("missing/x.pdf")).ok);
  QPrinter nowhere(QPrinter::HighResolution);
  nowhere.setOutputFormat(QPrinter::PdfFormat);
  const OutputResult refused = PrintDatasheet(test::SensorA(), nowhere);
  EXPECT_FALSE(refused.ok) << "a printer that cannot start is reported";
  EXPECT_EQ(refused.error, "Fehler beim Drucken!");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"printer.pdf", "taken.pdf"})) << "no temporary file left";
  EXPECT_TRUE(fs::is_empty(dir.Path("taken.pdf")));

  FakePrinter fake;
  const OutputResult printed = PrintDatasheet(test::SensorB(), fake, {"2.1.2027"});
  EXPECT_TRUE(printed.ok) << printed.error;
  EXPECT_EQ(printed.error, "");
  EXPECT_TRUE(fake.engine.text.contains("Druckdatum:")) << fake.engine.text.join('|').toStdString();
  EXPECT_TRUE(fake.engine.text.contains("2.1.2027"));
  EXPECT_EQ(fake.engine.pages, 0);
  fake.engine.state = QPrinter::Error;
  EXPECT_EQ(PrintDatasheet(test::SensorB(), fake).error, "Fehler beim Drucken!\nLager 2");
  fake.engine.state = QPrinter::Idle;
  fake.engine.starts = false;
  EXPECT_FALSE(PrintDatasheet(test::SensorB(), fake).ok);
}

}  // namespace
}  // namespace rkt
