// Fault soak: read/write cycles against the in-process simulated sensor,
// with a share of the bytes coming back from it corrupted, dropped or
// delayed at random. Every operation must end (each has a deadline), and
// none may report success with wrong data:
//   - after a successful read the read copy equals the sensor's memory,
//   - after a successful write the sensor's memory equals the working copy,
//   - after a failed read or write the working copy is what it was.
// Prints cycles, failures by message, and silent corruptions (must be 0);
// exits 1 when any check failed.
//
// Every tenth cycle also reads and writes the sensitivity.
//
//   rkt410-soak [--cycles N] [--fault-rate R] [--timeout MS] [--seed S] [--type N]
//   rkt410-soak --detection [--cycles N] [--fault-rate R] [--seed S]
// --type sets the simulated sensor's type code (default 1: odd types carry the
// input bit inverted, even ones do not).
//
// With --detection the line runs at the real 1200-baud timing with the real
// time-outs (fault rate 0 unless given), and every cycle is a detection run
// into which a read or a write is chosen at a random moment, as a user's
// menu command would be: the run gives way, and the command follows at once.
// Besides the checks above it counts false "no sensor" reports (message 1
// for the sensor that is there); it must be 0.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

#include <QTimer>

#include "link/detection.h"
#include "link/ports.h"
#include "link/sensor.h"
#include "model/data_set.h"
#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"

using namespace rkt;

namespace {

// Answers every question with Cancel/No and remembers the last message.
class SoakUser final : public link::QuietSensorUser {
 public:
  int ShowMessage(int number, int buttons, int) override {
    lastMessage = number;
    if (number == 1) ++noSensor;
    if (buttons == link::kButtonsRetryCancel) return link::kAnswerCancel;
    if (buttons == link::kButtonsYesNo) return link::kAnswerNo;
    return link::kAnswerOk;
  }
  int lastMessage = 0;
  int noSensor = 0;
};

constexpr int kParamAddresses[] = {0, 1, 3, 4, 5, 6, 11};
constexpr int kSensitivityAddresses[] = {2, 8};
constexpr std::pair<int, BlockId> kWholeBlocks[] = {
    {0, BlockId::Identification}, {5, BlockId::Name1}, {6, BlockId::Name2}, {7, BlockId::Name3}};

bool SameCopy(const DataSet& a, const DataSet& b, Copy copy) {
  for (const BlockId id : kAllBlocks)
    if (a.GetBlock(id, copy) != b.GetBlock(id, copy)) return false;
  return true;
}

bool WorkingEqualsBackup(const DataSet& ds) {
  for (const BlockId id : kAllBlocks)
    if (ds.GetBlock(id, kWorkingCopy) != ds.GetBlock(id, kBackupCopy)) return false;
  return true;
}

// The working copy's two sensitivity bytes against the sensor's.
bool SensitivityMatches(const DataSet& ds, const sim::SensorSimulator& s) {
  return ds.Param(kWorkingCopy, param::kSensitivity) == s.Memory(1, kSensitivityAddresses[0]) &&
         ds.Param(kWorkingCopy, param::kSensitivity2) == s.Memory(1, kSensitivityAddresses[1]);
}

// The read copy against the sensor's memory, with the input bit the read
// sequence turns round for odd types of version 3.
bool ReadMatches(const DataSet& ds, const sim::SensorSimulator& s) {
  for (const auto& [block, id] : kWholeBlocks)
    for (int a = 0; a < kBlockSize; ++a)
      if (ds.Byte(id, kReadCopy, a + 1) != s.Memory(block, a)) return false;
  const int type = s.Memory(0, link::kAddrTypeCode);
  const bool inverted = type != 15 && s.Memory(0, ident::kVersion1 - 1) == 3 && type % 2 == 1;
  for (const int a : kParamAddresses) {
    std::uint8_t expected = s.Memory(1, a);
    if (a == link::kAddrLock && inverted) expected ^= 1;
    if (ds.Param(kReadCopy, a + 1) != expected) return false;
  }
  // The sensitivity bytes are left out: taking a read into the working copy
  // keeps the window's sensitivity, in the read copy too.
  return true;
}

// The sensor's memory against the working copy, as the write sequence maps
// it: sensors of odd type hold the input bit inverted.
bool WriteMatches(const DataSet& ds, const sim::SensorSimulator& s) {
  const bool odd = s.Memory(0, link::kAddrTypeCode) % 2 == 1;
  for (const int a : kParamAddresses) {
    std::uint8_t expected = ds.Param(kWorkingCopy, a + 1);
    if (a == link::kAddrLock && odd) expected ^= 1;
    if (s.Memory(1, a) != expected) return false;
  }
  return true;
}

int Arg(int argc, char** argv, const char* name, int def) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == name) return std::atoi(argv[i + 1]);
  return def;
}

double ArgD(int argc, char** argv, const char* name, double def) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == name) return std::atof(argv[i + 1]);
  return def;
}

bool Flag(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == name) return true;
  return false;
}

// New parameter values, keeping the sensor unlocked so that every write may go on.
// The lines both soaks report alike: the line's faults and how the operations ended.
void PrintTraffic(const sim::SimulatedLine::Noise& f, int readsOk, int reads, int writesOk, int writes,
                  const std::map<std::string, int>& failures) {
  std::printf("sensor bytes:         %lld, corrupted %lld, dropped %lld, delayed %lld\n", f.bytes, f.corrupted,
              f.dropped, f.delayed);
  std::printf("reads:                %d ok of %d\n", readsOk, reads);
  std::printf("writes:               %d ok of %d\n", writesOk, writes);
  std::printf("failures by message:\n");
  if (failures.empty()) std::printf("  none\n");
  for (const auto& [what, count] : failures) std::printf("  %-24s %d\n", what.c_str(), count);
}

void NewSettings(DataSet& ds, std::mt19937& random, int typeCode) {
  for (const int a : kParamAddresses) {
    auto v = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
    if (a == link::kAddrLock) v |= 1u << link::kLockBit;
    ds.Param(kWorkingCopy, a + 1) = v;
  }
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kTypeCode) = static_cast<std::uint8_t>(typeCode);
}

// Detection runs on the timed line with a read or write chosen at a random
// moment of each, handled as the program's sensor link handles a menu
// command during a run.
int DetectionSoak(int cycles, std::uint32_t seed, link::Ports& ports, link::Sensor& sensor, DataSet& ds,
                  SoakUser& user, const sim::SensorSimulator& simulator, const sim::SimulatedLine& line, double rate) {
  link::Detection detection(sensor, ports, ds, user);
  detection.InitDetection([] {}, [] {});
  detection.SetDetection(1);
  std::mt19937 random(seed + 2);
  const int typeCode = simulator.Memory(0, link::kAddrTypeCode);
  QElapsedTimer clock;
  clock.start();
  int during = 0, reads = 0, readsOk = 0, writes = 0, writesOk = 0, silent = 0, lost = 0;
  std::map<std::string, int> failures;
  long long longestMs = 0, settles = 0;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    const bool write = std::uniform_int_distribution<int>(0, 1)(random) == 1;
    // A detection run with its full read takes a little over two seconds.
    const int delay = std::uniform_int_distribution<int>(0, 2400)(random);
    bool chosenDuringRun = false;
    QTimer moment;
    moment.setSingleShot(true);
    QObject::connect(&moment, &QTimer::timeout, [&] {
      if (!detection.Running()) return;
      chosenDuringRun = true;
      ports.Abandon(true);
    });
    moment.start(delay);
    detection.DetectSensor();
    moment.stop();
    ports.Abandon(false);
    ports.Settle();
    if (chosenDuringRun) ++during;

    user.lastMessage = 0;
    const QElapsedTimer started = [] {
      QElapsedTimer t;
      t.start();
      return t;
    }();
    if (write) NewSettings(ds, random, typeCode);
    const DataSet before = ds;
    const char* what = write ? "write" : "read";
    ++(write ? writes : reads);
    if (write ? sensor.SensorWrite() : sensor.SensorRead(false)) {
      ++(write ? writesOk : readsOk);
      if (!(write ? WriteMatches(ds, simulator) : ReadMatches(ds, simulator))) {
        ++silent;
        std::fprintf(stderr, "cycle %d: %s reported success, but the data and the sensor differ\n", cycle, what);
      }
    } else {
      ++failures[std::string(what) + " message " + std::to_string(user.lastMessage)];
      if (!SameCopy(ds, before, kWorkingCopy)) ++lost;
    }
    longestMs = std::max(longestMs, started.elapsed());
    if (cycle % 50 == 0)
      std::fprintf(stderr, "  %d cycles, %.0f s, %d false no-sensor\n", cycle,
                   static_cast<double>(clock.elapsed()) / 1000.0, user.noSensor);
  }
  settles = ports.Settles();
  const sim::SimulatedLine::Noise& f = line.NoiseCounts();
  std::printf("detection cycles:     %d on the 1200-baud line (fault rate %.3f, seed %u)\n", cycles, rate, seed);
  std::printf("run time:             %.1f s, longest command %lld ms\n", static_cast<double>(clock.elapsed()) / 1000.0,
              longestMs);
  std::printf("chosen during a run:  %d of %d\n", during, cycles);
  PrintTraffic(f, readsOk, reads, writesOk, writes, failures);
  std::printf("line settled:         %lld times, %lld ms in all\n", settles, ports.SettledMs());
  std::printf("false no-sensor:      %d\n", user.noSensor);
  std::printf("lost on failure:      %d\n", lost);
  std::printf("silent corruptions:   %d\n", silent);
  return user.noSensor + silent + lost == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool detectionMode = Flag(argc, argv, "--detection");
  const int cycles = Arg(argc, argv, "--cycles", 1000);
  const double rate = ArgD(argc, argv, "--fault-rate", detectionMode ? 0.0 : 0.01);
  const int timeout = std::max(2, Arg(argc, argv, "--timeout", 10));
  const auto seed = static_cast<std::uint32_t>(Arg(argc, argv, "--seed", 410));

  // The longest an operation may take: every presence attempt and every
  // command attempt timing out, with room for a slow machine.
  const long long deadlineMs = 200LL * 4 * timeout + 20'000;

  sim::SimConfig config;
  config.typeCode = std::clamp(Arg(argc, argv, "--type", 1), 1, 16);
  // Back to idle within one quiet period, so the retry after a broken
  // command meets an idle sensor.
  config.idleTimeout = std::chrono::milliseconds(std::max(1, timeout / 2));
  if (detectionMode) {
    config.baudTiming = true;
    config.idleTimeout = std::chrono::milliseconds(150);
  }
  auto simulator = std::make_shared<sim::SensorSimulator>(config);
  auto owned = std::make_unique<sim::SimulatedLine>(simulator);
  sim::SimulatedLine* line = owned.get();
  line->SetNoise(rate, std::chrono::milliseconds(2 * timeout), seed);
  link::Ports ports(std::move(owned));
  link::PortSettings settings;
  settings.detectTimeout = timeout;
  settings.readTimeout = timeout;
  settings.writeTimeout = timeout;
  // Its sensor drops a command within half a period: no need to wait the
  // second a slow sensor may take.
  settings.sensorReset = timeout;
  if (detectionMode) settings = link::PortSettings{};
  ports.InitPorts(settings);
  ports.OpenPort("soak");
  DataSet ds;
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kTypeCode) = static_cast<std::uint8_t>(config.typeCode);
  ds.SetDataValid(1);
  SoakUser user;
  link::Sensor sensor(ports, ds, user);
  if (detectionMode) return DetectionSoak(cycles, seed, ports, sensor, ds, user, *simulator, *line, rate);
  std::mt19937 random(seed + 1);

  // A watchdog outside the event loop: an operation past its deadline is a hang.
  std::atomic<long long> operationStart{-1};
  std::atomic<bool> done{false};
  QElapsedTimer clock;
  clock.start();
  std::thread watchdog([&] {
    while (!done) {
      const long long start = operationStart;
      if (start >= 0 && clock.elapsed() - start > 2 * deadlineMs) {
        std::fprintf(stderr, "HANG: an operation has run %lld ms\n", clock.elapsed() - start);
        std::fflush(stderr);
        _exit(3);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });

  std::map<std::string, int> failures;
  int reads = 0, readsOk = 0, writes = 0, writesOk = 0;
  int silentRead = 0, silentWrite = 0, lostOnFailure = 0, overDeadline = 0;
  long long longestMs = 0;
  auto run = [&](const char* what, auto op) {
    user.lastMessage = 0;
    operationStart = clock.elapsed();
    const bool ok = op();
    const long long took = clock.elapsed() - operationStart;
    operationStart = -1;
    longestMs = std::max(longestMs, took);
    if (took > deadlineMs) ++overDeadline;
    if (!ok) ++failures[std::string(what) + " message " + std::to_string(user.lastMessage)];
    return ok;
  };

  for (int cycle = 1; cycle <= cycles; ++cycle) {
    // Read.
    const DataSet beforeRead = ds;
    ++reads;
    if (run("read", [&] { return sensor.SensorRead(false); })) {
      ++readsOk;
      if (!ReadMatches(ds, *simulator)) {
        ++silentRead;
        std::fprintf(stderr, "cycle %d: read reported success with data other than the sensor's\n", cycle);
      }
    } else if (!SameCopy(ds, beforeRead, kWorkingCopy)) {
      ++lostOnFailure;
      std::fprintf(stderr, "cycle %d: a failed read changed the working copy\n", cycle);
    }

    NewSettings(ds, random, config.typeCode);

    const DataSet beforeWrite = ds;
    ++writes;
    if (run("write", [&] { return sensor.SensorWrite(); })) {
      ++writesOk;
      if (!WriteMatches(ds, *simulator)) {
        ++silentWrite;
        std::fprintf(stderr, "cycle %d: write reported success but the sensor holds other values\n", cycle);
      }
    } else if (!SameCopy(ds, beforeWrite, kWorkingCopy) || !WorkingEqualsBackup(ds)) {
      ++lostOnFailure;
      std::fprintf(stderr, "cycle %d: a failed write did not restore the working copy\n", cycle);
    }
    if (cycle % 10 == 0) {
      // Sensitivity: read it, change it, write it back.
      const DataSet beforeSensitivity = ds;
      ++reads;
      if (run("sensitivity read", [&] { return sensor.ReadSensitivity(); })) {
        ++readsOk;
        if (!SensitivityMatches(ds, *simulator)) {
          ++silentRead;
          std::fprintf(stderr, "cycle %d: sensitivity read reported success with other values\n", cycle);
        }
      } else if (!SameCopy(ds, beforeSensitivity, kWorkingCopy)) {
        ++lostOnFailure;
        std::fprintf(stderr, "cycle %d: a failed sensitivity read changed the working copy\n", cycle);
      }
      if (ds.SensitivityValid() != 0) {
        ds.Param(kWorkingCopy, param::kSensitivity) =
            static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
        const DataSet beforeSensitivityWrite = ds;
        ++writes;
        if (run("sensitivity write", [&] { return sensor.WriteSensitivity(); })) {
          ++writesOk;
          if (!SensitivityMatches(ds, *simulator)) {
            ++silentWrite;
            std::fprintf(stderr, "cycle %d: sensitivity write reported success but the sensor differs\n", cycle);
          }
        } else if (!SameCopy(ds, beforeSensitivityWrite, kWorkingCopy)) {
          ++lostOnFailure;
          std::fprintf(stderr, "cycle %d: a failed sensitivity write changed the working copy\n", cycle);
        }
      }
    }
    if (cycle % 100 == 0) {
      std::fprintf(stderr, "  %d cycles, %.0f s\n", cycle, static_cast<double>(clock.elapsed()) / 1000.0);
    }
  }
  done = true;
  watchdog.join();

  const sim::SimulatedLine::Noise& f = line->NoiseCounts();
  std::printf("cycles:               %d (time-out %d ms, fault rate %.3f, seed %u, type %d)\n", cycles, timeout,
              rate, seed, config.typeCode);
  std::printf("run time:             %.1f s, longest operation %lld ms (deadline %lld ms)\n",
              static_cast<double>(clock.elapsed()) / 1000.0, longestMs, deadlineMs);
  PrintTraffic(f, readsOk, reads, writesOk, writes, failures);
  std::printf("over deadline:        %d\n", overDeadline);
  std::printf("lost on failure:      %d\n", lostOnFailure);
  std::printf("silent corruptions:   %d (read %d, write %d)\n", silentRead + silentWrite, silentRead, silentWrite);
  return silentRead + silentWrite + lostOnFailure + overDeadline == 0 ? 0 : 1;
}
