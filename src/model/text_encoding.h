#pragma once

#include <string>
#include <string_view>

// Texts inside the data set and in the files the program exchanges are
// Windows-1252 bytes, so that files travel between Windows and Linux copies.
// These two helpers are the one place where they meet UTF-8.
namespace rkt {

std::string Cp1252ToUtf8(std::string_view cp1252);
// Characters Windows-1252 cannot hold become '?'; malformed UTF-8 bytes too.
std::string Utf8ToCp1252(std::string_view utf8);

}  // namespace rkt
