// Times a full sensor read (presence check and read sequence), a full write
// (with the reads before it and the read-back check after it), and that
// check alone, against the simulated sensor on a line with the real 1200-baud
// timing, and compares them with the floor: the bytes on the line (11 bits
// each, echo included) plus the prescribed waits.
//
// The "no LP 1" runs are against a sensor that does not answer "LP" on its
// parameter block: the write's two reads of it go byte by byte, and the first
// write on the port also waits out the one "LP" that gets no answer.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "link/ports.h"
#include "link/sensor.h"
#include "model/data_set.h"
#include "sim/simulated_line.h"

using namespace rkt;

namespace {

class QuietUser final : public link::QuietSensorUser {
 public:
  int ShowMessage(int number, int, int) override {
    std::fprintf(stderr, "message %d\n", number);
    failed = true;
    return link::kAnswerCancel;
  }
  bool failed = false;
};

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Figures {
  double measuredMs = 0;
  double floorMs = 0;
  double cpuMs = 0;
};

template <typename F>
Figures Measure(sim::SimulatedLine& line, link::Ports& ports, F operation) {
  const auto onWire = [&] { return line.BytesWritten() + line.BytesRead(); };
  const long long bytes0 = onWire();
  const long long waited0 = ports.WaitedMs();
  const double cpu0 = CpuSeconds();
  QElapsedTimer clock;
  clock.start();
  const bool ok = operation();
  Figures f;
  f.measuredMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  f.cpuMs = (CpuSeconds() - cpu0) * 1000.0;
  f.floorMs = static_cast<double>(onWire() - bytes0) * 11.0 * 1000.0 / 1200.0 +
              static_cast<double>(ports.WaitedMs() - waited0);
  if (!ok) f.measuredMs = -1;
  return f;
}

void Print(const char* what, const char* mode, const std::vector<Figures>& runs) {
  Figures worst = runs.front();
  for (const Figures& f : runs)
    if (f.measuredMs / f.floorMs > worst.measuredMs / worst.floorMs) worst = f;
  std::printf("%-6s %-12s measured %8.1f ms  floor %8.1f ms  ratio %.4f  CPU %6.1f ms = %.2f %% of wall  (worst of %zu)\n",
              what, mode, worst.measuredMs, worst.floorMs, worst.measuredMs / worst.floorMs,
              worst.cpuMs, 100.0 * worst.cpuMs / worst.measuredMs, runs.size());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  int failures = 0;
  // The trace run shows what recording every byte costs a transfer.
  const struct {
    bool echo;
    bool trace;
    const char* name;
    bool noLp = false;
  } modes[] = {{true, false, "echo"}, {false, false, "noecho"}, {true, true, "echo+trace"}, {true, false, "no LP 1", true}};
  for (const auto& mode : modes) {
    const bool echo = mode.echo;
    QTemporaryDir dir;
    sim::SimConfig config;
    config.baudTiming = true;
    config.echo = echo;
    auto simulator = std::make_shared<sim::SensorSimulator>(config);
    if (mode.noLp) simulator->InjectFault({sim::Fault::NoLp, sim::Command::LP, sim::kForever, link::kBlockParams});
    auto owned = std::make_unique<sim::SimulatedLine>(simulator);
    sim::SimulatedLine& line = *owned;
    link::Ports ports(std::move(owned));
    link::PortSettings settings;
    settings.echo = echo;
    ports.InitPorts(settings);
    ports.OpenPort("SIM");
    link::SerialTrace trace;
    if (mode.trace) {
      if (!trace.Open(dir.filePath("trace.txt").toStdString(), "SIM")) {
        std::fprintf(stderr, "cannot open the trace file\n");
        return 1;
      }
      ports.SetTrace(&trace);
    }
    DataSet data;
    QuietUser user;
    link::Sensor sensor(ports, data, user);

    std::vector<Figures> reads;
    std::vector<Figures> writes;
    std::vector<Figures> checks;
    for (int i = 0; i < runs; ++i) {
      reads.push_back(Measure(line, ports, [&] { return sensor.SensorRead(); }));
      // Another value each time (the simulated sensor starts with 10), so every write writes.
      data.SetValue(ValueId::TimeValue1, 20 + i);
      writes.push_back(Measure(line, ports, [&] { return sensor.SensorWrite(); }));
      // What the read-back check after every write costs: the parameter
      // block, read as the write reads it.
      DataSet::Block block{};
      checks.push_back(Measure(line, ports, [&] { return sensor.ReadParamBlock(block) == 0; }));
    }
    for (const auto* set : {&reads, &writes, &checks})
      for (const Figures& f : *set)
        if (f.measuredMs < 0) ++failures;
    Print("read", mode.name, reads);
    // The first write on the port is the one that finds out about "LP".
    if (mode.noLp) Print("write1", mode.name, {writes.front()});
    if (mode.noLp && writes.size() > 1) writes.erase(writes.begin());
    Print("write", mode.name, writes);
    Print("check", mode.name, checks);
    ports.ClosePort();
  }
  if (failures) std::fprintf(stderr, "%d operations failed\n", failures);
  return failures ? 1 : 0;
}
