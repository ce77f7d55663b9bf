#include "history/plant_journal.h"

#include <algorithm>
#include <mutex>
#include <optional>

namespace rkt::history {

PlantJournal::PlantJournal(QString server, QString localPath, ServerNoticeFn onNotice)
    : m_server(std::move(server)), m_localPath(std::move(localPath)), m_local(m_localPath), m_onNotice(std::move(onNotice)) {
  m_local.SetOutbox(true);
  // Records an earlier run could not send: their sending is told.
  const auto waiting = m_local.Outbox(1);
  m_keeping = waiting && !waiting->empty();
  m_thread = std::thread([this] { Run(); });
}

PlantJournal::~PlantJournal() {
  {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_cv.notify_all();
  m_thread.join();
}

void PlantJournal::Nudge() {
  {
    const std::lock_guard lock(m_mutex);
    m_nudged = true;
  }
  m_cv.notify_all();
}

std::int64_t PlantJournal::Begin(const link::WriteRecord& record) {
  const std::int64_t id = m_local.Begin(record);
  if (id != 0) Nudge();
  return id;
}

bool PlantJournal::Complete(std::int64_t id, link::WriteResult result, int code) {
  const bool ok = m_local.Complete(id, result, code);
  Nudge();
  return ok;
}

bool PlantJournal::RecordHeld(std::int64_t id, const DataSet::Block& held) {
  const bool ok = m_local.RecordHeld(id, held);
  Nudge();
  return ok;
}

bool PlantJournal::Flush(int timeoutMs) {
  std::unique_lock lock(m_mutex);
  const long pass = m_started + 1;  // one that begins after this call
  m_nudged = true;
  m_retryAt = Clock::now();
  m_cv.notify_all();
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_finished >= pass && m_empty; });
}

void PlantJournal::Run() {
  // The thread's own connections: to the station's file and the server.
  HistoryDb local(m_localPath);
  local.SetOutbox(true);
  std::unique_ptr<HistoryDb> server;
  std::unique_lock lock(m_mutex);
  const auto due = [this] { return (m_nudged || m_waiting) && Clock::now() >= m_retryAt; };
  for (;;) {
    while (!m_stop && !due()) {
      if (m_nudged || m_waiting) m_cv.wait_until(lock, m_retryAt);
      else m_cv.wait(lock);
    }
    if (!due()) break;  // ended in a pause: the next run sends
    const bool last = m_stop;
    m_nudged = false;
    ++m_started;
    lock.unlock();
    const bool empty = SendAll(local, server);
    lock.lock();
    ++m_finished;
    m_empty = empty;
    m_waiting = !empty;
    if (empty) {
      m_retryMs = kFirstRetryMs;
    } else {
      m_retryAt = Clock::now() + std::chrono::milliseconds(m_retryMs);
      m_retryMs = std::min(2 * m_retryMs, kMaxRetryMs);
    }
    m_cv.notify_all();
    if (last) break;
  }
  lock.unlock();
  server.reset();
}

bool PlantJournal::SendAll(HistoryDb& local, std::unique_ptr<HistoryDb>& server) {
  for (;;) {
    const auto waiting = local.Outbox(kBatch);
    if (!waiting) return false;  // the file's problem, told by the writes
    if (waiting->empty()) break;
    std::vector<HistoryEntry> entries;
    for (const OutboxEntry& w : *waiting) entries.push_back(w.entry);
    // A connection kept from an earlier pass may have been closed by the
    // server meanwhile: the records are tried once more on a new one.
    const bool fresh = !server;
    if (!server) server = std::make_unique<HistoryDb>(m_server);
    if (!server->Store(entries) && (fresh || !server->Store(entries))) {
      if (!m_told) {
        m_told = m_keeping = true;
        Tell({false, server->Problem().empty() ? server->Error() : server->Problem(), 0});
      }
      server.reset();
      return false;
    }
    if (m_keeping) m_sent += static_cast<int>(entries.size());
    if (!local.MarkSent(*waiting)) return false;
  }
  if (m_keeping && (m_told || m_sent > 0)) Tell({true, {}, m_sent});
  m_told = m_keeping = false;
  m_sent = 0;
  return true;
}

std::unique_ptr<Journal> OpenJournal(const std::string& where, const std::string& localPath, ServerNoticeFn onNotice) {
  const QString place = QString::fromStdString(where);
  if (!IsServerAddress(place)) return std::make_unique<HistoryDb>(where.empty() ? HistoryDb::DefaultPath() : place);
  return std::make_unique<PlantJournal>(
      place, localPath.empty() ? HistoryDb::DefaultPath() : QString::fromStdString(localPath), std::move(onNotice));
}

ServerNoticeFn TellOnChange(ServerNoticeFn tell) {
  struct Last {
    std::mutex mutex;
    std::optional<bool> reachable;
  };
  return [tell = std::move(tell), last = std::make_shared<Last>()](const ServerNotice& n) {
    // Told under the lock, so that the user hears the changes in their order.
    const std::lock_guard lock(last->mutex);
    if (last->reachable == n.reachable) return;
    last->reachable = n.reachable;
    tell(n);
  };
}

}  // namespace rkt::history
