// The station's ports run side by side: each writes its own sensor, a bad
// port or sensor holds up no other, and a stop finishes or cancels as asked.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <map>
#include <set>

#include "history/history_db.h"
#include "link/sensor.h"
#include "model/parameter_file.h"
#include "sim/simulated_line.h"
#include "station/station.h"
#include "text/messages.h"
#include "text/text_keys.h"

using namespace rkt;
using namespace std::chrono_literals;

namespace {

DataSet Sample() {
  DataSet ds;
  EXPECT_EQ(LoadParameterFileChecked(ds, RKT_SOURCE_DIR "/resources/samples/sample.RKT").status, LoadStatus::Ok);
  return ds;
}

sim::SimConfig SensorOfType5(std::chrono::nanoseconds byteTime = {}) {
  sim::SimConfig c;
  c.typeCode = 5;
  c.baudTiming = byteTime.count() > 0;
  if (c.baudTiming) c.byteTime = byteTime;
  return c;
}

// The parameter block a sensor holds after the single write of the setting.
std::array<std::uint8_t, 16> WrittenBySingleWrite(const DataSet& setting) {
  auto sim = std::make_shared<sim::SensorSimulator>(SensorOfType5());
  link::Ports ports(std::make_unique<sim::SimulatedLine>(sim));
  ports.InitPorts({});
  ports.OpenPort("REF");
  DataSet data = setting;
  link::QuietSensorUser user;
  link::Sensor sensor(ports, data, user);
  EXPECT_TRUE(sensor.SensorWrite());
  std::array<std::uint8_t, 16> block{};
  for (int a = 0; a < 16; ++a) block[static_cast<std::size_t>(a)] = sim->Memory(1, a);
  return block;
}

// Ports P1..Pn, each with the simulator `make` gives it (nullptr: the port
// cannot be opened), serial number 1000 + n.
struct Bench {
  explicit Bench(int n, const std::function<std::shared_ptr<sim::SensorSimulator>(int)>& make) {
    for (int i = 1; i <= n; ++i) {
      config.ports.push_back("P" + std::to_string(i));
      auto s = make(i);
      if (s && !s->Config().swap) {
        s->SetMemory(0, 0, static_cast<std::uint8_t>((1000 + i) >> 8));
        s->SetMemory(0, 1, static_cast<std::uint8_t>((1000 + i) & 0xff));
      }
      sims[config.ports.back()] = s;
    }
    config.setting = Sample();
    config.poll = 20ms;
    config.reopen = 100ms;
    config.makeLine = [this](const std::string& port) {
      const auto s = sims.at(port);
      auto line = std::make_unique<sim::SimulatedLine>(s ? s : std::make_shared<sim::SensorSimulator>());
      if (!s) line->FailOpens({false, false, port, "", "No such file or directory"}, 1 << 30);
      return line;
    };
    const QString db = dir.filePath(QStringLiteral("history.sqlite"));
    config.makeJournal = [db](const std::string&) { return std::make_unique<history::HistoryDb>(db); };
    // As the programs do: the database driver is loaded in the main thread first.
    EXPECT_TRUE(history::HistoryDb(db).CheckWritable());
  }

  // Waits (without spinning the test) until `done` holds or 30 s have passed.
  template <typename F>
  bool WaitFor(station::Station& st, F done) {
    for (int i = 0; i < 1500; ++i) {
      for (auto& r : st.TakeReports()) reports[r.port] = r;
      if (done()) return true;
      QThread::msleep(20);
    }
    return false;
  }

  QTemporaryDir dir;
  station::StationConfig config;
  std::map<std::string, std::shared_ptr<sim::SensorSimulator>> sims;
  std::map<std::string, station::SensorReport> reports;
};

}  // namespace

TEST(Station, EveryPortWritesItsOwnSensorAndABadPortOrSensorHoldsUpNoOther) {
  Bench bench(8, [](int i) -> std::shared_ptr<sim::SensorSimulator> {
    sim::SimConfig c = SensorOfType5();
    if (i == 3) c.locked = true;
    if (i == 5) c.typeCode = 9;
    if (i == 7) return nullptr;
    return std::make_shared<sim::SensorSimulator>(c);
  });
  const auto expected = WrittenBySingleWrite(bench.config.setting);
  station::Station st(bench.config);
  st.Start();
  ASSERT_TRUE(bench.WaitFor(st, [&] { return bench.reports.size() == 7; }));
  // The port that cannot be opened says why, and keeps trying.
  ASSERT_TRUE(bench.WaitFor(st, [&] { return st.Ports()[6].state == station::PortState::NoPort; }));
  EXPECT_NE(st.Ports()[6].message.find("P7"), std::string::npos) << st.Ports()[6].message;
  st.Stop(station::StopMode::Finish);
  ASSERT_TRUE(st.WaitFinished(10000));

  history::HistoryDb db(bench.dir.filePath(QStringLiteral("history.sqlite")));
  const auto records = db.List();
  ASSERT_TRUE(records);
  std::map<int, history::HistoryEntry> bySerial;
  for (const auto& e : *records) bySerial[e.serial] = e;
  for (const int i : {1, 2, 4, 6, 8}) {
    const std::string port = "P" + std::to_string(i);
    const station::SensorReport& r = bench.reports.at(port);
    EXPECT_TRUE(r.pass) << port << ": " << r.message;
    EXPECT_EQ(r.outcome, "done");
    EXPECT_EQ(r.serial, 1000 + i);
    EXPECT_EQ(r.type, 5);
    EXPECT_NE(r.before, r.after);
    ASSERT_NE(r.record, 0);
    const history::HistoryEntry& e = bySerial.at(1000 + i);
    EXPECT_EQ(e.id, r.record);
    EXPECT_EQ(e.port, port);
    EXPECT_EQ(e.result, "done");
    EXPECT_EQ(e.codeBefore, r.before);
    for (const int a : link::kParamAddresses)
      EXPECT_EQ(bench.sims.at(port)->Memory(1, a), expected[static_cast<std::size_t>(a)]) << port << " address " << a;
  }
  const station::SensorReport& locked = bench.reports.at("P3");
  EXPECT_FALSE(locked.pass);
  EXPECT_EQ(locked.outcome, "refused");
  EXPECT_EQ(locked.serial, 1003);
  EXPECT_EQ(locked.message, MessageDisplayText(msg::kSensorLocked));
  EXPECT_TRUE(bench.sims.at("P3")->StoredWrites().empty());
  const station::SensorReport& other = bench.reports.at("P5");
  EXPECT_EQ(other.outcome, "refused");
  EXPECT_EQ(other.message, MessageDisplayText(msg::kTypeMismatch));
  EXPECT_EQ(records->size(), 5u);
  EXPECT_EQ(st.Passed(), 5);
  EXPECT_EQ(st.Failed(), 2);
}

TEST(Station, TheCountEndsEveryPortAndTheLockGoesWithTheSetting) {
  Bench bench(4, [](int) { return std::make_shared<sim::SensorSimulator>(SensorOfType5()); });
  bench.config.count = 2;
  bench.config.lock = true;
  station::Station st(bench.config);
  st.Start();
  // No stop is asked: the ports end by themselves once two sensors are done.
  ASSERT_TRUE(st.WaitFinished(30000));
  int written = 0;
  for (const auto& r : st.TakeReports()) {
    EXPECT_TRUE(r.pass) << r.port << ": " << r.message;
    EXPECT_TRUE(bench.sims.at(r.port)->Locked()) << r.port;
    ++written;
  }
  EXPECT_EQ(written, 2);
  int locked = 0;
  for (const auto& [port, s] : bench.sims) locked += s->Locked() ? 1 : 0;
  EXPECT_EQ(locked, 2);
  for (const station::PortView& v : st.Ports()) EXPECT_EQ(v.state, station::PortState::Stopped);
}

// Writes at a slow byte time, stopped when every port is half-way.
TEST(Station, AStopFinishesTheRunningWritesOrCancelsThemPortByPort) {
  for (const station::StopMode mode : {station::StopMode::Finish, station::StopMode::Cancel}) {
    Bench bench(3, [](int) { return std::make_shared<sim::SensorSimulator>(SensorOfType5(2ms)); });
    station::Station st(bench.config);
    st.Start();
    ASSERT_TRUE(bench.WaitFor(st, [&] {
      const auto views = st.Ports();
      return std::all_of(views.begin(), views.end(), [](const station::PortView& v) {
        return v.state == station::PortState::Writing && v.progress >= 50;
      });
    }));
    st.Stop(mode);
    ASSERT_TRUE(st.WaitFinished(30000));
    for (auto& r : st.TakeReports()) bench.reports[r.port] = r;
    ASSERT_EQ(bench.reports.size(), 3u);
    for (const auto& [port, r] : bench.reports) {
      if (mode == station::StopMode::Finish) {
        EXPECT_TRUE(r.pass) << port << ": " << r.message;
        continue;
      }
      EXPECT_FALSE(r.pass) << port;
      EXPECT_EQ(r.outcome, "cancelled") << port;
      EXPECT_EQ(r.code, link::kCodeUserAbort);
      EXPECT_EQ(r.message.substr(0, r.message.find('\n')), MessageDisplayText(link::kCodeUserAbort));
      // Once bytes went out, the report says the sensor may hold a mix.
      const bool written = !bench.sims.at(port)->StoredWrites().empty();
      EXPECT_EQ(r.message.find(Text("Message", "WriteMixed")) != std::string::npos, written) << r.message;
    }
  }
}

TEST(Station, PortPatternsFindDevicesOnceAndNameWhatMatchesNothing) {
  QTemporaryDir dir;
  for (const char* name : {"ttyA", "ttyB"}) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("ttyA")), dir.filePath(QStringLiteral("by-id-A"))));
  const std::string d = dir.path().toStdString();
  std::vector<std::string> unmatched;
#ifdef _WIN32
  GTEST_SKIP() << "Windows matches patterns against its COM ports, not against files";
#endif
  const auto ports = station::ExpandPorts(d + "/by-id-*, " + d + "/tty*," + d + "/none*,COM3", unmatched);
  EXPECT_EQ(ports, (std::vector<std::string>{d + "/by-id-A", d + "/ttyB", "COM3"}));
  EXPECT_EQ(unmatched, std::vector<std::string>{d + "/none*"});
}

// A worker pulls sensors at random moments: every report tells the truth
// about the sensor it names, a sensor pulled mid-write is reported as
// interrupted with its record, and the next one in the socket is written.
TEST(Station, ASensorPulledMidWriteIsReportedInterruptedAndTheNextOneIsWritten) {
  Bench bench(1, [](int) {
    sim::SimConfig c = SensorOfType5(2ms);
    c.serial = 500;
    sim::SwapPlan plan;
    plan.present = 150ms;
    plan.presentJitter = 3000ms;
    plan.absent = 100ms;
    plan.seed = 11;
    plan.firstSerial = 500;
    c.swap = plan;
    return std::make_shared<sim::SensorSimulator>(c);
  });
  const auto expected = WrittenBySingleWrite(bench.config.setting);
  station::Station st(bench.config);
  st.Start();
  std::vector<station::SensorReport> reports;
  std::set<std::string> outcomes;
  // Until both have happened (usually within a dozen sensors; a loaded
  // machine writes fewer in a given time).
  for (int i = 0; i < 4500 && reports.size() < 60 && !(outcomes.count("interrupted") && outcomes.count("done")); ++i) {
    for (auto& r : st.TakeReports()) {
      outcomes.insert(r.outcome);
      reports.push_back(r);
    }
    QThread::msleep(20);
  }
  st.Stop(station::StopMode::Finish);
  ASSERT_TRUE(st.WaitFinished(10000));
  std::string all;
  for (const auto& r : reports) all += r.outcome + " " + std::to_string(r.durationMs) + " ms; ";
  EXPECT_TRUE(outcomes.count("interrupted") && outcomes.count("done")) << reports.size() << " sensors: " << all;

  std::map<int, sim::SeenSensor> seen;
  for (const sim::SeenSensor& s : bench.sims.at("P1")->SensorsSeen()) seen[s.serial] = s;
  history::HistoryDb db(bench.dir.filePath(QStringLiteral("history.sqlite")));
  std::set<int> serials;
  for (const station::SensorReport& r : reports) {
    ASSERT_TRUE(r.serial) << r.outcome;
    EXPECT_TRUE(serials.insert(*r.serial).second) << "sensor " << *r.serial << " reported twice";
    const sim::SeenSensor& sensor = seen.at(*r.serial);
    bool holds = true;
    for (const int a : link::kParamAddresses)
      holds = holds && sensor.params[static_cast<std::size_t>(a)] == expected[static_cast<std::size_t>(a)];
    if (r.pass) {
      EXPECT_TRUE(holds) << "sensor " << *r.serial << " passed but does not hold the setting";
    }
    // A sensor that took bytes and did not pass is never reported as untouched.
    if (sensor.writes > 0 && !r.pass) {
      EXPECT_TRUE(r.outcome == "interrupted" || r.outcome == "verify-failed") << r.outcome;
      EXPECT_NE(r.message.find(Text("Message", "WriteMixed")), std::string::npos) << r.message;
    }
    if (r.outcome == "interrupted") {
      const auto record = db.Get(r.record);
      ASSERT_TRUE(record) << r.record;
      EXPECT_EQ(record->serial, *r.serial);
      EXPECT_EQ(record->result, "failed");
    }
    if (!r.pass) {
      EXPECT_FALSE(r.message.empty());
    }
  }
}
