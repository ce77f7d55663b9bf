#include "ui/ui_text.h"

#include <string>

#include "text/language.h"

namespace rkt {

QString UiText(std::string_view section, std::string_view key, std::string_view def) {
  return QString::fromStdString(GetText(section, key, def));
}

QString ListText(TextList list, int i) {
  const std::string_view def = BuiltinItem(list, i);
  // The switching-frequency texts have no language keys.
  if (list == TextList::SwitchingFrequency) return QString::fromUtf8(def.data(), static_cast<int>(def.size()));
  const std::string key = std::string(ListControlName(list)) + std::to_string(i);
  return MainText(key, def);
}

}  // namespace rkt
