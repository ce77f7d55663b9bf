#pragma once

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/link_services.h"

class QSettings;

// Where the options and the recent-file list live between runs: on Windows
// the user's registry key "Software\Varem electronic\QD Soft\RKT410", elsewhere
// an INI file in the user's configuration folder, both with the sections
// "Settings" and "PREVIOUSFILES". Values are text; a number found where a
// text is expected is read as the text of its number. Values of any length
// are read.
namespace rkt {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kRecentSection = "PREVIOUSFILES";

class SettingsStore {
 public:
  // The user's own store.
  SettingsStore();
  // An INI file at iniPath, for tests and for a store of its own.
  explicit SettingsStore(const QString& iniPath);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Value name of section, or def when it does not exist. A present empty
  // value gives "".
  std::string GetString(std::string_view section, std::string_view name, std::string_view def) const;
  void SetString(std::string_view section, std::string_view name, std::string_view value);

  // FILE1, FILE2, … of "PREVIOUSFILES" up to the first missing or empty one.
  std::vector<std::string> ReadRecentFiles() const;
  // Writes FILE1.. for the entries; higher numbers of an earlier, longer
  // list stay as they are (and are read again up to the first gap).
  void WriteRecentFiles(const std::vector<std::string>& files);

  // The service values the serial layer takes at start.
  LinkSettings ReadLinkSettings() const;

  // Writes pending changes out; reports whether the store could be written.
  // An INI store is replaced whole through a checked temporary file, so a
  // failure (a full disk) leaves the previous file as it was.
  bool Sync();
  // Why the last Sync failed ("" after a success).
  const std::string& LastError() const { return m_lastError; }
  // The file or registry path, for messages.
  QString Location() const;

 private:
  std::unique_ptr<QSettings> m_settings;
  bool m_fileBacked = false;
  std::map<QString, QString> m_pending;  // INI store: values set since the last Sync
  std::string m_lastError;
};

// A time-out setting as milliseconds: the leading number of the text, rounded
// ("150", " 150", "150 ms" and "149.6" give 150). Text without a number, zero,
// negative values and values beyond 32767 give def: a time-out of zero
// would make every wait endless.
int ParseTimeoutSetting(std::string_view text, int def);

}  // namespace rkt
