#include "output/picture.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#if RKT_SVG
#include <QSvgRenderer>
#endif

namespace rkt {

void DrawPicture(QPainter& painter, const QString& svgPath, const QRectF& target) {
#if RKT_SVG
  QSvgRenderer(svgPath).render(&painter, target);
#else
  const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  const QSizeF needed = painter.transform().mapRect(target).size() * ratio;
  const QString stem = svgPath.endsWith(QStringLiteral(".svg")) ? svgPath.chopped(4) : svgPath;
  QImage image;
  for (const int scale : {1, 2, 4, 8}) {
    QImage candidate(QStringLiteral("%1@%2x.png").arg(stem).arg(scale));
    if (candidate.isNull()) break;
    image = std::move(candidate);
    if (image.width() >= needed.width() && image.height() >= needed.height()) break;
  }
  if (image.isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
  painter.restore();
#endif
}

void PictureView::SetPicture(const QString& svgPath) {
  if (svgPath == m_path) return;
  m_path = svgPath;
  update();
}

void PictureView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  DrawPicture(painter, m_path, QRectF(rect()));
}

}  // namespace rkt
