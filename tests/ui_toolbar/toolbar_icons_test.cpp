#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <set>

#include "ui/toolbar/toolbar_icons.h"

namespace rkt {
namespace {

TEST(ToolbarIcons, EveryButtonHasItsOwnSymbolAndNoneBeyondTheButtons) {
  std::set<QByteArray> seen;
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    const QImage normal = ToolbarIcon(i).pixmap(QSize(24, 24)).toImage();
    seen.insert(QByteArray(reinterpret_cast<const char*>(normal.constBits()), normal.sizeInBytes()));
    EXPECT_NE(ToolbarIcon(i).pixmap(QSize(24, 24), QIcon::Disabled).toImage(), normal) << i << " greyed when disabled";
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kToolbarButtonCount)) << "no two buttons share a symbol";
  EXPECT_TRUE(ToolbarIcon(kToolbarButtonCount).isNull() && ToolbarIcon(-1).isNull());
  EXPECT_EQ(ToolbarTooltip(kToolbarButtonCount) + StatusTooltip(StatusImage::SensorFind), "Sensor testen");
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
  QWidget *loadButton = bar.widgetForAction(load), *saveButton = bar.widgetForAction(save);
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
