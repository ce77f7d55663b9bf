#pragma once

#include <string>

#include "output/export.h"

class QDate;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QString;

// The printed one-page datasheet: header with logo, maker and title, the
// print date, the common content and the description (comment). Nothing here
// shows a window: the caller asks for the comment and the printer first.
namespace rkt {

class DataSet;

struct PrintOptions {
  // The date line's value (UTF-8); empty means today (PrintDateText).
  std::string date;
};

// The maker's logo printed in the header (an SVG resource), for windows
// that show it too.
QString LogoResourcePath();

// Today's date as the date line shows it: the short date form of the
// language's locale, with a four-digit year.
std::string PrintDateText();
std::string PrintDateText(const QDate& date);

// Paints the datasheet with an active painter on a paged device (printer,
// PDF writer); positions are millimetres from the top left corner of the
// printable area. A long comment continues on further pages.
void PaintDatasheet(const DataSet& ds, QPainter& painter, QPagedPaintDevice& device,
                    const PrintOptions& options = {});

// Prints on the printer as set up by the caller (a print dialog or the
// default printer). When the printer writes a PDF file the file is written
// to a temporary name and renamed at the end, so a failure leaves no
// partial file. A printer that cannot be opened or fails is reported.
OutputResult PrintDatasheet(const DataSet& ds, QPrinter& printer, const PrintOptions& options = {});

// The datasheet as an A4 PDF file, for machines without a printer and for
// the command line. Needs a QGuiApplication (for the fonts).
OutputResult PrintDatasheetToPdf(const DataSet& ds, const std::string& path, const PrintOptions& options = {});

}  // namespace rkt
