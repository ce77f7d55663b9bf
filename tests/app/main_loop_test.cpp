#include "app/main_loop.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace rkt {
namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(MainLoop, DetectionRunsOnlyAtTheTopLevel) {
  DetectionRequest request;
  int runs = 0;
  MainLoop loop(request, [&] { ++runs; });
  int runsInsideNested = -1;
  bool pendingInsideNested = false;

  // A modal dialog or a wait for the sensor runs a nested loop; a request
  // raised meanwhile must wait until that loop is over.
  QTimer::singleShot(0, [&] {
    QEventLoop nested;
    QTimer::singleShot(0, [&] { request.Raise(); });
    QTimer::singleShot(0, [&] {
      runsInsideNested = runs;
      pendingInsideNested = request.Pending();
      nested.quit();
    });
    nested.exec();
    QTimer::singleShot(0, [&] {
      if (runs == 1) loop.Quit(3);
    });
  });
  EXPECT_EQ(loop.Run(), 3);
  EXPECT_EQ(runsInsideNested, 0);
  EXPECT_TRUE(pendingInsideNested);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(request.Pending());
}

TEST(MainLoop, RequestsMergeAndClearDropsThem) {
  DetectionRequest request;
  int runs = 0;
  MainLoop loop(request, [&] { ++runs; });
  request.Raise();
  request.Raise();
  QTimer::singleShot(0, [&] {
    request.Raise();
    request.Clear();
    QTimer::singleShot(0, [&] { loop.Quit(); });
  });
  loop.Run();
  EXPECT_EQ(runs, 1) << "two raises before the loop are one run; a cleared one is none";
}

TEST(MainLoop, ObjectsReleasedWithDeleteLaterAreFreed) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  bool destroyed = false;
  auto* object = new QObject;
  QObject::connect(object, &QObject::destroyed, [&] { destroyed = true; });
  // Released outside any event handler, as during the start-up.
  object->deleteLater();
  // Two passes later the object must be gone.
  QTimer::singleShot(0, [&] { QTimer::singleShot(0, [&] { loop.Quit(); }); });
  loop.Run();
  EXPECT_TRUE(destroyed);
}

TEST(MainLoop, EndsOnTheApplicationsQuit) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  // The platform, a session or a signal handler ends the program this way.
  QTimer::singleShot(0, [] { QCoreApplication::quit(); });
  bool ignored = false;
  QObject scope;  // the guard goes with the test
  QTimer::singleShot(20000, &scope, [&] {
    ignored = true;
    loop.Quit(9);
  });
  EXPECT_EQ(loop.Run(), 0);
  EXPECT_FALSE(ignored) << "quit() was ignored";
  // The next run is not ended by the quit that is over.
  QTimer::singleShot(0, [&] { QTimer::singleShot(0, [&] { loop.Quit(4); }); });
  EXPECT_EQ(loop.Run(), 4);
}

TEST(MainLoop, IdleLoopSleeps) {
  DetectionRequest request;
  MainLoop loop(request, [] {});
  QTimer::singleShot(1000, [&] { loop.Quit(); });
  const double before = CpuSeconds();
  loop.Run();
  const double used = CpuSeconds() - before;
  // A loop that polls would use the whole second.
  EXPECT_LT(used, 0.1) << used << " s of CPU in 1 s idle";
}

}  // namespace
}  // namespace rkt
