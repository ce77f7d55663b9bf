#include "model/recent_files.h"

#include <algorithm>

namespace rkt {

void RecentFiles::AddRecentFile(const std::string& path) {
  if (path.empty()) return;
  const auto it = std::find(m_entries.begin(), m_entries.end(), path);
  if (it != m_entries.end()) m_entries.erase(it);
  if (static_cast<int>(m_entries.size()) >= kMaxEntries) m_entries.pop_back();
  m_entries.insert(m_entries.begin(), path);
  Notify();
}

void RecentFiles::RemoveRecentFile(const std::string& path) {
  const auto it = std::find(m_entries.begin(), m_entries.end(), path);
  if (it == m_entries.end()) return;
  m_entries.erase(it);
  Notify();
}

std::string RecentFiles::GetRecentFile(int i) const {
  if (i < 1 || i > Count()) return {};
  return m_entries[static_cast<std::size_t>(i - 1)];
}

void RecentFiles::ResetRecentFiles() {
  m_entries.clear();
  Notify();
}

void RecentFiles::RestoreRecentFiles(const std::vector<std::string>& stored) {
  for (auto it = stored.rbegin(); it != stored.rend(); ++it) AddRecentFile(*it);
}

}  // namespace rkt
