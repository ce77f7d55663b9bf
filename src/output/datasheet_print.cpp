#include "output/datasheet_print.h"

#include <QDate>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QBuffer>
#include <algorithm>

#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/safe_file.h"
#include "model/text_encoding.h"
#include "output/datasheet_content.h"
#include "output/line_wrap.h"
#include "output/picture.h"
#include "text/language.h"
#include "text/text_keys.h"
#include "text/messages.h"
#include "text/reason_texts.h"

// Resources of a static library must be registered by hand, from outside any
// namespace.
static void InitPrintResources() { Q_INIT_RESOURCE(print); }

namespace rkt {

namespace {

constexpr double kLeftMm = 15;
constexpr double kRightMm = 15;    // distance of the title, rule and text from the right edge
constexpr double kBottomMm = 15;   // a line that would end closer to the bottom goes to the next page
constexpr double kTopOfPageMm = 15;
constexpr double kLogoMm = 7;
constexpr double kMakerXMm = 23;
constexpr double kHeaderYMm = 16;
constexpr double kRuleYMm = 24;
constexpr double kBelowRuleMm = 5;
constexpr double kRuleWidthMm = 0.25;
constexpr int kValueColumn = 50;
constexpr double kHeaderPoints = 18;
constexpr double kBodyPoints = 10;

// Arial where it exists; elsewhere, by name, a font with its metrics
// (Liberation Sans, which the package depends on), so that the header stays
// on one line; else whatever sans-serif font the font matching finds.
QString SheetFamily() {
  static const QString family = [] {
    const QStringList installed = QFontDatabase::families();
    for (const char* name : {"Arial", "Liberation Sans", "Nimbus Sans", "Helvetica"})
      if (installed.contains(QString::fromLatin1(name), Qt::CaseInsensitive)) return QString::fromLatin1(name);
    return QString();
  }();
  return family;
}

QFont SheetFont(double points, bool bold) {
  QFont font;
  if (!SheetFamily().isEmpty()) font.setFamily(SheetFamily());
  else font.setFamilies({"Arial", "Liberation Sans", "Nimbus Sans", "Helvetica"});
  font.setStyleHint(QFont::SansSerif);
  // No shaping means no ligatures: "fi" stays two letters in the PDF, so a
  // search for a label ("Störfilterung") finds it.
  font.setStyleStrategy(QFont::PreferNoShaping);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

class PrintedSheet final : public OutputTarget {
 public:
  PrintedSheet(QPainter& painter, QPagedPaintDevice& device)
      : m_painter(painter),
        m_device(device),
        m_pxPerMmX(device.logicalDpiX() / 25.4),
        m_pxPerMmY(device.logicalDpiY() / 25.4),
        m_widthMm(device.width() / m_pxPerMmX),
        m_heightMm(device.height() / m_pxPerMmY) {}

  void Header(const std::string& title) {
    DrawPicture(m_painter, LogoResourcePath(), QRectF(X(kLeftMm), Y(kLeftMm), X(kLogoMm), Y(kLogoMm)));

    UseFont(SheetFont(kHeaderPoints, true));
    Draw(kMakerXMm, kHeaderYMm, "Varem electronic");
    Draw(RightMm() - WidthMm(title), kHeaderYMm, title);

    QPen pen(Qt::black);
    pen.setWidthF(Y(kRuleWidthMm));
    m_painter.setPen(pen);
    m_painter.drawLine(QPointF(X(kLeftMm), Y(kRuleYMm)), QPointF(X(RightMm()), Y(kRuleYMm)));

    UseFont(SheetFont(kBodyPoints, false));
    m_yMm = kRuleYMm + kBelowRuleMm;
  }

  // Label at 15 mm, value at text column 50; a label that runs past the
  // column puts its value on the next line, a value too wide for the page
  // continues below at the column.
  void OutputLine(const std::string& label, const std::string& value, bool newLine) override {
    if (!label.empty() || !value.empty()) {
      EnsureRoom();
      double xMm = kLeftMm;
      if (!label.empty()) {
        Draw(xMm, m_yMm, label);
        xMm += WidthMm(label);
      }
      if (!value.empty()) {
        const double valueMm = (kValueColumn - 1) * m_columnMm;
        if (xMm > valueMm) NextLine();
        const std::vector<std::string> parts = Wrap(value, RightMm() - valueMm);
        for (std::size_t i = 0; i < parts.size(); ++i) {
          if (i > 0) NextLine();
          EnsureRoom();
          Draw(valueMm, m_yMm, parts[i]);
        }
      }
    }
    if (newLine) NextLine();
  }

  // The description from 15 mm, wrapped at the right margin; each line
  // break in the text starts a new line.
  void Comment(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find_first_of("\r\n", start);
      if (end == std::string::npos) end = text.size();
      for (const std::string& line : Wrap(text.substr(start, end - start), RightMm() - kLeftMm)) {
        EnsureRoom();
        Draw(kLeftMm, m_yMm, line);
        NextLine();
      }
      if (end == text.size()) break;
      start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
  }

 private:
  double X(double mm) const { return mm * m_pxPerMmX; }
  double Y(double mm) const { return mm * m_pxPerMmY; }
  double RightMm() const { return m_widthMm - kRightMm; }

  // The page plan was laid out for Arial. Its proportions place the text
  // baseline, the line pitch and the value column, so that a stand-in font
  // with taller ascent or wider average character (as the usual Linux
  // sans-serif fonts have) keeps the plan's look.
  void UseFont(const QFont& font) {
    constexpr double kAscentEm = 1854.0 / 2048;
    constexpr double kLineEm = (1854.0 + 434 + 67) / 2048;
    constexpr double kAverageCharEm = 904.0 / 2048;
    m_painter.setFont(font);
    const double emPx = font.pointSizeF() * m_device.logicalDpiY() / 72.0;
    m_metricsAscent = kAscentEm * emPx;
    m_lineMm = kLineEm * emPx / m_pxPerMmY;
    m_columnMm = kAverageCharEm * emPx / m_pxPerMmX;
  }

  double WidthMm(const std::string& text) const {
    return QFontMetricsF(m_painter.font(), &m_device).horizontalAdvance(Q(text)) / m_pxPerMmX;
  }

  // Positions name the top left corner of the text, as on the page plan.
  void Draw(double xMm, double yMm, const std::string& text) {
    m_painter.setPen(Qt::black);
    m_painter.drawText(QPointF(X(xMm), Y(yMm) + m_metricsAscent), Q(text));
  }

  void NextLine() { m_yMm += m_lineMm; }

  void EnsureRoom() {
    if (m_yMm + m_lineMm <= m_heightMm - kBottomMm || m_yMm <= kTopOfPageMm) return;
    m_device.newPage();
    m_yMm = kTopOfPageMm;
  }

  // Cuts text into lines no wider than widthMm: after each space, and
  // inside a word only when the word alone is wider than a line.
  std::vector<std::string> Wrap(const std::string& text, double widthMm) const {
    const QFontMetricsF metrics(m_painter.font(), &m_device);
    std::vector<std::string> lines;
    for (const QString& line : WrapText(Q(text), X(widthMm), [&](const QString& s) { return metrics.horizontalAdvance(s); }))
      lines.push_back(line.toStdString());
    return lines;
  }

  QPainter& m_painter;
  QPagedPaintDevice& m_device;
  double m_pxPerMmX;
  double m_pxPerMmY;
  double m_widthMm;
  double m_heightMm;
  double m_yMm = 0;
  double m_lineMm = 0;
  double m_columnMm = 0;
  double m_metricsAscent = 0;
};

OutputResult FileFailure(const std::string& path, const std::string& why) {
  return {false, MessageDisplayText(msg::kSaveFailed) + "\n" + path + ": " + ReasonText(why)};
}

OutputResult PrinterFailure(const QPrinter& printer) {
  std::string text = Text("Print", "PrintFailed");
  if (!printer.printerName().isEmpty()) text += "\n" + printer.printerName().toStdString();
  return {false, text};
}

OutputResult WritePdf(const DataSet& ds, const std::string& path, const QPageLayout& layout, int resolution,
                      const PrintOptions& options) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return {false, "Printing needs a QGuiApplication"};
  // The PDF is made in memory and then written like every other file: into
  // a fresh temporary file beside the target that replaces it only once
  // complete and checked.
  QBuffer pdf;
  if (!pdf.open(QIODevice::WriteOnly)) return FileFailure(path, "cannot start the PDF");
  {
    QPdfWriter writer(&pdf);
    writer.setPageLayout(layout);
    writer.setResolution(resolution);
    writer.setCreator(QStringLiteral("RKT 410 Parametrierung"));
    writer.setTitle(Q(DatasheetTitle()));
    QPainter painter;
    if (!painter.begin(&writer)) return FileFailure(path, "cannot start the PDF");
    PaintDatasheet(ds, painter, writer, options);
    if (!painter.end()) return FileFailure(path, "the PDF could not be finished");
  }
  pdf.close();
  const QByteArray& bytes = pdf.data();
  if (const std::string why = WriteFileAtomically(path, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
      !why.empty())
    return FileFailure(path, why);
  return {true, {}};
}

}  // namespace

QString LogoResourcePath() {
  InitPrintResources();
  return QStringLiteral(":/print/logo.svg");
}

std::string PrintDateText() { return PrintDateText(QDate::currentDate()); }

std::string PrintDateText(const QDate& date) {
  // The language's date form, not the system's: a German sheet reads
  // "07.12.2026" whatever the machine is set to. The year keeps its four
  // digits, as a sheet may be kept for decades.
  const QString name = QString::fromStdString(LanguageLocale()).trimmed();
  const QLocale locale = name.isEmpty() ? QLocale::system() : QLocale(name);
  QString format = locale.dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("yyyy"))) format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  return locale.toString(date, format).toStdString();
}

void PaintDatasheet(const DataSet& ds, QPainter& painter, QPagedPaintDevice& device, const PrintOptions& options) {
  PrintedSheet sheet(painter, device);
  sheet.Header(DatasheetTitle());
  sheet.OutputLine(Text("Print", "lblPrintDate"),
                   options.date.empty() ? PrintDateText() : options.date, true);
  OutputContent(sheet, CommonContent(ds));

  // As long as a file may carry: a larger one (typed in, say) cannot keep
  // the printer busy for minutes.
  const std::string& stored = ds.Comment();
  const std::string comment =
      Cp1252ToUtf8(stored.size() > kMaxCommentLength ? stored.substr(0, kMaxCommentLength) : stored);
  if (comment.find_first_not_of(" \t\r\n") != std::string::npos) {
    sheet.OutputLine({}, {}, true);
    sheet.OutputLine(Text("Print", "lblComment"), {}, true);
    sheet.OutputLine({}, {}, true);
    sheet.Comment(comment);
  }
}

OutputResult PrintDatasheet(const DataSet& ds, QPrinter& printer, const PrintOptions& options) {
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
    return WritePdf(ds, printer.outputFileName().toStdString(), printer.pageLayout(), printer.resolution(),
                    options);
  QPainter painter;
  if (!painter.begin(&printer)) return PrinterFailure(printer);
  PaintDatasheet(ds, painter, printer, options);
  if (!painter.end() || printer.printerState() == QPrinter::Error) return PrinterFailure(printer);
  return {true, {}};
}

OutputResult PrintDatasheetToPdf(const DataSet& ds, const std::string& path, const PrintOptions& options) {
  const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5),
                       QPageLayout::Millimeter);
  return WritePdf(ds, path, a4, 600, options);
}

}  // namespace rkt
