#include "app/main_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

namespace rkt {

void DetectionRequest::Raise() {
  m_pending = true;
  // The loop may be asleep waiting for events; make it look at the flag.
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
}

bool DetectionRequest::Take() {
  const bool was = m_pending;
  m_pending = false;
  return was;
}

int MainLoop::Run() {
  m_running = true;
  m_quit = false;
  while (!m_quit) {
    if (m_request.Take()) {
      ++m_detectionRuns;
      if (m_detectSensor) m_detectSensor();
      // Yield once without sleeping: the flag may have been raised again.
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
      // Sleeps until an event arrives, handles what is there, and returns;
      // modal dialogs and waits started from these events run their own
      // nested loops and come back here only when they are done.
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    // Objects released with deleteLater are freed only by an event loop;
    // this loop is not one, so it frees them itself.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  m_running = false;
  return m_exitCode;
}

void MainLoop::Quit(int exitCode) {
  m_exitCode = exitCode;
  m_quit = true;
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
}

}  // namespace rkt
