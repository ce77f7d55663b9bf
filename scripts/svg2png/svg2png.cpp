// rkt410-svg2png IN.svg OUT-STEM SCALE...
//   Writes OUT-STEM@<scale>x.png for each scale, at scale times the SVG's
//   own size, on a transparent background.
// rkt410-svg2png --ico IN.svg OUT.ico SIDE...
//   Writes a Windows icon with one square PNG image of each side (pixels).
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

namespace {

QImage Render(QSvgRenderer& renderer, QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  painter.end();
  return image;
}

// An ICO file whose entries are PNG images: what Windows reads since Vista
// at every size, and what windres takes as it is.
bool WriteIco(QSvgRenderer& renderer, const QString& out, const QList<int>& sides) {
  QList<QByteArray> images;
  for (const int side : sides) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!Render(renderer, QSize(side, side)).save(&buffer, "PNG")) return false;
    images.append(png);
  }
  QByteArray ico;
  auto put16 = [&ico](quint16 v) { ico.append(char(v & 0xFF)).append(char(v >> 8)); };
  auto put32 = [&](quint32 v) { put16(quint16(v & 0xFFFF)); put16(quint16(v >> 16)); };
  put16(0);
  put16(1);  // an icon
  put16(quint16(sides.size()));
  quint32 offset = 6 + 16 * quint32(sides.size());
  for (qsizetype i = 0; i < sides.size(); ++i) {
    const int side = sides[i];
    ico.append(char(side >= 256 ? 0 : side)).append(char(side >= 256 ? 0 : side));  // 0 stands for 256
    ico.append(char(0)).append(char(0));  // no palette, reserved
    put16(1);   // colour planes
    put16(32);  // bits per pixel
    put32(quint32(images[i].size()));
    put32(offset);
    offset += quint32(images[i].size());
  }
  for (const QByteArray& png : images) ico.append(png);
  QFile file(out);
  return file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  const bool ico = args.size() > 1 && args[1] == QStringLiteral("--ico");
  const qsizetype first = ico ? 2 : 1;
  if (args.size() < first + 3) {
    std::fprintf(stderr, "usage: rkt410-svg2png IN.svg OUT-STEM SCALE...\n"
                         "       rkt410-svg2png --ico IN.svg OUT.ico SIDE...\n");
    return 2;
  }
  QSvgRenderer renderer(args[first]);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "rkt410-svg2png: %s is not a readable SVG\n", qPrintable(args[first]));
    return 1;
  }
  QList<int> numbers;
  for (qsizetype i = first + 2; i < args.size(); ++i) {
    bool ok = false;
    const int n = args[i].toInt(&ok);
    if (!ok || n < 1 || n > (ico ? 256 : 64)) {
      std::fprintf(stderr, "rkt410-svg2png: %s is out of range\n", qPrintable(args[i]));
      return 2;
    }
    numbers.append(n);
  }
  if (ico) {
    if (WriteIco(renderer, args[first + 1], numbers)) return 0;
    std::fprintf(stderr, "rkt410-svg2png: cannot write %s\n", qPrintable(args[first + 1]));
    return 1;
  }
  for (const int scale : numbers) {
    const QImage image = Render(renderer, renderer.defaultSize() * scale);
    const QString out = QStringLiteral("%1@%2x.png").arg(args[2]).arg(scale);
    if (!image.save(out, "PNG")) {
      std::fprintf(stderr, "rkt410-svg2png: cannot write %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
