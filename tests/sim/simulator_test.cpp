#include <gtest/gtest.h>

#include "sim/sensor_simulator.h"

namespace rkt::sim {
namespace {

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

TEST(Simulator, FaultNamesOfTheCommandLine) {
  const struct {
    const char* text;
    bool ok;
    Fault fault = Fault::Silence;
    int skip = 0, times = 0;
  } rows[] = {
      {"lost-write", true, Fault::LostWrite, 0, kForever}, {"lost-write@1", true, Fault::LostWrite, 0, 1},
      {"lost-write@7", true, Fault::LostWrite, 6, 1},      {"silence@3", true, Fault::Silence, 2, 1},
      {"lost-write@0", false}, {"lost-write@", false}, {"lost-write@2x", false}, {"lost", false},
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
    for (int addr = 0; addr < 16; ++addr) EXPECT_EQ(b.Memory(block, addr), a.Memory(block, addr)) << block << addr;
  for (const char* text : {"not json", R"({"blocks": {"1": [1, 2, 3]}})",
                           R"({"blocks": {"1": [1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,256]}})", R"({"memory": {}})"}) {
    SensorSimulator c;
    EXPECT_FALSE(c.LoadState(text)) << text;
    EXPECT_EQ(c.Memory(1, 4), 10) << "unchanged after " << text;
  }
}

}  // namespace
}  // namespace rkt::sim
