#include "text/window_placement.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

namespace rkt {
namespace {

TEST(CenterOnMain, CentresOverTheMainWindowAndStaysOnTheScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget main;
  main.setGeometry(area.left() + 100, area.top() + 100, 400, 300);
  main.show();
  SetMainWindow(&main);

  QWidget small;
  small.resize(100, 50);
  CenterOnMain(small);
  small.show();
  // Centred with its frame, which a window gets only once it is shown.
  EXPECT_NEAR(small.frameGeometry().center().x(), main.frameGeometry().center().x(), 1);
  EXPECT_NEAR(small.frameGeometry().center().y(), main.frameGeometry().center().y(), 1);

  // Centred over the main window this one would start left of the screen.
  QWidget large;
  large.resize(area.width() - 10, 200);
  CenterOnMain(large);
  EXPECT_GE(large.x(), area.left());
  EXPECT_LE(large.x() + large.width(), area.right() + 1);

  SetMainWindow(nullptr);
  EXPECT_EQ(MainWindow(), nullptr);
}

}  // namespace
}  // namespace rkt
