#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/data_set.h"

// The data code: the working copy's version, type and settings as 19
// characters of a 32-letter alphabet, written "XXXX-XXXX-XXXX-XXXX-XXX", so a
// setting can be read aloud, written down and typed into another copy.
namespace rkt {

inline constexpr std::string_view kDataCodeAlphabet = "0123456789ABCDEFGHKMNPQRSTUVWXYZ";
inline constexpr std::size_t kDataCodeLength = 23;

// alphabet[((high × 256 + low) >> shift) mod 32].
char EncodeChar(std::uint8_t low, std::uint8_t high, int shift);
// One code byte from the (dash-free) characters starting at `text`, whose
// first character holds the byte's lowest bits from bit `shift` on. Missing or
// foreign characters count as 0.
std::uint8_t DecodeByte(std::string_view text, int shift);

// The code of the working copy, or "" while the data-valid flag is 0. Never
// changes the data set.
std::string EncodeDataCode(const DataSet& ds);

// A typed or pasted code as the checks take it: blanks before it are dropped,
// letters become upper case, a blank where a dash belongs is that dash ("ABCD
// EFGH IJKL MNOP QRS"), and any other blank is dropped. Nothing is checked.
std::string CleanDataCode(std::string_view text);

// True when the code is well formed and its check matches. Nothing is changed.
bool IsValidDataCode(std::string_view text);

// True while name block 1 of copy reads "<DATACODE>", as a code leaves it
// (a code carries no names).
bool NamedByDataCode(const DataSet& ds, Copy copy);

// Checks the code and, when valid, replaces the working copy with what it
// carries (see IsValidDataCode); false leaves everything untouched. The
// caller refreshes the window afterwards.
bool ApplyDataCode(DataSet& ds, std::string_view text);

}  // namespace rkt
