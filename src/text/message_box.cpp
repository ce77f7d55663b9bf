#include "text/message_box.h"

#include <QApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <map>
#include <vector>

#include "text/text_keys.h"
#include "text/window_placement.h"

namespace rkt {

namespace {

struct BoxButton {
  const char* key;
  QMessageBox::ButtonRole role;
  int answer;
};

std::vector<BoxButton> ButtonsOf(int set) {
  switch (set) {
    case msg::kYesNoCancel:
      return {{"btYes", QMessageBox::YesRole, msg::kYes},
              {"btNo", QMessageBox::NoRole, msg::kNo},
              {"btCancel", QMessageBox::RejectRole, msg::kCancel}};
    case msg::kYesNo: return {{"btYes", QMessageBox::YesRole, msg::kYes}, {"btNo", QMessageBox::NoRole, msg::kNo}};
    case msg::kRetryCancel:
      return {{"btRetry", QMessageBox::AcceptRole, msg::kRetry},
              {"btCancel", QMessageBox::RejectRole, msg::kCancel}};
    default: return {{"btOK", QMessageBox::AcceptRole, msg::kOk}};
  }
}

QString Caption(const char* key) { return QString::fromStdString(Text("frmMessage", key)); }

// The window that raises the message: the modal dialog in front (the code
// dialog, the options, the progress of a sensor operation), else the main
// window once it is shown. Other windows that happen to be active are not
// taken: the only one is the help window, which a box must never block.
QWidget* RaisingWindow() {
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible()) return modal;
  QWidget* main = MainWindow();
  return main != nullptr && main->isVisible() ? main : nullptr;
}

}  // namespace

int QtMessagePresenter::Present(const MessageBoxRequest& request) {
  // A box that belonged to the main window while a dialog was in front came
  // up behind that dialog or without the keyboard, and on closing left the
  // focus in a window the dialog still blocked.
  const QPointer<QWidget> owner = RaisingWindow();
  QMessageBox box(owner);
  box.setObjectName("frmMessage");
  box.setIcon(QMessageBox::Question);
  box.setWindowTitle(QString::fromStdString(request.title));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(request.text));
  // Modal to its own window only: the help window must stay usable.
  box.setWindowModality(Qt::WindowModal);

  std::map<QAbstractButton*, int> answers;
  QAbstractButton* escape = nullptr;
  bool first = true;
  for (const BoxButton& button : ButtonsOf(request.buttons)) {
    QPushButton* b = box.addButton(Caption(button.key), button.role);
    answers[b] = button.answer;
    if (first) box.setDefaultButton(b);
    first = false;
    if (button.answer == msg::kCancel || (button.answer == msg::kNo && escape == nullptr)) escape = b;
  }
  if (escape == nullptr && answers.size() == 1) escape = answers.begin()->first;
  if (escape != nullptr) box.setEscapeButton(escape);

  std::optional<int> answer;
  bool reopen = false;
  QAbstractButton* helpButton = nullptr;
  if (request.helpContext) {
    const int context = *request.helpContext;
    helpButton = box.addButton(Caption("btHelp"), QMessageBox::HelpRole);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, &box);
    QObject::connect(f1, &QShortcut::activated, &box, [context] { ShowHelp(context); });
    // A message box closes on every button. The Help button must not close
    // it, so the box's own handling of the buttons is replaced by ours.
    auto* buttonBox = box.findChild<QDialogButtonBox*>();
    if (buttonBox != nullptr &&
        QObject::disconnect(buttonBox, SIGNAL(clicked(QAbstractButton*)), &box, nullptr)) {
      // context by value: the handler runs in exec(), after this block has ended.
      QObject::connect(buttonBox, &QDialogButtonBox::clicked, &box,
                       [&answers, &answer, &box, helpButton, context](QAbstractButton* b) {
        if (b == helpButton) {
          ShowHelp(context);
          return;
        }
        if (auto it = answers.find(b); it != answers.end()) answer = it->second;
        box.done(0);
      });
    } else {
      // Should the box's wiring ever change, show it again after Help.
      reopen = true;
    }
  }

  // A busy pointer set for a long operation must not hide that the box
  // waits for an answer.
  int busyPointers = 0;
  QCursor busyShape;
  while (QApplication::overrideCursor() != nullptr) {
    busyShape = *QApplication::overrideCursor();
    QApplication::restoreOverrideCursor();
    ++busyPointers;
  }

  // Up front with the keyboard: Return presses the default button, Escape
  // the escape button. Queued, so that it runs once exec() has shown the box.
  const auto takeKeyboard = [&box] {
    box.activateWindow();
    if (QPushButton* b = box.defaultButton()) b->setFocus(Qt::ActiveWindowFocusReason);
  };
  for (;;) {
    QMetaObject::invokeMethod(&box, takeKeyboard, Qt::QueuedConnection);
    box.exec();
    if (reopen && box.clickedButton() == helpButton) {
      ShowHelp(*request.helpContext);
      continue;
    }
    break;
  }
  // The keyboard goes back to the window that raised the box; its focus
  // widget gets the focus again with it.
  HandBackKeyboard(owner);
  for (int i = 0; i < busyPointers; ++i) QApplication::setOverrideCursor(busyShape);
  if (answer) return *answer;
  if (auto it = answers.find(box.clickedButton()); it != answers.end()) return it->second;
  return SafeAnswer(request.buttons);
}

}  // namespace rkt
