#pragma once

#include <functional>

class QString;
class QWidget;

namespace rkt {

// Message-box button sets and answers, as the message numbers expect them.
namespace mb {
inline constexpr int kOk = 0;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kRetryCancel = 5;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerRetry = 4;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
}  // namespace mb

// Shows message `number` and returns the answer; helpContext < 0 means none.
// Tests replace the box through SetMessageHandler.
int ShowMessage(int number, int buttons = mb::kOk, int helpContext = -1);
using MessageHandler = std::function<int(int number, int buttons, int helpContext)>;
// Installs a handler in place of the box; an empty one restores the box.
void SetMessageHandler(MessageHandler handler);

// Shows a failure that has no message number (the text says what failed).
void ShowErrorText(const QString& text);

// Opens the help at a topic (0 = contents).
void ShowHelp(int context);
void SetHelpHandler(std::function<void(int)> handler);

// The window dialogs are centred over and parented to.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();
// Centres a dialog over the main window.
void CenterOnMain(QWidget* dialog);

}  // namespace rkt
