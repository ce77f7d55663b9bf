// The plant's history on a real PostgreSQL server: the fixture
// (postgres.sh) starts one for the run; a test that finds none fails, unless
// the run was told to do without (RKT_SKIP_POSTGRES=1).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <csignal>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "history/plant_journal.h"
#include "model/parameter_file.h"
#include "support/cli_run.h"
#include "text/reason_texts.h"

namespace rkt::history {
namespace {

const QString kScript = QStringLiteral(RKT_SOURCE_DIR "/tests/history/postgres.sh");

link::WriteRecord Record(int serial, std::uint8_t time1) {
  link::WriteRecord r;
  r.port = "/dev/ttyUSB" + std::to_string(serial % 4);
  r.identBefore[ident::kSerialHigh] = static_cast<std::uint8_t>(serial >> 8);
  r.identBefore[ident::kSerialLow] = static_cast<std::uint8_t>(serial & 255);
  r.identBefore[ident::kVersion1] = 4;
  r.identBefore[ident::kTypeCode] = 2;
  r.identAfter = r.identBefore;
  r.paramsBefore[param::kTimeValue1] = 1;
  r.paramsAfter[param::kTimeValue1] = time1;
  r.codeBefore = "BEFORE-" + std::to_string(serial);
  r.codeAfter = "AFTER-" + std::to_string(serial);
  r.names[0][1] = 'R';
  return r;
}

bool SkipServer() { return qEnvironmentVariable("RKT_SKIP_POSTGRES") == QStringLiteral("1"); }

// The address a server started by the script in `state` has; "" when none.
QString AddressIn(const QString& state) {
  QFile f(state + "/address");
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

bool Script(const QString& command, const QString& state) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(QStringLiteral("bash"), {kScript, command, state});
  return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One statement through a connection of its own: the first column of its
// rows.
QStringList Query(const QString& address, const QString& sql) {
  QStringList out;
  {
    const QUrl url(address);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("raw"));
    db.setHostName(url.host());
    db.setPort(url.port());
    db.setUserName(url.userName());
    db.setDatabaseName(url.path().mid(1));
    EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    QSqlQuery q(db);
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    while (q.next()) out << q.value(0).toString();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("raw"));
  return out;
}

// The records of a database by their uid.
std::map<std::string, HistoryEntry> ByUid(HistoryDb& db) {
  std::map<std::string, HistoryEntry> out;
  const auto all = db.List();
  EXPECT_TRUE(all) << db.Error();
  if (!all) return out;
  for (const HistoryEntry& e : *all) EXPECT_TRUE(out.emplace(e.uid, e).second) << "uid twice: " << e.uid;
  return out;
}

// The same record in two databases: everything but the number each gave it.
void ExpectSame(const HistoryEntry& a, const HistoryEntry& b) {
  EXPECT_EQ(std::tie(a.time, a.port, a.serial, a.type, a.version, a.codeBefore, a.codeAfter, a.program, a.result, a.code),
            std::tie(b.time, b.port, b.serial, b.type, b.version, b.codeBefore, b.codeAfter, b.program, b.result, b.code));
  EXPECT_EQ(std::tie(a.identBefore, a.paramsBefore, a.identAfter, a.paramsAfter, a.names, a.paramsHeld),
            std::tie(b.identBefore, b.paramsBefore, b.identAfter, b.paramsAfter, b.names, b.paramsHeld));
  EXPECT_EQ(std::tie(a.codeKept, a.kind, a.finished, a.uid, a.station),
            std::tie(b.codeKept, b.kind, b.finished, b.uid, b.station));
}

class PlantHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SkipServer()) GTEST_SKIP() << "RKT_SKIP_POSTGRES=1: skipped without a PostgreSQL server";
    const QString address = AddressIn(QStringLiteral(RKT_POSTGRES_STATE));
    ASSERT_FALSE(address.isEmpty()) << "no PostgreSQL server: the fixture PlantHistory.StartServer has not started one "
                                       "(run the tests through ctest, or set RKT_SKIP_POSTGRES=1)";
    // A database of the test's own on the run's server.
    const QString name = QStringLiteral("t%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    Query(address, "CREATE DATABASE " + name);
    QUrl url(address);
    url.setPath("/" + name);
    m_address = url.toString();
  }
  QString Local(const QString& name = "local.sqlite") const { return m_dir.filePath(name); }
  int Count(const QString& sql = "SELECT count(*) FROM writes") { return Query(m_address, sql).value(0).toInt(); }

  QTemporaryDir m_dir;
  QString m_address;
};

TEST_F(PlantHistoryTest, RecordsRoundTripThroughTheServer) {
  PlantJournal journal(m_address, Local());
  const std::int64_t failed = journal.Begin(Record(42, 40));
  DataSet::Block held = Record(42, 40).paramsAfter;
  held[param::kTimeValue1] = 7;
  ASSERT_TRUE(journal.RecordHeld(failed, held) && journal.Complete(failed, link::WriteResult::VerifyFailed, 1040));
  link::WriteRecord sens = Record(7, 20);
  sens.kind = link::WriteKind::Sensitivity;
  ASSERT_TRUE(journal.Complete(journal.Begin(sens), link::WriteResult::Done, 0));
  ASSERT_GT(journal.Begin(Record(42, 50)), 0);  // never ended
  ASSERT_TRUE(journal.Flush(20000));

  HistoryDb server(m_address);
  auto local = ByUid(journal.LocalHistory());
  auto remote = ByUid(server);
  ASSERT_EQ(remote.size(), 3u);
  for (const auto& [uid, entry] : local) {
    ASSERT_TRUE(remote.count(uid)) << uid;
    ExpectSame(entry, remote[uid]);
  }
  EXPECT_EQ(remote[local.begin()->first].station, StationName());
  EXPECT_EQ(Query(m_address, "SELECT obj_description('writes'::regclass, 'pg_class')"),
            QStringList{QString::number(HistoryDb::kSchemaVersion)});
  const auto only = server.List(42);
  ASSERT_TRUE(only && only->size() == 2u);
  EXPECT_EQ((*only)[0].result, "interrupted") << "newest first";
  EXPECT_EQ((*only)[1].codeKept, local[(*only)[1].uid].codeKept);
  ASSERT_FALSE(local[(*only)[1].uid].codeKept.empty());
  EXPECT_EQ(server.Get((*only)[1].id)->result, "verify-failed");
  EXPECT_EQ(journal.LocalHistory().Outbox(10)->size(), 0u);
}

// The command line: a write goes to the server through the station's file,
// and the plant's history answers for a serial number.
TEST_F(PlantHistoryTest, CommandLineWritesAndReadsThePlant) {
  const std::string job = Local("job.RKT").toStdString(), db = m_address.toStdString();
  test::CliOk({"read", "--simulate", "-o", job});
  DataSet ds;
  ASSERT_EQ(LoadParameterFile(ds, job), LoadStatus::Ok);
  ds.SetValue(ValueId::TimeValue1, 40);  // differs from the simulated sensor's
  ASSERT_TRUE(SaveParameterFile(ds, job).ok);
  const test::CliResult w =
      test::Cli({"write", "--simulate", "--history-db", db, "--local-history", Local().toStdString(), job});
  ASSERT_EQ(w.code, 0) << w.err;
  const QJsonArray records = test::Json(test::CliOk({"history", "--history-db", db, "--json"})).array();
  ASSERT_EQ(records.size(), 1);
  const QJsonObject r = records[0].toObject();
  EXPECT_EQ(r["station"].toString().toStdString(), StationName());
  EXPECT_EQ(r["result"].toString(), "done");
  const std::string serial = std::to_string(r["serial"].toInt());
  EXPECT_NE(test::CliOk({"history", "--history-db", db, "--serial", serial}).find(StationName()), std::string::npos);
  EXPECT_EQ(test::CliOk({"history", "--history-db", db, "--serial", "65535"}), "");
  EXPECT_EQ(test::Cli({"write", "--simulate", "--local-history", "x.sqlite", job}).code, cli::kExitUsage);
}

// Two stations at once, each with its own file, one server: every record
// once.
TEST_F(PlantHistoryTest, TwoJournalsWriteConcurrently) {
  constexpr int kEach = 60;
  std::atomic<int> stored{0};
  const auto station = [&](const QString& local) {
    PlantJournal journal(m_address, local);
    for (int i = 0; i < kEach; ++i) {
      const std::int64_t id = journal.Begin(Record(i, static_cast<std::uint8_t>(i)));
      if (id != 0 && journal.Complete(id, link::WriteResult::Done, 0)) ++stored;
    }
    EXPECT_TRUE(journal.Flush(30000));
  };
  std::thread a(station, Local("a.sqlite")), b(station, Local("b.sqlite"));
  a.join();
  b.join();
  EXPECT_EQ(stored, 2 * kEach);
  EXPECT_EQ(Count(), 2 * kEach);
  EXPECT_EQ(Count("SELECT count(DISTINCT uid) FROM writes WHERE result = 'done'"), 2 * kEach);
}

// The server goes away and comes back: the writes do not wait for it, the
// user is told once, and the records kept meanwhile reach it once.
TEST_F(PlantHistoryTest, RecordsKeptWhileTheServerIsAwayReachItOnce) {
  const QString state = m_dir.filePath("own-server");
  ASSERT_TRUE(Script("start", state));
  const QString address = AddressIn(state);
  std::mutex mutex;
  std::vector<ServerNotice> notices;
  {
    PlantJournal journal(address, Local(), [&](const ServerNotice& n) {
      const std::lock_guard lock(mutex);
      notices.push_back(n);
    });
    ASSERT_TRUE(journal.Complete(journal.Begin(Record(1, 1)), link::WriteResult::Done, 0));
    ASSERT_TRUE(journal.Flush(20000));
    ASSERT_TRUE(Script("kill", state));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i) {
      const std::int64_t id = journal.Begin(Record(100 + i, 2));
      ASSERT_GT(id, 0) << journal.Problem();
      ASSERT_TRUE(journal.Complete(id, link::WriteResult::Done, 0));
      QThread::msleep(50);
    }
    EXPECT_LT(timer.elapsed(), 3000) << "the writes waited for the server";
    EXPECT_FALSE(journal.Flush(300));
    EXPECT_EQ(journal.LocalHistory().Outbox(100)->size(), 20u);
    ASSERT_TRUE(Script("restart", state));
    ASSERT_TRUE(journal.Flush(30000));
  }
  EXPECT_EQ(Query(address, "SELECT count(*), count(DISTINCT uid) FROM writes WHERE result = 'done'").value(0), "21");
  EXPECT_EQ(Query(address, "SELECT count(DISTINCT uid) FROM writes").value(0), "21");
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_FALSE(notices[0].reachable);
  EXPECT_NE(notices[0].problem.find(ReasonText("the database server cannot be reached")), std::string::npos)
      << notices[0].problem;
  EXPECT_TRUE(notices[1].reachable);
  EXPECT_EQ(notices[1].sent, 20);
  Script("stop", state);
}

// What a station killed at any moment leaves: records in its file the server
// has not got, and records the server has got whose outbox entry stayed.
// Each reaches the server once.
TEST_F(PlantHistoryTest, RecordsOfAKilledStationAreSentOnce) {
  {
    HistoryDb outbox(Local());
    outbox.SetOutbox(true);
    HistoryDb server(m_address);
    const std::int64_t notSent = outbox.Begin(Record(1, 1));
    const std::int64_t sentBegun = outbox.Begin(Record(2, 2));
    ASSERT_TRUE(server.Store({*outbox.Get(sentBegun)})) << server.Error();
    ASSERT_TRUE(outbox.Complete(sentBegun, link::WriteResult::Failed, 1001));
    const std::int64_t sentWhole = outbox.Begin(Record(3, 3));
    ASSERT_TRUE(outbox.Complete(sentWhole, link::WriteResult::Done, 0));
    ASSERT_TRUE(server.Store({*outbox.Get(sentWhole)}));
    ASSERT_GT(notSent, 0);
  }
  // Killed for real, again and again, while it writes.
  for (int round = 0; round < 4; ++round) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("RKT_PLANT_CHILD", m_address + "|" + Local());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=PlantHistoryChild.WritesUntilKilled"});
    ASSERT_TRUE(child.waitForStarted());
    QThread::msleep(400 + QRandomGenerator::global()->bounded(800));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished();
  }
  PlantJournal journal(m_address, Local());
  ASSERT_TRUE(journal.Flush(30000));
  HistoryDb server(m_address);
  auto local = ByUid(journal.LocalHistory());
  auto remote = ByUid(server);
  EXPECT_GT(local.size(), 10u);
  ASSERT_EQ(remote.size(), local.size());
  for (const auto& [uid, entry] : local) ExpectSame(entry, remote[uid]);
  EXPECT_EQ(Count("SELECT count(*) FROM writes WHERE result = 'failed' AND code = 1001"), 1);
}

// The station the test above kills: writes records through the plant journal
// until it is killed (only when started so).
TEST(PlantHistoryChild, WritesUntilKilled) {
  const QStringList where = qEnvironmentVariable("RKT_PLANT_CHILD").split('|');
  if (where.size() != 2) return;
  PlantJournal journal(where[0], where[1]);
  for (int i = 0;; ++i) {
    const std::int64_t id = journal.Begin(Record(i, static_cast<std::uint8_t>(i)));
    journal.Complete(id, i % 3 ? link::WriteResult::Done : link::WriteResult::Cancelled, 0);
    QThread::msleep(5);
  }
}

}  // namespace
}  // namespace rkt::history
