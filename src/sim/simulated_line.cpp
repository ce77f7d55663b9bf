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
  const auto now = Clock::now();
  std::vector<TimedByte> answer;
  if (m_script) {
    if (m_sim->Config().echo)
      for (const std::uint8_t b : bytes) answer.push_back({b, now});
    std::span<const std::uint8_t>& script = *m_script;
    if (!script.empty()) {
      const std::size_t n = std::min<std::size_t>(script[0], script.size() - 1);
      for (const std::uint8_t b : script.subspan(1, n)) answer.push_back({b, now});
      script = script.subspan(n + 1);
    }
  } else {
    answer = m_sim->Write(bytes, now);
  }
  if (m_recording) {
    Exchange& e = m_exchanges.emplace_back();
    e.sent.assign(bytes.begin(), bytes.end());
    for (const TimedByte& b : answer) e.answer.push_back(b.value);
  }
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  for (TimedByte b : answer) {
    ++m_noise.bytes;
    if (m_noiseRate > 0 && chance(m_random) < m_noiseRate) {
      switch (std::uniform_int_distribution<int>(0, 2)(m_random)) {
        case 0:
          b.value ^= static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(m_random));
          ++m_noise.corrupted;
          break;
        case 1: ++m_noise.dropped; continue;
        default:
          b.at += std::chrono::milliseconds(std::uniform_int_distribution<int>(1, int(m_maxDelay.count()))(m_random));
          ++m_noise.delayed;
      }
    }
    // A byte held back holds back everything behind it.
    if (!m_pending.empty()) b.at = std::max(b.at, m_pending.back().at);
    m_pending.push_back(b);
  }
}

void SimulatedLine::Inject(std::span<const std::uint8_t> bytes) {
  const auto now = Clock::now();
  for (const std::uint8_t b : bytes)
    m_pending.push_back({b, m_pending.empty() ? now : std::max(now, m_pending.back().at)});
}

void SimulatedLine::AnswerWith(std::span<const std::uint8_t> script) { m_script = script; }

void SimulatedLine::SetNoise(double rate, std::chrono::milliseconds maxDelay, std::uint32_t seed) {
  m_noiseRate = rate;
  m_maxDelay = std::max(maxDelay, std::chrono::milliseconds(1));
  m_random.seed(seed);
}

void SimulatedLine::DropUnsent() {
  // Answers of a sensor pulled while they were on their way never come.
  std::erase_if(m_pending, [&](const TimedByte& b) { return !m_sim->Arrives(b); });
}

int SimulatedLine::BytesAvailable() {
  DropUnsent();
  const auto now = Clock::now();
  return static_cast<int>(
      std::count_if(m_pending.begin(), m_pending.end(), [&](const TimedByte& b) { return b.at <= now; }));
}

std::vector<std::uint8_t> SimulatedLine::Read(int count) {
  DropUnsent();
  std::vector<std::uint8_t> out;
  const auto now = Clock::now();
  while (count-- > 0 && !m_pending.empty() && m_pending.front().at <= now) {
    out.push_back(m_pending.front().value);
    m_pending.pop_front();
  }
  m_read += static_cast<long long>(out.size());
  return out;
}

bool SimulatedLine::WaitForBytes(int count, QDeadlineTimer deadline) {
  if (m_script) return !m_interrupted && m_open && BytesAvailable() >= count;
  while (BytesAvailable() < count) {
    qint64 left = deadline.remainingTime();
    if (left == 0 || m_interrupted || !m_open) return false;
    if (left < 0) left = 24LL * 3600 * 1000;
    // Wake when the count-th byte is due, if it is on its way at all
    // (BytesAvailable has dropped what will not come).
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
