#include "ui/toolbar/toolbar_icons.h"

#include <QChildEvent>
#include <QEvent>
#include <QIconEngine>
#include <QPainter>
#include <QToolTip>
#include <QWidget>
#include <array>
#include <cmath>

#include "output/picture.h"
#include "text/text_keys.h"

// Resources of a static library must be registered by hand, from outside any
// namespace.
static void InitToolbarResources() { Q_INIT_RESOURCE(toolbar); }

namespace rkt {

namespace {

constexpr std::array<const char*, kToolbarButtonCount> kSymbolFiles = {
    "load",         "save",        "print",           "comm_test",         "sensor_write",     "sensor_read",
    "sensor_info", "factory_settings", "sensitivity_write", "sensitivity_read", "extra_description"};

QString SymbolPath(const char* name) { return QStringLiteral(":/toolbar/%1.svg").arg(QLatin1String(name)); }

QString StatusPath(StatusImage image) {
  switch (image) {
    case StatusImage::DetectionOn: return SymbolPath("detection_on");
    case StatusImage::DetectionOff: return SymbolPath("detection_off");
    case StatusImage::Searching: return SymbolPath("detection_searching");
    case StatusImage::SensorFind: return SymbolPath("sensor_find");
  }
  return {};
}

// The symbol at `pixels` device pixels in `area`, on a transparent image of
// `size` device pixels.
QImage RenderSymbol(const QString& path, QSize size, QRectF area) {
  InitToolbarResources();
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  DrawPicture(painter, path, area);
  return image;
}

// Renders the SVG at the size asked for, so the symbol is sharp at every
// screen scale, and applies the look of the icon mode.
class SymbolIconEngine final : public QIconEngine {
 public:
  explicit SymbolIconEngine(QString path) : m_path(std::move(path)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pixmap = this->pixmap(rect.size() * dpr, mode, state);
    pixmap.setDevicePixelRatio(dpr);
    painter->drawPixmap(rect, pixmap);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) override {
    const int side = std::min(size.width(), size.height());
    QRectF area(0, 0, side, side);
    area.moveCenter(QRectF(QPointF(0, 0), QSizeF(size)).center());
    if (mode == QIcon::Selected) {
      const qreal shift = std::max(1.0, side / qreal(kToolbarSymbolSize));
      area.translate(shift, shift);
    }
    QImage image = RenderSymbol(m_path, size, area);
    if (mode == QIcon::Disabled) image = GreyedSymbol(image);
    return QPixmap::fromImage(image);
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine* clone() const override { return new SymbolIconEngine(m_path); }
  QString key() const override { return QStringLiteral("rkt-symbol"); }

 private:
  QString m_path;
};

bool ValidIndex(int index) { return index >= 0 && index < kToolbarButtonCount; }

}  // namespace

int DisabledGrey(int red, int green, int blue) {
  const long a = std::lround((red + green + blue) / 3.0);
  return static_cast<int>(std::lround(a / 255.0 * 82.0 + 110.0));
}

QImage GreyedSymbol(const QImage& symbol) {
  QImage out = symbol.convertToFormat(QImage::Format_ARGB32);
  // Symbols have long runs of one colour; the last mapping is reused.
  QRgb lastIn = 0;
  QRgb lastOut = 0;
  bool haveLast = false;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const QRgb pixel = line[x];
      if (qAlpha(pixel) == 0 || (pixel & 0x00FFFFFF) == (kTransparentGrey & 0x00FFFFFF)) continue;
      if (!haveLast || pixel != lastIn) {
        const int g = DisabledGrey(qRed(pixel), qGreen(pixel), qBlue(pixel));
        lastIn = pixel;
        lastOut = qRgba(g, g, g, qAlpha(pixel));
        haveLast = true;
      }
      line[x] = lastOut;
    }
  }
  return out;
}

QIcon ToolbarIcon(int index) {
  if (!ValidIndex(index)) return {};
  return QIcon(new SymbolIconEngine(SymbolPath(kSymbolFiles[static_cast<std::size_t>(index)])));
}

QIcon StatusIcon(StatusImage image) { return QIcon(new SymbolIconEngine(StatusPath(image))); }

std::string ToolbarTooltip(int index) {
  if (!ValidIndex(index)) return {};
  return Text("Tooltips", "Tooltip" + std::to_string(index));
}

std::string StatusTooltip(StatusImage image) {
  return Text("Tooltips", image == StatusImage::SensorFind ? "SBSensFind" : "SBSens");
}

TooltipSwitch::TooltipSwitch(QObject* parent) : QObject(parent) {}

void TooltipSwitch::Watch(QWidget* widget) {
  if (!widget) return;
  widget->installEventFilter(this);
  for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
}

void TooltipSwitch::SetEnabled(bool on) {
  m_enabled = on;
  if (!on) QToolTip::hideText();
}

bool TooltipSwitch::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) {
    // A toolbar creates a tool button for each action added later.
    if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) Watch(child);
  } else if (event->type() == QEvent::ToolTip && !m_enabled) {
    QToolTip::hideText();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace rkt
