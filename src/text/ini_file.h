#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reading single values from INI-style language files. The files come from
// users and translators, so the reader must survive anything: a missing file,
// binary junk, no sections, lines of any length. Whatever cannot be read
// gives the default.
namespace rkt {

// Values longer than this many characters are cut.
inline constexpr std::size_t kMaxIniValueChars = 4023;
// Only this much of a file is looked at; a language file is a few kilobytes,
// and every lookup reads the file, so a huge file must not stall the program.
inline constexpr std::size_t kMaxIniFileBytes = 1024 * 1024;

// The value of key in section of file, as UTF-8. The file is Windows-1252,
// unless it starts with a UTF-8 byte-order mark. Section and key names match
// without regard to ASCII letter case; blanks around names and values are
// dropped, and one pair of matching quotes around a value too. A present
// empty value gives "". A missing file, section or key, or an empty key,
// gives def.
std::string ReadIniValue(const std::string& file, std::string_view section, std::string_view key,
                         std::string_view def);

// The same lookup on file contents already in memory (the raw bytes).
std::string ReadIniValueFromBytes(std::string_view bytes, std::string_view section, std::string_view key,
                                  std::string_view def);

}  // namespace rkt
