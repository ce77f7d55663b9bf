#pragma once

#include <functional>

// The program's main loop. It sleeps in the event loop until something
// happens, and runs a sensor detection when one was requested, but only at
// its own top level: never inside a modal dialog or a nested wait, which
// would let a detection interleave with the exchange that is waiting.
namespace rkt {

// The detection request flag: raised by the detection timer, taken by the
// main loop. Ticks that arrive while a request is pending merge into it.
class DetectionRequest {
 public:
  // Sets the flag and wakes the main loop.
  void Raise();
  // Drops a pending request.
  void Clear() { m_pending = false; }
  // Clears the flag and returns whether it was set.
  bool Take();
  bool Pending() const { return m_pending; }

 private:
  bool m_pending = false;
};

class MainLoop {
 public:
  MainLoop(DetectionRequest& request, std::function<void()> detectSensor)
      : m_request(request), m_detectSensor(std::move(detectSensor)) {}

  // Runs until Quit, or until QCoreApplication::quit() found no window
  // that refused to close (exit code 0); returns the exit code.
  int Run();
  // Ends Run after the event being handled; no further events are handled.
  void Quit(int exitCode = 0);
  bool IsRunning() const { return m_running; }
  // Detection runs started by this loop.
  int DetectionRuns() const { return m_detectionRuns; }
  // Runs the loop from inside QCoreApplication::exec() and ends exec() with
  // the exit code (for Run's start event).
  void StartInsideExec();

 private:
  void Loop();

  DetectionRequest& m_request;
  std::function<void()> m_detectSensor;
  bool m_running = false;
  bool m_quit = false;
  int m_exitCode = 0;
  int m_detectionRuns = 0;
};

}  // namespace rkt
