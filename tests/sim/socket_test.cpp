// The simulated sensor's socket: pulled and plugged by hand or by a worker's
// swap plan, bytes in flight when it happens, and what each sensor kept.
#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "sim/sensor_simulator.h"
#include "sim/simulated_line.h"

namespace rkt::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;
const Clock::time_point kStart = Clock::now();
Clock::time_point At(int ms) { return kStart + milliseconds(ms); }

// What reaches the PC of the bytes written at `ms`: echoes and answers.
Bytes Send(SensorSimulator& s, const Bytes& bytes, int ms) {
  Bytes out;
  for (const TimedByte& b : s.Write(bytes, At(ms)))
    if (s.Arrives(b)) out.push_back(b.value);
  return out;
}

Bytes Answer(std::initializer_list<int> values) {
  Bytes out;
  for (const int v : values) out.insert(out.end(), {std::uint8_t(v), std::uint8_t(255 - v)});
  return out;
}

// The PC's write of one parameter byte, as the protocol sends it.
Bytes Pq(int address, int value) { return {'P', 'Q', std::uint8_t(address), std::uint8_t(value), std::uint8_t(value)}; }

TEST(Socket, AnEmptySocketIsSilentAndTheNextSensorIsANewOne) {
  for (const bool echo : {true, false}) {
    for (const bool locked : {false, true}) {
      SCOPED_TRACE(testing::Message() << "echo " << echo << ", locked " << locked);
      // Reset time 0: only a sensor swap can end the write left half done.
      SensorSimulator s({.locked = locked, .echo = echo, .idleTimeout = milliseconds(0), .serial = 4711});
      EXPECT_EQ(s.Serial(), 4711);
      EXPECT_EQ(Send(s, {'V'}, 0).size(), echo ? 3u : 2u);
      const Bytes lq = Send(s, {'L', 'Q', 0, 0}, 1);
      ASSERT_EQ(lq.size(), echo ? 10u : 6u);
      EXPECT_EQ(Bytes(lq.end() - 2, lq.end()), Answer({4711 >> 8})) << "its serial number";
      s.SetMemory(1, 4, 99);
      EXPECT_EQ(Send(s, {'P', 'Q', 5}, 2).size(), echo ? 7u : 4u) << "a write begun";
      s.Unplug(At(3));
      EXPECT_FALSE(s.Plugged());
      const Bytes vlp{'V', 'L', 'P', 0};
      EXPECT_EQ(Send(s, vlp, 4), echo ? vlp : Bytes{}) << "only the interface's echo";
      s.PlugIn(70000, At(5));  // taken modulo 65536
      EXPECT_TRUE(s.Plugged());
      EXPECT_EQ(s.Serial(), 70000 - 65536);
      EXPECT_EQ(Send(s, {0x50}, 6), echo ? Bytes{0x50} : Bytes{}) << "the new sensor knows nothing of the write";
      EXPECT_EQ(s.Memory(1, 4), SensorSimulator().Memory(1, 4)) << "factory memory";
      EXPECT_EQ(s.Locked(), locked);
      const Bytes block0 = Send(s, {'L', 'P', 0}, 7);
      ASSERT_EQ(block0.size(), (echo ? 3u : 0u) + 34u);
      EXPECT_EQ(Bytes(block0.end() - 32, block0.end() - 28), Answer({(70000 - 65536) >> 8, (70000 - 65536) & 0xFF}));
      const auto seen = s.SensorsSeen();
      ASSERT_EQ(seen.size(), 2u);
      EXPECT_TRUE(seen[0].serial == 4711 && seen[0].params[4] == 99 && seen[0].unpluggedAt == At(3) && seen[0].writes == 0);
      EXPECT_TRUE(seen[1].serial == 4464 && seen[1].pluggedAt == At(5) && !seen[1].unpluggedAt);
      EXPECT_EQ(seen[1].locked, locked);
    }
  }
}

// Pulled in the middle of its second write, by hand (told a little late,
// after the byte had gone) or by the swap plan: the sensor keeps the first
// byte and never got the second.
TEST(Socket, APulledSensorKeepsOnlyTheBytesThatReachedIt) {
  for (const bool scheduled : {false, true}) {
    SCOPED_TRACE(scheduled ? "swap plan" : "by hand");
    SimConfig config{.echo = false, .idleTimeout = milliseconds(0)};
    if (scheduled) config.swap = SwapPlan{.present = milliseconds(25), .absent = milliseconds(1000)};
    SensorSimulator s(config);
    const std::uint8_t old5 = s.Memory(1, 5);
    s.Advance(At(0));
    EXPECT_EQ(Send(s, Pq(4, 33), 10), Answer({1, 4, 0, 33, 33}));
    EXPECT_EQ(Send(s, {'P', 'Q', 5}, 20), Answer({1, 5}));
    EXPECT_EQ(Send(s, {44, 44}, 30), scheduled ? Bytes{} : Answer({0, 44, 44}));
    if (!scheduled) s.Unplug(At(25));
    const auto seen = s.SensorsSeen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].params[4], 33);
    EXPECT_EQ(seen[0].params[5], old5);
    EXPECT_EQ(seen[0].writes, 1);
    EXPECT_EQ(seen[0].unpluggedAt, At(25));
    EXPECT_EQ(s.StoredWrites(), (std::vector<std::pair<int, std::uint8_t>>{{4, 33}}));
  }
}

// At 1200 baud an "LP" answer takes a third of a second; a sensor pulled
// during it sends a beginning of it, and the interface still echoes.
TEST(Socket, AnAnswerStopsWhereItsSensorWasPulled) {
  const SimConfig timed{.baudTiming = true, .idleTimeout = milliseconds(0)};
  SensorSimulator whole(timed);
  SimConfig swapping = timed;
  swapping.swap = SwapPlan{.present = milliseconds(150)};
  SensorSimulator cut(swapping);
  const auto full = whole.Write(Bytes{'L', 'P', 0}, kStart);
  const auto part = cut.Write(Bytes{'L', 'P', 0}, kStart);
  ASSERT_EQ(full.size(), 37u);
  ASSERT_GT(part.size(), 3u);
  ASSERT_LT(part.size(), 30u);
  for (std::size_t i = 0; i < part.size(); ++i) {
    EXPECT_EQ(part[i].value, full[i].value) << i;
    EXPECT_EQ(part[i].at, full[i].at) << i;
    EXPECT_LE(part[i].at, kStart + milliseconds(150)) << i;
    EXPECT_EQ(part[i].sensor, i < 3 ? 0 : 1) << i;
  }
  EXPECT_EQ(Send(cut, {'V'}, 200), Bytes{'V'}) << "echo only from the empty socket";
}

TEST(Socket, TheSwapPlanHandsOutNewSerialNumbersAndRemembersEachSensor) {
  SensorSimulator s({.echo = false,
                     .swap = SwapPlan{.present = milliseconds(100), .absent = milliseconds(50), .firstSerial = 65534,
                                      .step = 8}});
  EXPECT_EQ(Send(s, {'V'}, 0), Answer({0x11}));
  EXPECT_EQ(Send(s, Pq(6, 77), 10), Answer({1, 6, 0, 77, 77}));
  EXPECT_EQ(Send(s, {'V'}, 120), Bytes{}) << "empty from 100 to 150";
  EXPECT_EQ(Send(s, {'V'}, 160), Answer({0x11}));
  EXPECT_EQ(s.Serial(), 6) << "65534 + 8, 16 bits";
  EXPECT_EQ(s.Memory(1, 6), SensorSimulator().Memory(1, 6));
  s.Advance(At(460));  // nobody wrote: the worker went on
  const auto seen = s.SensorsSeen();
  ASSERT_EQ(seen.size(), 4u);
  const int serials[] = {65534, 6, 14, 22};
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].serial, serials[i]);
    EXPECT_EQ(seen[i].pluggedAt, At(150 * static_cast<int>(i)));
    EXPECT_EQ(seen[i].unpluggedAt, i < 3 ? std::optional(At(150 * static_cast<int>(i) + 100)) : std::nullopt);
    EXPECT_EQ(seen[i].writes, i == 0 ? 1 : 0);
    EXPECT_EQ(seen[i].params[6] == 77, i == 0);
  }
  EXPECT_TRUE(s.Plugged());
}

// Jitter moves each pull to a random moment within its range; one seed
// gives one schedule.
TEST(Socket, JitterSpreadsThePullsReproducibly) {
  const auto stays = [](std::uint32_t seed) {
    SensorSimulator s({.swap = SwapPlan{.present = milliseconds(100), .absent = milliseconds(10),
                                        .presentJitter = milliseconds(50), .seed = seed}});
    s.Advance(At(0));
    s.Advance(At(10'000));
    std::vector<long long> out;
    for (const SeenSensor& seen : s.SensorsSeen())
      if (seen.unpluggedAt) out.push_back(std::chrono::duration_cast<milliseconds>(*seen.unpluggedAt - seen.pluggedAt).count());
    return out;
  };
  const auto a = stays(1);
  ASSERT_GT(a.size(), 60u);
  EXPECT_EQ(a, stays(1));
  EXPECT_NE(a, stays(2));
  EXPECT_TRUE(*std::min_element(a.begin(), a.end()) >= 100 && *std::max_element(a.begin(), a.end()) <= 150);
  EXPECT_GT(std::set<long long>(a.begin(), a.end()).size(), 20u);
}

// The line: an answer on its way when the sensor goes stops arriving, and a
// wait for it ends at its deadline; the next sensor answers on the same line.
TEST(Socket, TheLineReceivesNothingMoreFromAPulledSensor) {
  for (const bool scheduled : {false, true}) {
    SCOPED_TRACE(scheduled ? "swap plan" : "by hand");
    SimConfig config{.baudTiming = true};
    if (scheduled) config.swap = SwapPlan{.present = milliseconds(120), .absent = milliseconds(10)};
    auto sim = std::make_shared<SensorSimulator>(config);
    SimulatedLine line(sim);
    ASSERT_TRUE(line.Open("SIM").ok);
    const Bytes lp{'L', 'P', 0};
    line.Write(lp);
    if (!scheduled) QTimer::singleShot(milliseconds(100), [&] { sim->Unplug(Clock::now()); });
    EXPECT_FALSE(line.WaitForBytes(37, QDeadlineTimer(600)));
    const Bytes got = line.Read(100);
    ASSERT_GT(got.size(), 5u);
    EXPECT_LT(got.size(), scheduled ? 20u : 37u);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), lp);
    EXPECT_EQ(got[3], 0);
    EXPECT_EQ(got[5], 12345 >> 8);
    if (scheduled) continue;
    EXPECT_FALSE(sim->Plugged());
    sim->PlugIn(2, Clock::now());
    line.Write(lp);
    ASSERT_TRUE(line.WaitForBytes(37, QDeadlineTimer(2000)));
    const Bytes again = line.Read(37);
    EXPECT_EQ(again[5] * 256 + again[7], 2);
    EXPECT_EQ(sim->SensorsSeen().size(), 2u);
  }
}

}  // namespace
}  // namespace rkt::sim
