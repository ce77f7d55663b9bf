// Times a full sensor read (presence check and read sequence), a full write
// (with the reads before it and the read-back check after it), and that
// check alone, through QSerialPort against rkt410-sim --baud-timing on a
// pseudo-terminal, and compares them with the floor: the bytes on a
// 1200-baud line (11 bits each, echo included) plus the prescribed waits.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "link/ports.h"
#include "link/qt_serial_line.h"
#include "link/sensor.h"
#include "model/data_set.h"

using namespace rkt;

namespace {

// Counts the bytes that cross the line in either direction.
class CountingLine final : public link::SerialLine {
 public:
  explicit CountingLine(std::unique_ptr<link::SerialLine> inner) : m_inner(std::move(inner)) {}
  link::OpenResult Open(const std::string& name) override { return m_inner->Open(name); }
  void Close() override { m_inner->Close(); }
  bool IsOpen() const override { return m_inner->IsOpen(); }
  void Write(std::span<const std::uint8_t> bytes) override {
    bytesOnWire += static_cast<long long>(bytes.size());
    m_inner->Write(bytes);
  }
  int BytesAvailable() override { return m_inner->BytesAvailable(); }
  std::vector<std::uint8_t> Read(int count) override {
    auto out = m_inner->Read(count);
    bytesOnWire += static_cast<long long>(out.size());
    return out;
  }
  void DiscardInput() override { m_inner->DiscardInput(); }
  bool WaitForBytes(int count, QDeadlineTimer deadline) override { return m_inner->WaitForBytes(count, deadline); }
  void Interrupt(bool on) override { m_inner->Interrupt(on); }

  long long bytesOnWire = 0;

 private:
  std::unique_ptr<link::SerialLine> m_inner;
};

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
Figures Measure(CountingLine& line, link::Ports& ports, F operation) {
  const long long bytes0 = line.bytesOnWire;
  const long long waited0 = ports.WaitedMs();
  const double cpu0 = CpuSeconds();
  QElapsedTimer clock;
  clock.start();
  const bool ok = operation();
  Figures f;
  f.measuredMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  f.cpuMs = (CpuSeconds() - cpu0) * 1000.0;
  f.floorMs = static_cast<double>(line.bytesOnWire - bytes0) * 11.0 * 1000.0 / 1200.0 +
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
  } modes[] = {{true, false, "echo"}, {false, false, "noecho"}, {true, true, "echo+trace"}};
  for (const auto& mode : modes) {
    const bool echo = mode.echo;
    QTemporaryDir dir;
    const QString linkPath = dir.filePath("sensor");
    QProcess sim;
    QStringList args{"--link", linkPath, "--baud-timing"};
    if (!echo) args << "--noecho";
    sim.start(RKT_SIM_PATH, args);
    while (sim.state() != QProcess::NotRunning && !sim.canReadLine()) sim.waitForReadyRead(5000);
    if (!sim.canReadLine()) {
      std::fprintf(stderr, "rkt410-sim did not start\n");
      return 1;
    }
    auto counting = std::make_unique<CountingLine>(std::make_unique<link::QtSerialLine>());
    CountingLine& line = *counting;
    link::Ports ports(std::move(counting));
    link::PortSettings settings;
    settings.echo = echo;
    ports.InitPorts(settings);
    ports.OpenPort(linkPath.toStdString());
    if (!ports.IsPortOpen()) {
      std::fprintf(stderr, "cannot open %s\n", qPrintable(linkPath));
      return 1;
    }
    link::SerialTrace trace;
    if (mode.trace && trace.Open(dir.filePath("trace.txt").toStdString(), linkPath.toStdString()))
      ports.SetTrace(&trace);
    DataSet data;
    QuietUser user;
    link::Sensor sensor(ports, data, user);

    std::vector<Figures> reads;
    std::vector<Figures> writes;
    std::vector<Figures> checks;
    for (int i = 0; i < runs; ++i) {
      reads.push_back(Measure(line, ports, [&] { return sensor.SensorRead(); }));
      data.SetValue(ValueId::TimeValue1, 10 + i);
      writes.push_back(Measure(line, ports, [&] { return sensor.SensorWrite(); }));
      // What the read-back check after every write costs: one "LP" of the
      // parameter block, as the write sends it.
      DataSet::Block block{};
      checks.push_back(Measure(line, ports, [&] { return sensor.ReadBlock(true, link::kBlockParams, block) == 0; }));
    }
    for (const auto* set : {&reads, &writes, &checks})
      for (const Figures& f : *set)
        if (f.measuredMs < 0) ++failures;
    Print("read", mode.name, reads);
    Print("write", mode.name, writes);
    Print("check", mode.name, checks);
    ports.ClosePort();
    sim.terminate();
    sim.waitForFinished(5000);
  }
  if (failures) std::fprintf(stderr, "%d operations failed\n", failures);
  return failures ? 1 : 0;
}
