#pragma once

#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>
#include <random>

#include "link/serial_line.h"
#include "sim/sensor_simulator.h"

namespace rkt::sim {

// The simulated sensor as a serial line in the same process: what the PC
// writes goes straight to the simulator, its answers become readable at the
// moment the simulator says they are complete. With the simulator's
// baudTiming every byte takes its 9.17 ms: echoes, answers and complements
// are still on their way while the program does something else, and
// discarding the input drops only what has arrived. The simulator's socket
// may be emptied at any moment: what its sensor still had on the way stops.
class SimulatedLine final : public link::SerialLine {
 public:
  explicit SimulatedLine(std::shared_ptr<SensorSimulator> sim);

  link::OpenResult Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return m_open; }
  void Write(std::span<const std::uint8_t> bytes) override;
  int BytesAvailable() override;
  std::vector<std::uint8_t> Read(int count) override;
  void DiscardInput() override { Read(static_cast<int>(m_pending.size())); }
  bool WaitForBytes(int count, QDeadlineTimer deadline) override;
  void Interrupt(bool on) override;

  SensorSimulator& Simulator() { return *m_sim; }
  // Makes the next opens fail with this result (tests).
  void FailOpens(const link::OpenResult& result, int times);
  // The device disappears, as a pulled USB adapter does: the open line is
  // lost (a wait in progress ends), bytes on their way never come, and opens
  // fail until Replug.
  void Vanish();
  void Replug() { m_vanished = false; }
  int OpenCount() const { return m_openCount; }
  const std::string& OpenedName() const { return m_openedName; }
  long long BytesWritten() const { return m_written; }
  // Bytes the PC took off the line (read or discarded), echoes included.
  long long BytesRead() const { return m_read; }

  // Bytes arriving now from the line, as noise or a hand-made answer would.
  void Inject(std::span<const std::uint8_t> bytes);
  // From now on each write is answered by the echo (when the simulator
  // echoes) and the next chunk of the script instead of the simulator:
  // chunks of one length byte and that many bytes (kept by reference, not
  // copied). Waits then never block: nothing can arrive but through a write.
  void AnswerWith(std::span<const std::uint8_t> script);
  // Spoils a share `rate` of the bytes the sensor sends: one changed, one
  // lost, or one held back up to maxDelay (and everything behind it).
  struct Noise {
    long long bytes = 0, corrupted = 0, dropped = 0, delayed = 0;
  };
  void SetNoise(double rate, std::chrono::milliseconds maxDelay, std::uint32_t seed);
  const Noise& NoiseCounts() const { return m_noise; }
  // Each write with the bytes it brought back, while recording is on.
  struct Exchange {
    std::vector<std::uint8_t> sent, answer;
  };
  void Record(bool on) { m_recording = on; }
  const std::vector<Exchange>& Exchanges() const { return m_exchanges; }

 private:
  void DropUnsent();

  std::shared_ptr<SensorSimulator> m_sim;
  std::deque<TimedByte> m_pending;
  QTimer m_timer;
  bool m_open = false;
  int m_openCount = 0;
  std::string m_openedName;
  link::OpenResult m_failure;
  int m_failures = 0;
  long long m_written = 0;
  long long m_read = 0;
  std::optional<std::span<const std::uint8_t>> m_script;
  double m_noiseRate = 0;
  std::chrono::milliseconds m_maxDelay{1};
  std::mt19937 m_random;
  Noise m_noise;
  bool m_recording = false;
  std::vector<Exchange> m_exchanges;
  QEventLoop* m_waiting = nullptr;
  bool m_interrupted = false;
  bool m_vanished = false;
};

}  // namespace rkt::sim
