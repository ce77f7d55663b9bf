#include "app/settings_store.h"

#include <QSettings>
#include <QStringList>
#include <cmath>
#include <cstdlib>

namespace rkt {

namespace {

QString Key(std::string_view section, std::string_view name) {
  return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + "/" +
         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

std::unique_ptr<QSettings> UserSettings() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\Varem electronic\\QD Soft\\RKT410"),
                                     QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Varem electronic"),
                                     QStringLiteral("RKT410"));
#endif
}

}  // namespace

SettingsStore::SettingsStore() : m_settings(UserSettings()) {}

SettingsStore::SettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

std::string SettingsStore::GetString(std::string_view section, std::string_view name, std::string_view def) const {
  const QString key = Key(section, name);
  if (!m_settings->contains(key)) return std::string(def);
  const QVariant v = m_settings->value(key);
  // A hand-edited INI value with commas reads as a list; it was one text.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(',').toStdString();
  return v.toString().toStdString();
}

void SettingsStore::SetString(std::string_view section, std::string_view name, std::string_view value) {
  m_settings->setValue(Key(section, name), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

std::vector<std::string> SettingsStore::ReadRecentFiles() const {
  std::vector<std::string> files;
  // The list never holds more than a handful; the bound only stops a
  // hand-made store from keeping the start-up busy.
  for (int n = 1; n <= 1000; ++n) {
    std::string path = GetString(kRecentSection, "FILE" + std::to_string(n), "");
    if (path.empty()) break;
    files.push_back(std::move(path));
  }
  return files;
}

void SettingsStore::WriteRecentFiles(const std::vector<std::string>& files) {
  int n = 1;
  for (const std::string& f : files) {
    if (f.empty()) break;
    SetString(kRecentSection, "FILE" + std::to_string(n++), f);
  }
}

LinkSettings SettingsStore::ReadLinkSettings() const {
  LinkSettings s;
  s.detectTimeoutMs = ParseTimeoutSetting(GetString(kSettingsSection, "DetectTimeout", "100"), 100);
  s.readTimeoutMs = ParseTimeoutSetting(GetString(kSettingsSection, "ReadTimeout", "200"), 200);
  s.echo = QString::fromStdString(GetString(kSettingsSection, "InterfaceTransformer", "Echo")).toLower() !=
           QStringLiteral("noecho");
  return s;
}

bool SettingsStore::Sync() {
  m_settings->sync();
  return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::Location() const { return m_settings->fileName(); }

int ParseTimeoutSetting(std::string_view text, int def) {
  const std::string s(text);
  const char* begin = s.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(v)) return def;
  const double rounded = std::round(v);
  if (rounded < 1 || rounded > 32767) return def;
  return static_cast<int>(rounded);
}

}  // namespace rkt
