#include "app/start_picture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include "rkt_version.h"

namespace rkt {

QPixmap StartPicture() {
  QPixmap picture(420, 220);
  QPainter p(&picture);
  QLinearGradient sky(0, 0, 0, picture.height());
  sky.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
  sky.setColorAt(1, QColor(0x0b, 0x25, 0x3d));
  p.fillRect(picture.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);

  // A light beam between two sensor heads, the thing the program sets up.
  p.setPen(QPen(QColor(0xff, 0xd5, 0x4f), 3, Qt::DashLine));
  p.drawLine(70, 150, 350, 150);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xe0, 0xe0, 0xe0));
  p.drawRoundedRect(40, 130, 36, 40, 6, 6);
  p.drawRoundedRect(344, 130, 36, 40, 6, 6);

  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPointSize(20);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(0, 30, picture.width(), 40), Qt::AlignCenter, QStringLiteral("RKT 410 Parametrierung"));
  QFont small = p.font();
  small.setPointSize(10);
  small.setBold(false);
  p.setFont(small);
  p.drawText(QRect(0, 72, picture.width(), 24), Qt::AlignCenter,
             QStringLiteral("Version %1").arg(QStringLiteral(RKT_VERSION_STRING)));
  return picture;
}

}  // namespace rkt
