#include "app/main_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

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

namespace {

// The application's Quit event (QCoreApplication::quit(), the platform's or
// a session's end) goes to the application as usual: it closes the windows,
// and any of them may refuse (unsaved changes). When none did, the loop ends.
class QuitWatch final : public QObject {
 public:
  explicit QuitWatch(MainLoop& loop) : m_loop(loop) { QCoreApplication::instance()->installEventFilter(this); }
  ~QuitWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
  QuitWatch(const QuitWatch&) = delete;
  QuitWatch& operator=(const QuitWatch&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit) return false;
    event->accept();
    watched->event(event);
    if (event->isAccepted()) m_loop.Quit(0);
    return true;
  }
  // The loop's start inside exec().
  void customEvent(QEvent* /*event*/) override { m_loop.StartInsideExec(); }

 private:
  MainLoop& m_loop;
};

}  // namespace

int MainLoop::Run() {
  m_running = true;
  m_quit = false;
  QuitWatch quitWatch(*this);
  // QCoreApplication::quit() reaches only an application whose exec() runs;
  // so this loop runs inside exec(), as its first event, and ends it. Called
  // from within another event loop, where exec() would refuse, it runs alone.
  if (QThread::currentThread()->loopLevel() == 0) {
    // Ahead of whatever was posted before, as if the loop had been running.
    QCoreApplication::postEvent(&quitWatch, new QEvent(QEvent::User), Qt::HighEventPriority);
    QCoreApplication::exec();
  } else {
    Loop();
  }
  m_running = false;
  return m_exitCode;
}

void MainLoop::StartInsideExec() {
  // An event handled before this one may have opened a nested loop (a modal
  // dialog at start); this loop runs only at the top and waits for it.
  if (QThread::currentThread()->loopLevel() > 1) {
    QTimer::singleShot(10, QCoreApplication::instance(), [this] { StartInsideExec(); });
    return;
  }
  Loop();
  QCoreApplication::exit(m_exitCode);
}

void MainLoop::Loop() {
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
}

void MainLoop::Quit(int exitCode) {
  m_exitCode = exitCode;
  m_quit = true;
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
}

}  // namespace rkt
