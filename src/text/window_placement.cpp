#include "text/window_placement.h"

#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace rkt {

namespace {
QPointer<QWidget> g_mainWindow;
}  // namespace

void SetMainWindow(QWidget* window) { g_mainWindow = window; }

QWidget* MainWindow() { return g_mainWindow.data(); }

void CenterOnMain(QWidget& form) {
  const QWidget* main = MainWindow();
  QScreen* screen = main != nullptr ? main->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
  const QRect over = main != nullptr && main->isVisible() ? main->frameGeometry() : area;
  const QSize size = form.frameGeometry().size();
  int left = over.left() + (over.width() - size.width()) / 2;
  int top = over.top() + (over.height() - size.height()) / 2;
  if (area.isValid()) {
    left = std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    top = std::clamp(top, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
  }
  form.move(left, top);
}

int ShowFormModal(QDialog& dialog) {
  CenterOnMain(dialog);
  return dialog.exec();
}

}  // namespace rkt
