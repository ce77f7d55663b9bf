#include "history/sql_dialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>

#include "history/history_db.h"

namespace rkt::history {

namespace {

// Serialises the upgrades of one server's schema (any number the stations
// agree on).
constexpr int kSchemaLockKey = 410410;

}  // namespace

bool IsServerAddress(const QString& where) {
  return where.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
         where.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

SqlDialect::SqlDialect(const QString& where) : m_where(where), m_shown(where), m_server(IsServerAddress(where)) {
  if (m_server) m_shown = QUrl(where).toString(QUrl::RemovePassword);
}

QString SqlDialect::Driver() const { return m_server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"); }

void SqlDialect::Configure(QSqlDatabase& db) const {
  if (!m_server) {
    db.setDatabaseName(m_where);
    // A database another program holds is waited for briefly, never for
    // long: the write must not hang on it.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(HistoryDb::kBusyTimeoutMs));
    return;
  }
  const QUrl url(m_where);
  db.setHostName(url.host());
  db.setPort(url.port(5432));
  db.setUserName(url.userName());
  db.setPassword(url.password());
  db.setDatabaseName(url.path().mid(1));
  // A server that has gone is given up after the connect time-out, and a
  // connection whose peer stopped answering after ten seconds.
  db.setConnectOptions(QStringLiteral("connect_timeout=%1;tcp_user_timeout=10000;application_name=rkt410")
                           .arg(kConnectTimeoutS));
}

QString SqlDialect::Begin() const { return m_server ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"); }

QString SqlDialect::LockSchema() const {
  return m_server ? QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey) : QString();
}

// SQLite keeps the version in the file's header; a server in the comment of
// the table, which changes with the upgrade's transaction.
QString SqlDialect::ReadVersion() const {
  return m_server ? QStringLiteral("SELECT COALESCE(obj_description(to_regclass('writes'), 'pg_class'), '0')")
                  : QStringLiteral("PRAGMA user_version");
}

QString SqlDialect::WriteVersion(int version) const {
  return m_server ? QStringLiteral("COMMENT ON TABLE writes IS '%1'").arg(version)
                  : QStringLiteral("PRAGMA user_version=%1").arg(version);
}

QString SqlDialect::Step(const char* sql) const {
  QString out = QString::fromLatin1(sql);
  if (m_server) {
    out.replace(QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("BIGSERIAL PRIMARY KEY"));
    out.replace(QStringLiteral(" BLOB"), QStringLiteral(" BYTEA"));
  }
  return out;
}

QString SqlDialect::ListOrder() const {
  return m_server ? QStringLiteral("time DESC, id DESC") : QStringLiteral("id DESC");
}

const char* SqlDialect::Reason(const QSqlError& error, bool& locked) const {
  locked = false;
  if (m_server) return error.type() == QSqlError::ConnectionError ? kReasonNoServer : nullptr;
  // SQLite's primary result codes (the low byte of an extended one).
  bool number = false;
  const int code = error.nativeErrorCode().toInt(&number) & 0xff;
  switch (number ? code : -1) {
    case 5:  // SQLITE_BUSY
    case 6:  // SQLITE_LOCKED
      locked = true;
      return kReasonLocked;
    case 8: return kReasonReadOnly;  // SQLITE_READONLY
    case 11:                         // SQLITE_CORRUPT
    case 26: return kReasonDamaged;  // SQLITE_NOTADB
    case 13: return "No space left on device";  // SQLITE_FULL
    case 10: return "Input/output error";       // SQLITE_IOERR
    case 3:                                     // SQLITE_PERM
    case 23: return "Permission denied";        // SQLITE_AUTH
    case 14: return kReasonCannotOpen;          // SQLITE_CANTOPEN
    default: return nullptr;
  }
}

}  // namespace rkt::history
