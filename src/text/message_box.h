#pragma once

#include "text/messages.h"

namespace rkt {

// Shows the numbered messages as QMessageBox: question icon, the button set
// with captions from section "frmMessage", and with a help context a Help
// button and F1 that open the topic while the box stays open. The box comes
// up active with its default button focused (Return presses it, Escape the
// escape button) and hands the keyboard back to its window when it closes.
class QtMessagePresenter : public MessagePresenter {
 public:
  // The box belongs to the window that raised it: the modal dialog in front
  // (code, options, progress of a sensor operation), else the main window
  // (SetMainWindow) once that is shown. It blocks only that window and the
  // ones below it, so the help window stays usable.
  QtMessagePresenter() = default;
  int Present(const MessageBoxRequest& request) override;
};

}  // namespace rkt
