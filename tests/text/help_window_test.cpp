#include "text/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTextBrowser>

#include "temp_dir.h"
#include "text/language.h"

namespace rkt {
namespace {

TEST(HelpPages, LookupRules) {
  for (const char* helpFile : {"RKTGER.HLP", "RKTENG.HLP", "rkteng.hlp"}) {
    for (const int context : HelpContexts()) {
      const QUrl url = HelpPageUrl(helpFile, context, {});
      EXPECT_EQ(url.scheme(), "qrc") << helpFile << " " << context;
      EXPECT_TRUE(url.path().endsWith(context == 0 ? "index.html" : QString::number(context) + ".html")) << context;
    }
  }
  TempDir dir;
  dir.Write("help/rktfra/index.html", "<html><title>Aide</title></html>");
  dir.Write("help/rktger/2000.html", "<html><title>Eigene Seite</title></html>");
  const std::vector<std::filesystem::path> folders = {dir.Path() / "nothing", dir.Path() / "help"};
  EXPECT_EQ(HelpPageUrl("RKTFRA.HLP", 2000, folders),
            QUrl::fromLocalFile(QString::fromStdString((dir.Path() / "help/rktfra/index.html").string())))
      << "a context without a page of its own opens the contents";
  EXPECT_EQ(HelpPageUrl("RKTGER.HLP", 2000, folders).scheme(), "file") << "pages on disk come first";
  EXPECT_EQ(HelpPageUrl("RKTGER.HLP", 2001, folders).scheme(), "qrc");
  EXPECT_EQ(HelpPageUrl("RKTGER.HLP", 4711, {}).path(), "/help/rktger/index.html");
  EXPECT_TRUE(HelpPageUrl("NOSUCH.HLP", 0, folders).isEmpty());
  EXPECT_TRUE(HelpPageUrl("", 0, folders).isEmpty());
}

TEST(HelpWindow, ShowsTheTopicOfTheCurrentLanguage) {
  QtHelpViewer viewer({});
  SetHelpViewer(&viewer);
  ShowHelp(2001);
  ASSERT_NE(viewer.Window(), nullptr);
  EXPECT_TRUE(viewer.Window()->isVisible());
  EXPECT_EQ(viewer.Window()->Browser()->documentTitle(), "Die Schnittstelle lässt sich nicht öffnen");
  TempDir dir;
  dir.Write("RKT_LANG.ENG", "[RKT]\nLanguage=English\nHelp=RKTENG.HLP\n");
  FindLanguages({dir.Path()});
  SelectLanguage(1);
  ShowHelp(2001);
  EXPECT_EQ(viewer.Window()->Browser()->documentTitle(), "The serial port cannot be opened");
  ShowHelp(0);
  EXPECT_EQ(viewer.Window()->Browser()->documentTitle(), "RKT 410 Parameter Setup – Help");
  viewer.ShowTopic("MISSING.HLP", 0);
  EXPECT_TRUE(viewer.Window()->Browser()->toPlainText().contains("MISSING.HLP"));
  SetHelpViewer(nullptr);
  FindLanguages({});
}

}  // namespace
}  // namespace rkt
