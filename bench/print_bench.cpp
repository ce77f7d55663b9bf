// The datasheet printed with a long comment: one word of 1 MiB (cut into
// pieces line by line) against the same length in words, each timed to a
// finished PDF file. Run by hand: build/bench/rkt410-print-bench [MiB]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/data_set.h"
#include "output/datasheet_print.h"

namespace {

double PrintSeconds(const std::string& comment, const std::string& pdf) {
  rkt::DataSet ds;
  ds.SetValue(rkt::ValueId::Comment, comment);
  QElapsedTimer clock;
  clock.start();
  const rkt::OutputResult result = rkt::PrintDatasheetToPdf(ds, pdf);
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  if (!result.ok) std::fprintf(stderr, "print failed: %s\n", result.error.c_str());
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const double mib = argc > 1 ? std::atof(argv[1]) : 1.0;
  const auto size = static_cast<std::size_t>(mib * 1024 * 1024);
  QTemporaryDir dir;
  const std::string pdf = dir.filePath(QStringLiteral("sheet.pdf")).toStdString();
  std::string words;
  while (words.size() < size) words += "Lichtschranke ";
  words.resize(size);
  const struct { const char* what; std::string comment; } cases[] = {
      {"comment of one word", std::string(size, 'x')},
      {"comment of words", words},
  };
  for (const auto& c : cases) {
    const double seconds = PrintSeconds(c.comment, pdf);
    std::printf("print, %-24s %6.2f MiB %8.2f s (goal < 5 s)\n", c.what, mib, seconds);
  }
  return 0;
}
