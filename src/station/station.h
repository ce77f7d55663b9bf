#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/ports.h"
#include "link/serial_line.h"
#include "link/write_journal.h"
#include "model/data_set.h"

class QThread;

// The production station: one setting written into sensor after sensor, on
// many ports at once, hands-free. Each port runs its own loop in a thread of
// its own, with its own line, port, sensor and history connection, so that
// a port that fails, is unplugged or hangs never holds up another: wait for
// a sensor, write and check it (the single write's lock and type checks,
// history record and read-back), report, wait until it is pulled out.
namespace rkt::station {

enum class PortState {
  Starting,
  NoPort,   // the port cannot be opened (yet); tried again every few seconds
  Waiting,  // for a sensor to be plugged in
  Writing,
  Passed,   // the result stays until the sensor is pulled out
  Failed,
  Stopped,
};

// One sensor's result.
struct SensorReport {
  std::string port;
  std::optional<int> serial;  // none when it could not be read
  std::optional<int> type;
  std::string before;  // the sensor's data code before the write; "" when not read
  std::string after;   // the data code written
  bool pass = false;
  // done, unchanged (it held the setting already); failed, verify-failed,
  // interrupted (pulled or cut off mid-write: it may hold a mix), refused
  // (locked, another type, no history), cancelled.
  std::string outcome;
  int code = 0;            // the error code of a failure
  std::string message;     // why it failed, in the user's language
  std::int64_t record = 0; // its history record; 0 when none was stored
  std::string time;        // the start, ISO 8601 UTC
  long long durationMs = 0;
};

// What a port is doing, for the live table and the window's tiles.
struct PortView {
  std::string port;
  PortState state = PortState::Starting;
  int progress = 0;  // percent, while writing
  std::optional<int> serial;
  std::string outcome;  // of its last sensor
  std::string message;  // why its last sensor failed, or why the port cannot be used
  int passed = 0;
  int failed = 0;
};

struct StationConfig {
  std::vector<std::string> ports;
  // Its working copy is what every sensor gets.
  DataSet setting;
  // Switch the programming lock on with the setting.
  bool lock = false;
  // Sensors in all before the station stops; 0: no limit.
  int count = 0;
  link::PortSettings settings;
  // How often an empty socket (or one whose sensor is done) is looked at.
  std::chrono::milliseconds poll{250};
  // How often a port that cannot be opened is tried again.
  std::chrono::milliseconds reopen{2000};
  // Called in the port's thread: its line, and its history (nullptr: none).
  // The caller loads the database driver in the main thread first (opens
  // the history there once): under wine, a driver first loaded in a port's
  // thread keeps the process from ending.
  std::function<std::unique_ptr<link::SerialLine>(const std::string& port)> makeLine;
  std::function<std::unique_ptr<link::WriteJournal>(const std::string& port)> makeJournal;
  // No write whose history record cannot be stored.
  bool requireHistory = true;
};

enum class StopMode {
  Finish,  // writes that run end as they would; no new sensor is started
  Cancel,  // writes that run are cancelled as the progress dialog's Cancel does
};

class Station {
 public:
  explicit Station(StationConfig config);
  // Cancels what runs and waits for every port.
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  void Start();
  void Stop(StopMode mode);
  bool Stopping() const { return m_stop.load() != 0; }
  bool Cancelling() const { return m_stop.load() == 2; }
  // True when every port has ended (stopped, or the count reached).
  bool WaitFinished(int ms);
  bool Finished() const;

  std::vector<PortView> Ports() const;
  // The reports that came in since the last call, in order.
  std::vector<SensorReport> TakeReports();
  int Passed() const;
  int Failed() const;
  // The setting as written, with the lock when asked for.
  const DataSet& Setting() const { return m_config.setting; }

 private:
  class PortRun;
  friend class PortRun;

  // A sensor may be started: false once the count is reached or a stop was asked.
  bool TakeTicket();
  void ReturnTicket();
  bool CountReached() const;
  void Publish(std::size_t index, const PortView& view);
  void Report(std::size_t index, const SensorReport& report);

  StationConfig m_config;
  std::atomic<int> m_stop{0};
  std::atomic<int> m_started{0};
  mutable std::mutex m_mutex;
  std::vector<PortView> m_views;
  std::vector<SensorReport> m_reports;
  int m_passed = 0;
  int m_failed = 0;
  std::vector<std::unique_ptr<PortRun>> m_runs;
  std::vector<QThread*> m_threads;
};

// A setting's data code and the name of a state, for the command line's
// JSON lines and table.
std::string StateName(PortState state);

// The ports a list names: comma-separated names, each a port as it is or a
// pattern with * or ? (a device path is matched in the file system, a bare
// name against the machine's serial ports). Duplicates (the same device by
// two names) count once. Patterns that match nothing are listed in `unmatched`.
std::vector<std::string> ExpandPorts(const std::string& list, std::vector<std::string>& unmatched);

}  // namespace rkt::station
