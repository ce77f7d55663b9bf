#include "text/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "model/safe_file.h"
#include "model/text_encoding.h"

namespace rkt {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Valid UTF-8 passes unchanged; every byte that does not start a complete,
// well-formed sequence becomes U+FFFD, so later layers never see broken text.
std::string SanitizeUtf8(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<std::uint8_t>(in[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b < 0x80) len = 1;
    else if ((b & 0xE0) == 0xC0) { len = 2; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; min = 0x10000; }
    bool ok = len > 0 && i + len <= in.size();
    char32_t cp = len == 1 ? b : (len == 2 ? (b & 0x1F) : (len == 3 ? (b & 0x0F) : (b & 0x07)));
    for (std::size_t k = 1; ok && k < len; ++k) {
      const auto c = static_cast<std::uint8_t>(in[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (ok && len > 1 && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (ok) {
      out.append(in.substr(i, len));
      i += len;
    } else {
      out.append("\xEF\xBF\xBD");
      ++i;
    }
  }
  return out;
}

// Cuts UTF-8 text after maxChars code points.
std::string CutChars(std::string text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) {
        text.resize(i);
        break;
      }
      ++chars;
    }
  }
  return text;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::string ReadIniValueFromBytes(std::string_view bytes, std::string_view section, std::string_view key,
                                  std::string_view def) {
  if (key.empty()) return std::string(def);
  if (bytes.size() > kMaxIniFileBytes) bytes = bytes.substr(0, kMaxIniFileBytes);
  const bool utf8 = bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
  if (utf8) bytes.remove_prefix(kUtf8Bom.size());

  bool inSection = false;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;
    // A NUL ends the line's text, as it ends a C string.
    if (const auto nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      const auto name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      inSection = EqualNoCase(name, section);
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!EqualNoCase(Trim(line.substr(0, eq)), key)) continue;
    const std::string_view raw = Unquote(Trim(line.substr(eq + 1)));
    std::string text = utf8 ? SanitizeUtf8(raw) : Cp1252ToUtf8(raw);
    return CutChars(std::move(text), kMaxIniValueChars);
  }
  return std::string(def);
}

std::string ReadIniValue(const std::string& file, std::string_view section, std::string_view key,
                         std::string_view def) {
  if (key.empty() || file.empty()) return std::string(def);
  // Only regular files: a pipe or device with a matching name would block or
  // never end.
  std::error_code ec;
  const std::filesystem::path path = PathFromUtf8(file);
  if (!std::filesystem::is_regular_file(path, ec)) return std::string(def);
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return std::string(def);
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string(def);
  std::string bytes(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kMaxIniFileBytes)), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return ReadIniValueFromBytes(bytes, section, key, def);
}

}  // namespace rkt
