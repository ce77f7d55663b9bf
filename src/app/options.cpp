#include "app/options.h"

#include <QString>

#include "app/link_services.h"
#include "app/settings_store.h"
#include "model/recent_files.h"
#include "text/language.h"

namespace rkt {

void LoadOptions(const SettingsStore& store, LinkServices& link, ViewOptions& view, RecentFiles& recent) {
  const auto get = [&store](const char* name, const char* def) { return store.GetString(kSettingsSection, name, def); };

  view.debug = QString::fromStdString(get("QDDebug", "no")).toLower() == QStringLiteral("yes");
  if (get("SensDetection", "None") == "Auto") link.SetDetection(1);
  view.tooltips = get("Tooltips", "YES") == "YES";
  link.OpenPort(get("Port", "COM1"));
  view.overviewShown = get("BlockDiagram", "Show") == "Show";
  SelectLanguageByName(get("Language", "GER"));
  recent.RestoreRecentFiles(store.ReadRecentFiles());
  view.writePreview = get("WritePreview", "YES") != "NO";
}

void SaveOptions(SettingsStore& store, const LinkServices& link, const ViewOptions& view, const RecentFiles& recent) {
  const auto set = [&store](const char* name, const std::string& value) { store.SetString(kSettingsSection, name, value); };

  set("SensDetection", link.DetectionMode() == 1 ? "Auto" : "None");
  set("Tooltips", view.tooltips ? "YES" : "NO");
  set("Port", link.PortName());
  set("BlockDiagram", view.overviewShown ? "Show" : "Hide");
  set("Language", CurrentLanguageName());
  set("WritePreview", view.writePreview ? "YES" : "NO");
  store.WriteRecentFiles(recent.Entries());
}

}  // namespace rkt
