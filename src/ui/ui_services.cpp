#include "ui/ui_services.h"

#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QWidget>

#include "text/language.h"
#include "text/messages.h"

namespace rkt {

namespace {

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}
std::function<void(int)>& HelpHandler() {
  static std::function<void(int)> handler;
  return handler;
}
QPointer<QWidget>& Main() {
  static QPointer<QWidget> main;
  return main;
}

int BoxAnswer(QMessageBox::StandardButton b) {
  switch (b) {
    case QMessageBox::Cancel: return mb::kAnswerCancel;
    case QMessageBox::Retry: return mb::kAnswerRetry;
    case QMessageBox::Yes: return mb::kAnswerYes;
    case QMessageBox::No: return mb::kAnswerNo;
    default: return mb::kAnswerOk;
  }
}

}  // namespace

int ShowMessage(int number, int buttons, int helpContext) {
  if (Handler()) return Handler()(number, buttons, helpContext);
  QMessageBox box(MainWindow());
  box.setIcon(QMessageBox::Question);
  box.setWindowTitle(QString::fromStdString(GetText("frmMessage", "frmMessage", "RKT410 Meldung")));
  box.setText(QString::fromStdString(MessageDisplayText(number)));
  switch (buttons) {
    case mb::kYesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case mb::kYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case mb::kRetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  if (helpContext >= 0) {
    // The help button opens the topic and leaves the box open.
    QAbstractButton* help = box.addButton(QMessageBox::Help);
    help->disconnect();
    QObject::connect(help, &QAbstractButton::clicked, [helpContext] { ShowHelp(helpContext); });
  }
  box.exec();
  return BoxAnswer(box.standardButton(box.clickedButton()));
}

void ShowErrorText(const QString& text) {
  if (Handler()) {
    Handler()(-1, mb::kOk, -1);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(GetText("frmMessage", "frmMessage", "RKT410 Meldung")),
                  text, QMessageBox::Ok, MainWindow());
  box.exec();
}

void SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }

void ShowHelp(int context) {
  if (HelpHandler()) HelpHandler()(context);
}
void SetHelpHandler(std::function<void(int)> handler) { HelpHandler() = std::move(handler); }

void SetMainWindow(QWidget* window) { Main() = window; }
QWidget* MainWindow() { return Main().data(); }

void CenterOnMain(QWidget* dialog) {
  QWidget* main = MainWindow();
  if (!main || !dialog) return;
  const QRect frame = main->frameGeometry();
  const QSize size = dialog->size();
  dialog->move(frame.left() + (frame.width() - size.width()) / 2, frame.top() + (frame.height() - size.height()) / 2);
}

}  // namespace rkt
