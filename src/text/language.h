#pragma once

#include <string>
#include <string_view>

// Text lookup used by every visible text. Texts are UTF-8 inside the program;
// language files are converted where they are read.
namespace rkt {

// The text of key in section from the current language, or def when the
// current language is the built-in German or has no such key.
std::string GetText(std::string_view section, std::string_view key, std::string_view def);

}  // namespace rkt
