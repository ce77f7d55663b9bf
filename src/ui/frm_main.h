#pragma once

#include <QLabel>
#include <QMainWindow>
#include <array>
#include <functional>

#include "ui/file_commands.h"

class QAction;
class QGroupBox;
class QMenu;
class QToolBar;
class QTimer;
class QToolButton;

namespace rkt {

namespace history {
class HistoryDb;
}

// A label that shows its text elided in the middle when the room is short;
// text() keeps the whole text.
class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  QString ShownText() const;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class DataSet;
class OptionsBackend;
class OverviewBlock;
class ParameterPanel;
class RecentFiles;
class TooltipSwitch;
enum class StatusImage;

enum class SensorCommand { Read, Defaults, Write, ReadSensitivity, WriteSensitivity, Test };

// The program's one main window: menus, toolbar, the sensor frame with the
// overview above the parameter panel, and the status bar. Sensor commands
// and output are carried out elsewhere; the window raises them as signals
// and offers the refresh operations they need.
struct StationSetup;

class frmMain : public QMainWindow {
  Q_OBJECT

 public:
  frmMain(DataSet& ds, RecentFiles& recent, QWidget* parent = nullptr);
  ~frmMain() override;

  // Refresh operations used by the sensor, file and code commands.
  void FillPanel(bool refreshOverview = true);
  // Shows a data set that replaced the one before (opened, entered as a data
  // code, restored from the history): panel, sensitivity, the commands that
  // need data and the overview; the data counts as unchanged.
  void ShowNewDataSet();
  void ReadPanel();
  void ShowSensitivity();
  void TakeSensitivity();
  void SetDataAvailable(bool available);
  void SetSensitivityAvailable(bool available);
  bool SensitivityAvailable() const { return m_sensitivityAvailable; }
  void ShowFileName();
  void HideSensorFrame();
  void RefreshOverview();
  void SetOverviewEnabled(int n);
  // -1 asks (the state comes back in value); 0 hides; 1 shows.
  void SetOverviewShown(int& value);
  void ShowChangedIndicator(bool changed);
  // A short note in the status bar that a command succeeded; it goes by
  // itself after a few seconds.
  void ShowStatusMessage(const QString& text);
  QString StatusMessage() const;
  // The service display: the attempt at which the last presence check
  // stopped, shown while the debug option is on.
  void SetDebugDisplay(bool on);
  void ShowPresenceAttempt(int attempt);

  // Applies the current language to the window; does nothing when the
  // language is the one applied last time.
  void LoadMainTexts();
  // Where the window learns the current language index (0 = built-in German).
  // How often the texts were applied (each costs one lookup per text).
  int TextLoads() const { return m_textLoads; }
  void SetLanguageIndexSource(std::function<int()> source) { m_languageIndex = std::move(source); }
  void SetOptionsBackend(OptionsBackend* backend) { m_options = backend; }
  void SetEchoSource(std::function<bool()> echo) { m_echo = std::move(echo); }
  // Open, save, print, export, data code and history restore.
  FileCommands& Files() { return m_files; }
  // The write history Sensor → Verlauf shows (none: the command says so).
  void SetHistory(history::HistoryDb* db) { m_files.SetHistory(db); }
  // Where Sensor → Serienbetrieb gets its ports, lines and history; the
  // entry stays off without it.
  void SetStationSetup(std::function<StationSetup()> setup);
  // Opens the station window with the working copy as its setting (modal).
  void ShowStation();
  // Whether a sensor write first shows what it changes.
  void SetWritePreview(bool on) { m_writePreview = on; }
  bool WritePreview() const { return m_writePreview; }
  // Run after the user agreed to close, before the window goes.
  void SetShutdown(std::function<void()> shutdown) { m_shutdown = std::move(shutdown); }

  // The detection indicator's picture.
  void ShowDetectionState(StatusImage image);
  // The port field shows whether a sensor answered the last presence check.
  void ShowConnected(bool connected);
  void ShowPort(const QString& name, bool open);
  void SetTooltips(bool on);
  bool Tooltips() const;

  // Runs a toolbar command as a click would (ignored while disabled or while
  // another toolbar command runs).
  void ClickToolbarButton(int index);
  bool ToolbarBusy() const { return m_toolbarBusy; }

  ParameterPanel* Panel() const { return m_panel; }
  OverviewBlock* Overview() const { return m_overview; }
  QGroupBox* SensorFrame() const { return m_frameSensor; }
  QAction* Action(const char* name) const;
  QAction* ToolbarAction(int index) const { return m_tb[static_cast<std::size_t>(index)]; }
  QLabel* StatusPort() const { return m_sbPort; }
  QLabel* SensorIndicator() const { return m_sbSens; }
  QToolButton* SensorFindButton() const { return m_sbSensFind; }
  // The line shown in place of the sensor frame while there is no data set.
  QLabel* StartHint() const { return m_lblStart; }

 signals:
  void SensorCommandRequested(SensorCommand command);

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  void BuildCentral();
  void BuildStatusBar();
  void RebuildRecentMenu();
  void RunToolbarCommand(int index);
  void ShowOptions();
  void ShowSensorInfo();
  void ShowAbout();
  void ApplySizeRule();
  // Tooltips and accessible names of the status bar's pictures.
  void ApplyStatusTexts();
  void ShowStartHint();

  DataSet& m_ds;
  RecentFiles& m_recent;
  FileCommands m_files;
  std::function<StationSetup()> m_stationSetup;
  ParameterPanel* m_panel = nullptr;
  OverviewBlock* m_overview = nullptr;
  QGroupBox* m_frameSensor = nullptr;
  QToolBar* m_toolbar = nullptr;
  std::array<QAction*, 11> m_tb{};
  std::array<QAction*, 5> m_recentActions{};
  QAction* m_recentSeparator = nullptr;
  QMenu* m_fileMenu = nullptr;
  QLabel* m_sbPort = nullptr;
  QLabel* m_lblSens = nullptr;
  QLabel* m_sbSens = nullptr;
  QToolButton* m_sbSensFind = nullptr;
  QLabel* m_lblTBChanged = nullptr;
  ElidedLabel* m_lblFilename = nullptr;
  QLabel* m_imgLogo = nullptr;
  QLabel* m_lblStatusMessage = nullptr;
  QLabel* m_lblDebug = nullptr;
  QLabel* m_lblStart = nullptr;
  QTimer* m_statusTimer = nullptr;
  TooltipSwitch* m_tooltips = nullptr;

  bool m_languagePending = true;
  int m_appliedLanguage = 0;
  bool m_toolbarBusy = false;
  int m_textLoads = 0;
  bool m_sensitivityAvailable = false;
  bool m_connected = false;
  QString m_portName = QStringLiteral("NONE");
  int m_overviewShown = 0;
  bool m_overviewInitialised = false;
  int m_fullHeight = 0;
  QString m_fileLabel;
  std::function<int()> m_languageIndex;
  std::function<bool()> m_echo;
  std::function<void()> m_shutdown;
  OptionsBackend* m_options = nullptr;
  bool m_writePreview = true;
};

}  // namespace rkt
