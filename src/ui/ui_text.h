#pragma once

#include <QString>
#include <string_view>

#include "text/builtin_texts.h"

namespace rkt {

// GetText for widgets: section, key and German default in, QString out.
QString UiText(std::string_view section, std::string_view key, std::string_view def);
// A main-window caption.
inline QString MainText(std::string_view key, std::string_view def) { return UiText("frmMain", key, def); }
// List item i of a main-window list in the current language.
QString ListText(TextList list, int i);

}  // namespace rkt
