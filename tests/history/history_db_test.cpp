#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <latch>
#include <thread>

#include "history/history_db.h"
#include "history/plant_journal.h"
#include "model/data_code.h"

namespace rkt::history {
namespace {

link::WriteRecord Record(int serial, std::uint8_t time1Before, std::uint8_t time1After) {
  link::WriteRecord r;
  r.port = "/dev/ttyUSB0";
  r.identBefore[ident::kSerialHigh] = static_cast<std::uint8_t>(serial >> 8);
  r.identBefore[ident::kSerialLow] = static_cast<std::uint8_t>(serial & 255);
  r.identBefore[ident::kVersion1] = 4;
  r.identBefore[ident::kTypeCode] = 2;
  r.identAfter = r.identBefore;
  r.paramsBefore[param::kSwitchingFrequency] = 5;
  r.paramsAfter[param::kSwitchingFrequency] = 81;
  r.paramsBefore[param::kTimeValue1] = time1Before;
  r.paramsAfter[param::kTimeValue1] = time1After;
  r.codeBefore = "BEFORE-" + std::to_string(serial);
  r.codeAfter = "AFTER-" + std::to_string(serial);
  return r;
}

// The table as the first version of the program made it.
const char* const kFirstVersion =
    "CREATE TABLE writes (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, port TEXT NOT NULL, serial INTEGER "
    "NOT NULL, type INTEGER NOT NULL, version TEXT NOT NULL, ident_before BLOB NOT NULL, params_before BLOB NOT NULL, "
    "code_before TEXT NOT NULL, ident_after BLOB NOT NULL, params_after BLOB NOT NULL, code_after TEXT NOT NULL, "
    "program TEXT NOT NULL, result TEXT, code INTEGER)";

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HistoryDbTest : public ::testing::Test {
 protected:
  QString Path() const { return m_dir.filePath("sub/history.sqlite"); }
  // SQL through a connection of its own: the first column of the last
  // statement's first row, "ok" without one, "" when it fails.
  QString Exec(const QString& path, const QStringList& statements) {
    QString out;
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
      db.setDatabaseName(path);
      bool ok = db.open();
      QSqlQuery q(db);
      for (const QString& s : statements) ok = ok && q.exec(s);
      out = ok && q.next() ? q.value(0).toString() : ok ? "ok" : "";
    }
    QSqlDatabase::removeDatabase("raw");
    return out;
  }
  QTemporaryDir m_dir;
};

TEST_F(HistoryDbTest, RecordsComeBackNewestFirstWithTheirResult) {
  HistoryDb db(Path());
  const std::int64_t a = db.Begin(Record(42, 10, 40));
  const std::int64_t b = db.Begin(Record(7, 20, 21));
  const std::int64_t c = db.Begin(Record(42, 40, 50));  // never completed: the program died
  ASSERT_GT(a, 0) << db.Error();
  const auto seen = HistoryDb(Path()).Get(c);  // committed at once, not kept back
  ASSERT_TRUE(seen && seen->result == "interrupted");
  EXPECT_EQ(Exec(Path(), {"PRAGMA journal_mode"}), "wal");
  EXPECT_EQ(Exec(Path(), {"PRAGMA user_version"}), QString::number(HistoryDb::kSchemaVersion));
  EXPECT_EQ(Exec(Path(), {"PRAGMA integrity_check"}), "ok");
  ASSERT_TRUE(db.Complete(a, link::WriteResult::VerifyFailed, 1040));
  ASSERT_TRUE(db.Complete(b, link::WriteResult::Done, 0));
  EXPECT_FALSE(db.Complete(999, link::WriteResult::Done, 0)) << "no such record";

  const auto all = db.List();
  ASSERT_TRUE(all) << db.Error();
  ASSERT_EQ(all->size(), 3u);
  EXPECT_EQ((*all)[0].id, c);
  EXPECT_EQ((std::vector<std::string>{(*all)[0].result, (*all)[1].result, (*all)[2].result}),
            (std::vector<std::string>{"interrupted", "done", "verify-failed"}));
  const HistoryEntry& e = (*all)[2];
  EXPECT_EQ(std::tie(e.code, e.serial, e.type, e.version, e.port, e.codeBefore),
            std::make_tuple(1040, 42, 2, std::string("4.0.0"), std::string("/dev/ttyUSB0"), std::string("BEFORE-42")));
  EXPECT_EQ(e.paramsBefore[param::kTimeValue1] * 256 + e.paramsAfter[param::kTimeValue1], 10 * 256 + 40);
  EXPECT_EQ(e.time.size(), 24u) << "ISO 8601 with milliseconds: " << e.time;

  const auto only = db.List(42);
  ASSERT_TRUE(only && only->size() == 2u);
  EXPECT_EQ(std::tuple((*only)[0].id, (*only)[1].id), std::tuple(c, a));
  const auto one = db.Get(b);
  EXPECT_TRUE(one && one->codeAfter == "AFTER-7" && !db.Get(12345));
}

// What a write leaves for later: the sensor's names, what it held after a failed check, and an
// interrupted write told once, also to the next program that opens the database.
TEST_F(HistoryDbTest, NamesHeldValuesAndInterruptionsToldOnce) {
  HistoryDb db(Path());
  link::WriteRecord named = Record(42, 10, 40);
  for (std::size_t i = 0; i < 16; ++i) named.names[0][i + 1] = static_cast<std::uint8_t>("RKT 410-DL/2    "[i]);
  named.names[2][1] = 'X';
  const std::int64_t failed = db.Begin(named);
  const std::int64_t old = db.Begin(Record(7, 1, 2));   // interrupted, before the next two
  const std::int64_t done = db.Begin(Record(7, 2, 3));
  const std::int64_t newest = db.Begin(named);          // interrupted
  DataSet::Block held = named.paramsAfter;
  held[param::kTimeValue1] = 10;
  ASSERT_TRUE(db.RecordHeld(failed, held) && db.Complete(failed, link::WriteResult::VerifyFailed, 1040)) << db.Error();
  ASSERT_TRUE(db.Complete(done, link::WriteResult::Done, 0));
  EXPECT_FALSE(db.RecordHeld(999, held)) << "no such record";
  const auto f = db.Get(failed);
  ASSERT_TRUE(f);
  EXPECT_EQ(std::tuple(Designation(*f), f->names[2][1], f->paramsHeld, f->result),
            std::tuple(std::string("RKT 410-DL/2"), std::uint8_t{'X'}, std::optional(held), std::string("verify-failed")));
  EXPECT_EQ(HeldSettingOf(*f)->GetInt(ValueId::TimeValue1, kWorkingCopy), 10);
  EXPECT_EQ(SettingOf(*f, false).GetInt(ValueId::TimeValue1, kWorkingCopy), 40);
  const auto d = db.Get(done);
  EXPECT_TRUE(d && Designation(*d).empty() && !d->paramsHeld && !HeldSettingOf(*d)) << "no names, no failed check";
  // Told: the newest interruption, then none, in this program and the next.
  const auto told = db.UnreportedInterruption();
  ASSERT_TRUE(told);
  EXPECT_EQ(told->id, newest);
  ASSERT_TRUE(db.MarkReported(told->id));
  EXPECT_FALSE(db.UnreportedInterruption()) << "the older one went with it";
  EXPECT_FALSE(HistoryDb(Path()).UnreportedInterruption()) << "kept in the database";
  EXPECT_TRUE(db.Get(old)->reported && !db.Get(done)->reported && db.Get(done)->result == "done");
  const std::int64_t later = db.Begin(Record(8, 1, 2));
  const auto next = HistoryDb(Path()).UnreportedInterruption();
  EXPECT_TRUE(next && next->id == later) << "a new interruption is told again";
}

TEST_F(HistoryDbTest, AFirstVersionDatabaseIsUpgradedInPlace) {
  QDir().mkpath(m_dir.filePath("sub"));
  ASSERT_FALSE(Exec(Path(), {kFirstVersion,
                              "INSERT INTO writes VALUES (NULL, '2025-01-02T03:04:05.000Z', 'COM1', 815, 5, '3.0.1', "
                              "x'00', x'00', 'OLD-BEFORE', x'00', x'00', 'OLD-AFTER', 'rkt410 0.9', 'done', 0)",
                              "PRAGMA user_version=1"}).isEmpty());
  HistoryDb db(Path());
  ASSERT_TRUE(db.Open()) << db.Error();
  const auto all = db.List(815);
  ASSERT_TRUE(all && all->size() == 1u) << "the old record is kept: " << db.Error();
  EXPECT_EQ((*all)[0].codeBefore, "OLD-BEFORE");
  EXPECT_TRUE(Designation((*all)[0]).empty() && !(*all)[0].paramsHeld && !(*all)[0].reported) << "new columns, old record";
  EXPECT_EQ((*all)[0].uid.size(), 36u) << "version 5 gives every record its uid";
  EXPECT_TRUE((*all)[0].station.empty()) << "where an old record was written is not known";
  const std::int64_t id = db.Begin(Record(815, 3, 4));
  ASSERT_GT(id, 0) << db.Error();
  EXPECT_TRUE(db.Complete(id, link::WriteResult::Cancelled, 1030)) << "the column of the new version is there";
  EXPECT_TRUE(db.RecordHeld(id, {}) && db.MarkReported(id)) << "and those of the version after it";
  const auto added = db.Get(id);
  ASSERT_TRUE(added);
  EXPECT_EQ(added->station, StationName());
  EXPECT_NE(added->uid, (*all)[0].uid);
  EXPECT_EQ(Exec(Path(), {"SELECT count(*) FROM writes WHERE outbox IS NOT NULL"}), "0") << "no outbox without a server";
}

QString Hex(const DataSet::Block& b) {
  return "x'" + QByteArray(reinterpret_cast<const char*>(b.data() + 1), kBlockSize).toHex() + "'";
}

// The version before this one, as its program left it: every record stays, and one whose check failed gets what the
// sensor kept as a data code, the same code a record of this version gets.
TEST_F(HistoryDbTest, AThirdVersionDatabaseKeepsItsRecordsAndGetsTheCodeOfWhatTheSensorKept) {
  QDir().mkpath(m_dir.filePath("sub"));
  const link::WriteRecord r = Record(815, 10, 40);
  DataSet::Block held = r.paramsAfter;
  held[param::kTimeValue1] = 10;  // the first time did not take
  const QString insert = QString("INSERT INTO writes (time, port, serial, type, version, ident_before, params_before, "
                                 "code_before, ident_after, params_after, code_after, program, result, code, params_held)"
                                 " VALUES ('2025-01-02T03:04:05.000Z', 'COM1', 815, 2, '4.0.0', %1, %2, 'OLD-BEFORE', "
                                 "%1, %3, 'OLD-AFTER', 'rkt410 1.0', %4, %5, %6)")
                             .arg(Hex(r.identBefore), Hex(r.paramsBefore), Hex(r.paramsAfter));
  ASSERT_FALSE(Exec(Path(), {kFirstVersion, "ALTER TABLE writes ADD COLUMN finished TEXT",
                             "CREATE INDEX writes_serial ON writes (serial, id)",
                             "ALTER TABLE writes ADD COLUMN names BLOB", "ALTER TABLE writes ADD COLUMN params_held BLOB",
                             "ALTER TABLE writes ADD COLUMN reported INTEGER NOT NULL DEFAULT 0",
                             insert.arg("'verify-failed'", "1040", Hex(held)), insert.arg("NULL", "NULL", "NULL"),
                             "PRAGMA user_version=3"}).isEmpty());
  HistoryDb db(Path());
  const auto all = db.List();
  ASSERT_TRUE(all && all->size() == 2u) << "every old record is kept: " << db.Error();
  const HistoryEntry &interrupted = (*all)[0], &failed = (*all)[1];
  EXPECT_EQ(std::tuple(failed.code, failed.codeBefore, failed.paramsHeld, failed.kind, interrupted.result, interrupted.codeKept),
            std::tuple(1040, std::string("OLD-BEFORE"), std::optional(held), std::string("write"), std::string("interrupted"),
                       std::string()));
  DataSet kept;
  ASSERT_TRUE(ApplyDataCode(kept, failed.codeKept)) << failed.codeKept;
  EXPECT_EQ(kept.GetInt(ValueId::TimeValue1, kWorkingCopy), 10) << "the code carries what the sensor held";
  // A record of this version: the same code for the same bytes, and the kind of write it was.
  link::WriteRecord sensitivity = r;
  sensitivity.kind = link::WriteKind::Sensitivity;
  sensitivity.paramsAfter[param::kSensitivity] = 87;
  const std::int64_t id = db.Begin(sensitivity);
  ASSERT_TRUE(db.RecordHeld(id, held)) << db.Error();
  const auto now = db.Get(id);
  ASSERT_TRUE(now);
  EXPECT_EQ(std::tuple(now->kind, now->codeKept, SettingOf(*now, false).GetInt(ValueId::Sensitivity, kWorkingCopy)),
            std::tuple(std::string("sensitivity"), failed.codeKept, 80));
  EXPECT_EQ(std::pair(SettingOf(*now, true).SensitivityValid(), SettingOf(failed, true).SensitivityValid()), std::pair(1, 0))
      << "only a sensitivity write knows the sensitivity";
}

TEST_F(HistoryDbTest, UnusableDatabasesFailWithAReasonAndChangeNothing) {
  QDir().mkpath(m_dir.filePath("sub"));
  QFile f(Path());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);  // not a database at all
  f.close();
  HistoryDb damaged(Path());
  EXPECT_EQ(damaged.Begin(Record(1, 1, 2)), 0);
  EXPECT_NE(damaged.Error(), "");
  EXPECT_EQ(damaged.Problem(), Path().toStdString() + ": die Datenbank ist beschädigt") << damaged.Error();
  EXPECT_EQ(FileBytes(Path()), QByteArray(4096, 'x')) << "left for the user";
  // A newer program's database, in the journal mode it chose: refused, not a byte of it changed, no WAL begun.
  const QString newer = m_dir.filePath("sub/newer.sqlite");
  ASSERT_EQ(Exec(newer, {"CREATE TABLE future (x)", "INSERT INTO future VALUES (1)", "PRAGMA user_version=99",
                         "PRAGMA journal_mode"}), "delete");
  const QByteArray newerBytes = FileBytes(newer);
  HistoryDb future(newer);
  EXPECT_TRUE(!future.Open() && future.Error().find("newer") != std::string::npos) << future.Error();
  EXPECT_EQ(future.Problem(), newer.toStdString() + ": die Datenbank stammt von einer neueren Programmversion (Schema 99)");
  EXPECT_FALSE(future.CheckWritable() || future.Begin(Record(1, 1, 2)) != 0);
  EXPECT_EQ(FileBytes(newer), newerBytes) << "the newer database is exactly as it was";
  EXPECT_FALSE(QFile::exists(newer + "-wal")) << "not switched to WAL";
  EXPECT_EQ(Exec(newer, {"PRAGMA journal_mode"}), "delete");
  // An upgrade whose third step fails (a column added by hand): its first steps are undone too, so that the
  // database stays the old version the next program can upgrade once the column is gone.
  const QString hand = m_dir.filePath("sub/hand.sqlite");
  ASSERT_EQ(Exec(hand, {kFirstVersion, "ALTER TABLE writes ADD COLUMN finished TEXT",
                        "ALTER TABLE writes ADD COLUMN names BLOB", "ALTER TABLE writes ADD COLUMN params_held BLOB",
                        "ALTER TABLE writes ADD COLUMN reported INTEGER NOT NULL DEFAULT 0",
                        "ALTER TABLE writes ADD COLUMN kind TEXT NOT NULL DEFAULT 'write'",
                        "ALTER TABLE writes ADD COLUMN code_kept TEXT", "ALTER TABLE writes ADD COLUMN outbox INTEGER",
                        "PRAGMA user_version=4"}), "ok");
  {
    HistoryDb upgrade(hand);
    EXPECT_TRUE(!upgrade.Open() && upgrade.Error().find("outbox") != std::string::npos) << upgrade.Error();
  }
  EXPECT_EQ(Exec(hand, {"SELECT count(*) FROM pragma_table_info('writes') WHERE name IN ('uid', 'station')"}), "0")
      << "the steps before the failing one are undone";
  EXPECT_EQ(Exec(hand, {"PRAGMA user_version"}), "4");
}

// Several programs opening one new (or first-version) database at the same moment: each creates or upgrades it,
// or finds it done, and every one's record is stored and completed.
TEST_F(HistoryDbTest, ProgramsOpeningOneNewDatabaseAtOnceAllKeepTheirRecords) {
#if defined(_WIN32)
  // Under wine this test passes alone but, beside other tests, once stayed
  // until its time-out; the cause is not found yet.
  GTEST_SKIP() << "not reliable under wine beside other tests";
#endif
  constexpr int kPrograms = 4, kRounds = 12;
  for (const bool firstVersion : {false, true}) {
    int failed = 0;
    for (int round = 0; round < kRounds; ++round) {
      const QString path = m_dir.filePath(QStringLiteral("race/%1-%2.sqlite").arg(firstVersion).arg(round));
      QDir().mkpath(m_dir.filePath("race"));
      if (firstVersion) {
        ASSERT_EQ(Exec(path, {kFirstVersion, "PRAGMA user_version=1"}), "ok");
      }
      std::latch start(kPrograms);
      std::vector<std::string> errors(kPrograms);
      // Qt's own threads: Qt SQL keeps per-thread data that a thread Qt did
      // not start may end with a crash (seen on Windows).
      std::vector<std::unique_ptr<QThread>> programs;
      for (int i = 0; i < kPrograms; ++i) {
        programs.emplace_back(QThread::create([&, i] {
          HistoryDb db(path);  // a connection of its own, as another program has
          start.arrive_and_wait();
          const std::int64_t id = db.Begin(Record(100 + i, 1, 2));
          if (id == 0 || !db.Complete(id, link::WriteResult::Done, 0)) errors[static_cast<std::size_t>(i)] = db.Error();
        }));
        programs.back()->start();
      }
      for (const auto& t : programs) t->wait();
      for (const std::string& e : errors) {
        failed += !e.empty();
        EXPECT_EQ(e, "") << (firstVersion ? "upgrade" : "new") << " round " << round;
      }
      const auto all = HistoryDb(path).List();
      ASSERT_TRUE(all) << path.toStdString();
      EXPECT_EQ(all->size(), static_cast<std::size_t>(kPrograms)) << "round " << round;
      for (const HistoryEntry& e : *all) EXPECT_EQ(e.result, "done") << "record " << e.id;
    }
    EXPECT_EQ(failed, 0) << (firstVersion ? "upgrade" : "new") << ": writes without a record";
  }
}

// Another program's write lock is waited out for the busy timeout (a second) and no longer: the write is not
// recorded, and the database is usable again once the lock is gone.
TEST_F(HistoryDbTest, ALockedDatabaseGivesUpInsteadOfHanging) {
  HistoryDb db(Path());
  ASSERT_TRUE(db.Open()) << db.Error();
  {
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "locker");
    other.setDatabaseName(Path());
    ASSERT_TRUE(other.open());
    QSqlQuery q(other);
    ASSERT_TRUE(q.exec("BEGIN EXCLUSIVE"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(db.Begin(Record(1, 1, 2)), 0) << "not reported as recorded";
    EXPECT_LT(clock.elapsed(), 15000) << "a lock that stays is waited for far beyond the busy timeout";
    EXPECT_FALSE(db.Error().empty());
    q.exec("ROLLBACK");
  }
  QSqlDatabase::removeDatabase("locker");
  const std::int64_t id = db.Begin(Record(2, 1, 2));
  EXPECT_GT(id, 0) << "usable again once the other program lets go: " << db.Error();
  const auto all = db.List();
  ASSERT_TRUE(all && all->size() == 1u) << "nothing of the refused write is kept";
  EXPECT_EQ(std::pair((*all)[0].id, (*all)[0].serial), std::pair(id, 2));
}

// A lock another program takes between the record and its result, and holds past the busy timeout: the result
// is stored once it lets go, rather than the record staying "interrupted".
TEST_F(HistoryDbTest, TheResultWaitsOutALockTakenAfterTheRecord) {
  HistoryDb db(Path());
  const std::int64_t id = db.Begin(Record(5, 1, 2));
  ASSERT_GT(id, 0) << db.Error();
  std::latch locked(2);
  std::atomic<bool> released{false};
  std::thread other([&] {
    {
      QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "holder");
      c.setDatabaseName(Path());
      const bool opened = c.open();
      QSqlQuery q(c);
      const bool ok = opened && q.exec("BEGIN EXCLUSIVE");
      locked.arrive_and_wait();
      if (ok) QThread::msleep(2 * HistoryDb::kBusyTimeoutMs);  // the other program's long transaction
      released = true;
      q.exec("ROLLBACK");
    }
    QSqlDatabase::removeDatabase("holder");
  });
  locked.arrive_and_wait();
  const bool completed = db.Complete(id, link::WriteResult::Done, 0);
  const bool waited = released;
  other.join();
  EXPECT_TRUE(completed) << db.Error();
  EXPECT_TRUE(waited) << "the lock was still held";
  const auto entry = db.Get(id);
  EXPECT_TRUE(entry && entry->result == "done");
  // Taken before the record, the same lock still gives up after the busy timeout, with its reason.
  {
    QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "holder2");
    c.setDatabaseName(Path());
    ASSERT_TRUE(c.open());
    QSqlQuery q(c);
    ASSERT_TRUE(q.exec("BEGIN EXCLUSIVE"));
    EXPECT_EQ(db.Begin(Record(6, 1, 2)), 0);
    EXPECT_EQ(db.Problem(), Path().toStdString() + ": die Datenbank ist von einem anderen Programm gesperrt");
    EXPECT_FALSE(db.CheckWritable());
    q.exec("ROLLBACK");
  }
  QSqlDatabase::removeDatabase("holder2");
  EXPECT_TRUE(db.CheckWritable()) << db.Error();
}

// A station's ports each have a journal that finds the server gone or back
// on its own; the user hears each change once, and in its order, however
// the ports' threads meet.
TEST(ServerNotices, EachChangeIsToldOnceAndInOrderFromManyThreads) {
  std::vector<bool> told;  // reachable, per notice passed on
  const ServerNoticeFn tell = TellOnChange([&](const ServerNotice& n) { told.push_back(n.reachable); });
  for (const bool reachable : {false, false, true, true, false}) tell({reachable, "s: refused", 0});
  EXPECT_EQ(told, (std::vector<bool>{false, true, false}));

  told.clear();
  std::vector<std::thread> ports;
  for (int p = 0; p < 8; ++p)
    ports.emplace_back([&tell, p] {
      for (int i = 0; i < 2000; ++i) tell({(i / (p + 1)) % 2 == 0, "s: refused", 0});
    });
  for (std::thread& t : ports) t.join();
  ASSERT_GT(told.size(), 2u);
  EXPECT_TRUE(told.front()) << "the ports' first look finds the server";
  for (std::size_t i = 1; i < told.size(); ++i) ASSERT_NE(told[i], told[i - 1]) << "notice " << i << " repeats";
}

}  // namespace
}  // namespace rkt::history
