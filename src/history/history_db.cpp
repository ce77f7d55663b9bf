#include "history/history_db.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QUuid>
#include <QVariant>
#include <atomic>

#include "model/data_code.h"
#include "rkt_version.h"
#include "text/reason_texts.h"

namespace rkt::history {

namespace {

// Each step takes the schema from version (index) to version (index + 1).
// Version 2 added the time a write ended and the look-up by serial number;
// version 3 the sensor's names, what it held after a failed check, and
// whether the user was told of an interrupted write; version 4 the kind of
// write (the data set or the sensitivity) and what the sensor held as a data
// code, filled in for the records that have it (see FillStep); version 5 the
// record's uid (filled in), the station that wrote it, and the outbox of
// records the plant's server has yet to get (see plant_journal.h). Written
// for SQLite; SqlDialect::Step gives them to a server.
const char* const kSteps[][5] = {
    {"CREATE TABLE writes (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, port TEXT NOT NULL,"
     " serial INTEGER NOT NULL, type INTEGER NOT NULL, version TEXT NOT NULL,"
     " ident_before BLOB NOT NULL, params_before BLOB NOT NULL, code_before TEXT NOT NULL,"
     " ident_after BLOB NOT NULL, params_after BLOB NOT NULL, code_after TEXT NOT NULL,"
     " program TEXT NOT NULL, result TEXT, code INTEGER)"},
    {"ALTER TABLE writes ADD COLUMN finished TEXT", "CREATE INDEX writes_serial ON writes (serial, id)"},
    {"ALTER TABLE writes ADD COLUMN names BLOB", "ALTER TABLE writes ADD COLUMN params_held BLOB",
     "ALTER TABLE writes ADD COLUMN reported INTEGER NOT NULL DEFAULT 0"},
    {"ALTER TABLE writes ADD COLUMN kind TEXT NOT NULL DEFAULT 'write'", "ALTER TABLE writes ADD COLUMN code_kept TEXT"},
    {"ALTER TABLE writes ADD COLUMN uid TEXT", "ALTER TABLE writes ADD COLUMN station TEXT",
     "ALTER TABLE writes ADD COLUMN outbox INTEGER", "CREATE UNIQUE INDEX writes_uid ON writes (uid)",
     "CREATE INDEX writes_outbox ON writes (id) WHERE outbox IS NOT NULL"},
};
static_assert(std::size(kSteps) == HistoryDb::kSchemaVersion);

QByteArray BlobOf(const DataSet::Block& b) {
  return QByteArray(reinterpret_cast<const char*>(b.data() + 1), kBlockSize);
}

DataSet::Block BlockOf(const QByteArray& blob) {
  DataSet::Block b{};
  for (int i = 0; i < kBlockSize && i < blob.size(); ++i) b[static_cast<std::size_t>(i + 1)] = static_cast<std::uint8_t>(blob[i]);
  return b;
}

std::string Now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString(); }

const char* const kColumns =
    "id, time, port, serial, type, version, ident_before, params_before, ident_after, params_after, code_before,"
    " code_after, program, result, code, names, params_held, reported, code_kept, kind, finished, uid, station";

QByteArray NamesBlob(const std::array<DataSet::Block, 3>& names) {
  QByteArray out;
  for (const DataSet::Block& b : names) out += BlobOf(b);
  return out;
}

HistoryEntry EntryOf(const QSqlQuery& q) {
  HistoryEntry e;
  e.id = q.value(0).toLongLong();
  e.time = q.value(1).toString().toStdString();
  e.port = q.value(2).toString().toStdString();
  e.serial = q.value(3).toInt();
  e.type = q.value(4).toInt();
  e.version = q.value(5).toString().toStdString();
  e.identBefore = BlockOf(q.value(6).toByteArray());
  e.paramsBefore = BlockOf(q.value(7).toByteArray());
  e.identAfter = BlockOf(q.value(8).toByteArray());
  e.paramsAfter = BlockOf(q.value(9).toByteArray());
  e.codeBefore = q.value(10).toString().toStdString();
  e.codeAfter = q.value(11).toString().toStdString();
  e.program = q.value(12).toString().toStdString();
  e.result = q.value(13).isNull() ? "interrupted" : q.value(13).toString().toStdString();
  e.code = q.value(14).toInt();
  const QByteArray names = q.value(15).toByteArray();
  for (int i = 0; i < 3; ++i) e.names[static_cast<std::size_t>(i)] = BlockOf(names.mid(i * kBlockSize, kBlockSize));
  if (!q.value(16).isNull()) e.paramsHeld = BlockOf(q.value(16).toByteArray());
  e.reported = q.value(17).toInt() != 0;
  e.codeKept = q.value(18).toString().toStdString();
  e.kind = q.value(19).toString().toStdString();
  e.finished = q.value(20).toString().toStdString();
  e.uid = q.value(21).toString().toStdString();
  e.station = q.value(22).toString().toStdString();
  return e;
}

// What the sensor held after a failed check as a data code: with its own
// identification, as the code before the write has it.
QString KeptCode(const DataSet::Block& identBefore, const DataSet::Block& held) {
  DataSet ds;
  ds.SetDataValid(1);
  ds.GetBlock(BlockId::Identification, kWorkingCopy) = identBefore;
  ds.GetBlock(BlockId::Parameter, kWorkingCopy) = held;
  return QString::fromStdString(EncodeDataCode(ds));
}

}  // namespace

std::vector<std::string> HistoryDbFiles(const std::string& path) {
  if (IsServerAddress(QString::fromStdString(path))) return {};
  return {path, path + "-wal", path + "-shm", path + "-journal"};
}

std::string StationName() { return QSysInfo::machineHostName().toStdString(); }

std::string ResultName(link::WriteResult result) {
  switch (result) {
    case link::WriteResult::Done: return "done";
    case link::WriteResult::Failed: return "failed";
    case link::WriteResult::Cancelled: return "cancelled";
    case link::WriteResult::VerifyFailed: return "verify-failed";
  }
  return "failed";
}

HistoryDb::HistoryDb(QString path) : m_path(std::move(path)), m_dialect(m_path) {
  static std::atomic<int> counter{0};
  m_connection = QStringLiteral("rkt-history-%1").arg(++counter);
}

HistoryDb::~HistoryDb() {
  if (QSqlDatabase::contains(m_connection)) {
    {
      QSqlDatabase db = QSqlDatabase::database(m_connection, false);
      db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
  }
}

QString HistoryDb::DefaultPath() {
  // The window and the command line keep one history, whatever the process
  // calls itself. It stays on this machine (on Windows %LOCALAPPDATA%, not
  // the roaming profile): a database is no file to copy at every log-on.
  const QString saved = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(QStringLiteral("rkt410"));
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  QCoreApplication::setApplicationName(saved);
  return QDir(dir).filePath(QStringLiteral("history.sqlite"));
}

bool HistoryDb::Fail(const QString& what) {
  m_locked = false;
  m_reason = what.toStdString();
  m_error = (m_dialect.Shown() + ": " + what).toStdString();
  return false;
}

bool HistoryDb::Fail(const QSqlError& error) {
  const QString text = error.text().trimmed().isEmpty() ? QStringLiteral("unknown error") : error.text().trimmed();
  Fail(text);
  bool locked = false;
  if (const char* reason = m_dialect.Reason(error, locked)) m_reason = reason;
  m_locked = locked;
  // A server's connection that failed is opened anew by the next call
  // (QPSQL's open closes it first, once no query of it is left).
  if (m_dialect.Server()) m_open = false;
  return false;
}

std::string HistoryDb::Problem() const {
  if (m_reason.empty()) return {};
  return m_dialect.Shown().toStdString() + ": " + ReasonText(m_reason);
}

bool HistoryDb::Open() {
  if (m_open) return true;
  if (!QSqlDatabase::isDriverAvailable(m_dialect.Driver())) {
    if (!m_dialect.Server()) return Fail(QStringLiteral("the Qt SQLite driver (QSQLITE) is not installed"));
    Fail(QString::fromLatin1(kReasonNoDriver));
    m_reason = kReasonNoDriver;
    return false;
  }
  if (!m_dialect.Server() && !QDir().mkpath(QFileInfo(m_path).absolutePath()))
    return Fail(QStringLiteral("cannot create its folder"));
  QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false)
                                                         : QSqlDatabase::addDatabase(m_dialect.Driver(), m_connection);
  m_dialect.Configure(db);
  if (!db.open()) return Fail(db.lastError());
  // The version first: a database of a newer program is refused before
  // anything in it or about it (its journal mode) is changed.
  int version = 0;
  if (!ReadVersion(version)) {
    db.close();
    return false;
  }
  if (version > kSchemaVersion) {
    db.close();
    return FailNewer(version);
  }
  // WAL: a write in progress never leaves a half-changed file, and a commit
  // with synchronous=FULL is on disk when it returns. The switch takes the
  // file whole for a moment and waits for no one, so while another program
  // reads it, it is tried again. (A server keeps its own.)
  const QDeadlineTimer deadline(kUpdateWaitMs);
  for (; !m_dialect.Server();) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && q.next()) {
      if (q.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0) break;
      q.finish();
      db.close();
      return Fail(QStringLiteral("WAL journal not available"));
    }
    Fail(q.lastError());
    if (!m_locked || deadline.hasExpired()) {
      q.finish();
      db.close();
      return false;
    }
    QThread::msleep(20);
  }
  if (!m_dialect.Server()) QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=FULL"));
  if (version < kSchemaVersion && !Upgrade()) {
    db.close();
    return false;
  }
  m_open = true;
  m_error.clear();
  m_reason.clear();
  return true;
}

bool HistoryDb::CheckWritable() {
  if (!Open() || !BeginWrite()) return false;
  EndWrite(false);
  return true;
}

bool HistoryDb::ReadVersion(int& version) {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (!q.exec(m_dialect.ReadVersion()) || !q.next()) return Fail(q.lastError());
  version = q.value(0).toInt();
  return true;
}

bool HistoryDb::FailNewer(int version) {
  m_reason = "written by a newer program (schema " + std::to_string(version) + ")";
  m_error = (m_dialect.Shown() + ": ").toStdString() + m_reason;
  return false;
}

bool HistoryDb::BeginWrite() {
  // IMMEDIATE: the write lock is taken (or waited for) at once, so that what
  // the transaction reads first is still true when it writes.
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (!q.exec(m_dialect.Begin())) return Fail(q.lastError());
  return true;
}

bool HistoryDb::EndWrite(bool commit) {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (commit && q.exec(QStringLiteral("COMMIT"))) return true;
  const QSqlError why = q.lastError();
  QSqlQuery(QSqlDatabase::database(m_connection, false)).exec(QStringLiteral("ROLLBACK"));
  return commit ? Fail(why) : false;
}

bool HistoryDb::Upgrade() {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  for (;;) {
    // The version is read under the write lock: of two programs creating or
    // upgrading one database at once, the second finds the first one's work
    // done instead of doing it again. Each step and its version number in
    // one transaction: an upgrade is either done or not begun.
    if (!BeginWrite()) return false;
    if (const QString lock = m_dialect.LockSchema(); !lock.isEmpty() && !QSqlQuery(db).exec(lock)) {
      EndWrite(false);
      return Fail(QStringLiteral("cannot lock the schema"));
    }
    int version = 0;
    if (!ReadVersion(version)) return EndWrite(false);
    if (version >= kSchemaVersion) {
      EndWrite(false);
      return version == kSchemaVersion || FailNewer(version);
    }
    QSqlQuery q(db);
    bool ok = true;
    for (const char* sql : kSteps[version])
      if (sql && ok) ok = q.exec(m_dialect.Step(sql));
    QString keptWhy;
    if (ok) ok = FillStep(version + 1, keptWhy);
    if (ok) ok = q.exec(m_dialect.WriteVersion(version + 1));
    if (!ok) {
      const QSqlError why = q.lastError();
      EndWrite(false);
      if (!keptWhy.isEmpty()) return Fail(keptWhy);
      return Fail(why);
    }
    if (!EndWrite(true)) return false;
  }
}

bool HistoryDb::FillStep(int version, QString& why) {
  if (version != 4 && version != 5) return true;
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery read(db);
  if (!read.exec(version == 4
                     ? QStringLiteral("SELECT id, ident_before, params_held FROM writes WHERE params_held IS NOT NULL")
                     : QStringLiteral("SELECT id FROM writes")))
    return why = read.lastError().text(), false;
  std::vector<std::pair<qlonglong, QString>> codes;
  while (read.next())
    codes.emplace_back(read.value(0).toLongLong(),
                       version == 4 ? KeptCode(BlockOf(read.value(1).toByteArray()), BlockOf(read.value(2).toByteArray()))
                                    : QUuid::createUuid().toString(QUuid::WithoutBraces));
  read.finish();
  QSqlQuery write(db);
  write.prepare(version == 4 ? QStringLiteral("UPDATE writes SET code_kept = ? WHERE id = ?")
                             : QStringLiteral("UPDATE writes SET uid = ? WHERE id = ?"));
  for (const auto& [id, code] : codes) {
    write.addBindValue(code);
    write.addBindValue(id);
    if (!write.exec()) return why = write.lastError().text(), false;
  }
  return true;
}

std::int64_t HistoryDb::Begin(const link::WriteRecord& r) {
  if (!Open()) return 0;
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  if (!BeginWrite()) return 0;
  QSqlQuery q(db);
  q.prepare(QStringLiteral(
      "INSERT INTO writes (time, port, serial, type, version, ident_before, params_before, code_before,"
      " ident_after, params_after, code_after, program, names, kind, uid, station, outbox)"
      " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
  const auto& id = r.identBefore;
  q.addBindValue(QString::fromStdString(Now()));
  q.addBindValue(QString::fromStdString(r.port));
  q.addBindValue(id[ident::kSerialHigh] * 256 + id[ident::kSerialLow]);
  q.addBindValue(static_cast<int>(id[ident::kTypeCode]));
  q.addBindValue(QStringLiteral("%1.%2.%3").arg(id[ident::kVersion1]).arg(id[ident::kVersion2]).arg(id[ident::kVersion3]));
  q.addBindValue(BlobOf(r.identBefore));
  q.addBindValue(BlobOf(r.paramsBefore));
  q.addBindValue(QString::fromStdString(r.codeBefore));
  q.addBindValue(BlobOf(r.identAfter));
  q.addBindValue(BlobOf(r.paramsAfter));
  q.addBindValue(QString::fromStdString(r.codeAfter));
  q.addBindValue(QStringLiteral("rkt410 " RKT_VERSION_STRING));
  q.addBindValue(NamesBlob(r.names));
  q.addBindValue(r.kind == link::WriteKind::Sensitivity ? QStringLiteral("sensitivity") : QStringLiteral("write"));
  q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
  q.addBindValue(QString::fromStdString(StationName()));
  q.addBindValue(m_outbox ? QVariant(1) : QVariant(QMetaType(QMetaType::Int)));
  if (!q.exec()) {
    const QSqlError why = q.lastError();
    EndWrite(false);
    return Fail(why), 0;
  }
  const std::int64_t rowId = q.lastInsertId().toLongLong();
  q.finish();
  if (!EndWrite(true)) return 0;
  return rowId;
}

bool HistoryDb::Complete(std::int64_t id, link::WriteResult result, int code) {
  return Update(QStringLiteral("UPDATE writes SET result = ?, code = ?, finished = ? WHERE id = ?"),
                {QString::fromStdString(ResultName(result)), result == link::WriteResult::Done ? 0 : code,
                 QString::fromStdString(Now()), static_cast<qlonglong>(id)},
                true, true);
}

bool HistoryDb::Update(const QString& sql, const QVariantList& values, bool oneRow, bool change) {
  return Update(sql, std::vector<QVariantList>{values}, oneRow, change);
}

bool HistoryDb::Update(const QString& sql, const std::vector<QVariantList>& rows, bool oneRow, bool change) {
  // A record already stored must not stay without its result because
  // another program held the database a moment longer than the busy
  // timeout: a lock is waited out a while, though never for long.
  const QDeadlineTimer deadline(kUpdateWaitMs);
  for (;;) {
    if (UpdateOnce(sql, rows, oneRow, change)) return true;
    if (!m_locked || deadline.hasExpired()) return false;
    QThread::msleep(50);
  }
}

bool HistoryDb::UpdateOnce(const QString& sql, const std::vector<QVariantList>& rows, bool oneRow, bool change) {
  if (!Open()) return false;
  if (!BeginWrite()) return false;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  QString statement = sql;
  // The change waits in the outbox too, counted, in the same transaction.
  if (change && m_outbox)
    statement.replace(QStringLiteral("UPDATE writes SET "), QStringLiteral("UPDATE writes SET outbox = COALESCE(outbox, 0) + 1, "));
  q.prepare(statement);
  for (const QVariantList& values : rows) {
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec() || (oneRow && q.numRowsAffected() != 1)) {
      const QSqlError why = q.lastError();
      q.finish();
      EndWrite(false);
      return why.isValid() ? Fail(why) : Fail(QStringLiteral("record %1 not found").arg(values.back().toLongLong()));
    }
  }
  q.finish();
  return EndWrite(true);
}

bool HistoryDb::RecordHeld(std::int64_t id, const DataSet::Block& held) {
  const auto entry = Get(id);
  if (!entry) return false;
  return Update(QStringLiteral("UPDATE writes SET params_held = ?, code_kept = ? WHERE id = ?"),
                {BlobOf(held), KeptCode(entry->identBefore, held), static_cast<qlonglong>(id)}, true, true);
}

std::optional<HistoryEntry> HistoryDb::UnreportedInterruption() {
  if (!Open()) return std::nullopt;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral("SELECT %1 FROM writes WHERE result IS NULL AND reported = 0 ORDER BY id DESC LIMIT 1")
                .arg(QString::fromLatin1(kColumns)));
  if (!q.exec()) return Fail(q.lastError()), std::nullopt;
  if (!q.next()) return std::nullopt;
  return EntryOf(q);
}

bool HistoryDb::MarkReported(std::int64_t id) {
  return Update(QStringLiteral("UPDATE writes SET reported = 1 WHERE result IS NULL AND id <= ?"),
                QVariantList{static_cast<qlonglong>(id)}, false);
}

std::optional<std::vector<HistoryEntry>> HistoryDb::List(std::optional<int> serial) {
  if (!Open()) return std::nullopt;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  QString sql = QStringLiteral("SELECT %1 FROM writes").arg(QString::fromLatin1(kColumns));
  if (serial) sql += QStringLiteral(" WHERE serial = ?");
  sql += QStringLiteral(" ORDER BY ") + m_dialect.ListOrder();
  q.prepare(sql);
  if (serial) q.addBindValue(*serial);
  if (!q.exec()) return Fail(q.lastError()), std::nullopt;
  std::vector<HistoryEntry> out;
  while (q.next()) out.push_back(EntryOf(q));
  if (q.lastError().isValid()) return Fail(q.lastError()), std::nullopt;
  return out;
}

std::optional<HistoryEntry> HistoryDb::Get(std::int64_t id) {
  if (!Open()) return std::nullopt;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral("SELECT %1 FROM writes WHERE id = ?").arg(QString::fromLatin1(kColumns)));
  q.addBindValue(static_cast<qlonglong>(id));
  if (!q.exec()) return Fail(q.lastError()), std::nullopt;
  if (!q.next()) {
    m_error = "record " + std::to_string(id) + " not found";
    return std::nullopt;
  }
  return EntryOf(q);
}

std::optional<std::vector<OutboxEntry>> HistoryDb::Outbox(int limit) {
  if (!Open()) return std::nullopt;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral("SELECT %1, outbox FROM writes WHERE outbox IS NOT NULL ORDER BY id LIMIT ?")
                .arg(QString::fromLatin1(kColumns)));
  q.addBindValue(limit);
  if (!q.exec()) return Fail(q.lastError()), std::nullopt;
  std::vector<OutboxEntry> out;
  while (q.next()) out.push_back({EntryOf(q), q.value(23).toLongLong()});
  if (q.lastError().isValid()) return Fail(q.lastError()), std::nullopt;
  return out;
}

bool HistoryDb::MarkSent(const std::vector<OutboxEntry>& sent) {
  // A change made meanwhile has counted on: the record stays, to go again.
  std::vector<QVariantList> rows;
  for (const OutboxEntry& s : sent) rows.push_back({static_cast<qlonglong>(s.entry.id), static_cast<qlonglong>(s.change)});
  return Update(QStringLiteral("UPDATE writes SET outbox = NULL WHERE id = ? AND outbox = ?"), rows, false);
}

bool HistoryDb::Store(const std::vector<HistoryEntry>& entries) {
  if (!Open() || !BeginWrite()) return false;
  // What a record gains after its beginning is only ever added, never taken
  // back: a copy sent before a later one that arrives after it changes
  // nothing.
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral(
      "INSERT INTO writes (uid, station, time, port, serial, type, version, ident_before, params_before, code_before,"
      " ident_after, params_after, code_after, program, names, kind, result, code, finished, params_held, code_kept)"
      " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT (uid) DO UPDATE SET"
      " result = COALESCE(excluded.result, writes.result), code = COALESCE(excluded.code, writes.code),"
      " finished = COALESCE(excluded.finished, writes.finished),"
      " params_held = COALESCE(excluded.params_held, writes.params_held),"
      " code_kept = COALESCE(excluded.code_kept, writes.code_kept)"));
  const auto text = [](const std::string& s) {
    return s.empty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(QString::fromStdString(s));
  };
  for (const HistoryEntry& e : entries) {
  const bool ended = e.result != "interrupted";
  q.addBindValue(QString::fromStdString(e.uid));
  q.addBindValue(text(e.station));
  q.addBindValue(QString::fromStdString(e.time));
  q.addBindValue(QString::fromStdString(e.port));
  q.addBindValue(e.serial);
  q.addBindValue(e.type);
  q.addBindValue(QString::fromStdString(e.version));
  q.addBindValue(BlobOf(e.identBefore));
  q.addBindValue(BlobOf(e.paramsBefore));
  q.addBindValue(QString::fromStdString(e.codeBefore));
  q.addBindValue(BlobOf(e.identAfter));
  q.addBindValue(BlobOf(e.paramsAfter));
  q.addBindValue(QString::fromStdString(e.codeAfter));
  q.addBindValue(QString::fromStdString(e.program));
  q.addBindValue(NamesBlob(e.names));
  q.addBindValue(QString::fromStdString(e.kind));
  q.addBindValue(ended ? text(e.result) : text({}));
  q.addBindValue(ended ? QVariant(e.code) : QVariant(QMetaType(QMetaType::Int)));
  q.addBindValue(text(e.finished));
  q.addBindValue(e.paramsHeld ? QVariant(BlobOf(*e.paramsHeld)) : QVariant(QMetaType(QMetaType::QByteArray)));
  q.addBindValue(text(e.codeKept));
  if (!q.exec()) {
    const QSqlError why = q.lastError();
    q.finish();
    EndWrite(false);
    return Fail(why);
  }
  }
  q.finish();
  return EndWrite(true);
}

DataSet SettingOf(const HistoryEntry& entry, bool before) {
  DataSet ds;
  for (const Copy c : {kReadCopy, kWorkingCopy}) {
    ds.GetBlock(BlockId::Identification, c) = before ? entry.identBefore : entry.identAfter;
    ds.GetBlock(BlockId::Parameter, c) = before ? entry.paramsBefore : entry.paramsAfter;
    ds.GetBlock(BlockId::Name1, c) = entry.names[0];
    ds.GetBlock(BlockId::Name2, c) = entry.names[1];
    ds.GetBlock(BlockId::Name3, c) = entry.names[2];
  }
  ds.SetDataValid(1);
  if (entry.kind == "sensitivity") ds.SetSensitivityValid(1);
  return ds;
}

std::optional<DataSet> HeldSettingOf(const HistoryEntry& entry) {
  if (!entry.paramsHeld) return std::nullopt;
  HistoryEntry held = entry;
  held.paramsAfter = *entry.paramsHeld;
  return SettingOf(held, false);
}

std::string Designation(const HistoryEntry& entry) { return TypeDesignation(SettingOf(entry, false), kWorkingCopy); }

}  // namespace rkt::history
