#pragma once

#include "text/messages.h"

namespace rkt {

// Shows the numbered messages as QMessageBox: question icon, the button set
// with captions from section "frmMessage", and with a help context a Help
// button and F1 that open the topic while the box stays open.
class QtMessagePresenter : public MessagePresenter {
 public:
  // The box belongs to the main window (SetMainWindow) once that is shown,
  // and blocks only that window, so the help window stays usable.
  QtMessagePresenter() = default;
  int Present(const MessageBoxRequest& request) override;
};

}  // namespace rkt
