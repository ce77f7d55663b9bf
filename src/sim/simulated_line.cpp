#include "sim/simulated_line.h"

#include <QEventLoop>
#include <algorithm>
#include <utility>

namespace rkt::sim {

SimulatedLine::SimulatedLine(std::shared_ptr<SensorSimulator> sim) : m_sim(std::move(sim)) {
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
}

link::OpenResult SimulatedLine::Open(const std::string& name) {
  ++m_openCount;
  m_openedName = name;
  if (m_vanished) {
    m_open = false;
    link::OpenResult r;
    r.device = name;
    r.error = "No such file or directory";
    return r;
  }
  if (m_failures > 0) {
    --m_failures;
    m_open = false;
    return m_failure;
  }
  m_open = true;
  m_pending.clear();
  link::OpenResult r;
  r.ok = true;
  r.device = name;
  return r;
}

void SimulatedLine::Close() {
  m_open = false;
  m_pending.clear();
}

void SimulatedLine::Vanish() {
  m_vanished = true;
  if (!m_open) return;
  m_open = false;
  m_pending.clear();
  if (m_waiting) m_waiting->quit();
  ReportLost();
}

void SimulatedLine::FailOpens(const link::OpenResult& result, int times) {
  m_failure = result;
  m_failure.ok = false;
  m_failures = times;
}

void SimulatedLine::Write(std::span<const std::uint8_t> bytes) {
  if (!m_open) return;
  m_written += static_cast<long long>(bytes.size());
  for (const TimedByte& b : m_sim->Write(bytes, Clock::now())) m_pending.push_back(b);
}

int SimulatedLine::BytesAvailable() {
  const auto now = Clock::now();
  return static_cast<int>(
      std::count_if(m_pending.begin(), m_pending.end(), [&](const TimedByte& b) { return b.at <= now; }));
}

std::vector<std::uint8_t> SimulatedLine::Read(int count) {
  std::vector<std::uint8_t> out;
  const auto now = Clock::now();
  while (count-- > 0 && !m_pending.empty() && m_pending.front().at <= now) {
    out.push_back(m_pending.front().value);
    m_pending.pop_front();
  }
  return out;
}

bool SimulatedLine::WaitForBytes(int count, QDeadlineTimer deadline) {
  while (BytesAvailable() < count) {
    qint64 left = deadline.remainingTime();
    if (left == 0 || m_interrupted || !m_open) return false;
    if (left < 0) left = 24LL * 3600 * 1000;
    // Wake when the count-th byte is due, if it is on its way at all.
    if (count <= static_cast<int>(m_pending.size())) {
      const auto due = m_pending[static_cast<std::size_t>(count - 1)].at - Clock::now();
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(due).count();
      left = std::min<qint64>(left, std::max<qint64>(ms, 0));
    }
    QEventLoop loop;
    QObject::connect(&m_timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop* outer = std::exchange(m_waiting, &loop);
    m_timer.start(static_cast<int>(left));
    loop.exec();
    m_timer.stop();
    m_waiting = outer;
  }
  return true;
}

void SimulatedLine::Interrupt(bool on) {
  m_interrupted = on;
  if (on && m_waiting) m_waiting->quit();
}

}  // namespace rkt::sim
