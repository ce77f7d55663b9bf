#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Text lookup used by every visible text. Texts are UTF-8 inside the program;
// language files are converted where they are read.
//
// The languages are the built-in German (index 0) and one entry per usable
// language file "RKT_LANG.*" (a file whose section "RKT" names the language
// in key Language). The list and the current language are process-wide, as
// every window and message looks texts up through them.
namespace rkt {

// The text of key in section from the current language, or def when the
// current language is the built-in German or has no such key. A present
// empty value gives "".
std::string GetText(std::string_view section, std::string_view key, std::string_view def);

inline constexpr std::string_view kBuiltinLanguageName = "Deutsch";
// The help file name of the built-in German.
inline constexpr std::string_view kBuiltinHelpFile = "RKTGER.HLP";

struct LanguageEntry {
  std::string name;      // display name, also stored in the settings
  std::string path;      // the language file; empty for the built-in German
  std::string helpFile;  // help file name, e.g. "RKTGER.HLP"
  std::string locale;    // key Locale of section RKT ("de" for the built-in German)
};

// Where language files are looked for: the program's folder, then the
// installed data folder share/rkt410 beside the program's bin folder.
std::vector<std::filesystem::path> LanguageFolders(const std::filesystem::path& programDir);

// Builds the language list from the files "RKT_LANG.*" in the folders (each
// folder in name order; a file found twice counts once) and selects German.
void FindLanguages(const std::vector<std::filesystem::path>& folders);

// Makes language index current (0 = German); an index outside the list
// changes nothing. Returns the current index, so SelectLanguage(-1) asks.
int SelectLanguage(int index);
int CurrentLanguageIndex();
int LanguageCount();
// Display name of index, or "" outside the list.
std::string GetLanguageName(int index);
// Selects the first language whose display name equals name exactly;
// returns false (and changes nothing) when there is none.
bool SelectLanguageByName(std::string_view name);
std::string CurrentLanguageName();
// The language for a first start: the first whose locale has the language and
// territory of systemLocale ("fr_FR.UTF-8", "fr-FR", "fr"), else the first
// with its language alone, else the built-in German (0).
int LanguageForLocale(std::string_view systemLocale);
// The help file name of the current language.
std::string CurrentHelpFile();
const std::vector<LanguageEntry>& Languages();

}  // namespace rkt
