#include "station/station.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <set>
#include <thread>
#include <utility>

#include "link/port_list.h"
#include "link/sensor.h"
#include "model/bit.h"
#include "model/data_code.h"
#include "text/messages.h"

#ifndef _WIN32
#include <glob.h>
#endif

namespace rkt::station {

namespace {

using Clock = std::chrono::steady_clock;

// The sensor's side of the operations, with nobody there: every question is
// answered the safe way, the progress goes to the port's view, and the
// message that ended a write is kept as its reason.
class StationUser final : public link::QuietSensorUser {
 public:
  StationUser(const std::atomic<int>& stop, std::function<void(int)> progress)
      : m_stop(stop), m_progress(std::move(progress)) {}

  void ShowForm(int /*kind*/, int steps) override {
    m_steps = std::max(steps, 1);
    m_done = 0;
    m_progress(0);
  }
  bool IncBar(int count) override {
    m_done = std::clamp(m_done + count, 0, m_steps);
    m_progress(m_done * 100 / m_steps);
    return m_stop.load() != 2;
  }
  int ShowMessage(int number, int buttons, int help) override { return ShowMessageNote(number, {}, buttons, help); }
  int ShowMessageNote(int number, const std::string& note, int buttons, int /*help*/) override {
    if (number != msg::kCommentNotStored) {
      m_number = number;
      m_message = MessageDisplayText(number);
      if (!note.empty()) m_message += "\n" + note;
    }
    return SafeAnswer(buttons);
  }

  void Clear() {
    m_number = 0;
    m_message.clear();
  }
  int Number() const { return m_number; }
  const std::string& Message() const { return m_message; }

 private:
  const std::atomic<int>& m_stop;
  std::function<void(int)> m_progress;
  int m_steps = 1;
  int m_done = 0;
  int m_number = 0;
  std::string m_message;
};

std::string NowUtc() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

std::string OutcomeOf(bool ok, const link::Sensor::WriteOutcome& w) {
  if (ok) return w.nothingToWrite ? "unchanged" : "done";
  if (w.code == link::kCodeUserAbort) return "cancelled";
  if (w.code == link::kCodeVerifyFailed) return "verify-failed";
  if (w.code > 0) return w.written ? "interrupted" : "failed";
  return "refused";
}

}  // namespace

// One port's loop, in its own thread.
class Station::PortRun {
 public:
  PortRun(Station& station, std::size_t index) : m_station(station), m_index(index) {
    m_view.port = station.m_config.ports[index];
  }

  void Run();

 private:
  const StationConfig& Config() const { return m_station.m_config; }
  bool Stopping() const { return m_station.m_stop.load() != 0; }
  void Show(PortState state) {
    m_view.state = state;
    m_station.Publish(m_index, m_view);
  }
  // Sleeps, but wakes for a stop or once the count is reached.
  void Pause(std::chrono::milliseconds ms) const {
    const auto end = Clock::now() + ms;
    while (!Stopping() && !m_station.CountReached() && Clock::now() < end)
      std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(20), end - Clock::now()));
  }
  bool OpenPort(link::Ports& ports, bool first);
  // Writes the sensor in the socket; false when it had gone before anything
  // was learnt about it (then nothing is reported).
  bool WriteOne(link::Sensor& sensor, DataSet& data, StationUser& user, std::optional<int> probed);
  void WaitRemoved(link::Sensor& sensor, std::optional<int> serial);

  Station& m_station;
  std::size_t m_index;
  PortView m_view;
  std::string m_openProblem;
};

bool Station::PortRun::OpenPort(link::Ports& ports, bool first) {
  m_openProblem.clear();
  if (first) ports.OpenPort(m_view.port);
  else ports.Reopen();
  if (ports.IsPortOpen()) {
    m_view.message.clear();
    return true;
  }
  m_view.message = m_openProblem;
  Show(PortState::NoPort);
  return false;
}

void Station::PortRun::Run() {
  const StationConfig& config = Config();
  link::Ports ports(config.makeLine(m_view.port));
  ports.InitPorts(config.settings);
  ports.onOpenFailed = [this](const link::OpenFailure& failure) {
    const std::string hint = link::PermissionHint(failure);
    m_openProblem = hint.empty() ? link::PortFailureLine(failure) : hint;
    return link::kAnswerCancel;
  };
  StationUser user(m_station.m_stop, [this](int percent) {
    if (percent == m_view.progress) return;
    m_view.progress = percent;
    m_station.Publish(m_index, m_view);
  });
  DataSet data = m_station.m_config.setting;
  link::Sensor sensor(ports, data, user);
  // Made and dropped in this thread: a database connection belongs to the
  // thread that opened it.
  std::unique_ptr<link::WriteJournal> journal = config.makeJournal ? config.makeJournal(m_view.port) : nullptr;
  sensor.SetJournal(journal.get(), config.requireHistory);
  sensor.SetSameSensorCheck(true);

  bool first = true;
  while (!Stopping() && !m_station.CountReached()) {
    if (!ports.IsPortOpen()) {
      if (!OpenPort(ports, std::exchange(first, false))) {
        Pause(config.reopen);
        continue;
      }
    }
    if (m_view.state != PortState::Waiting) Show(PortState::Waiting);
    const link::Sensor::Probe probe = sensor.ProbeSocket();
    if (!probe.present) {
      Pause(config.poll);
      continue;
    }
    if (!m_station.TakeTicket()) break;
    if (!WriteOne(sensor, data, user, probe.serial)) {
      m_station.ReturnTicket();
      continue;
    }
    if (m_station.CountReached()) break;
    WaitRemoved(sensor, m_view.serial);
  }
  sensor.SetJournal(nullptr);
  Show(PortState::Stopped);
}

bool Station::PortRun::WriteOne(link::Sensor& sensor, DataSet& data, StationUser& user, std::optional<int> probed) {
  SensorReport report;
  report.port = m_view.port;
  report.time = NowUtc();
  report.after = EncodeDataCode(Config().setting);
  // The view names the sensor being written, not the last one.
  m_view.serial = probed;
  m_view.progress = 0;
  Show(PortState::Writing);
  const auto start = Clock::now();
  // Every sensor gets the setting itself, whatever the last write left in the copies.
  data = Config().setting;
  user.Clear();
  const bool ok = sensor.SensorWrite();
  const link::Sensor::WriteOutcome& w = sensor.LastWrite();
  const bool identified = std::any_of(w.ident.begin(), w.ident.end(), [](std::uint8_t b) { return b != 0; });
  if (!ok && !identified && !w.written && user.Number() == msg::kNoSensor) {
    // Pulled out again before the write began: no sensor to report.
    Show(PortState::Waiting);
    return false;
  }
  report.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  if (identified) {
    report.serial = MakeWord(w.ident[ident::kSerialHigh], w.ident[ident::kSerialLow]);
    report.type = w.ident[ident::kTypeCode];
  } else {
    report.serial = probed;
  }
  report.before = w.codeBefore;
  report.pass = ok;
  report.outcome = OutcomeOf(ok, w);
  report.code = w.code > 0 ? w.code : 0;
  report.record = w.recordId;
  if (!ok) report.message = user.Message();
  // The single write says nothing of a cancel before any byte went out.
  if (!ok && report.message.empty()) report.message = MessageDisplayText(w.code > 0 ? w.code : msg::kNoSensor);
  m_view.serial = report.serial;
  m_view.outcome = report.outcome;
  m_view.message = report.message;
  m_view.progress = ok ? 100 : m_view.progress;
  ++(ok ? m_view.passed : m_view.failed);
  m_station.Report(m_index, report);
  Show(ok ? PortState::Passed : PortState::Failed);
  return true;
}

// Until two looks in a row find the socket empty, or find another sensor in
// it (swapped between two looks). A look that finds the same sensor (or one
// whose number did not come through) starts the count again, so that one
// answer lost on the line is not taken for a pulled sensor.
void Station::PortRun::WaitRemoved(link::Sensor& sensor, std::optional<int> serial) {
  int empty = 0;
  while (!Stopping() && !m_station.CountReached()) {
    Pause(Config().poll);
    const link::Sensor::Probe probe = sensor.ProbeSocket();
    if (!probe.present) {
      if (++empty >= 2) return;
      continue;
    }
    empty = 0;
    if (probe.serial && serial && *probe.serial != *serial) return;
  }
}

Station::Station(StationConfig config) : m_config(std::move(config)) {
  if (m_config.lock) m_config.setting.SetValue(ValueId::ProgramLock, 1);
  for (const std::string& port : m_config.ports) {
    PortView view;
    view.port = port;
    m_views.push_back(view);
  }
}

Station::~Station() {
  Stop(StopMode::Cancel);
  for (QThread* thread : m_threads) {
    thread->wait();
    delete thread;
  }
}

void Station::Start() {
  if (!m_threads.empty()) return;
  for (std::size_t i = 0; i < m_config.ports.size(); ++i) {
    m_runs.push_back(std::make_unique<PortRun>(*this, i));
    // Qt's own threads: the lines' timers and the database connections
    // need a Qt event dispatcher in the thread.
    QThread* thread = QThread::create([run = m_runs.back().get()] { run->Run(); });
    m_threads.push_back(thread);
    thread->start();
  }
}

void Station::Stop(StopMode mode) {
  const int wanted = mode == StopMode::Cancel ? 2 : 1;
  int current = m_stop.load();
  while (current < wanted && !m_stop.compare_exchange_weak(current, wanted)) {
  }
}

bool Station::Finished() const {
  return std::all_of(m_threads.begin(), m_threads.end(), [](QThread* t) { return t->isFinished(); });
}

bool Station::WaitFinished(int ms) {
  const QDeadlineTimer deadline(ms);
  for (QThread* thread : m_threads)
    if (!thread->wait(deadline)) return false;
  return true;
}

bool Station::TakeTicket() {
  if (m_stop.load() != 0) return false;
  if (m_config.count <= 0) return true;
  if (m_started.fetch_add(1) < m_config.count) return true;
  m_started.fetch_sub(1);
  return false;
}

void Station::ReturnTicket() {
  if (m_config.count > 0) m_started.fetch_sub(1);
}

bool Station::CountReached() const {
  if (m_config.count <= 0) return false;
  std::lock_guard lock(m_mutex);
  return m_passed + m_failed >= m_config.count;
}

void Station::Publish(std::size_t index, const PortView& view) {
  std::lock_guard lock(m_mutex);
  m_views[index] = view;
}

void Station::Report(std::size_t index, const SensorReport& report) {
  std::lock_guard lock(m_mutex);
  (void)index;
  m_reports.push_back(report);
  ++(report.pass ? m_passed : m_failed);
}

std::vector<PortView> Station::Ports() const {
  std::lock_guard lock(m_mutex);
  return m_views;
}

std::vector<SensorReport> Station::TakeReports() {
  std::lock_guard lock(m_mutex);
  return std::exchange(m_reports, {});
}

int Station::Passed() const {
  std::lock_guard lock(m_mutex);
  return m_passed;
}

int Station::Failed() const {
  std::lock_guard lock(m_mutex);
  return m_failed;
}

std::string StateName(PortState state) {
  switch (state) {
    case PortState::Starting: return "starting";
    case PortState::NoPort: return "no-port";
    case PortState::Waiting: return "waiting";
    case PortState::Writing: return "writing";
    case PortState::Passed: return "pass";
    case PortState::Failed: return "fail";
    case PortState::Stopped: return "stopped";
  }
  return {};
}

std::vector<std::string> ExpandPorts(const std::string& list, std::vector<std::string>& unmatched) {
  std::vector<std::string> ports;
  std::set<QString> seen;
  const auto add = [&](const std::string& port) {
    // The same device by two names (a by-id link and its ttyUSB) is one port.
    const QFileInfo info(QString::fromStdString(port));
    const QString key = info.exists() ? info.canonicalFilePath() : QString::fromStdString(port).toUpper();
    if (seen.insert(key).second) ports.push_back(port);
  };
  for (const QString& part : QString::fromStdString(list).split(u',', Qt::SkipEmptyParts)) {
    const std::string item = part.trimmed().toStdString();
    if (item.empty()) continue;
    if (item.find_first_of("*?[") == std::string::npos) {
      add(item);
      continue;
    }
    std::vector<std::string> found;
#ifndef _WIN32
    if (item.find('/') != std::string::npos) {
      glob_t g{};
      if (::glob(item.c_str(), 0, nullptr, &g) == 0)
        for (std::size_t i = 0; i < g.gl_pathc; ++i) found.emplace_back(g.gl_pathv[i]);
      ::globfree(&g);
    } else
#endif
    {
      const QRegularExpression pattern(
          QRegularExpression::wildcardToRegularExpression(QString::fromStdString(item)),
          QRegularExpression::CaseInsensitiveOption);
      for (const std::string& port : link::ListSerialPorts())
        if (pattern.match(QString::fromStdString(port)).hasMatch()) found.push_back(port);
    }
    if (found.empty()) unmatched.push_back(item);
    for (const std::string& port : found) add(port);
  }
  return ports;
}

}  // namespace rkt::station
