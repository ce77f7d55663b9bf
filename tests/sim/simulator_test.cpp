#include <gtest/gtest.h>

#include "sim/sensor_simulator.h"

namespace rkt::sim {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> Values(const std::vector<TimedByte>& bytes) {
  std::vector<std::uint8_t> v;
  for (const TimedByte& b : bytes) v.push_back(b.value);
  return v;
}

std::vector<std::uint8_t> Send(SensorSimulator& sim, std::vector<std::uint8_t> bytes, Clock::time_point at) {
  return Values(sim.Write(bytes, at));
}

TEST(Simulator, BaudTimingCountsElevenBitsPerByteEchoIncluded) {
  for (const bool echo : {true, false}) {
    SimConfig c;
    c.baudTiming = true;
    c.echo = echo;
    SensorSimulator sim(c);
    const auto t0 = Clock::now();
    const std::vector<TimedByte> out = sim.Write(std::vector<std::uint8_t>{'V'}, t0);
    ASSERT_EQ(out.size(), echo ? 3u : 2u);
    // "V" in, (echo,) answer, complement: one byte time each, one after another.
    for (std::size_t i = 0; i < out.size(); ++i)
      EXPECT_EQ(out[i].at - t0, kByteTime * static_cast<int>(i + 2)) << "byte " << i << " echo " << echo;
  }
}

TEST(Simulator, DropsAHalfCommandAfterTheIdleTime) {
  for (const auto gap : {100ms, 200ms}) {
    SensorSimulator sim;
    const auto t = Clock::now();
    Send(sim, {'L', 'Q', 0}, t);
    // The address after the gap: still inside the command after 100 ms,
    // idle again after 200 ms (where 7 is no command at all).
    const auto out = Send(sim, {7}, t + gap);
    EXPECT_EQ(out.size(), gap == 100ms ? 5u : 1u) << "gap " << gap.count() << " ms";
  }
}

TEST(Simulator, LockedSensorRefusesWrites) {
  SimConfig c;
  c.locked = true;
  c.echo = false;
  SensorSimulator sim(c);
  const auto t = Clock::now();
  EXPECT_EQ(Send(sim, {'P', 'Q'}, t), (std::vector<std::uint8_t>{1, 254}));
  EXPECT_EQ(Send(sim, {3}, t), (std::vector<std::uint8_t>{3, 252}));
  EXPECT_EQ(Send(sim, {40}, t), (std::vector<std::uint8_t>{1, 254})) << "status 1, nothing more";
  EXPECT_NE(sim.Memory(1, 3), 40);
  EXPECT_TRUE(sim.StoredWrites().empty());
}

TEST(Simulator, FaultsCountOnlyTheCommandsTheyFit) {
  SimConfig c;
  c.echo = false;
  SensorSimulator sim(c);
  sim.InjectFault({Fault::WrongBlock, Command::Any, 1});
  const auto t = Clock::now();
  EXPECT_EQ(Send(sim, {'V'}, t), (std::vector<std::uint8_t>{0x11, 0xEE})) << "V has no block";
  Send(sim, {'L', 'Q'}, t);
  EXPECT_EQ(Send(sim, {1}, t), (std::vector<std::uint8_t>{2, 253})) << "the one LQ hit";
  Send(sim, {2}, t);
  Send(sim, {'L', 'Q'}, t);
  EXPECT_EQ(Send(sim, {1}, t), (std::vector<std::uint8_t>{1, 254})) << "recovered";
}

TEST(Simulator, LostWriteConfirmsTheNthByteAndKeepsTheOldOne) {
  SimConfig c;
  c.echo = false;
  SensorSimulator sim(c);
  const auto plan = ParseFaultPlan("lost-write@2");
  ASSERT_TRUE(plan);
  sim.InjectFault(*plan);
  const auto t = Clock::now();
  const auto write = [&](std::uint8_t address, std::uint8_t value) {
    Send(sim, {'P', 'Q'}, t);
    Send(sim, {address}, t);
    const auto answer = Send(sim, {value}, t);  // status, value held (each with its complement)
    Send(sim, {0x06}, t);
    return answer;
  };
  const std::uint8_t old = sim.Memory(1, 4);
  write(3, 9);
  EXPECT_EQ(write(4, 77), (std::vector<std::uint8_t>{0, 255, 77, 178})) << "reported as taken";
  EXPECT_EQ(sim.Memory(1, 4), old) << "but not kept";
  write(4, 78);
  EXPECT_EQ(sim.Memory(1, 4), 78) << "only the second write is lost";
  EXPECT_EQ(sim.Memory(1, 3), 9);
}

TEST(Simulator, FaultNamesOfTheCommandLine) {
  const struct {
    const char* text;
    bool ok;
    Fault fault;
    int skip;
    int times;
  } rows[] = {
      {"lost-write", true, Fault::LostWrite, 0, kForever},  {"lost-write@1", true, Fault::LostWrite, 0, 1},
      {"lost-write@7", true, Fault::LostWrite, 6, 1},      {"silence@3", true, Fault::Silence, 2, 1},
      {"lost-write@0", false, Fault::LostWrite, 0, 0},     {"lost-write@", false, Fault::LostWrite, 0, 0},
      {"lost-write@2x", false, Fault::LostWrite, 0, 0},    {"lost", false, Fault::LostWrite, 0, 0},
  };
  for (const auto& r : rows) {
    const auto plan = ParseFaultPlan(r.text);
    ASSERT_EQ(plan.has_value(), r.ok) << r.text;
    if (!plan) continue;
    EXPECT_EQ(plan->fault, r.fault) << r.text;
    EXPECT_EQ(plan->skip, r.skip) << r.text;
    EXPECT_EQ(plan->times, r.times) << r.text;
  }
}

TEST(Simulator, StateRoundTripAndRejectsDamage) {
  SensorSimulator a;
  a.SetMemory(1, 4, 123);
  a.SetMemory(7, 15, 9);
  SensorSimulator b(SimConfig{.typeCode = 9});
  ASSERT_TRUE(b.LoadState(a.SaveState()));
  for (const int block : SensorSimulator::kBlocks)
    for (int addr = 0; addr < 16; ++addr)
      EXPECT_EQ(b.Memory(block, addr), a.Memory(block, addr)) << "block " << block << " address " << addr;

  const char* damaged[] = {
      "not json",
      R"({"blocks": {"1": [1, 2, 3]}})",
      R"({"blocks": {"1": [1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,256]}})",
      R"({"memory": {}})",
  };
  for (const char* text : damaged) {
    SensorSimulator c;
    EXPECT_FALSE(c.LoadState(text)) << text;
    EXPECT_EQ(c.Memory(1, 4), 10) << "unchanged after " << text;
  }
}

}  // namespace
}  // namespace rkt::sim
