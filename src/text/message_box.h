#pragma once

#include <functional>

#include "text/messages.h"

class QWidget;

namespace rkt {

// Shows the numbered messages as QMessageBox: question icon, the button set
// with captions from section "frmMessage", and with a help context a Help
// button and F1 that open the topic while the box stays open.
class QtMessagePresenter : public MessagePresenter {
 public:
  // parent gives the window the box belongs to (the main window once it
  // exists); the box blocks only that window, so the help window stays usable.
  explicit QtMessagePresenter(std::function<QWidget*()> parent = {}) : m_parent(std::move(parent)) {}
  int Present(const MessageBoxRequest& request) override;

 private:
  std::function<QWidget*()> m_parent;
};

}  // namespace rkt
