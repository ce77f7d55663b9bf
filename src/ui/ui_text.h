#pragma once

#include <QString>
#include <string_view>

#include "text/builtin_texts.h"

namespace rkt {

// A language text with its built-in German default, as a QString.
QString UiText(std::string_view section, std::string_view key);
// A main-window caption.
inline QString MainText(std::string_view key) { return UiText("frmMain", key); }
// List item i of a main-window list in the current language.
QString ListText(TextList list, int i);

// Installs Qt's own translations (qtbase_*.qm) for the locale the current
// language file names in section RKT, key Locale ("de" for the built-in
// German), replacing those of the language before. False when there are
// none for it; Qt's own texts then stay English.
bool LoadQtTranslations();

}  // namespace rkt
