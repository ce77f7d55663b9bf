#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "history/history_db.h"

// One history for the stations of a plant: a PostgreSQL server they all
// write to, which the writes never wait for.
namespace rkt::history {

// What the plant journal tells its user: the server cannot be reached (once
// until it can again; the records are kept on this computer meanwhile), or
// it can again and the records kept have been sent.
struct ServerNotice {
  bool reachable = false;
  std::string problem;  // unreachable: why, "PLACE: REASON" in the user's language
  int sent = 0;         // reachable: how many records it has got since
};
// Called on the journal's own thread.
using ServerNoticeFn = std::function<void(const ServerNotice&)>;

// A station's journal when the history is a server's: every record and every
// change to it goes first into the station's own SQLite file, durably and in
// one transaction, where it waits in the outbox (HistoryDb::SetOutbox); a
// thread of the journal's own sends it to the server as soon as it can,
// stored there by its uid, so that a record sent again (after a kill between
// the server's commit and the outbox's) is still stored once. A server that
// cannot be reached is tried again after a pause growing from kFirstRetryMs
// to kMaxRetryMs, which new records do not shorten; what a run could not
// send, the next one sends.
//
// Made, used and destroyed in one thread (Qt SQL's connections belong to
// theirs); any number of them, in one process or many, may share the file
// and the server.
class PlantJournal final : public Journal {
 public:
  static constexpr int kFirstRetryMs = 1000;
  static constexpr int kMaxRetryMs = 30000;
  static constexpr int kBatch = 100;

  PlantJournal(QString server, QString localPath, ServerNoticeFn onNotice = {});
  // Sends what waits first, unless the server is in its pause.
  ~PlantJournal() override;
  PlantJournal(const PlantJournal&) = delete;
  PlantJournal& operator=(const PlantJournal&) = delete;

  std::int64_t Begin(const link::WriteRecord& record) override;
  bool Complete(std::int64_t id, link::WriteResult result, int code) override;
  bool RecordHeld(std::int64_t id, const DataSet::Block& held) override;
  // What the station's file could not store ("" when it stored everything);
  // the server's absence is told by the notice, not here.
  std::string Problem() const override { return m_local.Problem(); }
  bool CheckWritable() override { return m_local.CheckWritable(); }
  HistoryDb& LocalHistory() override { return m_local; }

  // Tries the server now, pause or not, and waits up to timeoutMs for the
  // outbox to be empty: true when it is.
  bool Flush(int timeoutMs);

 private:
  using Clock = std::chrono::steady_clock;
  void Nudge();
  void Run();
  // Sends the outbox; true when it is empty.
  bool SendAll(HistoryDb& local, std::unique_ptr<HistoryDb>& server);
  void Tell(const ServerNotice& notice) {
    if (m_onNotice) m_onNotice(notice);
  }

  const QString m_server;
  const QString m_localPath;
  HistoryDb m_local;
  const ServerNoticeFn m_onNotice;

  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_stop = false;
  bool m_nudged = false;
  bool m_waiting = true;  // records may wait (at the start: from earlier runs)
  Clock::time_point m_retryAt = Clock::now();
  int m_retryMs = kFirstRetryMs;
  long m_started = 0;   // passes over the outbox begun
  long m_finished = 0;  // and ended
  bool m_empty = false;  // the outbox, after the last pass
  // The sending thread's own: the user has been told the server is away, or
  // records were waiting at the start; how many have been sent since.
  bool m_told = false;
  bool m_keeping = false;
  int m_sent = 0;

  std::thread m_thread;
};

// One teller for the journals of many ports writing to one server: each
// finds the server gone, or back, on its own, and the user is told only
// when that changes. Safe to call from the journals' threads.
ServerNoticeFn TellOnChange(ServerNoticeFn tell);

// The journal for a history given as --history-db or in the options: the
// HistoryDb of a file (the user's default one when `where` is empty), or
// for a server's address (postgresql://…) the plant journal, whose outbox
// is the file localPath (the default history when empty). Made in the
// thread that uses it.
std::unique_ptr<Journal> OpenJournal(const std::string& where, const std::string& localPath = {},
                                     ServerNoticeFn onNotice = {});

}  // namespace rkt::history
