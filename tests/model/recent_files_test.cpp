#include <gtest/gtest.h>

#include "model/recent_files.h"

namespace rkt {
namespace {

using Paths = std::vector<std::string>;

TEST(RecentFiles, NewestFirstWithoutDuplicatesAtMostFive) {
  RecentFiles list;
  int changes = 0;
  list.onChanged = [&] { ++changes; };
  for (const char* p : {"a", "b", "c", "d"}) list.AddRecentFile(p);
  EXPECT_EQ(list.Entries(), (Paths{"d", "c", "b", "a"}));

  list.AddRecentFile("b");
  EXPECT_EQ(list.Entries(), (Paths{"b", "d", "c", "a"})) << "entry 3 moves to the top, count unchanged";
  list.AddRecentFile("B");
  EXPECT_EQ(list.Count(), 5) << "comparison is case-sensitive";
  list.AddRecentFile("e");
  EXPECT_EQ(list.Entries(), (Paths{"e", "B", "b", "d", "c"})) << "a sixth path drops the oldest";
  list.AddRecentFile("");
  EXPECT_EQ(list.Count(), 5);

  list.RemoveRecentFile("b");
  EXPECT_EQ(list.Entries(), (Paths{"e", "B", "d", "c"}));
  EXPECT_EQ(list.GetRecentFile(1), "e");
  EXPECT_EQ(list.GetRecentFile(4), "c");
  EXPECT_EQ(list.GetRecentFile(5), "");
  EXPECT_EQ(list.GetRecentFile(0), "");
  EXPECT_EQ(changes, 8);
}

TEST(RecentFiles, RestoreKeepsTheStoredOrder) {
  RecentFiles list;
  list.AddRecentFile("stale");
  list.ResetRecentFiles();
  EXPECT_EQ(list.Count(), 0);
  list.RestoreRecentFiles({"1", "2", "3", "2", "4", "5", "6"});
  EXPECT_EQ(list.Entries(), (Paths{"1", "2", "3", "4", "5"}));
}

}  // namespace
}  // namespace rkt
