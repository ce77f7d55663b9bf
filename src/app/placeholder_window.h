#pragma once

#include <QMainWindow>

class QLabel;
class QMenu;

// A plain main window that stands in for frmMain until the real one exists:
// it carries the file, options and help menus, the port in the status bar,
// and the closing rule, so that start-up and shutdown run for real.
namespace rkt {

class Frame;

class PlaceholderWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit PlaceholderWindow(Frame& frame);

  // Applies the current language to the window; nothing happens when the
  // language has not changed since the last call.
  void LoadMainTexts();
  // How often the texts were applied (a test looks at it).
  int TextLoads() const { return m_textLoads; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FillLanguageMenu();
  void UpdateStatus();

  Frame& m_frame;
  QMenu* m_languageMenu;
  QLabel* m_info;
  QLabel* m_port;
  int m_appliedLanguage = 0;
  int m_textLoads = 0;
};

}  // namespace rkt
