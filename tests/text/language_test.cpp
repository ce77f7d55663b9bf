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

TEST_F(LanguageTest, WithoutFilesOnlyGermanExists) {
  FindLanguages({m_dir.Path()});
  EXPECT_EQ(LanguageCount(), 1);
  EXPECT_EQ(GetLanguageName(0), "Deutsch");
  EXPECT_EQ(GetLanguageName(1), "");
  EXPECT_EQ(GetLanguageName(-1), "");
  EXPECT_EQ(CurrentHelpFile(), "RKTGER.HLP");
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei");
}

TEST_F(LanguageTest, DiscoveryKeepsOnlyFilesThatNameTheirLanguage) {
  m_dir.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n");
  m_dir.Write("RKT_LANG.NOL", "[RKT]\nHelp=x\n");                 // no Language key
  m_dir.Write("RKT_LANG.EMP", "[RKT]\nLanguage=\n");              // empty Language
  m_dir.Write("rkt_lang.fra", "[RKT]\nLanguage=Francais\n");      // any case of the name
  m_dir.Write("RKT_LANG.BIN", std::string("\x00\xFF\xFE[\x01\n\x80\x81", 9));
  m_dir.Write("OTHER.ENG", "[RKT]\nLanguage=Other\n");
  std::filesystem::create_directory(m_dir.Path() / "RKT_LANG.DIR");
  FindLanguages({m_dir.Path()});
  ASSERT_EQ(LanguageCount(), 3);
  // Name order within a folder, and no gaps for the skipped files.
  EXPECT_EQ(GetLanguageName(1), "English");
  EXPECT_EQ(GetLanguageName(2), "Francais");
  EXPECT_EQ(Languages()[1].helpFile, "RKTENG.HLP");
  EXPECT_EQ(Languages()[2].helpFile, "RKTGER.HLP") << "without Help the German help is named";
  EXPECT_EQ(CurrentLanguageIndex(), 0);
}

TEST_F(LanguageTest, ProgramFolderComesBeforeTheDataFolderAndDuplicatesCountOnce) {
  TempDir shared;
  m_dir.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English\n");
  shared.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English (installed)\n");
  shared.Write("RKT_LANG.ITA", "[RKT]\nLanguage=Italiano\n");
  FindLanguages({m_dir.Path(), shared.Path(), m_dir.Path()});
  ASSERT_EQ(LanguageCount(), 4);
  EXPECT_EQ(GetLanguageName(1), "English");
  EXPECT_EQ(GetLanguageName(2), "English (installed)");
  EXPECT_EQ(GetLanguageName(3), "Italiano");

  const auto folders = LanguageFolders("/opt/rkt410/bin");
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0], std::filesystem::path("/opt/rkt410/bin"));
  EXPECT_EQ(folders[1], std::filesystem::path("/opt/rkt410/share/rkt410"));
}

TEST_F(LanguageTest, SameDisplayNameTwiceSelectsTheFirst) {
  m_dir.Write("RKT_LANG.A", "[RKT]\nLanguage=English\n[frmMain]\nmnFile=First\n");
  m_dir.Write("RKT_LANG.B", "[RKT]\nLanguage=English\n[frmMain]\nmnFile=Second\n");
  FindLanguages({m_dir.Path()});
  ASSERT_EQ(LanguageCount(), 3);
  EXPECT_TRUE(SelectLanguageByName("English"));
  EXPECT_EQ(CurrentLanguageIndex(), 1);
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "First");
}

TEST_F(LanguageTest, SelectionRules) {
  m_dir.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n[frmMain]\nmnFile=&File\nlblFileName=\n");
  FindLanguages({m_dir.Path()});

  EXPECT_FALSE(SelectLanguageByName("GER")) << "the stored default matches no display name";
  EXPECT_FALSE(SelectLanguageByName("english")) << "exact comparison";
  EXPECT_EQ(CurrentLanguageIndex(), 0);

  EXPECT_EQ(SelectLanguage(1), 1);
  EXPECT_EQ(CurrentLanguageName(), "English");
  EXPECT_EQ(CurrentHelpFile(), "RKTENG.HLP");
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&File");
  EXPECT_EQ(GetText("frmMain", "lblFileName", "Datei:"), "") << "present but empty";
  EXPECT_EQ(GetText("frmMain", "mnSave", "&Speichern"), "&Speichern") << "missing key";

  EXPECT_EQ(SelectLanguage(-1), 1) << "-1 only asks";
  EXPECT_EQ(SelectLanguage(7), 1) << "an index outside the list changes nothing";

  EXPECT_TRUE(SelectLanguageByName("Deutsch"));
  EXPECT_EQ(CurrentHelpFile(), "RKTGER.HLP");
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei");
}

TEST_F(LanguageTest, GermanNeverReadsAFile) {
  // The file holds the key, but German answers with the default.
  m_dir.Write("RKT_LANG.GER", "[RKT]\nLanguage=Deutsch (Datei)\n[frmMain]\nmnFile=from file\n");
  FindLanguages({m_dir.Path()});
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei");
}

TEST_F(LanguageTest, AFileThatDisappearsGivesTheDefaults) {
  const std::string path = m_dir.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English\n[frmMain]\nmnFile=&File\n");
  FindLanguages({m_dir.Path()});
  SelectLanguage(1);
  ASSERT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&File");
  std::filesystem::remove(path);
  EXPECT_EQ(GetText("frmMain", "mnFile", "&Datei"), "&Datei");
}

TEST_F(LanguageTest, MissingFolderGivesOnlyGerman) {
  FindLanguages({m_dir.Path() / "does-not-exist"});
  EXPECT_EQ(LanguageCount(), 1);
}

}  // namespace
}  // namespace rkt
