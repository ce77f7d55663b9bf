#pragma once

#include <functional>
#include <string>
#include <vector>

namespace rkt {

// The five most recently used parameter files, entry 1 the newest.
class RecentFiles {
 public:
  static constexpr int kMaxEntries = 5;

  // Puts path at entry 1; an equal entry (exact, case-sensitive) moves up
  // instead of appearing twice, and a sixth entry drops the oldest.
  void AddRecentFile(const std::string& path);
  // Removes the first entry equal to path; other paths are ignored.
  void RemoveRecentFile(const std::string& path);
  // Entry i (1-based), or "" when i is not 1..Count().
  std::string GetRecentFile(int i) const;
  void ResetRecentFiles();
  // Rebuilds the list from stored entries, FILE1 first, so their order stays.
  void RestoreRecentFiles(const std::vector<std::string>& stored);

  int Count() const { return static_cast<int>(m_entries.size()); }
  const std::vector<std::string>& Entries() const { return m_entries; }

  // Told after every change, so a menu can follow.
  std::function<void()> onChanged;

 private:
  void Notify() {
    if (onChanged) onChanged();
  }
  std::vector<std::string> m_entries;
};

}  // namespace rkt
