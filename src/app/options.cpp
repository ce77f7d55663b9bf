#include "app/options.h"

#include <QString>

#include "app/link_services.h"
#include "app/settings_store.h"
#include "model/recent_files.h"
#include "text/language.h"

namespace rkt {

void LoadOptions(const SettingsStore& store, LinkServices& link, ViewOptions& view, RecentFiles& recent,
                 std::string_view systemLocale) {
  const auto get = [&store](const char* name, const char* def) { return store.GetString(kSettingsSection, name, def); };

  view.debug = QString::fromStdString(get("QDDebug", "no")).toLower() == QStringLiteral("yes");
  if (get("SensDetection", "None") == "Auto") link.SetDetection(1);
  view.tooltips = get("Tooltips", "YES") == "YES";
  // The language comes before the port, so that a port that cannot be
  // opened is reported in the user's language.
  // The first start speaks the system's language when a file has it.
  if (const std::string stored = get("Language", ""); stored.empty()) SelectLanguage(LanguageForLocale(systemLocale));
  else SelectLanguageByName(stored);
  // Without a stored port the first one the machine offers is taken; a
  // stored one is kept as it is, present or not. With no port at all the
  // program starts quietly, the port shown as absent.
  std::string port = get("Port", "");
  if (port.empty()) port = link.DefaultPort();
  if (!port.empty()) link.OpenPort(port);
  view.overviewShown = get("BlockDiagram", "Show") == "Show";
  recent.RestoreRecentFiles(store.ReadRecentFiles());
  view.writePreview = get("WritePreview", "YES") != "NO";
  view.historyDb = get("HistoryDb", "");
}

void SaveOptions(SettingsStore& store, const LinkServices& link, const ViewOptions& view, const RecentFiles& recent) {
  const auto set = [&store](const char* name, const std::string& value) { store.SetString(kSettingsSection, name, value); };

  set("SensDetection", link.DetectionMode() == 1 ? "Auto" : "None");
  set("Tooltips", view.tooltips ? "YES" : "NO");
  set("Port", link.PortName());
  set("BlockDiagram", view.overviewShown ? "Show" : "Hide");
  set("Language", CurrentLanguageName());
  set("WritePreview", view.writePreview ? "YES" : "NO");
  set("HistoryDb", view.historyDb);
  store.WriteRecentFiles(recent.Entries());
}

}  // namespace rkt
