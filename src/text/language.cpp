#include "text/language.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "model/safe_file.h"
#include "text/ini_file.h"

namespace rkt {

namespace {

LanguageEntry BuiltinGerman() { return {std::string(kBuiltinLanguageName), {}, std::string(kBuiltinHelpFile), "de"}; }

// "fr_FR.UTF-8", "fr-FR@euro" and "FR_fr" all become "fr_fr"; the codeset and modifier say nothing of the language.
std::string LocaleKey(std::string_view name) {
  std::string key;
  for (const char c : name.substr(0, name.find_first_of(".@"))) {
    if (c == '-') key += '_';
    else key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::string_view LanguagePart(std::string_view key) { return key.substr(0, key.find('_')); }

struct LanguageState {
  std::vector<LanguageEntry> list{BuiltinGerman()};
  int current = 0;
};

LanguageState& State() {
  static LanguageState state;
  return state;
}

bool IsLanguageFileName(const std::string& name) {
  constexpr std::string_view kPrefix = "rkt_lang.";
  if (name.size() < kPrefix.size()) return false;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kPrefix[i]) return false;
  }
  return true;
}

// The matching regular files of one folder, in name order so that the list
// is the same on every start.
std::vector<std::filesystem::path> LanguageFilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    if (IsLanguageFileName(Utf8FromPath(it->path().filename()))) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::string GetText(std::string_view section, std::string_view key, std::string_view def) {
  const LanguageState& s = State();
  // German never touches a file: the defaults are the German texts.
  if (s.current == 0) return std::string(def);
  return ReadIniValue(s.list[static_cast<std::size_t>(s.current)].path, section, key, def);
}

std::vector<std::filesystem::path> LanguageFolders(const std::filesystem::path& programDir) {
  return {programDir, programDir.parent_path() / "share" / "rkt410"};
}

void FindLanguages(const std::vector<std::filesystem::path>& folders) {
  LanguageState& s = State();
  s.list.assign(1, BuiltinGerman());
  std::set<std::filesystem::path> seen;
  for (const auto& folder : folders) {
    for (const auto& file : LanguageFilesIn(folder)) {
      std::error_code ec;
      auto canonical = std::filesystem::weakly_canonical(file, ec);
      if (ec) canonical = file;
      if (!seen.insert(canonical).second) continue;
      const std::string path = Utf8FromPath(file);
      std::string name = ReadIniValue(path, "RKT", "Language", "");
      if (name.empty()) continue;
      std::string help = ReadIniValue(path, "RKT", "Help", kBuiltinHelpFile);
      // An empty Help value names no file at all; the German help is better than none.
      if (help.empty()) help = kBuiltinHelpFile;
      s.list.push_back({std::move(name), path, std::move(help), ReadIniValue(path, "RKT", "Locale", "")});
    }
  }
  s.current = 0;
}

int SelectLanguage(int index) {
  LanguageState& s = State();
  if (index >= 0 && index < static_cast<int>(s.list.size())) s.current = index;
  return s.current;
}

int CurrentLanguageIndex() { return State().current; }

int LanguageCount() { return static_cast<int>(State().list.size()); }

std::string GetLanguageName(int index) {
  const LanguageState& s = State();
  if (index < 0 || index >= static_cast<int>(s.list.size())) return {};
  return s.list[static_cast<std::size_t>(index)].name;
}

bool SelectLanguageByName(std::string_view name) {
  const LanguageState& s = State();
  for (std::size_t i = 0; i < s.list.size(); ++i) {
    if (s.list[i].name == name) {
      SelectLanguage(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

int LanguageForLocale(std::string_view systemLocale) {
  const std::string wanted = LocaleKey(systemLocale);
  const LanguageState& s = State();
  if (LanguagePart(wanted).empty()) return 0;
  for (std::size_t i = 0; i < s.list.size(); ++i)
    if (LocaleKey(s.list[i].locale) == wanted) return static_cast<int>(i);
  for (std::size_t i = 0; i < s.list.size(); ++i)
    if (LanguagePart(LocaleKey(s.list[i].locale)) == LanguagePart(wanted)) return static_cast<int>(i);
  return 0;
}

std::string CurrentLanguageName() { return GetLanguageName(State().current); }

std::string CurrentHelpFile() { return State().list[static_cast<std::size_t>(State().current)].helpFile; }

const std::vector<LanguageEntry>& Languages() { return State().list; }

}  // namespace rkt
