#include <QFile>

#include <cerrno>

#include "../ui/ui_test_support.h"
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
  void Store(std::initializer_list<std::pair<const char*, std::string>> values, std::string_view section = kSettingsSection) {
    SettingsStore store(IniPath());
    for (const auto& [name, value] : values) store.SetString(section, name, value);
    ASSERT_TRUE(store.Sync()) << store.LastError();
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

// Without a stored port the first port of the machine is opened; then the defaults and, per key, the values that
// switch it on (+) or leave it off (-); "-" alone is an empty value.
TEST_F(SettingsTest, PortDefaultsAndComparisonRules) {
  const struct { const char *stored, *machineFirst; std::vector<std::string> calls; } rows[] = {  // nullptr: no key
      {nullptr, "/dev/serial/by-id/usb-adapter-if00", {"OpenPort /dev/serial/by-id/usb-adapter-if00"}},
      {nullptr, "", {}},  // no port at all: nothing opened, nothing asked
      {"", "/dev/ttyUSB0", {"OpenPort /dev/ttyUSB0"}},
      {"COM1", "/dev/ttyUSB0", {"OpenPort COM1"}},  // a stored port is never changed
  };
  for (const auto& r : rows) {
    Reset();
    if (r.stored) Store({{"Port", r.stored}});
    FakeLink link;
    link.defaultPort = r.machineFirst;
    LoadOptions(SettingsStore(IniPath()), link, m_view, m_recent);
    EXPECT_EQ(link.calls, r.calls) << (r.stored ? r.stored : "(none)") << " / " << r.machineFirst;
  }
  Reset();
  Load();
  EXPECT_EQ(m_link.calls, (std::vector<std::string>{"OpenPort COM1"})) << "detection is not even called";
  EXPECT_EQ(std::tuple(m_link.mode, CurrentLanguageIndex(), m_recent.Count()), std::tuple(0, 0, 0));
  EXPECT_EQ(std::tuple(m_view.debug, m_view.tooltips, m_view.overviewShown, m_view.writePreview),
            std::tuple(false, true, true, true));
  const LinkSettings link = SettingsStore(IniPath()).ReadLinkSettings();
  EXPECT_EQ(std::tuple(link.detectTimeoutMs, link.readTimeoutMs, link.echo), std::tuple(100, 200, true));
  const std::pair<std::string, const char*> cases[] = {
      {"SensDetection", "+Auto -auto -AUTO -None"}, {"Tooltips", "+YES -yes -NO -"},
      {"BlockDiagram", "+Show -show -Hide"},         {"QDDebug", "+yes +YES +Yes -no -y"},
      {"WritePreview", "-NO +YES +no"},              {"Language", "-Deutsch -Klingon"},  // one that is gone leaves German
  };
  for (const auto& [name, values] : cases)
    for (const QString& v : QString::fromLatin1(values).split(QLatin1Char(' '))) {
      Reset();
      Store({{name.c_str(), v.mid(1).toStdString()}});
      Load();
      const bool on = name == "SensDetection"  ? m_link.mode == 1
                      : name == "Tooltips"     ? m_view.tooltips
                      : name == "BlockDiagram" ? m_view.overviewShown
                      : name == "WritePreview" ? m_view.writePreview
                      : name == "Language"     ? CurrentLanguageIndex() != 0
                                               : m_view.debug;
      EXPECT_EQ(on, v.startsWith(QLatin1Char('+'))) << name << "=\"" << v.mid(1).toStdString() << "\"";
    }
}

// A first start (no language stored) speaks the system's language when a file has it: the same language and
// territory first, then the language alone, else German; a stored language, even one that is gone, wins.
TEST_F(SettingsTest, FirstStartTakesTheLanguageOfTheSystemsLocale) {
  test::TempDir own;
  test::WriteText(own.Path("RKT_LANG.PT"), "[RKT]\nLanguage=Portugues\nLocale=pt\n");
  test::WriteText(own.Path("RKT_LANG.PTB"), "[RKT]\nLanguage=Portugues (Brasil)\nLocale=pt-BR\n");
  test::WriteText(own.Path("RKT_LANG.X"), "[RKT]\nLanguage=No locale\n");
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources", own.Dir()});
  const struct { const char* stored; const char* system; const char* chosen; } rows[] = {  // nullptr: nothing stored
      {nullptr, "fr_FR.UTF-8", "Français"}, {nullptr, "fr-CA", "Français"}, {nullptr, "it_CH@euro", "Italiano"},
      {nullptr, "es_ES", "Español"},        {nullptr, "nl_BE", "Nederlands"}, {nullptr, "PL_pl", "Polski"},
      {nullptr, "en_US", "English"},        {nullptr, "de_AT", "Deutsch"},    {nullptr, "pt_BR.UTF-8", "Portugues (Brasil)"},
      {nullptr, "pt_PT", "Portugues"},      {nullptr, "sv_SE", "Deutsch"},    {nullptr, "C", "Deutsch"},
      {nullptr, "", "Deutsch"},             {"", "fr_FR", "Français"},        {"Deutsch", "fr_FR", "Deutsch"},
      {"English", "fr_FR", "English"},      {"GER", "fr_FR", "Deutsch"},      {"Klingon", "pl_PL", "Deutsch"}};
  for (const auto& r : rows) {
    Reset();
    if (r.stored) Store({{"Language", r.stored}});
    SelectLanguage(0);
    LoadOptions(SettingsStore(IniPath()), m_link, m_view, m_recent, r.system);
    EXPECT_EQ(CurrentLanguageName(), r.chosen) << (r.stored ? r.stored : "(none)") << " / " << r.system;
  }
}

TEST_F(SettingsTest, ServiceValues) {
  const struct { const char *name, *value; int detect, read; bool echo; } cases[] = {
      {"InterfaceTransformer", "noecho", 100, 200, false}, {"InterfaceTransformer", "NOECHO", 100, 200, false},
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
  Load();
  EXPECT_EQ(m_recent.Entries(), (std::vector<std::string>{longPath, "C:\\Daten\\b.RKT"}));
}

// A disk that fills up while the store is written: Sync says so, the old file stays whole and private.
TEST_F(SettingsTest, FullDiskKeepsTheOldStore) {
  Store({{"Port", "COM7"}});
  QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::WriteOwner);
  const QByteArray before = test::Bytes(IniPath());
  ASSERT_FALSE(before.isEmpty());
  {
    SettingsStore store(IniPath());
    store.SetString(kSettingsSection, "Port", "COM9");
    InjectWriteFailureForTesting(ENOSPC, 8);
    EXPECT_FALSE(store.Sync());
    EXPECT_EQ(store.LastError(), std::strerror(ENOSPC));
    InjectWriteFailureForTesting(0);
    EXPECT_EQ(store.GetString(kSettingsSection, "Port", ""), "COM9") << "kept for a later try";
    EXPECT_EQ(test::Bytes(IniPath()), before);
    ASSERT_TRUE(store.Sync());
  }
  EXPECT_EQ(SettingsStore(IniPath()).GetString(kSettingsSection, "Port", ""), "COM9");
#if !defined(_WIN32)  // Windows files have no group or other bits
  EXPECT_EQ(QFileInfo(IniPath()).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions()) << "private";
#endif
}

}  // namespace
}  // namespace rkt
