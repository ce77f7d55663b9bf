// The simulated sensor's fault names, and the behaviour of a sensor that
// refuses "LP" on a block or never leaves a command by itself.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "sim/sensor_simulator.h"

namespace rkt::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FaultNames, ValuesAndPositions) {
  using Plan = std::tuple<Fault, int, int, int>;  // fault, value, times, skip
  const std::pair<const char*, std::optional<Plan>> rows[] = {
      {"no-lp", Plan{Fault::NoLp, 1, kForever, 0}},          {"no-lp=5", Plan{Fault::NoLp, 5, kForever, 0}},
      {"no-lp=0@2", Plan{Fault::NoLp, 0, 1, 1}},             {"lost-write@3", Plan{Fault::LostWrite, 0, 1, 2}},
      {"silence", Plan{Fault::Silence, 0, kForever, 0}},     {"no-lp=", std::nullopt},
      {"no-lp=256", std::nullopt},                           {"no-lp=-1", std::nullopt},
      {"no-lp=1x", std::nullopt},                            {"no-lp=1@", std::nullopt},
      {"no-lp@0", std::nullopt},                             {"lost-write=1", std::nullopt},
      {"no-lp-1", std::nullopt},                             {"", std::nullopt}};
  for (const auto& [text, expected] : rows) {
    const std::optional<FaultPlan> plan = ParseFaultPlan(text);
    ASSERT_EQ(plan.has_value(), expected.has_value()) << "'" << text << "'";
    if (plan) { EXPECT_EQ(Plan(plan->fault, plan->value, plan->times, plan->skip), *expected) << text; }
  }
  EXPECT_TRUE(FaultFits(Fault::NoLp, Command::LP));
  EXPECT_FALSE(FaultFits(Fault::NoLp, Command::LQ));
}

// The sensor's answer to bytes written `ms` after the start (no echo).
Bytes Send(SensorSimulator& s, const Bytes& bytes, int ms) {
  static const Clock::time_point start = Clock::now();
  Bytes out;
  for (const TimedByte& b : s.Write(bytes, start + std::chrono::milliseconds(ms))) out.push_back(b.value);
  return out;
}

Bytes Answer(std::initializer_list<int> values) {
  Bytes out;
  for (const int v : values) out.insert(out.end(), {std::uint8_t(v), std::uint8_t(255 - v)});
  return out;
}

TEST(SimulatedSensor, NoLpRefusesOnlyItsBlock) {
  SensorSimulator s({.echo = false});
  s.InjectFault(*ParseFaultPlan("no-lp=1"));
  EXPECT_EQ(Send(s, {'L', 'P', 1}, 0), Bytes{}) << "no answer";
  EXPECT_EQ(Send(s, {'V'}, 1), Answer({0x11})) << "and back at idle";
  EXPECT_EQ(Send(s, {'L', 'P', 0}, 2).size(), 34u) << "another block is answered";
  EXPECT_EQ(Send(s, {'L', 'Q', 1, 4}, 3), Answer({1, 4, s.Memory(1, 4)})) << "block 1 byte by byte";
}

// A sensor left inside a "PQ" (after the address) takes the next byte as
// data if it has not dropped the command; with reset time 0 it never does.
// A silenced command is lost; until the sensor drops back to idle it hears
// nothing, and one that never does hears the next command at once.
TEST(SimulatedSensor, ResetTimeZeroNeverLeavesACommand) {
  const struct { int resetMs; Bytes afterPause; Bytes afterSilence; } rows[] = {
      {150, {}, {}}, {0, Answer({0, 0x50}), Answer({0x11})}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.resetMs);
    const SimConfig config{.echo = false, .idleTimeout = std::chrono::milliseconds(r.resetMs)};
    SensorSimulator s(config);
    EXPECT_EQ(Send(s, {'P', 'Q', 1}, 0), Answer({1, 1}));
    EXPECT_EQ(Send(s, {'P'}, 10'000), r.afterPause) << "ten seconds later, 'P' as data";
    EXPECT_EQ(s.Locked(), r.resetMs == 0) << "0x50 at address 1 locks";
    SensorSimulator deaf(config);
    deaf.InjectFault({Fault::Silence, Command::PQ, 1});
    EXPECT_EQ(Send(deaf, {'P', 'Q'}, 0), Bytes{});
    EXPECT_EQ(Send(deaf, {'V'}, 1), r.afterSilence);
  }
}

}  // namespace
}  // namespace rkt::sim
