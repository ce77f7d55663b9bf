#include "text/language.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace rkt {
namespace {

class LanguageTest : public ::testing::Test {
 protected:
  void TearDown() override { FindLanguages({}); }
  TempDir m_dir;
};

TEST_F(LanguageTest, DiscoveryKeepsFilesThatNameTheirLanguageInFolderOrder) {
  FindLanguages({m_dir.Path(), m_dir.Path() / "does-not-exist"});
  EXPECT_EQ(LanguageCount(), 1);
  TempDir shared;
  m_dir.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n");
  m_dir.Write("RKT_LANG.NOL", "[RKT]\nHelp=x\n");
  m_dir.Write("RKT_LANG.EMP", "[RKT]\nLanguage=\n");
  m_dir.Write("rkt_lang.fra", "[RKT]\nLanguage=Francais\nHelp=\n");
  m_dir.Write("RKT_LANG.BIN", std::string("\x00\xFF\xFE[\x01\n\x80\x81", 9));
  m_dir.Write("RKT_LANG.", "[RKT]\nLanguage=Dot\n");
  m_dir.Write("RKT-LANG.X", "[RKT]\nLanguage=Other\n");
  std::filesystem::create_directory(m_dir.Path() / "RKT_LANG.DIR");
  shared.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English (installed)\n");
  shared.Write("RKT_LANG.ITA", "[RKT]\nLanguage=Italiano\n");
  FindLanguages({m_dir.Path(), shared.Path(), m_dir.Path()});
  std::vector<std::string> names, help;
  for (const LanguageEntry& e : Languages()) {
    names.push_back(e.name);
    help.push_back(e.helpFile);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Deutsch", "Dot", "English", "Francais", "English (installed)", "Italiano"}));
  EXPECT_EQ(help, (std::vector<std::string>{"RKTGER.HLP", "RKTGER.HLP", "RKTENG.HLP", "RKTGER.HLP", "RKTGER.HLP", "RKTGER.HLP"}));
  EXPECT_EQ(LanguageCount(), 6);
  EXPECT_EQ(CurrentLanguageIndex(), 0);
  EXPECT_EQ(GetLanguageName(5), "Italiano");
  EXPECT_EQ(GetLanguageName(6), "");
  EXPECT_EQ(GetLanguageName(-1), "");
  EXPECT_EQ(LanguageFolders("/opt/rkt410/bin"),
            (std::vector<std::filesystem::path>{"/opt/rkt410/bin", "/opt/rkt410/share/rkt410"}));
}

TEST_F(LanguageTest, SelectionRules) {
  m_dir.Write("RKT_LANG.A", "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n[frmMain]\nmnFile=&File\nlblFileName=\n");
  const std::string second = m_dir.Write("RKT_LANG.B", "[RKT]\nLanguage=English\n[frmMain]\nmnFile=Second\n");
  m_dir.Write("RKT_LANG.C", "[RKT]\nLanguage=Deutsch (Datei)\n[frmMain]\nmnFile=from file\n");
  FindLanguages({m_dir.Path()});
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei") << "German never reads a file";
  EXPECT_EQ(CurrentHelpFile(), "RKTGER.HLP");
  EXPECT_FALSE(SelectLanguageByName("GER"));
  EXPECT_FALSE(SelectLanguageByName("english")) << "exact comparison";
  EXPECT_EQ(CurrentLanguageIndex(), 0);
  EXPECT_TRUE(SelectLanguageByName("English"));
  EXPECT_EQ(CurrentLanguageIndex(), 1) << "the first of two equal names";
  EXPECT_EQ(CurrentLanguageName(), "English");
  EXPECT_EQ(CurrentHelpFile(), "RKTENG.HLP");
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&File");
  EXPECT_EQ(GetText("frmMain", "lblFileName", "Datei:"), "") << "present but empty";
  EXPECT_EQ(GetText("frmMain", "mnSave", "&Speichern"), "&Speichern") << "missing key";
  EXPECT_EQ(SelectLanguage(-1), 1) << "-1 only asks";
  EXPECT_EQ(SelectLanguage(4), 1) << "an index outside the list changes nothing";
  EXPECT_EQ(SelectLanguage(3), 3);
  EXPECT_EQ(SelectLanguage(2), 2);
  std::filesystem::remove(second);
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei") << "a file that disappeared gives the defaults";
  EXPECT_TRUE(SelectLanguageByName("Deutsch"));
  EXPECT_EQ(SelectLanguage(0), 0);
  EXPECT_EQ(CurrentLanguageName(), "Deutsch");
}

}  // namespace
}  // namespace rkt
