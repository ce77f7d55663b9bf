#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <set>

#include "ui/toolbar/toolbar_icons.h"

namespace rkt {
namespace {

QImage Render(const QIcon& icon, QIcon::Mode mode, qreal dpr = 1) {
  return icon.pixmap(QSize(kToolbarSymbolSize, kToolbarSymbolSize), dpr, mode).toImage();
}

TEST(ToolbarIcons, EveryButtonHasItsOwnSharpSymbolGreyedWhenDisabled) {
  std::set<QByteArray> seen;
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    SCOPED_TRACE(i);
    const QImage normal = Render(ToolbarIcon(i), QIcon::Normal);
    ASSERT_EQ(normal.size(), QSize(24, 24));
    const QImage sharp = Render(ToolbarIcon(i), QIcon::Normal, 2);
    EXPECT_EQ(sharp.size(), QSize(48, 48)) << "drawn at the screen's pixel size, not scaled up";
    EXPECT_EQ(sharp.devicePixelRatio(), 2);
    seen.insert(QByteArray(reinterpret_cast<const char*>(normal.constBits()), normal.sizeInBytes()));
    int opaque = 0;
    const QImage disabled = Render(ToolbarIcon(i), QIcon::Disabled).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < disabled.height(); ++y)
      for (int x = 0; x < disabled.width(); ++x) {
        const QRgb p = disabled.pixel(x, y);
        if (qAlpha(p) != 255) continue;  // edges lose exactness through premultiplied alpha
        ++opaque;
        ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) && qRed(p) >= 110 && qRed(p) <= 192) << x << "," << y;
      }
    EXPECT_GT(opaque, 40) << "the symbol is drawn";
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kToolbarButtonCount)) << "no two buttons share a symbol";
  EXPECT_TRUE(ToolbarIcon(kToolbarButtonCount).isNull() && ToolbarIcon(-1).isNull());
  EXPECT_EQ(ToolbarTooltip(kToolbarButtonCount), "");
  EXPECT_EQ(StatusTooltip(StatusImage::SensorFind), "Sensor testen");
  EXPECT_NE(StatusIcon(StatusImage::DetectionOn).pixmap(24).toImage(), StatusIcon(StatusImage::DetectionOff).pixmap(24).toImage());
}

// The tooltip the pointer resting on the button brings up, "" when none.
QString TooltipAfterRest(QWidget* button) {
  const QPoint pos = button->rect().center();
  QHelpEvent help(QEvent::ToolTip, pos, button->mapToGlobal(pos));
  QApplication::sendEvent(button, &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

bool TooltipGone() { return QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000); }

TEST(TooltipSwitch, OffSuppressesTooltipsAlsoOnButtonsAddedLater) {
  QToolBar bar;
  QAction* load = bar.addAction(ToolbarIcon(kButtonLoad), "load");
  load->setToolTip(QString::fromStdString(ToolbarTooltip(kButtonLoad)));
  TooltipSwitch tooltips;
  tooltips.Watch(&bar);
  QAction* save = bar.addAction(ToolbarIcon(kButtonSave), "save");
  save->setToolTip(QString::fromStdString(ToolbarTooltip(kButtonSave)));
  bar.show();
  QWidget* loadButton = bar.widgetForAction(load);
  QWidget* saveButton = bar.widgetForAction(save);
  ASSERT_TRUE(loadButton && saveButton);
  ASSERT_EQ(TooltipAfterRest(loadButton), "Sensordatensatz laden") << "tooltips work on this platform";
  tooltips.SetEnabled(false);
  EXPECT_TRUE(TooltipGone()) << "switching off hides a shown tooltip";
  EXPECT_EQ(TooltipAfterRest(loadButton), "");
  EXPECT_EQ(TooltipAfterRest(saveButton), "") << "button created after Watch";
  tooltips.SetEnabled(true);
  EXPECT_EQ(TooltipAfterRest(saveButton), "Sensordatensatz speichern");
  QToolTip::hideText();
  TooltipGone();
}

}  // namespace
}  // namespace rkt
