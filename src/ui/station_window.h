#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/plant_journal.h"
#include "station/station.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace rkt {

// What the program around the window gives the station: the ports on offer,
// the line and history for each port, and what to do when the window closes
// (the main window's own port was closed for it).
struct StationSetup {
  std::vector<std::string> ports;
  link::PortSettings settings;
  std::function<std::unique_ptr<link::SerialLine>(const std::string& port)> makeLine;
  // A port's journal; a history server's journal tells `tell` when the
  // server goes away or comes back.
  std::function<std::unique_ptr<link::WriteJournal>(const std::string& port, const history::ServerNoticeFn& tell)>
      makeJournal;
  std::function<void()> done;
};

// Sensor → Serienbetrieb: the working copy written into sensor after sensor
// on every port at once, one tile a port: green when passed, red when failed
// (with the message), grey while waiting, blue while writing.
class frmStation : public QDialog {
  Q_OBJECT

 public:
  frmStation(StationSetup setup, const DataSet& setting, QWidget* parent = nullptr);
  ~frmStation() override;

  bool Running() const;
  // Start with the ports typed; false (with the reason shown) when there are none.
  bool StartStation();
  // First press: the running writes finish; second press: they are cancelled.
  void StopStation();
  const station::Station* Station() const { return m_station.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  struct Tile;
  void Refresh();
  void BuildTiles(const std::vector<std::string>& ports);

  StationSetup m_setup;
  DataSet m_setting;
  std::unique_ptr<station::Station> m_station;
  QLineEdit* txtPorts = nullptr;
  QCheckBox* chkLock = nullptr;
  QPushButton* btStart = nullptr;
  QPushButton* btStop = nullptr;
  QPushButton* btClose = nullptr;
  QLabel* lblCounts = nullptr;
  QLabel* lblState = nullptr;
  QLabel* lblHistory = nullptr;
  QGridLayout* m_grid = nullptr;
  std::vector<std::unique_ptr<Tile>> m_tiles;
  struct Notices;  // what the ports' journals told, waiting for the next look
  std::shared_ptr<Notices> m_notices;
  QTimer* m_timer = nullptr;
  bool m_closeWhenDone = false;
};

}  // namespace rkt
