#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cerrno>

#include "app/options.h"
#include "app/settings_store.h"
#include "fake_link.h"
#include "model/recent_files.h"
#include "model/safe_file.h"
#include "text/language.h"

namespace rkt {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void TearDown() override { FindLanguages({}); }
  QString IniPath() const { return m_dir.filePath("RKT410.ini"); }
  // A fresh store holding these [Settings] values.
  void Store(std::initializer_list<std::pair<const char*, std::string>> values, std::string_view section = kSettingsSection) {
    SettingsStore store(IniPath());
    for (const auto& [name, value] : values) store.SetString(section, name, value);
  }
  void Load() {
    m_link = FakeLink();
    m_view = ViewOptions();
    m_recent.ResetRecentFiles();
    LoadOptions(SettingsStore(IniPath()), m_link, m_view, m_recent);
  }
  void Reset() { QFile::remove(IniPath()); }

  QTemporaryDir m_dir;
  FakeLink m_link;
  ViewOptions m_view;
  RecentFiles m_recent;
};

TEST_F(SettingsTest, FreshStoreGivesTheDefaults) {
  Load();
  EXPECT_EQ(m_link.calls, (std::vector<std::string>{"OpenPort COM1"})) << "detection is not even called";
  EXPECT_EQ(std::tuple(m_link.mode, CurrentLanguageIndex(), m_recent.Count()), std::tuple(0, 0, 0));
  EXPECT_EQ(std::tuple(m_view.debug, m_view.tooltips, m_view.overviewShown, m_view.writePreview),
            std::tuple(false, true, true, true));
  const LinkSettings link = SettingsStore(IniPath()).ReadLinkSettings();
  EXPECT_EQ(std::tuple(link.detectTimeoutMs, link.readTimeoutMs, link.echo), std::tuple(100, 200, true));
}

TEST_F(SettingsTest, WithoutAStoredPortTheFirstPortOfTheMachineIsOpened) {
  const struct {
    const char* stored;  // nullptr: no such key
    const char* machineFirst;
    std::vector<std::string> calls;
  } rows[] = {
      {nullptr, "/dev/serial/by-id/usb-adapter-if00", {"OpenPort /dev/serial/by-id/usb-adapter-if00"}},
      {nullptr, "", {}},  // no port at all: nothing opened, nothing asked
      {"", "/dev/ttyUSB0", {"OpenPort /dev/ttyUSB0"}},
      {"COM1", "/dev/ttyUSB0", {"OpenPort COM1"}},  // a stored port is never changed
      {"/dev/ttyS3", "", {"OpenPort /dev/ttyS3"}},
  };
  for (const auto& r : rows) {
    Reset();
    if (r.stored) Store({{"Port", r.stored}});
    FakeLink link;
    link.defaultPort = r.machineFirst;
    LoadOptions(SettingsStore(IniPath()), link, m_view, m_recent);
    EXPECT_EQ(link.calls, r.calls) << (r.stored ? r.stored : "(none)") << " / " << r.machineFirst;
  }
}

TEST_F(SettingsTest, ComparisonRules) {
  const struct {
    const char* name;
    const char* value;
    bool on;
  } cases[] = {
      {"SensDetection", "Auto", true}, {"SensDetection", "auto", false}, {"SensDetection", "AUTO", false},
      {"SensDetection", "None", false}, {"Tooltips", "YES", true}, {"Tooltips", "yes", false},
      {"Tooltips", "NO", false}, {"Tooltips", "", false}, {"BlockDiagram", "Show", true},
      {"BlockDiagram", "show", false}, {"BlockDiagram", "Hide", false}, {"QDDebug", "yes", true},
      {"QDDebug", "YES", true}, {"QDDebug", "Yes", true}, {"QDDebug", "no", false},
      {"QDDebug", "y", false}, {"WritePreview", "NO", false}, {"WritePreview", "YES", true},
      {"WritePreview", "no", true}, {"Language", "Deutsch", false}, {"Language", "Klingon", false},
  };
  for (const auto& c : cases) {
    Reset();
    Store({{c.name, c.value}});
    Load();
    const std::string name = c.name;
    const bool on = name == "SensDetection"  ? m_link.mode == 1
                    : name == "Tooltips"     ? m_view.tooltips
                    : name == "BlockDiagram" ? m_view.overviewShown
                    : name == "WritePreview" ? m_view.writePreview
                    : name == "Language"     ? CurrentLanguageIndex() != 0  // one that is gone leaves German
                                             : m_view.debug;
    EXPECT_EQ(on, c.on) << c.name << "=\"" << c.value << "\"";
  }
}

TEST_F(SettingsTest, ServiceValues) {
  const struct {
    const char* name;
    const char* value;
    int detect, read;
    bool echo;
  } cases[] = {
      {"InterfaceTransformer", "noecho", 100, 200, false}, {"InterfaceTransformer", "NOECHO", 100, 200, false},
      {"InterfaceTransformer", "NoEcho", 100, 200, false}, {"InterfaceTransformer", "Echo", 100, 200, true},
      {"InterfaceTransformer", "no echo", 100, 200, true}, {"DetectTimeout", "150", 150, 200, true},
      {"ReadTimeout", "350", 100, 350, true},   {"ReadTimeout", "0", 100, 200, true},  // would wait for ever
      {"ReadTimeout", "-20", 100, 200, true},   {"ReadTimeout", "abc", 100, 200, true},
      {"ReadTimeout", "250 ms", 100, 250, true}, {"ReadTimeout", "249.6", 100, 250, true},
      {"ReadTimeout", "99999", 100, 200, true},  // beyond a 16-bit time-out
  };
  for (const auto& c : cases) {
    Reset();
    Store({{c.name, c.value}});
    const LinkSettings s = SettingsStore(IniPath()).ReadLinkSettings();
    EXPECT_EQ(std::tuple(s.detectTimeoutMs, s.readTimeoutMs, s.echo), std::tuple(c.detect, c.read, c.echo))
        << c.name << "=" << c.value;
  }
  Reset();
  QSettings(IniPath(), QSettings::IniFormat).setValue("Settings/DetectTimeout", 150);  // a number reads as its text
  EXPECT_EQ(SettingsStore(IniPath()).ReadLinkSettings().detectTimeoutMs, 150);
}

TEST_F(SettingsTest, RecentFilesEndAtTheFirstGapAndLongValuesAreReadWhole) {
  Store({{"FILE1", "/data/a.RKT"}, {"FILE2", "/data/b.RKT"}, {"FILE4", "/data/d.RKT"}}, kRecentSection);
  Load();
  EXPECT_EQ(m_recent.Entries(), (std::vector<std::string>{"/data/a.RKT", "/data/b.RKT"}));
  Store({{"FILE3", ""}}, kRecentSection);
  Load();
  EXPECT_EQ(m_recent.Count(), 2) << "an empty value ends the list too";

  const std::string longPath = "/home/technician/Müller/" + std::string(600, 'x') + "/Sensor, Linie 3.RKT";
  Store({{"FILE1", longPath}, {"FILE2", "C:\\Daten\\b.RKT"}}, kRecentSection);
  Store({{"Port", "/dev/serial/by-id/" + std::string(300, 'p')}});
  Load();
  EXPECT_EQ(m_recent.Entries(), (std::vector<std::string>{longPath, "C:\\Daten\\b.RKT"}));
  EXPECT_EQ(m_link.port.size(), 18u + 300u);

  SettingsStore(IniPath()).WriteRecentFiles({"/x"});
  Load();
  EXPECT_EQ(m_recent.Entries(), (std::vector<std::string>{"/x", "C:\\Daten\\b.RKT"}))
      << "a shorter list leaves the stale entries";
}

TEST_F(SettingsTest, SavedOptionsSurviveARestart) {
  QTemporaryDir langDir;
  QFile lang(langDir.filePath("RKT_LANG.ENG"));
  ASSERT_TRUE(lang.open(QIODevice::WriteOnly));
  lang.write("[RKT]\nLanguage=English\n");
  lang.close();
  FindLanguages({langDir.path().toStdString()});
  SelectLanguage(1);
  FakeLink link;
  link.mode = 1;
  link.port = "/dev/ttyUSB0";
  RecentFiles recent;
  recent.AddRecentFile("/data/old.RKT");
  recent.AddRecentFile("/data/new.RKT");
  {
    SettingsStore store(IniPath());
    SaveOptions(store, link, ViewOptions{false, false, false, false}, recent);
  }
  SelectLanguage(0);
  Load();
  EXPECT_EQ(std::tuple(m_link.mode, m_link.port, CurrentLanguageName()),
            std::tuple(1, std::string("/dev/ttyUSB0"), std::string("English")));
  EXPECT_EQ(std::tuple(m_view.tooltips, m_view.overviewShown, m_view.writePreview), std::tuple(false, false, false));
  EXPECT_EQ(m_recent.Entries(), (std::vector<std::string>{"/data/new.RKT", "/data/old.RKT"}));
  SettingsStore store(IniPath());
  std::vector<std::string> stored;
  for (const char* name : {"SensDetection", "Tooltips", "BlockDiagram", "QDDebug"})
    stored.push_back(store.GetString(kSettingsSection, name, "<none>"));
  EXPECT_EQ(stored, (std::vector<std::string>{"Auto", "NO", "Hide", "<none>"})) << "QDDebug is never written";
}

// A disk that fills up while the store is written: Sync says so, the old
// file stays whole and private, nothing else is left behind.
TEST_F(SettingsTest, FullDiskKeepsTheOldStore) {
  Store({{"Port", "COM7"}});
  ::chmod(IniPath().toLocal8Bit().constData(), 0600);
  const auto bytes = [&] {
    QFile file(IniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  const QByteArray before = bytes();
  ASSERT_FALSE(before.isEmpty());
  {
    SettingsStore store(IniPath());
    store.SetString(kSettingsSection, "Port", "COM9");
    InjectWriteFailureForTesting(ENOSPC, 8);
    EXPECT_FALSE(store.Sync());
    EXPECT_EQ(store.LastError(), std::strerror(ENOSPC));
    InjectWriteFailureForTesting(0);
    EXPECT_EQ(store.GetString(kSettingsSection, "Port", ""), "COM9") << "kept for a later try";
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file stays";
    ASSERT_TRUE(store.Sync());
  }
  EXPECT_EQ(SettingsStore(IniPath()).GetString(kSettingsSection, "Port", ""), "COM9");
  EXPECT_EQ(QFileInfo(IniPath()).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

}  // namespace
}  // namespace rkt
