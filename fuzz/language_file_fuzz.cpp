// Any bytes as a language file: the value reader and the language discovery
// must never crash, always give well-formed UTF-8 within the length limit,
// and read the same value from memory and from the file on disk.
//
// Input: "section\0key\0file bytes" looks that key up; without two NULs the
// whole input is the file and the lookup is the language name.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

#include "text/ini_file.h"
#include "text/language.h"

namespace {

constexpr std::string_view kDefault = "\x01<default>";

bool WellFormedUtf8(std::string_view s, std::size_t& chars) {
  chars = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    std::size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k)
      if ((static_cast<std::uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
    ++chars;
  }
  return true;
}

// One folder per process, removed again when the fuzzer exits.
struct TempFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("rkt-lang-fuzz-" + std::to_string(::getpid()));
  TempFolder() { std::filesystem::create_directories(path); }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const std::filesystem::path& Folder() {
  static const TempFolder folder;
  return folder.path;
}

void CheckValue(const std::string& value) {
  if (value == kDefault) return;
  std::size_t chars = 0;
  if (!WellFormedUtf8(value, chars)) __builtin_trap();
  if (chars > rkt::kMaxIniValueChars) __builtin_trap();
  // A value is the rest of one line: it can hold neither a line end nor a NUL.
  if (value.find('\n') != std::string::npos || value.find('\0') != std::string::npos) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view section = "RKT";
  std::string_view key = "Language";
  std::string_view bytes = input;
  if (const auto a = input.find('\0'); a != std::string_view::npos) {
    if (const auto b = input.find('\0', a + 1); b != std::string_view::npos) {
      section = input.substr(0, a);
      key = input.substr(a + 1, b - a - 1);
      bytes = input.substr(b + 1);
    }
  }

  const std::string value = rkt::ReadIniValueFromBytes(bytes, section, key, kDefault);
  CheckValue(value);
  if (key.empty() && value != kDefault) __builtin_trap();

  // The same bytes as a language file in a folder of their own.
  const auto file = Folder() / "RKT_LANG.FUZ";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  if (rkt::ReadIniValue(file.string(), section, key, kDefault) != value) __builtin_trap();

  rkt::FindLanguages({Folder(), Folder() / "missing"});
  const std::string name = rkt::ReadIniValueFromBytes(bytes, "RKT", "Language", "");
  const int expected = name.empty() ? 1 : 2;
  if (rkt::LanguageCount() != expected || rkt::CurrentLanguageIndex() != 0) __builtin_trap();
  if (expected == 2) {
    if (rkt::GetLanguageName(1) != name) __builtin_trap();
    if (rkt::SelectLanguage(1) != 1) __builtin_trap();
    if (rkt::CurrentHelpFile().empty()) __builtin_trap();
    const std::string text = rkt::GetText(section, key, kDefault);
    if (text != value) __builtin_trap();
    rkt::SelectLanguage(0);
  }
  // German never reads a file.
  if (rkt::GetText(section, key, kDefault) != kDefault) __builtin_trap();
  return 0;
}
