#include "ui/station_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <mutex>

#include "model/data_code.h"
#include "ui/ui_text.h"

namespace rkt {

namespace {

QString Tr(const char* key) { return UiText("frmStation", key); }

// The tile's colours: background and text, readable in both.
struct Colours {
  const char* back;
  const char* text;
};
Colours ColoursOf(station::PortState state) {
  switch (state) {
    case station::PortState::Passed: return {"#1e8e3e", "#ffffff"};
    case station::PortState::Failed: return {"#c5221f", "#ffffff"};
    case station::PortState::Writing: return {"#1a57b8", "#ffffff"};
    case station::PortState::NoPort: return {"#5f6368", "#ffffff"};
    default: return {"#dadce0", "#202124"};
  }
}

QString StateText(const station::PortView& v) {
  switch (v.state) {
    case station::PortState::Passed: return Tr("stPass");
    case station::PortState::Failed: return Tr("stFail");
    case station::PortState::Writing: return Tr("stWriting");
    case station::PortState::NoPort: return Tr("stNoPort");
    case station::PortState::Stopped: return Tr("stStopped");
    default: return Tr("stWaiting");
  }
}

}  // namespace

struct frmStation::Tile {
  QFrame* frame = nullptr;
  QLabel* port = nullptr;
  QLabel* state = nullptr;
  QLabel* detail = nullptr;
  QProgressBar* progress = nullptr;
  QString shown;  // what was drawn last, so that an unchanged tile is left alone
};

struct frmStation::Notices {
  std::mutex mutex;
  std::vector<history::ServerNotice> pending;
};

frmStation::frmStation(StationSetup setup, const DataSet& setting, QWidget* parent)
    : QDialog(parent), m_setup(std::move(setup)), m_setting(setting), m_notices(std::make_shared<Notices>()) {
  setObjectName(QStringLiteral("frmStation"));
  setWindowTitle(Tr("frmStation"));
  auto* lblSetting = new QLabel(Tr("lblSetting").arg(QString::fromStdString(EncodeDataCode(m_setting))));
  lblSetting->setObjectName(QStringLiteral("lblSetting"));
  lblSetting->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* lblPorts = new QLabel(Tr("lblPorts"));
  lblPorts->setObjectName(QStringLiteral("lblPorts"));
  txtPorts = new QLineEdit;
  txtPorts->setObjectName(QStringLiteral("txtPorts"));
  QStringList ports;
  for (const std::string& p : m_setup.ports) ports << QString::fromStdString(p);
  txtPorts->setText(ports.join(QStringLiteral(", ")));
  lblPorts->setBuddy(txtPorts);
  chkLock = new QCheckBox(Tr("chkLock"));
  chkLock->setObjectName(QStringLiteral("chkLock"));
  btStart = new QPushButton(Tr("btStart"));
  btStart->setObjectName(QStringLiteral("btStart"));
  btStop = new QPushButton(Tr("btStop"));
  btStop->setObjectName(QStringLiteral("btStop"));
  btStop->setEnabled(false);
  btClose = new QPushButton(Tr("btClose"));
  btClose->setObjectName(QStringLiteral("btClose"));
  lblCounts = new QLabel(Tr("lblCounts").arg(0).arg(0));
  lblCounts->setObjectName(QStringLiteral("lblCounts"));
  QFont big = lblCounts->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  lblCounts->setFont(big);
  lblState = new QLabel;
  lblState->setObjectName(QStringLiteral("lblState"));
  lblState->setWordWrap(true);
  // Whether the history server can be reached: the records are kept here meanwhile.
  lblHistory = new QLabel;
  lblHistory->setObjectName(QStringLiteral("lblHistory"));
  lblHistory->setWordWrap(true);
  lblHistory->setVisible(false);

  auto* portsRow = new QHBoxLayout;
  portsRow->addWidget(lblPorts);
  portsRow->addWidget(txtPorts, 1);
  portsRow->addWidget(chkLock);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblCounts);
  buttons->addStretch();
  buttons->addWidget(btStart);
  buttons->addWidget(btStop);
  buttons->addWidget(btClose);
  m_grid = new QGridLayout;
  m_grid->setSpacing(8);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblSetting);
  layout->addLayout(portsRow);
  layout->addLayout(m_grid, 1);
  layout->addWidget(lblState);
  layout->addWidget(lblHistory);
  layout->addLayout(buttons);
  BuildTiles(m_setup.ports);

  m_timer = new QTimer(this);
  m_timer->setInterval(200);
  connect(m_timer, &QTimer::timeout, this, &frmStation::Refresh);
  connect(btStart, &QPushButton::clicked, this, &frmStation::StartStation);
  connect(btStop, &QPushButton::clicked, this, &frmStation::StopStation);
  connect(btClose, &QPushButton::clicked, this, &QDialog::close);
  resize(760, 520);
}

frmStation::~frmStation() {
  // Ends what runs before the window and its setup go.
  m_station.reset();
  if (m_setup.done) m_setup.done();
}

bool frmStation::Running() const { return m_station && !m_station->Finished(); }

void frmStation::BuildTiles(const std::vector<std::string>& ports) {
  for (auto& tile : m_tiles) delete tile->frame;
  m_tiles.clear();
  const int columns = ports.size() <= 4 ? 2 : 4;
  for (int c = 0; c < 4; ++c) m_grid->setColumnStretch(c, c < columns ? 1 : 0);
  for (std::size_t i = 0; i < ports.size(); ++i) {
    auto tile = std::make_unique<Tile>();
    tile->frame = new QFrame;
    tile->frame->setObjectName(QStringLiteral("tile%1").arg(i + 1));
    tile->frame->setFrameShape(QFrame::StyledPanel);
    tile->frame->setMinimumSize(160, 110);
    tile->port = new QLabel(QString::fromStdString(ports[i]));
    tile->state = new QLabel;
    QFont big = tile->state->font();
    big.setPointSizeF(big.pointSizeF() * 2.0);
    big.setBold(true);
    tile->state->setFont(big);
    tile->state->setWordWrap(true);
    tile->detail = new QLabel;
    tile->detail->setWordWrap(true);
    tile->progress = new QProgressBar;
    tile->progress->setRange(0, 100);
    tile->progress->setTextVisible(false);
    tile->progress->setMaximumHeight(8);
    auto* v = new QVBoxLayout(tile->frame);
    v->addWidget(tile->port);
    v->addWidget(tile->state);
    v->addWidget(tile->detail, 1);
    v->addWidget(tile->progress);
    const int n = static_cast<int>(i);
    m_grid->addWidget(tile->frame, n / columns, n % columns);
    m_tiles.push_back(std::move(tile));
  }
  Refresh();
}

bool frmStation::StartStation() {
  if (Running()) return false;
  std::vector<std::string> unmatched;
  const std::vector<std::string> ports = station::ExpandPorts(txtPorts->text().toStdString(), unmatched);
  if (ports.empty() || !unmatched.empty()) {
    lblState->setText(unmatched.empty() ? Tr("NoPorts") : Tr("NoMatch").arg(QString::fromStdString(unmatched.front())));
    return false;
  }
  station::StationConfig config;
  config.ports = ports;
  config.setting = m_setting;
  config.lock = chkLock->isChecked();
  config.settings = m_setup.settings;
  config.makeLine = m_setup.makeLine;
  // Every port's journal tells of the server; the window says it once each
  // time the server goes or comes back.
  const history::ServerNoticeFn tell = history::TellOnChange([notices = m_notices](const history::ServerNotice& n) {
    const std::lock_guard lock(notices->mutex);
    notices->pending.push_back(n);
  });
  config.makeJournal = [make = m_setup.makeJournal, tell](const std::string& port) { return make(port, tell); };
  m_station.reset();
  {
    // The last run's journals are gone; this run's tell anew.
    const std::lock_guard lock(m_notices->mutex);
    m_notices->pending.clear();
  }
  lblHistory->setVisible(false);
  BuildTiles(ports);
  m_station = std::make_unique<station::Station>(std::move(config));
  m_station->Start();
  lblState->clear();
  txtPorts->setEnabled(false);
  chkLock->setEnabled(false);
  btStart->setEnabled(false);
  btStop->setText(Tr("btStop"));
  btStop->setEnabled(true);
  btStop->setFocus();
  m_timer->start();
  Refresh();
  return true;
}

void frmStation::StopStation() {
  if (!Running()) return;
  if (!m_station->Stopping()) {
    m_station->Stop(station::StopMode::Finish);
    lblState->setText(Tr("lblFinishing"));
    // The same button then cancels what still runs.
    btStop->setText(Tr("btCancel"));
  } else {
    m_station->Stop(station::StopMode::Cancel);
    lblState->setText(Tr("lblCancelling"));
    btStop->setEnabled(false);
  }
}

void frmStation::Refresh() {
  if (!m_station) {
    for (auto& tile : m_tiles) {
      tile->state->setText(Tr("stReady"));
      tile->frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: #f1f3f4; }").arg(tile->frame->objectName()));
    }
    return;
  }
  const std::vector<station::PortView> views = m_station->Ports();
  for (std::size_t i = 0; i < views.size() && i < m_tiles.size(); ++i) {
    const station::PortView& v = views[i];
    Tile& tile = *m_tiles[i];
    QString detail;
    if (v.serial) detail = Tr("lblSerial").arg(*v.serial);
    if (!v.message.empty()) {
      if (!detail.isEmpty()) detail += QLatin1Char('\n');
      detail += QString::fromStdString(v.message);
    }
    const QString counts = Tr("lblTileCounts").arg(v.passed).arg(v.failed);
    const QString state = StateText(v);
    const QString shown = state + detail + counts + QString::number(v.progress);
    if (shown == tile.shown) continue;
    tile.shown = shown;
    tile.state->setText(state);
    tile.detail->setText(detail);
    tile.port->setText(QString::fromStdString(v.port) + QStringLiteral("   ") + counts);
    tile.progress->setVisible(v.state == station::PortState::Writing);
    tile.progress->setValue(v.progress);
    const Colours c = ColoursOf(v.state);
    tile.frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border-radius: 6px; } QFrame#%1 QLabel { color: %3; }")
                                  .arg(tile.frame->objectName(), QLatin1String(c.back), QLatin1String(c.text)));
    // Read as one line by a screen reader: port, state, serial, message.
    tile.frame->setAccessibleName(QString::fromStdString(v.port) + QStringLiteral(": ") + state);
    tile.frame->setAccessibleDescription(detail + QLatin1Char('\n') + counts);
  }
  lblCounts->setText(Tr("lblCounts").arg(m_station->Passed()).arg(m_station->Failed()));
  std::vector<history::ServerNotice> told;
  {
    const std::lock_guard lock(m_notices->mutex);
    told.swap(m_notices->pending);
  }
  if (!told.empty()) {
    const history::ServerNotice& n = told.back();
    lblHistory->setText(n.reachable ? Tr("lblHistoryBack")
                                    : UiText("frmMain", "StatusHistoryAway").arg(QString::fromStdString(n.problem)));
    lblHistory->setVisible(true);
  }
  if (!Running()) {
    m_timer->stop();
    lblState->setText(Tr("lblStopped"));
    txtPorts->setEnabled(true);
    chkLock->setEnabled(true);
    btStart->setEnabled(true);
    btStop->setEnabled(false);
    btStop->setText(Tr("btStop"));
    if (m_closeWhenDone) close();
  }
}

// Closing while sensors are written lets the writes finish first: a sensor
// is never left half-written because a window was closed.
void frmStation::closeEvent(QCloseEvent* event) {
  if (Running()) {
    m_closeWhenDone = true;
    StopStation();
    if (Running()) {
      event->ignore();
      return;
    }
  }
  QDialog::closeEvent(event);
}

void frmStation::reject() {
  if (Running()) {
    close();
    return;
  }
  QDialog::reject();
}

}  // namespace rkt
