#pragma once

// The calling thread's own CPU time in seconds: other threads and other
// programs on the machine do not count. (std::clock is wall time on Windows.)
#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace rkt::test {

inline double ThreadCpuSeconds() {
#if defined(_WIN32)
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  const auto seconds = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
#else
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#endif
}

}  // namespace rkt::test
