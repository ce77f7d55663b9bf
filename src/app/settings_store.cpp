#include "app/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>

#include "model/safe_file.h"

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

SettingsStore::SettingsStore() : m_settings(UserSettings()) { m_fileBacked = m_settings->format() == QSettings::IniFormat; }

SettingsStore::SettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)), m_fileBacked(true) {}

// Like QSettings itself, a store writes what is still pending when it goes.
SettingsStore::~SettingsStore() {
  if (!m_pending.empty()) Sync();
}

std::string SettingsStore::GetString(std::string_view section, std::string_view name, std::string_view def) const {
  const QString key = Key(section, name);
  if (const auto it = m_pending.find(key); it != m_pending.end()) return it->second.toStdString();
  if (!m_settings->contains(key)) return std::string(def);
  const QVariant v = m_settings->value(key);
  // A hand-edited INI value with commas reads as a list; it was one text.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(',').toStdString();
  return v.toString().toStdString();
}

void SettingsStore::SetString(std::string_view section, std::string_view name, std::string_view value) {
  const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
  // An INI file is written only by Sync, whole and checked; QSettings itself
  // would write it at any time and, on a full disk, could replace it with a
  // truncated one and still report success.
  if (m_fileBacked) m_pending[Key(section, name)] = text;
  else m_settings->setValue(Key(section, name), text);
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
  if (!m_fileBacked) {
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
  }
  if (m_pending.empty()) return true;
  m_lastError.clear();
  const QString target = m_settings->fileName();
  const QString folder = QFileInfo(target).absolutePath();
  if (!QDir().mkpath(folder)) {
    m_lastError = "cannot create the folder " + folder.toStdString();
    return false;
  }
  // Qt writes the INI text into a scratch file beside the target; it is read
  // back and compared before it replaces the store.
  // The scratch file is new in a folder of its own: Qt on Windows cannot
  // replace a file that another object (a QTemporaryFile) created.
  QTemporaryDir scratchDir(folder + QStringLiteral("/.settings-XXXXXX"));
  if (!scratchDir.isValid()) {
    m_lastError = scratchDir.errorString().toStdString();
    return false;
  }
  const QString scratch = scratchDir.filePath(QStringLiteral("settings.ini"));
  std::map<QString, QVariant> expected;
  for (const QString& key : m_settings->allKeys()) expected[key] = m_settings->value(key);
  for (const auto& [key, value] : m_pending) expected[key] = value;
  {
    QSettings out(scratch, QSettings::IniFormat);
    for (const auto& [key, value] : expected) out.setValue(key, value);
    out.sync();
    if (out.status() != QSettings::NoError) {
      m_lastError = "the settings could not be written";
      return false;
    }
  }
  {
    QSettings check(scratch, QSettings::IniFormat);
    if (check.status() != QSettings::NoError || check.allKeys().size() != static_cast<qsizetype>(expected.size())) {
      m_lastError = "the settings could not be written completely";
      return false;
    }
    for (const auto& [key, value] : expected) {
      if (check.value(key) != value) {
        m_lastError = "the settings could not be written completely";
        return false;
      }
    }
  }
  QFile written(scratch);
  if (!written.open(QIODevice::ReadOnly)) {
    m_lastError = written.errorString().toStdString();
    return false;
  }
  const QByteArray bytes = written.readAll();
  if (bytes.size() != written.size()) {
    m_lastError = "the settings could not be read back";
    return false;
  }
  written.close();
  if (const std::string why = WriteFileAtomically(target.toStdString(),
                                                  std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
      !why.empty()) {
    m_lastError = why;
    return false;
  }
  m_pending.clear();
  m_settings->sync();  // nothing of its own to write: reads the new file
  return true;
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
