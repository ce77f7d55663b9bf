#include "app/main_loop.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace rkt {
namespace {

// Runs `then` two passes of the loop later.
void Later(std::function<void()> then) {
  QTimer::singleShot(0, [then] { QTimer::singleShot(0, then); });
}

TEST(MainLoop, DetectionRunsOnlyAtTheTopLevelAndRequestsMerge) {
  DetectionRequest request;
  int runs = 0;
  MainLoop loop(request, [&] { ++runs; });
  int runsInsideNested = -1;
  bool pendingInsideNested = false;
  request.Raise();
  request.Raise();  // two raises before the loop are one run
  // A modal dialog or a wait for the sensor runs a nested loop; a request
  // raised meanwhile waits until that loop is over.
  QTimer::singleShot(0, [&] {
    QEventLoop nested;
    QTimer::singleShot(0, [&] { request.Raise(); });
    QTimer::singleShot(0, [&] {
      runsInsideNested = runs;
      pendingInsideNested = request.Pending();
      nested.quit();
    });
    nested.exec();
    Later([&] {
      request.Raise();
      request.Clear();  // a cleared one is none
      Later([&] { loop.Quit(3); });
    });
  });
  EXPECT_EQ(loop.Run(), 3);
  EXPECT_EQ(runsInsideNested, 1);
  EXPECT_TRUE(pendingInsideNested);
  EXPECT_EQ(runs, 2);
  EXPECT_FALSE(request.Pending());
}

TEST(MainLoop, ObjectsReleasedWithDeleteLaterAreFreed) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  bool destroyed = false;
  auto* object = new QObject;
  QObject::connect(object, &QObject::destroyed, [&] { destroyed = true; });
  object->deleteLater();  // outside any event handler, as during the start-up
  Later([&] { loop.Quit(); });
  loop.Run();
  EXPECT_TRUE(destroyed);
}

TEST(MainLoop, EndsOnTheApplicationsQuit) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  QTimer::singleShot(0, [] { QCoreApplication::quit(); });
  QObject scope;  // the guard goes with the test
  QTimer::singleShot(20000, &scope, [&] { loop.Quit(9); });
  EXPECT_EQ(loop.Run(), 0) << "quit() was ignored";
  Later([&] { loop.Quit(4); });
  EXPECT_EQ(loop.Run(), 4) << "the next run is not ended by the quit that is over";
}

TEST(MainLoop, IdleLoopSleeps) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  QTimer::singleShot(1000, [&] { loop.Quit(); });
  const auto cpu = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  const double before = cpu();
  loop.Run();
  EXPECT_LT(cpu() - before, 0.1) << "a loop that polls would use the whole second";
}

}  // namespace
}  // namespace rkt
