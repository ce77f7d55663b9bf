#pragma once

#include <QJsonArray>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "history/history_db.h"
#include "output/value_changes.h"

// What the write command and the history command share.
namespace rkt::cli {

struct Context;

// The database --history-db names (a file or a server's address), or the
// user's own.
std::string HistoryPath(const std::optional<std::string>& option);
// The history's file on this computer: the database --history-db names, or
// for a server's address the outbox --local-history names; the user's own
// by default.
std::string LocalHistoryPath(const std::optional<std::string>& historyDb,
                             const std::optional<std::string>& localHistory);

// The journal of a command that writes to a sensor, for --history-db and
// --local-history (see history::OpenJournal). What a server's journal tells
// (the server cannot be reached, it can again) is printed when the command
// ends.
class CommandJournal {
 public:
  CommandJournal(Context& ctx, const std::optional<std::string>& historyDb,
                 const std::optional<std::string>& localHistory);
  // Ends the journal (which sends what it can), then prints what it told.
  ~CommandJournal();
  history::Journal& operator*() { return *m_journal; }
  history::Journal* operator->() { return m_journal.get(); }

 private:
  Context& m_ctx;
  std::string m_local;
  std::mutex m_mutex;
  std::vector<std::string> m_notices;
  std::unique_ptr<history::Journal> m_journal;
};

// [{"label": …, "before": …, "after": …}, …]
QJsonArray ChangesJson(const std::vector<ValueChange>& changes);
// "label now → new" lines, or "keine Änderungen" in the current language.
std::string ChangesText(const std::vector<ValueChange>& changes);

}  // namespace rkt::cli
