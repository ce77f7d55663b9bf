#include "app/placeholder_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "app/frame.h"
#include "app/link_services.h"
#include "rkt_version.h"
#include "text/control_text.h"
#include "text/language.h"
#include "text/messages.h"
#include "text/text_keys.h"
#include "text/window_placement.h"

namespace rkt {

namespace {

// A menu entry named like its language key, with its German caption.
QAction* AddAction(QMenu* menu, const char* name) {
  QAction* a = menu->addAction(QString::fromStdString(std::string(BuiltinText("frmMain", name))));
  a->setObjectName(name);
  return a;
}

QMenu* AddMenu(QMenuBar* bar, const char* name) {
  QMenu* m = bar->addMenu(QString::fromStdString(std::string(BuiltinText("frmMain", name))));
  m->setObjectName(name);
  return m;
}

}  // namespace

PlaceholderWindow::PlaceholderWindow(Frame& frame)
    : m_frame(frame), m_languageMenu(nullptr), m_info(new QLabel(this)), m_port(new QLabel(this)) {
  setObjectName("frmMain");
  setWindowTitle(QString::fromStdString(Text("frmMain", "frmMain")) +
                 QStringLiteral(" %1.%2").arg(RKT_VERSION_MAJOR).arg(RKT_VERSION_MINOR));
  resize(560, 320);

  QMenu* file = AddMenu(menuBar(), "mnFile");
  QAction* exit = AddAction(file, "mnExit");
  exit->setShortcut(QKeySequence::Quit);
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* options = AddMenu(menuBar(), "mnOptions");
  // Until the options dialog exists, the language is chosen here. The
  // caption is the same in every language, as in the options dialog.
  m_languageMenu = options->addMenu(QStringLiteral("Sprache/Language"));
  m_languageMenu->setObjectName("frameSprache");

  QMenu* helpMenu = AddMenu(menuBar(), "mnHelp");
  QAction* contents = AddAction(helpMenu, "mnContents");
  contents->setShortcut(QKeySequence::HelpContents);
  connect(contents, &QAction::triggered, this, [] { ShowHelp(help::kContents); });

  m_info->setAlignment(Qt::AlignCenter);
  m_info->setWordWrap(true);
  setCentralWidget(m_info);
  m_port->setObjectName("SBPort");
  statusBar()->addPermanentWidget(m_port);

  FillLanguageMenu();
  UpdateStatus();
  CenterOnMain(*this);  // no main window yet: centred on the screen
}

void PlaceholderWindow::FillLanguageMenu() {
  m_languageMenu->clear();
  auto* group = new QActionGroup(m_languageMenu);
  for (int i = 0; !GetLanguageName(i).empty(); ++i) {
    QAction* a = m_languageMenu->addAction(QString::fromStdString(GetLanguageName(i)));
    a->setCheckable(true);
    a->setChecked(i == CurrentLanguageIndex());
    group->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] {
      SelectLanguage(i);
      LoadMainTexts();
    });
  }
}

void PlaceholderWindow::LoadMainTexts() {
  // The language list is complete only after start-up found the files.
  FillLanguageMenu();
  UpdateStatus();
  const int index = CurrentLanguageIndex();
  if (index == m_appliedLanguage) return;
  m_appliedLanguage = index;
  ++m_textLoads;

  setWindowTitle(QString::fromStdString(Text("frmMain", "frmMain")) +
                 QStringLiteral(" %1.%2").arg(RKT_VERSION_MAJOR).arg(RKT_VERSION_MINOR));
  for (QMenu* m : findChildren<QMenu*>()) SetControlText("frmMain", m);
  for (QAction* a : findChildren<QAction*>()) {
    if (!a->objectName().isEmpty()) SetControlText("frmMain", a);
  }
  UpdateStatus();
}

void PlaceholderWindow::UpdateStatus() {
  m_info->setText(QString::fromStdString(Text("frmMain", "frmMain")) + "\n\n" +
                  QString::fromStdString(CurrentLanguageName()));
  m_port->setText(QString::fromStdString(m_frame.Link().PortName()));
}

void PlaceholderWindow::closeEvent(QCloseEvent* event) {
  if (m_frame.QueryUnload()) event->accept();
  else event->ignore();
}

}  // namespace rkt
