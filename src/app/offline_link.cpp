#include "app/offline_link.h"

#include "app/main_loop.h"

namespace rkt {

OfflineLink::OfflineLink() {
  m_timer.setInterval(kDetectionIntervalMs);
  QObject::connect(&m_timer, &QTimer::timeout, [this] {
    if (m_request != nullptr) m_request->Raise();
  });
}

void OfflineLink::OpenPort(const std::string& name) {
  // An empty name only asks for the current one.
  if (name.empty() || name == m_portName) return;
  m_portName = name;
}

void OfflineLink::SetDetection(int mode) {
  if (mode < 0) return;
  m_mode = mode;
  if (mode != 0) {
    m_timer.start();
  } else {
    m_timer.stop();
    if (m_request != nullptr) m_request->Clear();
  }
}

}  // namespace rkt
