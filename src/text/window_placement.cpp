#include "text/window_placement.h"

#include <QApplication>
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
  // A dialog not yet shown has no size of its own: take the one its layout
  // gives, or it would be placed by a default size and end up off centre.
  if (!form.isVisible() && !form.testAttribute(Qt::WA_Resized)) form.adjustSize();
  const QWidget* main = MainWindow();
  QScreen* screen = main != nullptr ? main->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
  const QRect over = main != nullptr && main->isVisible() ? main->frameGeometry() : area;
  QSize size = form.frameGeometry().size();
  // A window not yet shown has no frame yet; its frame will be like the
  // main window's, so count that in, or it would end up off centre and
  // over the screen's edge by the height of its title bar.
  if (!form.isVisible() && main != nullptr && main->isVisible())
    size += main->frameGeometry().size() - main->geometry().size();
  int left = over.left() + (over.width() - size.width()) / 2;
  int top = over.top() + (over.height() - size.height()) / 2;
  if (area.isValid()) {
    left = std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    top = std::clamp(top, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
  }
  form.move(left, top);
}

int ShowFormModal(QDialog& dialog) {
  // Modal to the main window only: the help window, a window of its own,
  // stays usable while the dialog is open.
  if (dialog.parentWidget() == nullptr && MainWindow() != nullptr && MainWindow() != &dialog)
    dialog.setParent(MainWindow(), dialog.windowFlags() | Qt::Dialog);
  dialog.setWindowModality(Qt::WindowModal);
  CenterOnMain(dialog);
  const QPointer<QWidget> parent = dialog.parentWidget();
  const int result = dialog.exec();
  HandBackKeyboard(parent);
  return result;
}

void HandBackKeyboard(QWidget* window) {
  if (window == nullptr || !window->isVisible()) return;
  // Only when the window that went had the keyboard: no window of the
  // program is active, while the program still is. A user who has moved to
  // another program keeps it.
  if (QApplication::activeWindow() == nullptr && QGuiApplication::applicationState() == Qt::ApplicationActive)
    window->window()->activateWindow();
}

}  // namespace rkt
