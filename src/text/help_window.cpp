#include "text/help_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "model/safe_file.h"
#include "text/text_keys.h"
#include "text/window_placement.h"

namespace rkt {

namespace {

QString HelpFolderName(const std::string& helpFile) {
  QString name = QFileInfo(QString::fromStdString(helpFile)).completeBaseName().toLower();
  return name;
}

QString PageName(int context) {
  return context == help::kContents ? QStringLiteral("index.html") : QString::number(context) + ".html";
}

}  // namespace

std::vector<std::filesystem::path> HelpFolders(const std::filesystem::path& programDir) {
  return {programDir / "help", programDir.parent_path() / "share" / "rkt410" / "help"};
}

QUrl HelpPageUrl(const std::string& helpFile, int context, const std::vector<std::filesystem::path>& folders) {
  const QString folderName = HelpFolderName(helpFile);
  if (folderName.isEmpty()) return {};
  QStringList roots;
  for (const auto& f : folders) roots << QString::fromStdString(Utf8FromPath(f));
  roots << QStringLiteral(":/help");
  for (const QString& root : roots) {
    const QString dir = root + "/" + folderName + "/";
    for (const QString& page : {PageName(context), PageName(help::kContents)}) {
      if (!QFileInfo::exists(dir + page)) continue;
      if (dir.startsWith(':')) return QUrl("qrc" + dir + page);
      return QUrl::fromLocalFile(dir + page);
    }
  }
  return {};
}

HelpWindow::HelpWindow() : m_browser(new QTextBrowser(this)) {
  setObjectName("frmHelp");
  resize(640, 520);
  m_browser->setObjectName("txtHelp");
  m_browser->setOpenExternalLinks(true);

  auto* contents = m_contentsButton = new QPushButton(QStringLiteral("⌂"), this);
  auto* back = m_backButton = new QPushButton(QStringLiteral("◀"), this);
  auto* forward = m_forwardButton = new QPushButton(QStringLiteral("▶"), this);
  contents->setObjectName("btContents");
  back->setObjectName("btBack");
  forward->setObjectName("btForward");
  for (QPushButton* b : {contents, back, forward}) b->setFixedWidth(40);
  back->setEnabled(false);
  forward->setEnabled(false);
  SetLanguage();
  connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
  connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
  connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
  connect(contents, &QPushButton::clicked, this, [this] {
    if (m_contents.isValid()) m_browser->setSource(m_contents);
  });
  connect(new QShortcut(QKeySequence::Back, this), &QShortcut::activated, m_browser, &QTextBrowser::backward);
  connect(new QShortcut(QKeySequence::Forward, this), &QShortcut::activated, m_browser, &QTextBrowser::forward);
  connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Home), this), &QShortcut::activated, contents,
          &QPushButton::click);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(m_browser);
}

void HelpWindow::SetLanguage() {
  const QString title = QString::fromStdString(Text("frmHelp", "frmHelp"));
  setWindowTitle(title);
  m_browser->setAccessibleName(title);
  // The buttons show pictures; their names say what the pictures mean.
  const std::pair<QPushButton*, const char*> buttons[] = {
      {m_contentsButton, "btContents"}, {m_backButton, "btBack"}, {m_forwardButton, "btForward"}};
  const QString keys[] = {QStringLiteral("Alt+Home"), QKeySequence(QKeySequence::Back).toString(QKeySequence::NativeText),
                          QKeySequence(QKeySequence::Forward).toString(QKeySequence::NativeText)};
  for (std::size_t i = 0; i < std::size(buttons); ++i) {
    const QString name = QString::fromStdString(Text("frmHelp", buttons[i].second));
    buttons[i].first->setAccessibleName(name);
    buttons[i].first->setToolTip(QStringLiteral("%1 (%2)").arg(name, keys[i]));
  }
}

void HelpWindow::ShowPage(const QUrl& url, const std::string& helpFile) {
  SetLanguage();
  if (url.isEmpty()) {
    m_contents = QUrl();
    m_browser->clearHistory();
    m_browser->setPlainText(QStringLiteral("Die Hilfedatei %1 wurde nicht gefunden.\nThe help file %1 was not found.")
                                .arg(QString::fromStdString(helpFile)));
    return;
  }
  m_contents = url.resolved(QUrl(PageName(help::kContents)));
  m_browser->setSource(url);
}

QtHelpViewer::~QtHelpViewer() = default;

void QtHelpViewer::ShowTopic(const std::string& helpFile, int context) {
  if (!m_window) {
    m_window = std::make_unique<HelpWindow>();
    CenterOnMain(*m_window);
  }
  m_window->ShowPage(HelpPageUrl(helpFile, context, m_folders), helpFile);
  m_window->show();
  m_window->raise();
  m_window->activateWindow();
}

}  // namespace rkt
