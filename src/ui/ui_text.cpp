#include "ui/ui_text.h"

#include <string>

#include "text/text_keys.h"

namespace rkt {

QString UiText(std::string_view section, std::string_view key) { return QString::fromStdString(Text(section, key)); }

QString ListText(TextList list, int i) { return QString::fromStdString(ListItemText(list, i)); }

}  // namespace rkt
