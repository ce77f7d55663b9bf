#include "ui/frm_main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "model/text_encoding.h"
#include "output/datasheet_print.h"
#include "output/picture.h"
#include "rkt_version.h"
#include "text/messages.h"
#include "ui/accessibility.h"
#include "ui/dialogs.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"
#include "ui/station_window.h"
#include "ui/toolbar/toolbar_icons.h"
#include "text/window_placement.h"
#include "ui/ui_services.h"
#include "ui/ui_text.h"

namespace rkt {

namespace {

// The menu entries that follow the language (the data code entry keeps its
// caption in every language).
constexpr const char* kMenuItems[] = {
    "mnFile", "mnLoad", "mnSave", "mnSaveas", "mnPrint", "mnExport", "mnExit", "mnOptions", "mnSensor", "mnSensorRead",
    "mnSensorWrite", "mnExtraInfo", "mnSensorInfo", "mnSensorDefault", "mnSensorTest", "mnSensRead", "mnSensWrite",
    "mnHistory", "mnStation", "mnHelp", "mnContents", "mnAbout"};
constexpr const char* kCodeCaption = "&Code";

QString DefaultCaption(const char* name) {
  return std::string_view(name) == "mnCode" ? QString::fromLatin1(kCodeCaption) : MainText(name);
}

constexpr bool kEnabledAtStart[11] = {true, false, false, true, false, true, false, false, false, true, false};
// Buttons and menu items that need a data set.
constexpr int kDataButtons[] = {1, 2, 4, 6, 7, 10};
constexpr const char* kDataItems[] = {"mnSensorWrite", "mnSensorInfo", "mnSave",          "mnSaveas",
                                      "mnExtraInfo",   "mnSensorDefault", "mnPrint", "mnExport", "mnStation"};

// How long a success note stays in the status bar.
constexpr int kStatusMessageMs = 5000;

}  // namespace

QString ElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const {
  // Room for a few characters; the rest of the name is elided.
  return {fontMetrics().horizontalAdvance(QStringLiteral("…")) * 6, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), static_cast<int>(alignment()), ShownText());
}

frmMain::frmMain(DataSet& ds, RecentFiles& recent, QWidget* parent) : QMainWindow(parent), m_ds(ds), m_recent(recent), m_files(*this, ds) {
  setObjectName(QStringLiteral("frmMain"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  SetMainWindow(this);
  InstallAccessibility();
  BuildMenus();
  BuildToolbar();
  BuildCentral();
  BuildStatusBar();

  m_fileLabel = QStringLiteral("Datei:");
  // The title is the language file's alone: no application display name is
  // set, because the platform would append it to every window title.
  setWindowTitle(QStringLiteral("%1 %2.%3").arg(MainText("frmMain")).arg(RKT_VERSION_MAJOR).arg(RKT_VERSION_MINOR));
  // The large time-function pictures suit screens with more pixels per inch.
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->logicalDotsPerInch() >= 120)
    m_panel->SetPictureSuffix(QStringLiteral("1"));
  m_frameSensor->setTitle(MainText("frameSensor"));

  m_ds.onChangedFlag = [this](bool changed) { ShowChangedIndicator(changed); };
  m_recent.onChanged = [this] { RebuildRecentMenu(); };
  RebuildRecentMenu();
  SetDataAvailable(false);
  // Until there is a data set, a line says how to get one.
  m_frameSensor->hide();
  ShowStartHint();
  connect(m_panel, &ParameterPanel::OverviewRefreshRequested, this, &frmMain::RefreshOverview);
  connect(m_panel, &ParameterPanel::InputRejected, this, &frmMain::ShowStatusMessage);
  connect(m_panel, &ParameterPanel::ProgramLockTicked, this, [] { ShowMessage(msg::kProgramLockWarning, msg::kOkOnly, help::kProgramLock); });
  int shown = 1;
  SetOverviewShown(shown);
}

frmMain::~frmMain() {
  m_ds.onChangedFlag = nullptr;
  m_recent.onChanged = nullptr;
  if (MainWindow() == this) SetMainWindow(nullptr);
}

QAction* frmMain::Action(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

void frmMain::BuildMenus() {
  const auto item = [this](QMenu* menu, const char* name, auto&& slot, const QKeySequence& key = {}) {
    QAction* a = menu->addAction(DefaultCaption(name));
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  const auto menu = [this](const char* name) {
    QMenu* m = menuBar()->addMenu(DefaultCaption(name));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    return m;
  };
  const auto sensor = [this](SensorCommand c) { return [this, c] { emit SensorCommandRequested(c); }; };

  m_fileMenu = menu("mnFile");
  m_fileMenu->setToolTipsVisible(true);
  item(m_fileMenu, "mnLoad", [this] { m_files.Load({}); }, QKeySequence::Open);
  m_fileMenu->addSeparator();
  item(m_fileMenu, "mnSave", [this] { m_files.Save(false); }, QKeySequence::Save);
  item(m_fileMenu, "mnSaveas", [this] { m_files.Save(true); }, QKeySequence::SaveAs);
  m_fileMenu->addSeparator();
  item(m_fileMenu, "mnPrint", [this] { m_files.PrintOrExport(true, true); }, QKeySequence::Print);
  m_fileMenu->addSeparator();
  item(m_fileMenu, "mnExport", [this] { m_files.PrintOrExport(true, false); });
  m_recentSeparator = m_fileMenu->addSeparator();
  m_recentSeparator->setObjectName(QStringLiteral("mnFileSep"));
  for (int i = 0; i < RecentFiles::kMaxEntries; ++i) {
    QAction* a = m_fileMenu->addAction(QString());
    a->setObjectName(QStringLiteral("mnFiles%1").arg(i + 1));
    connect(a, &QAction::triggered, this, [this, i] {
      m_files.Load(QString::fromStdString(m_recent.GetRecentFile(i + 1)));
    });
    m_recentActions[static_cast<std::size_t>(i)] = a;
  }
  m_fileMenu->addSeparator();
  item(m_fileMenu, "mnExit", [this] { close(); }, QKeySequence::Quit);

  QAction* options = menuBar()->addAction(DefaultCaption("mnOptions"));
  options->setObjectName(QStringLiteral("mnOptions"));
  connect(options, &QAction::triggered, this, &frmMain::ShowOptions);

  QMenu* s = menu("mnSensor");
  item(s, "mnSensorRead", sensor(SensorCommand::Read));
  item(s, "mnCode", [this] { m_files.EnterDataCode(); });
  item(s, "mnSensorWrite", sensor(SensorCommand::Write));
  item(s, "mnExtraInfo", [this] { GetComment(m_ds); });
  s->addSeparator();
  item(s, "mnSensorInfo", [this] { ShowSensorInfo(); });
  s->addSeparator();
  item(s, "mnSensorDefault", sensor(SensorCommand::Defaults));
  s->addSeparator();
  item(s, "mnSensorTest", sensor(SensorCommand::Test));
  s->addSeparator();
  item(s, "mnSensRead", sensor(SensorCommand::ReadSensitivity));
  item(s, "mnSensWrite", sensor(SensorCommand::WriteSensitivity));
  s->addSeparator();
  item(s, "mnHistory", [this] { m_files.ShowHistory(); });
  item(s, "mnStation", [this] { ShowStation(); });

  QMenu* h = menu("mnHelp");
  item(h, "mnContents", [] { ShowHelp(0); }, QKeySequence::HelpContents);
  h->addSeparator();
  item(h, "mnAbout", [this] { ShowAbout(); });
}

void frmMain::BuildToolbar() {
  m_toolbar = addToolBar(QString());
  m_toolbar->setObjectName(QStringLiteral("picToolbar"));
  m_toolbar->setMovable(false);
  m_toolbar->setFloatable(false);
  m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
  m_toolbar->setIconSize(QSize(kToolbarSymbolSize, kToolbarSymbolSize));
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    const QString tip = QString::fromStdString(ToolbarTooltip(i));
    QAction* a = m_toolbar->addAction(ToolbarIcon(i), tip);
    a->setObjectName(QStringLiteral("tbButton%1").arg(i));
    a->setToolTip(tip);
    a->setEnabled(kEnabledAtStart[i]);
    connect(a, &QAction::triggered, this, [this, i] { ClickToolbarButton(i); });
    m_tb[static_cast<std::size_t>(i)] = a;
    if (i == 2 || i == 3 || i == 9) m_toolbar->addSeparator();
  }
  m_tooltips = new TooltipSwitch(this);
  m_tooltips->Watch(m_toolbar);
}

void frmMain::BuildCentral() {
  m_frameSensor = new QGroupBox;
  m_frameSensor->setObjectName(QStringLiteral("frameSensor"));
  m_overview = new OverviewBlock;
  m_panel = new ParameterPanel(m_ds);
  auto* inner = new QVBoxLayout(m_frameSensor);
  inner->addWidget(m_overview);
  inner->addWidget(m_panel);
  m_frameSensor->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  // The frame keeps its size and stays centred; the window never gets
  // smaller than the frame.
  m_lblStart = new QLabel(MainText("lblStart"));
  m_lblStart->setObjectName(QStringLiteral("lblStart"));
  m_lblStart->setAlignment(Qt::AlignCenter);
  m_lblStart->hide();
  auto* central = new QWidget;
  auto* grid = new QGridLayout(central);
  grid->addWidget(m_frameSensor, 1, 1);
  grid->addWidget(m_lblStart, 1, 1);
  grid->setRowStretch(0, 1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(2, 1);
  setCentralWidget(central);
}

void frmMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("Statusbar"));
  bar->setSizeGripEnabled(true);
  m_sbPort = new QLabel(QStringLiteral("NONE"));
  m_sbPort->setObjectName(QStringLiteral("SBPort"));
  m_lblSens = new QLabel(QStringLiteral("SENS"));
  m_lblSens->setObjectName(QStringLiteral("lblSens"));
  m_sbSens = new QLabel;
  m_sbSens->setObjectName(QStringLiteral("SBSens"));
  ShowDetectionState(StatusImage::DetectionOff);
  m_sbSensFind = new QToolButton;
  m_sbSensFind->setObjectName(QStringLiteral("SBSensFind"));
  m_sbSensFind->setAutoRaise(true);
  m_sbSensFind->setIcon(StatusIcon(StatusImage::SensorFind));
  connect(m_sbSensFind, &QToolButton::clicked, this, [this] { emit SensorCommandRequested(SensorCommand::Test); });
  m_lblTBChanged = new QLabel;
  m_lblTBChanged->setObjectName(QStringLiteral("lblTBChanged"));
  m_lblTBChanged->setMinimumWidth(m_lblTBChanged->fontMetrics().horizontalAdvance(QStringLiteral(" C ")));
  m_lblTBChanged->setAlignment(Qt::AlignCenter);
  m_lblFilename = new ElidedLabel;
  m_lblFilename->setObjectName(QStringLiteral("lblFilename"));
  m_lblFilename->setTextFormat(Qt::PlainText);
  m_lblStatusMessage = new QLabel;
  m_lblStatusMessage->setObjectName(QStringLiteral("lblStatusMessage"));
  m_lblStatusMessage->setTextFormat(Qt::PlainText);
  m_lblStatusMessage->hide();
  m_statusTimer = new QTimer(this);
  m_statusTimer->setSingleShot(true);
  m_statusTimer->setInterval(kStatusMessageMs);
  connect(m_statusTimer, &QTimer::timeout, this, [this] {
    m_lblStatusMessage->clear();
    m_lblStatusMessage->hide();
  });
  m_lblDebug = new QLabel;
  m_lblDebug->setObjectName(QStringLiteral("lblDebug"));
  m_lblDebug->hide();
  m_imgLogo = new QLabel;
  m_imgLogo->setObjectName(QStringLiteral("imgLogo"));
  m_imgLogo->setToolTip(QStringLiteral("Varem electronic"));
  {
    // Rendered at the screen's pixel ratio so it stays sharp.
    const qreal ratio = devicePixelRatioF();
    const int side = fontMetrics().height();
    QPixmap logo(QSize(side, side) * ratio);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    DrawPicture(painter, LogoResourcePath(), QRectF(QPointF(0, 0), QSizeF(logo.size())));
    painter.end();
    logo.setDevicePixelRatio(ratio);
    m_imgLogo->setPixmap(logo);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{m_sbPort, m_lblSens, m_sbSens, m_sbSensFind, m_lblTBChanged, m_lblDebug,
                                                   m_lblStatusMessage})
    bar->addWidget(w);
  ApplyStatusTexts();
  m_tooltips->Watch(bar);
  bar->addWidget(m_lblFilename, 1);
  bar->addPermanentWidget(m_imgLogo);  // stays at the right end
}

void frmMain::RebuildRecentMenu() {
  const int count = m_recent.Count();
  m_recentSeparator->setVisible(count > 0);
  for (int i = 0; i < RecentFiles::kMaxEntries; ++i) {
    QAction* a = m_recentActions[static_cast<std::size_t>(i)];
    if (i < count) {
      const QString title = QString::fromStdString(FileTitle(m_recent.GetRecentFile(i + 1)));
      // "&&" keeps an ampersand in a file name from becoming an access key.
      a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&"))));
      // Files of the same name in different folders are told apart by the
      // folder, shown as the entry's tooltip and in the status bar.
      const QString path = QString::fromStdString(m_recent.GetRecentFile(i + 1));
      a->setToolTip(path);
      a->setStatusTip(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    }
    a->setVisible(i < count);
  }
}

void frmMain::ClickToolbarButton(int index) {
  QAction* a = m_tb[static_cast<std::size_t>(index)];
  if (!a->isEnabled() || m_toolbarBusy) return;
  m_toolbarBusy = true;
  RunToolbarCommand(index);
  m_toolbarBusy = false;
}

void frmMain::RunToolbarCommand(int index) {
  switch (index) {
    case 0: m_files.Load({}); break;
    case 1: m_files.Save(false); break;
    case 2: m_files.PrintOrExport(false, true); break;
    case 3: emit SensorCommandRequested(SensorCommand::Test); break;
    case 4: emit SensorCommandRequested(SensorCommand::Write); break;
    case 5: emit SensorCommandRequested(SensorCommand::Read); break;
    case 6: ShowSensorInfo(); break;
    case 7: emit SensorCommandRequested(SensorCommand::Defaults); break;
    case 8: emit SensorCommandRequested(SensorCommand::WriteSensitivity); break;
    case 9: emit SensorCommandRequested(SensorCommand::ReadSensitivity); break;
    case 10: GetComment(m_ds); break;
    default: break;
  }
}

void frmMain::FillPanel(bool refreshOverview) {
  m_frameSensor->setVisible(true);
  m_lblStart->hide();
  ShowFileName();
  m_frameSensor->setTitle(QString::fromStdString(Cp1252ToUtf8(TypeDesignation(m_ds, kWorkingCopy))));
  m_panel->FillPanel(refreshOverview);
}

void frmMain::ReadPanel() { m_panel->ReadPanel(); }
void frmMain::ShowSensitivity() { m_panel->ShowSensitivity(); }
void frmMain::TakeSensitivity() { m_panel->TakeSensitivity(); }

void frmMain::SetStationSetup(std::function<StationSetup()> setup) {
  m_stationSetup = std::move(setup);
}

void frmMain::ShowStation() {
  if (!m_stationSetup) return;
  ReadPanel();
  frmStation dialog(m_stationSetup(), m_ds, this);
  dialog.exec();
}

void frmMain::SetDataAvailable(bool available) {
  if (!available) SetSensitivityAvailable(false);
  for (const int i : kDataButtons) m_tb[static_cast<std::size_t>(i)]->setEnabled(available);
  for (const char* name : kDataItems)
    if (QAction* a = Action(name)) a->setEnabled(available);
}

void frmMain::SetSensitivityAvailable(bool available) {
  m_sensitivityAvailable = available;
  m_tb[8]->setEnabled(available);
  if (QAction* a = Action("mnSensWrite")) a->setEnabled(available);
  m_lblSens->setEnabled(available);
  m_panel->SetSensitivityAvailable(available);
}

void frmMain::ShowFileName() {
  const std::string name = m_ds.FileName();
  if (name.empty()) {
    m_lblFilename->hide();
    return;
  }
  m_lblFilename->setText(" " + m_fileLabel + " " + QString::fromStdString(FileTitle(name)) + " ");
  m_lblFilename->setToolTip(QString::fromStdString(name));
  m_lblFilename->show();
}

void frmMain::HideSensorFrame() {
  m_frameSensor->setVisible(false);
  ShowStartHint();
}

void frmMain::ShowStartHint() {
  // Only while there is no usable data set to come back to.
  m_lblStart->setText(MainText("lblStart"));
  m_lblStart->setVisible(m_frameSensor->isHidden() && m_ds.DataValid() == 0);
}

void frmMain::ShowStatusMessage(const QString& text) {
  m_lblStatusMessage->setText(text);
  m_lblStatusMessage->show();
  m_statusTimer->start();
}

QString frmMain::StatusMessage() const { return m_lblStatusMessage->isHidden() ? QString() : m_lblStatusMessage->text(); }

void frmMain::SetDebugDisplay(bool on) { m_lblDebug->setVisible(on); }

void frmMain::ShowPresenceAttempt(int attempt) {
  if (attempt > 0) m_lblDebug->setText(QString::number(attempt));
}

void frmMain::RefreshOverview() { m_overview->RefreshOverview(m_ds, m_sensitivityAvailable); }

void frmMain::SetOverviewEnabled(int n) { m_overview->SetOverviewEnabled(n); }

void frmMain::ShowChangedIndicator(bool changed) { m_lblTBChanged->setText(changed ? QStringLiteral("C") : QString()); }

void frmMain::SetOverviewShown(int& value) {
  if (!m_overviewInitialised) {
    m_overviewInitialised = true;
    m_overviewShown = 1;
    value = 1;
    return;
  }
  if (value < 0) {
    value = m_overviewShown;
    return;
  }
  if (value == m_overviewShown) return;
  m_overviewShown = value;
  const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
  if (value) {
    m_overview->show();
    ApplySizeRule();
    if (normal && m_fullHeight > 0) resize(width(), m_fullHeight);
  } else {
    m_fullHeight = height();
    const int block = m_overview->height() + m_frameSensor->layout()->spacing();
    m_overview->hide();
    ApplySizeRule();
    if (normal) resize(width(), height() - block);
  }
}

void frmMain::ApplySizeRule() {
  m_frameSensor->adjustSize();
  centralWidget()->setMinimumSize(m_frameSensor->sizeHint());
  // Take the new minimum now, not on the next layout pass, so that a resize
  // right after is measured against it.
  centralWidget()->layout()->activate();
  layout()->activate();
  // A maximised window on a screen too small for the frame goes back to normal.
  if ((windowState() & Qt::WindowMaximized) && centralWidget()->size().width() < m_frameSensor->sizeHint().width())
    showNormal();
}

void frmMain::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) ApplySizeRule();
  QMainWindow::changeEvent(event);
}

void frmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  ApplySizeRule();
  if (m_languagePending) {
    m_languagePending = false;
    LoadMainTexts();
  }
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (DataChanged(m_ds, true)) {
    event->ignore();
    return;
  }
  if (m_shutdown) m_shutdown();
  event->accept();
}

void frmMain::ShowNewDataSet() {
  FillPanel();
  ShowSensitivity();
  SetDataAvailable(true);
  SetSensitivityAvailable(m_ds.SensitivityValid() != 0);
  RefreshOverview();
  m_ds.SetValue(ValueId::Changed, false);
  m_ds.SetValue(ValueId::CommentChanged, false);
}

void frmMain::ShowOptions() {
  if (m_options) {
    frmOptions dialog(*m_options, this);
    ShowFormModal(dialog);
  }
  LoadMainTexts();
}

void frmMain::ShowSensorInfo() {
  // The dialog shows the data code of what the panel shows.
  if (m_ds.DataValid() != 0) {
    ReadPanel();
    TakeSensitivity();
  }
  frmSensorInfo dialog(m_ds, this);
  ShowFormModal(dialog);
}

void frmMain::ShowAbout() {
  frmAbout dialog(m_echo ? m_echo() : true, this);
  ShowFormModal(dialog);
}

void frmMain::LoadMainTexts() {
  // Qt's own dialogs (files, printing) follow the language file's locale;
  // this holds for the built-in German too, so it comes before the check.
  LoadQtTranslations();
  const int index = m_languageIndex ? m_languageIndex() : 0;
  if (index == m_appliedLanguage) return;
  m_appliedLanguage = index;
  ++m_textLoads;

  const QString title = MainText("frmMain");
  setWindowTitle(QStringLiteral("%1 %2.%3").arg(title).arg(RKT_VERSION_MAJOR).arg(RKT_VERSION_MINOR));
  m_fileLabel = MainText("lblFileName");
  for (const char* name : kMenuItems)
    if (QAction* a = Action(name)) a->setText(MainText(name));
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    // The text is what a screen reader names the button by.
    const QString tip = QString::fromStdString(ToolbarTooltip(i));
    m_tb[static_cast<std::size_t>(i)]->setText(tip);
    m_tb[static_cast<std::size_t>(i)]->setToolTip(tip);
  }
  ApplyStatusTexts();
  m_panel->ApplyTexts();
  ShowFileName();
  ShowStartHint();
  if (m_ds.DataValid() != 0) RefreshOverview();
  else m_frameSensor->setTitle(MainText("frameSensor"));
}

}  // namespace rkt

namespace rkt {

void frmMain::ShowDetectionState(StatusImage image) {
  m_sbSens->setPixmap(StatusIcon(image).pixmap(QSize(kToolbarSymbolSize, kToolbarSymbolSize), devicePixelRatioF()));
  m_sbSens->setProperty("state", static_cast<int>(image));
}

void frmMain::ShowPort(const QString& name, bool open) {
  m_portName = name.isEmpty() ? QStringLiteral("NONE") : name;
  m_sbPort->setEnabled(open);
  ShowConnected(m_connected);
}

void frmMain::ShowConnected(bool connected) {
  m_connected = connected;
  // A filled dot before the port name: a sensor answers on it.
  m_sbPort->setText((connected ? QStringLiteral("\u25CF ") : QStringLiteral("\u25CB ")) + m_portName);
  m_sbPort->setProperty("connected", connected);
}

void frmMain::ApplyStatusTexts() {
  // Pictures only: the tooltips name them for the screen reader too.
  const QString indicator = QString::fromStdString(StatusTooltip(StatusImage::DetectionOff));
  const QString find = QString::fromStdString(StatusTooltip(StatusImage::SensorFind));
  m_sbSens->setToolTip(indicator);
  m_sbSens->setAccessibleName(AccessibleText(indicator));
  m_sbSensFind->setToolTip(find);
  m_sbSensFind->setAccessibleName(AccessibleText(find));
}

void frmMain::SetTooltips(bool on) { m_tooltips->SetEnabled(on); }
bool frmMain::Tooltips() const { return m_tooltips->IsEnabled(); }

}  // namespace rkt
