// Figures of the whole program, printed in one run: start-up time to the
// main window shown, resident memory after start and after 100 file loads,
// CPU share while idle and while waiting for a sensor that never answers,
// and the largest delay of a timer event during that wait (how responsive
// the window stays). Run by hand: build/bench/rkt410-app-bench.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>

#include "app/frame.h"
#include "app/sensor_link.h"
#include "app/settings_store.h"
#include "sim/sensor_simulator.h"
#include "text/messages.h"
#include "ui/frm_main.h"

namespace {

using namespace rkt;

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double ResidentMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return -1;
}

// Lets the event loop run for ms milliseconds.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Answers every box with its safe answer, as nobody is there to press one.
class NobodyThere : public MessagePresenter {
 public:
  int Present(const MessageBoxRequest& r) override { return SafeAnswer(r.buttons); }
};

// The child run: start the program and end as soon as its window is shown.
int StartOnly(const QString& ini) {
  int argc = 1;
  char name[] = "rkt410";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  SettingsStore store(ini);
  SensorLink link(true);
  Frame frame(store, link, QCoreApplication::applicationDirPath().toStdString());
  frame.Start(false);
  QCoreApplication::processEvents();
  return frame.MainWindow()->isVisible() ? 0 : 1;
}

void Report(const char* what, double value, const char* unit, double goal, bool below = true) {
  const bool met = below ? value < goal : value > goal;
  std::printf("%-44s %9.2f %-4s (goal %s %g %s) %s\n", what, value, unit, below ? "<" : ">", goal, unit,
              met ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  const QString ini = dir.filePath("RKT410.ini");
  if (argc > 2 && std::string(argv[1]) == "--start-only") return StartOnly(QString::fromLocal8Bit(argv[2]));

  // Start-up: a whole process, from its launch to the window on screen.
  double startMs = 1e9;
  for (int i = 0; i < 5; ++i) {
    QElapsedTimer clock;
    clock.start();
    const int rc = QProcess::execute(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--start-only"), ini});
    if (rc == 0) startMs = std::min(startMs, static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }

  QApplication app(argc, argv);
  NobodyThere nobody;
  SetMessagePresenter(&nobody);
  SettingsStore store(ini);
  auto sensor = std::make_shared<sim::SensorSimulator>();
  SensorLink link(sensor);
  Frame frame(store, link, QCoreApplication::applicationDirPath().toStdString());
  frame.Start(false);
  RunFor(500);
  const double rssStart = ResidentMb();
  const QString sample = QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT");
  for (int i = 0; i < 100; ++i) frame.MainWindow()->Files().Load(sample);
  RunFor(200);
  const double rssLoads = ResidentMb();

  // Idle: nothing to do for ten seconds.
  double cpu0 = CpuSeconds();
  RunFor(10000);
  const double idleShare = (CpuSeconds() - cpu0) / 10.0 * 100.0;

  // Waiting: the communication test on a sensor that never answers, with a
  // 10 ms timer standing in for the window's own events.
  sensor->InjectFault({sim::Fault::Silence});
  double worstLateMs = 0;
  QElapsedTimer tick;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (tick.isValid()) worstLateMs = std::max(worstLateMs, static_cast<double>(tick.nsecsElapsed()) / 1e6 - 10.0);
    tick.restart();
  });
  probe.start();
  tick.start();
  cpu0 = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  link.RunCommand(SensorCommand::Test);
  const double waitSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  const double waitShare = (CpuSeconds() - cpu0) / waitSeconds * 100.0;
  probe.stop();
  SetMessagePresenter(nullptr);

  Report("start-up to the main window shown", startMs, "ms", 500);
  Report("resident memory after start", rssStart, "MB", 80);
  Report("resident memory after 100 file loads", rssLoads, "MB", 80);
  Report("CPU while idle for 10 s", idleShare, "%", 1);
  char what[64];
  std::snprintf(what, sizeof what, "CPU while waiting %.0f s for no sensor", waitSeconds);
  Report(what, waitShare, "%", 1);
  Report("largest timer delay during the wait", worstLateMs, "ms", 20);
  frame.ProgramExit();
  return 0;
}
