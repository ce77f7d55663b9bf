#pragma once

#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "text/messages.h"

class QPushButton;
class QTextBrowser;

// The help: HTML pages, one folder per help file and one page per context
// ("index.html" for the contents, "<context>.html" for a topic). A help file
// name such as "RKTGER.HLP" names the folder "rktger". Folders "help/<name>"
// beside the program or in the installed data folder come first, so that a
// translation can bring its own help; the German and English pages are built
// into the program.
namespace rkt {

// The page for context in the help named helpFile, searched in the folders
// (each holding one sub-folder per help) and then in the built-in pages. A
// context without a page of its own gives the contents page; an unknown
// help gives an empty URL.
QUrl HelpPageUrl(const std::string& helpFile, int context, const std::vector<std::filesystem::path>& folders);

// Where help folders are looked for on disk, for the program in programDir.
std::vector<std::filesystem::path> HelpFolders(const std::filesystem::path& programDir);

// The program's help window: a browser with contents, back and forward.
class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  HelpWindow();
  // Shows url, or a note that helpFile was not found when url is empty.
  void ShowPage(const QUrl& url, const std::string& helpFile);
  QTextBrowser* Browser() const { return m_browser; }

 private:
  // Title, button names and tooltips in the current language.
  void SetLanguage();

  QTextBrowser* m_browser;
  QPushButton* m_contentsButton;
  QPushButton* m_backButton;
  QPushButton* m_forwardButton;
  QUrl m_contents;
};

// The help viewer the program installs: one help window, reused.
class QtHelpViewer : public HelpViewer {
 public:
  explicit QtHelpViewer(std::vector<std::filesystem::path> folders) : m_folders(std::move(folders)) {}
  ~QtHelpViewer() override;
  void ShowTopic(const std::string& helpFile, int context) override;
  HelpWindow* Window() const { return m_window.get(); }

 private:
  std::vector<std::filesystem::path> m_folders;
  std::unique_ptr<HelpWindow> m_window;
};

}  // namespace rkt
