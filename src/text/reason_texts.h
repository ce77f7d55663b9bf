#pragma once

#include <span>
#include <string>
#include <string_view>

// Why a file or a port could not be used, in the user's language. The
// program's own reasons and the system's most common ones have language keys
// in section "Reasons"; any other reason is shown as the system gave it.
namespace rkt {

struct ReasonKey {
  std::string_view key;
  std::string_view germanText;  // "%1" stands for the number in the pattern
  std::string_view pattern;     // the program's own text; "" for a system error
  int error = 0;                // errno of a system error, 0 for the program's own
};

// The keys of section "Reasons" with their built-in German texts.
std::span<const ReasonKey> ReasonKeys();

// The reason in the current language: the program's own texts and the
// system's texts of the common errno values (in the C library's wording,
// English or the process locale's) are looked up; other texts are kept.
std::string ReasonText(std::string_view reason);

}  // namespace rkt
