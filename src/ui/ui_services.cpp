#include "ui/ui_services.h"

#include <QString>

#include "text/messages.h"
#include "text/text_keys.h"

namespace rkt {

void ShowErrorText(const QString& text) {
  MessageBoxRequest request;
  request.title = Text("frmMessage", "frmMessage");
  request.text = text.toStdString();
  ShowMessageBox(request);
}

}  // namespace rkt
