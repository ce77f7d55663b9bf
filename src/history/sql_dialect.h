#pragma once

#include <QString>

class QSqlDatabase;
class QSqlError;

// What differs between the two places a history can live: the embedded
// SQLite file of one station and a PostgreSQL server the stations of a plant
// share. Everything else (the tables, the records, the schema steps) is the
// same for both.
namespace rkt::history {

// Whether `where` names a PostgreSQL server (postgresql://… or
// postgres://…) rather than a file.
bool IsServerAddress(const QString& where);

class SqlDialect {
 public:
  explicit SqlDialect(const QString& where);

  bool Server() const { return m_server; }
  // The Qt SQL driver: QSQLITE or QPSQL.
  QString Driver() const;
  // The place in messages: the file, or the address without its password.
  QString Shown() const { return m_shown; }
  // Names the database for the connection: the file with SQLite's busy
  // time-out, or host, port, user, password and database with libpq's
  // connect time-out (kConnectTimeoutS), so that an unreachable server is
  // given up quickly.
  void Configure(QSqlDatabase& db) const;
  // Begins a transaction that writes; SQLite's takes the write lock at once.
  QString Begin() const;
  // Run first in an upgrade's transaction so that two programs never upgrade
  // at once (SQLite's BEGIN IMMEDIATE does that by itself): "" when none.
  QString LockSchema() const;
  // The schema version (0 for an empty database), and setting it.
  QString ReadVersion() const;
  QString WriteVersion(int version) const;
  // A schema step, written for SQLite, in this dialect.
  QString Step(const char* sql) const;
  // The order of the list, newest first: SQLite's record numbers follow the
  // writes of one station; a server's follow the arrival of records a
  // station may have kept a while, so it goes by their time.
  QString ListOrder() const;
  // The program's own reason for an error (untranslated, see ReasonText),
  // or nullptr when the driver's text is to be shown. locked: another
  // program holds the database, worth waiting for.
  const char* Reason(const QSqlError& error, bool& locked) const;

  static constexpr int kConnectTimeoutS = 2;  // libpq's least

 private:
  QString m_where;
  QString m_shown;
  bool m_server = false;
};

// The program's own reasons (section "Reasons" translates them).
inline constexpr const char* kReasonLocked = "the database is locked by another program";
inline constexpr const char* kReasonReadOnly = "the database is read-only";
inline constexpr const char* kReasonDamaged = "the database is damaged";
inline constexpr const char* kReasonCannotOpen = "the database cannot be opened";
inline constexpr const char* kReasonNoServer = "the database server cannot be reached";
inline constexpr const char* kReasonNoDriver = "the PostgreSQL driver is not available";

}  // namespace rkt::history
