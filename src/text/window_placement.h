#pragma once

class QDialog;
class QWidget;

// Placing dialogs over the main window.
namespace rkt {

// The program's main window, which dialogs and message boxes belong to;
// nullptr while there is none.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

// Centres form over the main window (over the screen when there is none),
// kept inside the screen: a form larger than the main window would
// otherwise be pushed off it.
void CenterOnMain(QWidget& form);

// Centres the dialog and runs it modally; returns its result. The window it
// belongs to gets the keyboard back afterwards.
int ShowFormModal(QDialog& dialog);

// After a modal window has gone, the window it belonged to is activated
// again (its focus widget takes the keyboard), unless the user has moved to
// another program meanwhile. The window system does not do this everywhere.
void HandBackKeyboard(QWidget* window);

}  // namespace rkt
