// The sensor commands byte by byte against the simulated sensor: answers,
// every error code through injected faults, retries and progress steps.
#include <gtest/gtest.h>

#include "support/link_rig.h"

namespace rkt::link {
namespace {

using sim::Command;
using sim::Fault;
using sim::FaultPlan;
using test::FastPorts;
using test::FastSim;
using test::Rig;

TEST(Protocol, ReadsWithAndWithoutEcho) {
  for (const bool echo : {true, false}) {
    Rig rig(FastSim(echo), FastPorts(echo));
    rig.sim->SetMemory(0, 7, 6);
    std::uint8_t type = 0;
    EXPECT_EQ(rig.sensor->ReadParamByte(false, kBlockIdent, kAddrTypeCode, type), 0) << "echo " << echo;
    EXPECT_EQ(type, 6) << "echo " << echo;
    DataSet::Block block{};
    EXPECT_EQ(rig.sensor->ReadBlock(false, kBlockIdent, block), 0) << "echo " << echo;
    EXPECT_EQ(block[8], 6) << "LP 0 position 8 is the type code too; echo " << echo;
    EXPECT_EQ(rig.sensor->WriteParamByte(4, 77), 0) << "echo " << echo;
    EXPECT_EQ(rig.sim->Memory(1, 4), 77) << "echo " << echo;
  }
}

struct FaultRow {
  const char* what;
  Command command;
  Fault fault;
  int value;
  int code;
};

// Runs one command of the row's kind with progress, as the operations do.
int RunCommand(Rig& rig, Command c) {
  std::uint8_t v = 0;
  DataSet::Block block{};
  switch (c) {
    case Command::LQ: return rig.sensor->ReadParamByte(true, kBlockParams, 3, v);
    case Command::LP: return rig.sensor->ReadBlock(true, kBlockName1, block);
    case Command::PQ: return rig.sensor->WriteParamByte(3, 41);
    default: return -1;
  }
}

TEST(Protocol, EveryFaultGivesItsCodeAfterFiveAttempts) {
  const FaultRow rows[] = {
      {"LQ silent", Command::LQ, Fault::Silence, 0, 1001},
      {"LQ bad complement", Command::LQ, Fault::WrongComplement, 0, 1002},
      {"LQ wrong address", Command::LQ, Fault::WrongAddress, 0, 1002},
      {"LQ wrong block", Command::LQ, Fault::WrongBlock, 0, 1005},
      {"LP silent", Command::LP, Fault::Silence, 0, 1001},
      {"LP bad complement", Command::LP, Fault::WrongComplement, 0, 1002},
      {"LP wrong block", Command::LP, Fault::WrongBlock, 0, 1005},
      {"PQ silent", Command::PQ, Fault::Silence, 0, 1001},
      {"PQ bad complement", Command::PQ, Fault::WrongComplement, 0, 1002},
      {"PQ wrong acknowledge", Command::PQ, Fault::WrongAcknowledge, 0, 1010},
      {"PQ wrong address", Command::PQ, Fault::WrongAddress, 0, 1010},
      {"PQ status 1", Command::PQ, Fault::StatusByte, 1, 1011},
      {"PQ status 2", Command::PQ, Fault::StatusByte, 2, 1012},
      {"PQ status 3", Command::PQ, Fault::StatusByte, 3, 1010},
      {"PQ status 10 is no success", Command::PQ, Fault::StatusByte, 10, 1010},
      {"PQ confirmation not repeated", Command::PQ, Fault::WrongConfirmation, 0, 1020},
      {"PQ value read back differs", Command::PQ, Fault::ReadBackDiffers, 0, 1021},
  };
  for (const FaultRow& r : rows) {
    Rig rig;
    const std::uint8_t before = rig.sim->Memory(1, 3);
    rig.sim->InjectFault({r.fault, r.command, sim::kForever, r.value});
    EXPECT_EQ(RunCommand(rig, r.command), r.code) << r.what;
    EXPECT_EQ(rig.sim->CommandCount(r.command), kCommandAttempts) << r.what;
    EXPECT_EQ(rig.user.BarTotal(), 5) << r.what;
    if (r.command == Command::PQ && r.fault != Fault::WrongConfirmation) {
      EXPECT_EQ(rig.sim->Memory(1, 3), before) << r.what << ": nothing may be stored";
    }
  }
}

TEST(Protocol, WithoutProgressThereIsOneAttemptAndNoBar) {
  Rig rig;
  rig.sim->InjectFault({Fault::WrongComplement, Command::LQ});
  std::uint8_t v = 0;
  EXPECT_EQ(rig.sensor->ReadParamByte(false, kBlockParams, 3, v), 1002);
  EXPECT_EQ(rig.sim->CommandCount(Command::LQ), 1);
  EXPECT_TRUE(rig.user.increments.empty());
}

TEST(Protocol, RetryAfterAFailureMidCommandSucceeds) {
  // Each fault leaves the sensor waiting inside its command; the retry
  // works only because the sensor is given time to drop back to idle.
  const struct {
    const char* what;
    Command command;
    Fault fault;
  } rows[] = {
      {"LQ block echo", Command::LQ, Fault::WrongComplement},
      {"LQ block", Command::LQ, Fault::WrongBlock},
      {"LP block", Command::LP, Fault::WrongBlock},
      {"PQ acknowledge", Command::PQ, Fault::WrongComplement},
      {"PQ address", Command::PQ, Fault::WrongAddress},
  };
  for (const auto& r : rows) {
    Rig rig;
    rig.sim->InjectFault({r.fault, r.command, 2});
    EXPECT_EQ(RunCommand(rig, r.command), 0) << r.what;
    EXPECT_EQ(rig.sim->CommandCount(r.command), 3) << r.what;
    if (r.command == Command::PQ) {
      EXPECT_EQ(rig.sim->Memory(1, 3), 41) << r.what;
      // Only the good attempt may have stored anything.
      EXPECT_EQ(rig.sim->StoredWrites(), (std::vector<std::pair<int, std::uint8_t>>{{3, 41}})) << r.what;
    }
  }
}

TEST(Protocol, ProgressStepsAreToppedUpToFive) {
  const struct {
    const char* what;
    Command command;
    int failures;
    std::vector<int> increments;
  } rows[] = {
      {"LQ first time", Command::LQ, 0, {1, 4}},
      {"LQ third time", Command::LQ, 2, {1, 1, 1, 2}},
      {"LQ all five fail", Command::LQ, 5, {1, 1, 1, 1, 1}},
      {"PQ first time", Command::PQ, 0, {1, 4}},
      {"PQ second time", Command::PQ, 1, {1, 1, 3}},
      {"LP first time: no top-up", Command::LP, 0, {1}},
      {"LP third time: no top-up", Command::LP, 2, {1, 1, 1}},
  };
  for (const auto& r : rows) {
    Rig rig;
    if (r.failures > 0) rig.sim->InjectFault({Fault::WrongComplement, r.command, r.failures});
    RunCommand(rig, r.command);
    EXPECT_EQ(rig.user.increments, r.increments) << r.what;
  }
}

TEST(Protocol, CancelEndsTheCommandBeforeItsNextAttempt) {
  Rig rig;
  rig.sim->InjectFault({Fault::WrongComplement, Command::LQ});
  rig.user.cancelAtInc = 2;  // the third IncBar, before the third attempt
  std::uint8_t v = 0;
  EXPECT_EQ(rig.sensor->ReadParamByte(true, kBlockParams, 3, v), kCodeUserAbort);
  EXPECT_EQ(rig.sim->CommandCount(Command::LQ), 2);
}

TEST(Presence, AlwaysThirtyStepsAndMessagesByMode) {
  {
    Rig rig;
    rig.sim->InjectFault({Fault::Silence, Command::V, 3});
    EXPECT_EQ(rig.sensor->CheckSensor(CheckMode::InOperation), 1);
    EXPECT_EQ(rig.user.BarTotal(), 30) << "found at the fourth attempt";
    EXPECT_EQ(rig.sim->CommandCount(Command::V), 4);
    EXPECT_TRUE(rig.user.messages.empty()) << "mode 1 is quiet on success";
    EXPECT_EQ(rig.sensor->LastPresenceAttempt(), 4);
  }
  {
    Rig rig;
    EXPECT_EQ(rig.sensor->CheckSensor(CheckMode::CommunicationTest), 1);
    EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{3});
  }
  {
    Rig rig;
    rig.sim->InjectFault({Fault::Silence, Command::V});
    EXPECT_EQ(rig.sensor->CheckSensor(CheckMode::Silent), 0);
    EXPECT_TRUE(rig.user.increments.empty()) << "mode 0 never touches the progress dialog";
    EXPECT_TRUE(rig.user.messages.empty()) << "mode 0 never shows a message";
    EXPECT_EQ(rig.sim->CommandCount(Command::V), 30);
    EXPECT_EQ(rig.sensor->LastPresenceAttempt(), 31);
  }
}

TEST(Presence, NoSensorOffersRetryWhichStartsAgain) {
  Rig rig;
  rig.sim->InjectFault({Fault::Silence, Command::V, 35});
  rig.user.answers = {kAnswerRetry};
  EXPECT_EQ(rig.sensor->CheckSensor(CheckMode::InOperation), 1);
  ASSERT_EQ(rig.user.messages.size(), 1u);
  EXPECT_EQ(rig.user.messages[0].number, 1);
  EXPECT_EQ(rig.user.messages[0].buttons, kButtonsRetryCancel);
  EXPECT_EQ(rig.user.messages[0].help, kHelpNoSensor);
  EXPECT_EQ(rig.sim->CommandCount(Command::V), 36);
  EXPECT_EQ(rig.user.BarTotal(), 30) << "30 steps, back 30, 30 again";
  EXPECT_TRUE(rig.sensor->SensorConnected());
}

TEST(Presence, PresenceBitMakesTheSensorAbsent) {
  Rig rig;
  rig.sim->SetMemory(0, kAddrPresence, 3);
  EXPECT_EQ(rig.sensor->CheckSensor(CheckMode::InOperation), 0);
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{1});
  EXPECT_EQ(rig.sim->CommandCount(Command::V), 1) << "the sensor answered the first V";
}

}  // namespace
}  // namespace rkt::link
