// Two stations, one PostgreSQL server: each writes its records through a
// plant journal of its own (its own thread, file and connections), once with
// the server up and once while it is killed (pg_ctl stop -m immediate) and
// started again mid-run. Prints what the server got: none lost, none twice.
// Starts its own server with tests/history/postgres.sh; run by hand:
//   build/bench/rkt410-plant-bench [RECORDS-PER-STATION]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "history/plant_journal.h"

using namespace rkt;

namespace {

bool Script(const QString& command, const QString& state) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  p.start(QStringLiteral("bash"), {QStringLiteral(RKT_SOURCE_DIR "/tests/history/postgres.sh"), command, state});
  return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The records on the server, and how many uids among them.
std::pair<int, int> Counted(const QString& address) {
  std::pair<int, int> out{-1, -1};
  {
    const QUrl url(address);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("count"));
    db.setHostName(url.host());
    db.setPort(url.port());
    db.setUserName(url.userName());
    db.setDatabaseName(url.path().mid(1));
    QSqlQuery q(db);
    if (db.open() && q.exec(QStringLiteral("SELECT count(*), count(DISTINCT uid) FROM writes WHERE result = 'done'")) &&
        q.next())
      out = {q.value(0).toInt(), q.value(1).toInt()};
  }
  QSqlDatabase::removeDatabase(QStringLiteral("count"));
  return out;
}

link::WriteRecord Record(int i) {
  link::WriteRecord r;
  r.port = "COM" + std::to_string(1 + i % 8);
  r.identBefore[ident::kSerialHigh] = static_cast<std::uint8_t>(i >> 8);
  r.identBefore[ident::kSerialLow] = static_cast<std::uint8_t>(i & 255);
  r.identAfter = r.identBefore;
  r.paramsAfter[param::kTimeValue1] = static_cast<std::uint8_t>(i);
  return r;
}

// Two stations write `each` records; with `outage`, the server is killed
// after a third of them and started again after two thirds.
bool Run(const QString& state, const QString& address, const QDir& dir, int each, bool outage, int& expected) {
  std::atomic<int> written{0};
  std::atomic<int> toldAway{0}, toldBack{0};
  QElapsedTimer timer;
  timer.start();
  double slowestMs = 0;
  std::mutex slowest;
  const auto station = [&](const QString& local) {
    history::PlantJournal journal(address, local, [&](const history::ServerNotice& n) { ++(n.reachable ? toldBack : toldAway); });
    for (int i = 0; i < each; ++i) {
      QThread::msleep(2);  // a sensor write takes far longer; the records still come fast
      QElapsedTimer one;
      one.start();
      const std::int64_t id = journal.Begin(Record(i));
      if (id != 0 && journal.Complete(id, link::WriteResult::Done, 0)) ++written;
      const double ms = static_cast<double>(one.nsecsElapsed()) / 1e6;
      const std::lock_guard lock(slowest);
      slowestMs = std::max(slowestMs, ms);
    }
    journal.Flush(120000);
  };
  const QString tag = outage ? QStringLiteral("outage") : QStringLiteral("steady");
  std::thread a(station, dir.filePath(tag + "-a.sqlite")), b(station, dir.filePath(tag + "-b.sqlite"));
  if (outage) {
    while (written < 2 * each / 3) QThread::msleep(5);
    Script(QStringLiteral("kill"), state);
    const int atKill = written;
    QThread::msleep(1500);  // the stations write on meanwhile
    std::printf("  server killed after %d records, started again after %d\n", atKill, static_cast<int>(written));
    Script(QStringLiteral("restart"), state);
  }
  a.join();
  b.join();
  const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
  expected += written;
  const auto [count, distinct] = Counted(address);
  std::printf("%s: %d records written by 2 stations in %.2f s (slowest write record %.1f ms)\n", qPrintable(tag),
              static_cast<int>(written), seconds, slowestMs);
  std::printf("  server holds %d, lost %d, doubled %d", count, expected - distinct, count - distinct);
  if (outage) std::printf("; told away %d, back %d", static_cast<int>(toldAway), static_cast<int>(toldBack));
  std::printf("\n");
  return count == expected && distinct == expected;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int each = argc > 1 ? std::max(3, std::atoi(argv[1])) : 500;
  QTemporaryDir dir;
  const QString state = dir.filePath(QStringLiteral("server"));
  if (!Script(QStringLiteral("start"), state)) return 1;
  QFile f(state + "/address");
  f.open(QIODevice::ReadOnly);
  const QString address = QString::fromUtf8(f.readAll()).trimmed();
  int expected = 0;
  const bool steady = Run(state, address, QDir(dir.path()), each, false, expected);
  const bool outage = Run(state, address, QDir(dir.path()), each, true, expected);
  Script(QStringLiteral("stop"), state);
  return steady && outage ? 0 : 1;
}
