#pragma once

#include <span>
#include <string>
#include <string_view>

#include "text/builtin_texts.h"

// Every language key the program looks up, with its built-in German text.
// Windows take their defaults from here, and the test of the shipped
// language files checks them against it, so a key added here is a key every
// translation must have.
namespace rkt {

struct TextKey {
  std::string section;
  std::string key;
  std::string germanText;  // the built-in text; "" for the numbered messages
                           // whose German text lives in the message table
};

std::span<const TextKey> AllTextKeys();

// The built-in German text of section/key, or "" when the key is not listed.
std::string_view BuiltinText(std::string_view section, std::string_view key);

// GetText with the built-in German text as the default.
std::string Text(std::string_view section, std::string_view key);

// The locale of the current language (key Locale of section RKT, "de" for the
// built-in German): Qt's own texts and the date form follow it. "" when the
// language file names none.
std::string LanguageLocale();

// Item i of a main-window list in the current language ("" outside the list;
// the switching-frequency texts have no keys and never change).
std::string ListItemText(TextList list, int i);

}  // namespace rkt
