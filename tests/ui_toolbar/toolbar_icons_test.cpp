#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QToolBar>
#include <QTest>
#include <QToolTip>
#include <set>

#include "ui/toolbar/toolbar_icons.h"

namespace rkt {
namespace {

TEST(DisabledGrey, MapsIntensitiesInto110To192) {
  const struct {
    const char* context;
    int r, g, b;
    int grey;
  } rows[] = {
      {"black", 0, 0, 0, 110},
      {"white", 255, 255, 255, 192},
      {"the transparent grey itself", 192, 192, 192, 172},
      {"pure red: a = 85", 255, 0, 0, 137},
      {"a = 127.67 rounds up to 128", 0, 128, 255, 151},
      {"a = 1.33 rounds down", 1, 1, 2, 110},
      {"nearly white still reaches 192", 254, 254, 255, 192},
  };
  for (const auto& row : rows) EXPECT_EQ(DisabledGrey(row.r, row.g, row.b), row.grey) << row.context;
}

TEST(GreyedSymbol, GreysEveryPixelButTheTransparentOnes) {
  QImage symbol(6, 1, QImage::Format_ARGB32);
  symbol.setDevicePixelRatio(2);
  const QRgb in[] = {qRgb(0, 0, 0),        qRgb(255, 255, 255), kTransparentGrey,
                     qRgba(255, 0, 0, 0), qRgba(255, 0, 0, 128), qRgb(0, 128, 255)};
  for (int x = 0; x < 6; ++x) symbol.setPixel(x, 0, in[x]);

  const QImage grey = GreyedSymbol(symbol);
  const struct {
    const char* context;
    QRgb expected;
  } rows[] = {
      {"black", qRgb(110, 110, 110)},
      {"white", qRgb(192, 192, 192)},
      {"transparent grey stays", kTransparentGrey},
      {"fully transparent stays", qRgba(255, 0, 0, 0)},
      {"half transparent red keeps its alpha", qRgba(137, 137, 137, 128)},
      {"mid colour", qRgb(151, 151, 151)},
  };
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(grey.pixel(x, 0), rows[x].expected)
        << rows[x].context << ": got " << std::hex << grey.pixel(x, 0);
  EXPECT_EQ(grey.devicePixelRatio(), 2);
}

// The rendered pixels of an icon, for comparisons.
QImage Render(const QIcon& icon, QIcon::Mode mode, qreal dpr = 1) {
  return icon.pixmap(QSize(kToolbarSymbolSize, kToolbarSymbolSize), dpr, mode).toImage();
}

TEST(ToolbarIcons, EveryButtonHasItsOwnSharpSymbol) {
  std::set<QByteArray> seen;
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    SCOPED_TRACE(i);
    const QIcon icon = ToolbarIcon(i);
    ASSERT_FALSE(icon.isNull());
    const QImage normal = Render(icon, QIcon::Normal);
    ASSERT_EQ(normal.size(), QSize(24, 24));
    const QImage sharp = Render(icon, QIcon::Normal, 2);
    EXPECT_EQ(sharp.size(), QSize(48, 48)) << "drawn at the screen's pixel size, not scaled up";
    EXPECT_EQ(sharp.devicePixelRatio(), 2);
    seen.insert(QByteArray(reinterpret_cast<const char*>(normal.constBits()), normal.sizeInBytes()));

    int opaque = 0;
    const QImage disabled = Render(icon, QIcon::Disabled).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < disabled.height(); ++y)
      for (int x = 0; x < disabled.width(); ++x) {
        const QRgb p = disabled.pixel(x, y);
        // Edge pixels pass through premultiplied alpha and lose exactness.
        if (qAlpha(p) != 255) continue;
        ++opaque;
        ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
        ASSERT_GE(qRed(p), 110);
        ASSERT_LE(qRed(p), 192);
      }
    EXPECT_GT(opaque, 40) << "the symbol is drawn";
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kToolbarButtonCount)) << "no two buttons share a symbol";
  EXPECT_TRUE(ToolbarIcon(kToolbarButtonCount).isNull());
  EXPECT_TRUE(ToolbarIcon(-1).isNull());
}

TEST(ToolbarIcons, StatusPicturesDiffer) {
  const QImage on = StatusIcon(StatusImage::DetectionOn).pixmap(24).toImage();
  const QImage off = StatusIcon(StatusImage::DetectionOff).pixmap(24).toImage();
  EXPECT_FALSE(on.isNull());
  EXPECT_NE(on, off);
}

TEST(ToolbarTooltips, GermanDefaults) {
  EXPECT_EQ(ToolbarTooltip(kButtonLoad), "Sensordatensatz laden");
  EXPECT_EQ(ToolbarTooltip(kButtonSensitivityWrite), "Empfindlichkeitseinstellung zum Sensor übertragen");
  EXPECT_EQ(ToolbarTooltip(kButtonExtraDescription), "Sensor Zusatzbeschreibung");
  EXPECT_EQ(ToolbarTooltip(kToolbarButtonCount), "");
  EXPECT_EQ(StatusTooltip(StatusImage::Searching), "Sensor Indikator");
  EXPECT_EQ(StatusTooltip(StatusImage::SensorFind), "Sensor testen");
}

// Asks the button for its tooltip the way the pointer resting on it does;
// the text of the tooltip shown afterwards, "" when none is.
QString TooltipAfterRest(QWidget* button) {
  const QPoint pos = button->rect().center();
  QHelpEvent help(QEvent::ToolTip, pos, button->mapToGlobal(pos));
  QApplication::sendEvent(button, &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// A tooltip fades out; wait until it is gone.
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
