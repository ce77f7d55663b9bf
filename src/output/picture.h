#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

namespace rkt {

// Draws a picture resource, named by its SVG path (":/toolbar/load.svg"),
// stretched into target. Where Qt Svg is there the drawing is rendered at
// the size needed; without it (the Windows build has only qtbase) the PNGs
// rendered from it at build time stand in: the smallest that still has a
// pixel for every device pixel of target, so it stays sharp on print too.
void DrawPicture(QPainter& painter, const QString& svgPath, const QRectF& target);

// A widget that shows one picture resource over its whole area.
class PictureView final : public QWidget {
 public:
  using QWidget::QWidget;
  void SetPicture(const QString& svgPath);
  const QString& Picture() const { return m_path; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_path;
};

}  // namespace rkt
