// The user-level sensor operations against the simulated sensor.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ranges>

#include "model/bit.h"
#include "model/data_code.h"
#include "support/link_rig.h"
#include "text/text_keys.h"

namespace rkt::link {
namespace {

using sim::Command;
using sim::Fault;
using test::FastSim;
using test::Rig;
using Msgs = std::vector<test::RecordingUser::Message>;
using Forms = std::vector<std::pair<int, int>>;
using Ends = std::vector<std::pair<WriteResult, int>>;
constexpr int kWritten[] = {0, 1, 3, 4, 5, 6, 11};  // the parameter addresses a write sends

std::vector<std::uint8_t> SensorParams(const Rig& rig) {
  const auto bytes = kWritten | std::views::transform([&](int a) { return rig.sim->Memory(1, a); });
  return {bytes.begin(), bytes.end()};
}
std::vector<int> StoredAddresses(const Rig& rig) {
  const auto addresses = rig.sim->StoredWrites() | std::views::keys;
  return {addresses.begin(), addresses.end()};
}

// The bytes a write of the working copy leaves in the sensor (odd types hold
// the input bit of address 1 inverted).
std::vector<std::uint8_t> Meant(const Rig& rig) {
  std::vector<std::uint8_t> bytes;
  for (const int a : kWritten)
    bytes.push_back(static_cast<std::uint8_t>(rig.data.Param(kWorkingCopy, a + 1) ^
                                              (a == kAddrLock && rig.sim->Memory(0, kAddrTypeCode) % 2 == 1)));
  return bytes;
}

// A rig whose working copy a read has filled, with a history recording what the link gives it.
struct ReadRig : Rig, WriteJournal {
  explicit ReadRig(sim::SimConfig c = FastSim(), bool read = true, PortSettings p = test::FastPorts()) : Rig(c, p) {
    if (read) { EXPECT_TRUE(sensor->SensorRead()); }
    user = test::RecordingUser{};
    sensor->SetJournal(this);
  }
  std::int64_t Begin(const WriteRecord& record) override {
    records.push_back(record);
    pqAtBegin.push_back(sim->CommandCount(Command::PQ));
    return broken ? 0 : static_cast<std::int64_t>(records.size());
  }
  bool Complete(std::int64_t, WriteResult result, int code) override {
    return ends.emplace_back(result, code), !broken;
  }
  bool RecordHeld(std::int64_t id, const DataSet::Block& block) override {
    return held.emplace_back(id, block), !broken;
  }
  std::string Problem() const override { return broken ? "history.sqlite: the disk is full" : ""; }
  bool broken = false;
  std::vector<WriteRecord> records;
  std::vector<std::pair<std::int64_t, DataSet::Block>> held;
  std::vector<int> pqAtBegin;
  std::vector<std::pair<WriteResult, int>> ends;
};

TEST(SensorReadOp, TakesTheSensorIntoTheWorkingCopy) {
  Rig rig(FastSim(true, 2));  // an even type: no bit is inverted
  rig.data.Param(kWorkingCopy, param::kSensitivity) = 33;
  rig.data.SetValue(ValueId::Comment, std::string("old comment"));
  rig.data.SetValue(ValueId::Changed, true);
  ASSERT_TRUE(rig.sensor->SensorRead());
  for (int a : kWritten) EXPECT_EQ(rig.data.Param(kWorkingCopy, a + 1), rig.sim->Memory(1, a)) << "address " << a;
  EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSensitivity), 33) << "a read keeps the shown sensitivity";
  EXPECT_EQ(rig.data.Ident(kWorkingCopy, ident::kTypeCode), 2);
  EXPECT_EQ(rig.data.GetString(ValueId::TypeName, kWorkingCopy).substr(0, 9), "RKT 410-2");
  EXPECT_EQ(std::tuple(rig.data.Comment(), rig.data.IsChanged(), rig.data.DataValid()), std::tuple("", false, 1));
  EXPECT_EQ(std::pair(rig.user.forms, rig.user.unloads), std::pair(Forms{{kProgressRead, 75}}, 1));
  EXPECT_EQ(std::pair(rig.sensor->OperationRunning(), rig.ports->GetTimeout()), std::pair(false, 10)) << "detect period";
}

TEST(SensorReadOp, DefaultsOfAnotherTypeAskFirst) {
  for (const bool yes : {false, true}) {
    Rig rig(FastSim(true, 3));
    rig.data.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kTypeCode] = 1;
    if (yes) rig.user.answers = {kAnswerYes};
    EXPECT_EQ(rig.sensor->SensorRead(true), yes);
    EXPECT_EQ(rig.user.messages, (Msgs{{31, kButtonsYesNo, kHelpTypeChanged}}));
    EXPECT_EQ(rig.data.Ident(kWorkingCopy, ident::kTypeCode), yes ? 3 : 1) << "No changes nothing";
    if (yes) { EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSwitchingFrequency), rig.sim->Memory(2, 3)); }
  }
}

TEST(SensorReadOp, FailureOffersRetryAndCancelOrUnsavedChangesKeepTheData) {
  ReadRig rig;
  rig.sim->InjectFault({Fault::Silence, Command::LP, 5});
  rig.user.answers = {kAnswerRetry};
  EXPECT_TRUE(rig.sensor->SensorRead());
  EXPECT_EQ(rig.user.messages, (Msgs{{1001, kButtonsRetryCancel, kHelpTransfer}}));
  EXPECT_EQ(std::pair(rig.user.forms.size(), rig.user.unloads), std::pair(std::size_t{2}, 2)) << "Retry shows the progress again";
  for (const bool cancel : {true, false}) {
    rig.user = test::RecordingUser{};
    const DataSet before = rig.data;
    const int commands = rig.sim->CommandCount(Command::Any);
    rig.sim->SetMemory(1, 3, cancel ? 200 : 201);
    rig.user.cancelAtInc = cancel ? 10 : -1;  // at the third parameter byte of the read sequence
    rig.user.stopOnDataChanged = !cancel;
    EXPECT_FALSE(rig.sensor->SensorRead());
    EXPECT_TRUE(rig.user.messages.empty());
    EXPECT_EQ(std::tuple(rig.user.forms.size(), rig.user.unloads, rig.sensor->OperationRunning()),
              std::tuple(cancel ? std::size_t{1} : std::size_t{0}, cancel ? 1 : 0, false));
    if (!cancel) { EXPECT_EQ(rig.sim->CommandCount(Command::Any), commands) << "unsaved changes: nothing sent"; }
    for (const BlockId b : kAllBlocks)
      for (const Copy c : {kWorkingCopy, kReadCopy}) EXPECT_EQ(rig.data.GetBlock(b, c), before.GetBlock(b, c)) << c;
  }
}

// Read and write turn the input bit round under different rules; the setting
// the history takes before the first byte gives the sensor its bytes back.
TEST(SensorWriteOp, InputBitInvertedByTypeAndTheSettingBeforeRestoresTheBytes) {
  const struct { int type, version; bool readInverted; } rows[] = {
      {1, 3, true}, {2, 3, false}, {15, 3, false}, {1, 4, false}, {5, 3, true}, {2, 4, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "type " << r.type << " version " << r.version);
    ReadRig rig(FastSim(true, r.type), false);
    rig.sim->SetMemory(0, 4, static_cast<std::uint8_t>(r.version));
    rig.sim->SetMemory(0, 0, 0x12);
    rig.sim->SetMemory(0, 1, 0x34);
    rig.sim->SetMemory(1, 1, 0x05);  // bit 0 set, unlocked
    ASSERT_TRUE(rig.sensor->SensorRead());
    EXPECT_EQ(GetBit(rig.data.Param(kWorkingCopy, param::kInput), 0), r.readInverted ? 0 : 1);
    const auto original = SensorParams(rig);
    const DataSet sensorBefore = rig.data;
    rig.data.Param(kWorkingCopy, param::kInput) = 0x05;
    rig.data.SetValue(ValueId::TimeValue1, 77);
    ASSERT_TRUE(rig.sensor->SensorWrite());
    EXPECT_EQ(rig.sim->Memory(1, 1), r.type % 2 == 1 ? 0x04 : 0x05);
    EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kInput), 0x05) << "the working copy keeps the logical bit";
    ASSERT_EQ(rig.records.size(), 1u);
    const WriteRecord rec = rig.records[0];
    EXPECT_EQ(rig.pqAtBegin[0], 0) << "stored before anything was written";
    EXPECT_EQ(rec.port, "SIM");
    EXPECT_EQ(rec.identBefore[ident::kSerialHigh] * 256 + rec.identBefore[ident::kSerialLow], 0x1234);
    if (r.readInverted == (r.type % 2 == 1)) {  // else the code follows the write's rule
      EXPECT_EQ(rec.codeBefore, EncodeDataCode(sensorBefore));
      EXPECT_EQ(rec.codeAfter, EncodeDataCode(rig.data));
    }
    EXPECT_EQ(rig.ends, (Ends{{WriteResult::Done, 0}}));
    rig.data.GetBlock(BlockId::Parameter, kWorkingCopy) = rec.paramsBefore;
    ASSERT_TRUE(rig.sensor->SensorWrite());
    EXPECT_EQ(SensorParams(rig), original);
  }
}

TEST(SensorWriteOp, WritesTheWorkingCopyAndTheLockLast) {
  ReadRig rig;
  rig.data.SetValue(ValueId::TimeValue1, 99);
  rig.data.SetValue(ValueId::SwitchingFrequency, 5);
  const int blockReads = rig.sim->CommandCount(Command::LP);
  ASSERT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.sim->Memory(1, 4), 99);
  EXPECT_EQ(rig.sim->Memory(1, 3), 81);
  EXPECT_EQ(rig.data.Param(kReadCopy, param::kTimeValue1), 99) << "the working copy became the read copy";
  EXPECT_FALSE(rig.data.IsChanged());
  EXPECT_TRUE(rig.user.messages.empty());
  EXPECT_EQ(rig.user.forms, (Forms{{kProgressWrite, 83}}));
  EXPECT_EQ(rig.user.BarTotal(), 83) << "the bar ends full";
  EXPECT_EQ(rig.sim->CommandCount(Command::LP) - blockReads, 3) << "ident and parameters before, parameters after";
  EXPECT_EQ(StoredAddresses(rig), std::vector<int>(std::begin(kWritten), std::end(kWritten))) << "no sensitivity";
  rig.data.SetValue(ValueId::ProgramLock, 1);
  rig.data.SetValue(ValueId::TimeValue2, 42);
  ASSERT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.sim->StoredWrites().back().first, 1) << "the lock goes in last";
  EXPECT_EQ(rig.sim->Memory(1, 5), 42);
  EXPECT_TRUE(rig.sim->Locked());
}

// IncBar: presence, lock, type 2 each, two block reads 1 each, type 2, then 2
// per byte: a cancel at call 7 comes before the first write, at 13 after it.
TEST(SensorWriteOp, RefusalsFailuresAndCancelsRestoreTheBackupAndOfferTheSettingBefore) {
  const struct { int sensorType; bool locked; int refuseAfter, cancelAt; Msgs messages; int stored = 0; } rows[] = {
      {1, true, -1, -1, {{32, kButtonsOk, help::kContents}}, 0}, {3, false, -1, -1, {{30, kButtonsOk, help::kContents}}},
      {1, false, 0, -1, {{1012, kButtonsRetryCancel, kHelpTransfer}}, 0},
      {1, false, 2, -1, {{1012, kButtonsRetryCancel, kHelpTransfer}}, 2}, {1, false, -1, 6, {}, 0},
      {1, false, -1, 12, {{kCodeUserAbort, kButtonsOk, help::kContents}}, 1}};
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    const bool refused = r.locked || r.sensorType != 1;
    ReadRig rig(FastSim(true, r.sensorType, r.locked), !refused);
    rig.data.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kTypeCode] = 1;
    rig.data.Param(kWorkingCopy, param::kTimeValue1) = 7;
    rig.user.onReadPanel = [&] { rig.data.Param(kWorkingCopy, param::kTimeValue1) = 99; };
    rig.user.cancelAtInc = r.cancelAt;
    if (r.refuseAfter >= 0) rig.sim->InjectFault({Fault::StatusByte, Command::PQ, sim::kForever, 2, r.refuseAfter});
    EXPECT_FALSE(rig.sensor->SensorWrite());
    EXPECT_FALSE(rig.sensor->OperationRunning());
    EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kTimeValue1), 7) << "backup restored";
    EXPECT_EQ(rig.user.messages, r.messages);
    EXPECT_EQ(rig.sim->StoredWrites().size(), static_cast<std::size_t>(r.stored));
    EXPECT_EQ(rig.sensor->LastWrite().written, r.stored > 0);
    EXPECT_TRUE(rig.held.empty()) << "only a failed check keeps what the sensor holds";
    if (refused) { EXPECT_EQ(rig.sim->CommandCount(Command::PQ), 0); }
    if (r.messages.empty() || refused) continue;
    const std::string& note = rig.user.notes[0];
    EXPECT_EQ(note.find(Text("Message", "WriteMixed")) != std::string::npos, r.stored > 0) << note;
    if (r.stored > 0) { EXPECT_NE(note.find(rig.records.at(0).codeBefore), std::string::npos) << note; }
    ASSERT_EQ(rig.ends.size(), 1u);
    if (r.cancelAt < 0) { EXPECT_EQ(rig.ends[0], std::make_pair(WriteResult::Failed, 1012)); }
  }
  ReadRig rig;
  rig.data.SetValue(ValueId::TimeValue1, 40);
  rig.sim->InjectFault({Fault::Silence, Command::LQ, kCommandAttempts, 0, 2});  // the type read fails, then all is well
  EXPECT_FALSE(rig.sensor->SensorWrite());
  EXPECT_EQ(std::pair(rig.user.MessageNumbers(), rig.sim->StoredWrites().size()), std::pair(std::vector<int>{1001}, std::size_t{0}));
}

// After its commands failed, a write reads the sensor back: a write that did
// end (the lock byte taken, its answer spoilt, every retry refused by the
// lock) is done; a programming lock the data did not ask for is told.
TEST(SensorWriteOp, AFailedWriteReadsTheSensorBackForALockAndForAWriteThatEnded) {
  const sim::FaultPlan lastAnswerSpoilt{Fault::WrongConfirmation, Command::PQ, 1, 0, 6};
  const sim::FaultPlan refusedFromThird{Fault::StatusByte, Command::PQ, sim::kForever, 2, 2};
  // Before the third "PQ" the sensor locks ('L', as a stray 0x50 at address
  // 1 does) or stops answering ('S'); lqs: the "LQ" after the first "PQ".
  const Msgs failed1011{{1011, kButtonsRetryCancel, kHelpTransfer}};
  const struct { const char* why; bool lock; std::optional<sim::FaultPlan> fault; char atThird; Msgs messages;
                 bool lockedUnasked; int lqs; } rows[] = {
      {"the lock byte's answer spoilt", true, lastAnswerSpoilt, 0, {}, false, 1},
      {"a stray byte locked it", false, std::nullopt, 'L', failed1011, true, 1},
      {"the lock it was asked for", true, std::nullopt, 'L', failed1011, false, 1},
      {"refused, unlocked", false, refusedFromThird, 0, {{1012, kButtonsRetryCancel, kHelpTransfer}}, false, 1},
      {"no more answers: nothing to read back", false, std::nullopt, 'S', {{1001, kButtonsRetryCancel, kHelpTransfer}},
       false, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.why);
    ReadRig rig;
    if (r.fault) rig.sim->InjectFault(*r.fault);
    rig.data.SetValue(ValueId::TimeValue1, 66);
    rig.data.SetValue(ValueId::ProgramLock, r.lock ? 1 : 0);
    const int pqs = rig.sim->CommandCount(Command::PQ);
    std::optional<int> lqsBefore;
    rig.user.onIncBar = [&] {
      if (rig.sim->CommandCount(Command::PQ) > pqs && !lqsBefore) lqsBefore = rig.sim->CommandCount(Command::LQ);
      if (rig.sim->CommandCount(Command::PQ) != pqs + 2) return;
      if (r.atThird == 'L') rig.sim->SetMemory(1, kAddrLock, rig.sim->Memory(1, kAddrLock) & ~(1 << kLockBit));
      if (r.atThird == 'S') rig.sim->InjectFault({Fault::Silence});
    };
    EXPECT_EQ(rig.sensor->SensorWrite(), r.messages.empty());
    EXPECT_EQ(rig.user.messages, r.messages);
    EXPECT_EQ(rig.sensor->LastWrite().lockedUnasked, r.lockedUnasked);
    EXPECT_EQ(rig.sim->CommandCount(Command::LQ) - lqsBefore.value_or(-1), r.lqs) << "address 1 read back";
    if (r.messages.empty()) {
      EXPECT_TRUE(rig.sim->Locked());
      EXPECT_EQ(rig.ends, (Ends{{WriteResult::Done, 0}}));
      continue;
    }
    const std::string& note = rig.user.notes.at(0);
    EXPECT_EQ(note.rfind(Text("Message", "WriteLockedUnasked"), 0) == 0, r.lockedUnasked) << note;
    EXPECT_NE(note.find(Text("Message", "WriteMixed")), std::string::npos) << note;
  }
}

TEST(SensorWriteOp, LostByteFailsTheCheckAndTheReadCopyShowsTheSensor) {
  ReadRig rig;
  const std::uint8_t held = rig.sim->Memory(1, 4);
  rig.data.SetValue(ValueId::TimeValue1, 40);
  rig.data.SetValue(ValueId::TimeValue2, 33);
  rig.sim->InjectFault(*sim::ParseFaultPlan("lost-write@4"));  // address 4, time value 1
  EXPECT_FALSE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.sim->Memory(1, 4), held);
  EXPECT_EQ(rig.user.messages, (Msgs{{kCodeVerifyFailed, kButtonsRetryCancel, help::kVerifyFailed}}));
  EXPECT_EQ(std::pair(rig.data.Param(kReadCopy, param::kTimeValue1), rig.data.Param(kReadCopy, param::kTimeValue2)),
            std::pair(held, std::uint8_t{33})) << "the read copy holds what the sensor has";
  EXPECT_EQ(rig.sensor->LastWrite().code, kCodeVerifyFailed);
  EXPECT_EQ(rig.ends, (Ends{{WriteResult::VerifyFailed, kCodeVerifyFailed}}));
  // The history keeps what the sensor holds beside what was meant, and whose names it has.
  ASSERT_EQ(rig.held.size(), 1u);
  const WriteRecord& record = rig.records.at(0);
  EXPECT_EQ(rig.held[0].first, 1);
  EXPECT_EQ(std::tuple(rig.held[0].second[param::kTimeValue1], rig.held[0].second[param::kTimeValue2],
                       record.paramsAfter[param::kTimeValue1]),
            std::tuple(held, std::uint8_t{33}, std::uint8_t{40}));
  EXPECT_EQ(record.names[0], rig.data.GetBlock(BlockId::Name1, kReadCopy));
  EXPECT_NE(TypeDesignation(rig.data, kReadCopy), "") << "the simulated sensor has a designation";
}

// Block 1 is read with "LQ", byte by byte, in the read sequence; a sensor
// may refuse "LP" on it (here: no answer) or answer it wrongly. The preview,
// the history and the check after the write then read it byte by byte, and
// keep doing so until the port is closed.
TEST(SensorWriteOp, ASensorThatRefusesLpOnTheParameterBlockIsWrittenCheckedAndRecorded) {
  // "LP" commands of each of three writes: the first, one more on the same
  // port, one after the port was closed and opened again.
  const struct { const char* why; sim::FaultPlan fault; std::array<int, 3> lps; } rows[] = {
      {"no LP on block 1", *sim::ParseFaultPlan("no-lp=1"), {2, 1, 2}},
      {"a wrong answer to the first LP of block 1", {Fault::WrongBlock, Command::LP, 1, 0, 1}, {2, 1, 3}},
      {"a sensor that answers LP", {Fault::NoLp, Command::LP, 0}, {3, 3, 3}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.why);
    ReadRig rig;
    DataSet::Block sensorBefore{};  // in the sense of the working copy: type 1 holds the input bit inverted
    for (int a = 0; a < kBlockSize; ++a) sensorBefore[a + 1] = rig.sim->Memory(1, a) ^ (a == kAddrLock);
    rig.sim->InjectFault(r.fault);
    rig.data.SetValue(ValueId::SwitchingFrequency, 5);
    for (int write = 0; write < 3; ++write) {
      SCOPED_TRACE(write);
      if (write == 2) {
        rig.ports->ClosePort();
        ASSERT_TRUE(rig.ports->Reopen());
      }
      rig.user = test::RecordingUser{};
      rig.data.SetValue(ValueId::TimeValue1, 55 + write);
      const int lps = rig.sim->CommandCount(Command::LP);
      ASSERT_TRUE(rig.sensor->SensorWrite()) << testing::PrintToString(rig.user.MessageNumbers());
      EXPECT_EQ(rig.sim->CommandCount(Command::LP) - lps, r.lps[write]) << "ident, parameters before and after";
      EXPECT_EQ(SensorParams(rig), Meant(rig));
      EXPECT_EQ(rig.user.BarTotal(), 83) << "the bar ends full, not beyond";
      for (const int a : kWritten) EXPECT_EQ(rig.sensor->VerifiedBlock()[a + 1], rig.sim->Memory(1, a)) << a;
    }
    ASSERT_EQ(rig.records.size(), 3u);
    for (const int a : {0, 1, 2, 3, 4, 5, 6, 8, 11})
      EXPECT_EQ(rig.records[0].paramsBefore[a + 1], sensorBefore[a + 1]) << "the history's setting before, address " << a;
    EXPECT_EQ(rig.ends, Ends(3, {WriteResult::Done, 0}));
  }
}

TEST(SensorWriteOp, AnUnusableHistoryIsReportedOnceAndRetryRepeatsTheCommentNotice) {
  ReadRig rig;
  rig.broken = true;
  for (const int value : {50, 60}) {
    rig.data.SetValue(ValueId::TimeValue1, value);
    EXPECT_TRUE(rig.sensor->SensorWrite()) << value;
    EXPECT_EQ(rig.sim->Memory(1, 4), value);
  }
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{msg::kHistoryUnavailable});
  EXPECT_EQ(rig.user.notes, std::vector<std::string>{"history.sqlite: the disk is full"}) << "with its reason";
  rig.user = test::RecordingUser{};
  rig.data.SetValue(ValueId::CommentChanged, true);
  rig.data.SetValue(ValueId::TimeValue1, 77);
  rig.sim->InjectFault({Fault::ReadBackDiffers, Command::PQ, 5});
  rig.user.answers = {kAnswerRetry};
  EXPECT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.user.MessageNumbers(), (std::vector<int>{35, 1021, 35})) << "Retry repeats the comment notice";
}

// Where the history is required, a record that cannot be stored ends the write before its first byte, every
// time, with the reason; the data set stays as it was.
TEST(SensorWriteOp, ARequiredHistoryThatCannotStoreTheRecordStopsTheWrite) {
  ReadRig rig;
  rig.broken = true;
  rig.sensor->SetJournal(&rig, true);
  const std::uint8_t before = rig.sim->Memory(1, 4);
  for (const int value : {50, 60}) {
    rig.data.SetValue(ValueId::TimeValue1, value);
    EXPECT_FALSE(rig.sensor->SensorWrite()) << value;
    EXPECT_EQ(std::tuple(rig.sim->Memory(1, 4), rig.sim->CommandCount(Command::PQ), rig.sensor->LastWrite().code,
                         rig.sensor->LastWrite().written),
              std::tuple(before, 0, -1, false));
    EXPECT_EQ(rig.data.GetInt(ValueId::TimeValue1, kWorkingCopy), value) << "the working copy keeps the edit";
  }
  EXPECT_EQ(rig.user.MessageNumbers(), (std::vector<int>{msg::kHistoryRequired, msg::kHistoryRequired}));
  EXPECT_EQ(rig.user.notes.at(0), "history.sqlite: the disk is full");
  EXPECT_TRUE(rig.ends.empty()) << "nothing to complete";
  rig.broken = false;
  EXPECT_TRUE(rig.sensor->SensorWrite()) << "written once the record can be stored";
  EXPECT_EQ(std::pair(rig.sim->Memory(1, 4), rig.ends), std::pair(std::uint8_t{60}, Ends{{WriteResult::Done, 0}}));
}

TEST(SensorWriteOp, PreviewSeesTheSensorAndNoOrNothingChangedWritesNothing) {
  ReadRig rig;
  rig.sim->SetMemory(1, 4, 12);  // changed on the sensor since it was read
  rig.data.SetValue(ValueId::TimeValue1, 90);
  int shownTime = -1;
  rig.user.onConfirmWrite = [&](const DataSet& now) {
    return shownTime = now.Param(kWorkingCopy, param::kTimeValue1), false;
  };
  EXPECT_FALSE(rig.sensor->SensorWrite());
  EXPECT_EQ(shownTime, 12) << "the preview compares with what the sensor holds now";
  EXPECT_EQ(std::tuple(rig.user.messages.size(), rig.sensor->LastWrite().declined, rig.sensor->LastWrite().code),
            std::tuple(std::size_t{0}, true, -1));
  rig.user = test::RecordingUser{};
  rig.data.SetValue(ValueId::TimeValue1, 12);
  rig.data.SetValue(ValueId::Changed, true);
  EXPECT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(std::tuple(rig.user.nothingToWrite, rig.data.IsChanged(), rig.sim->CommandCount(Command::PQ)),
            std::tuple(1, false, 0)) << "the sensor holds the working copy";
  EXPECT_TRUE(rig.records.empty()) << "no write, no record";
}

// Each single fault at each command it can hit, during a write to a sensor
// that never leaves a command by itself. Before, a retry's "P" could land as
// the data byte of the broken "PQ" (0x50 at address 1 switches the
// programming lock on), and a write whose last byte the sensor took, with
// its answer spoilt, was reported as failed. Both the sensor that answers
// "LP" on block 1 and one that does not; writes with and without the lock.
TEST(SensorWriteOp, NoSingleFaultLocksTheSensorUnaskedOrReportsAFinishedWriteAsFailed) {
  sim::SimConfig never = FastSim();
  never.idleTimeout = std::chrono::milliseconds(0);
  // The in-process sensor answers at once: a few milliseconds are time-out
  // enough, and keep the hundreds of writes, many waiting out silences, short.
  const PortSettings ports{.detectTimeout = 3, .readTimeout = 3, .writeTimeout = 3, .quietGap = 1, .sensorIdle = 2,
                           .sensorReset = 4};
  const sim::FaultPlan faults[] = {{Fault::WrongComplement}, {Fault::Silence},         {Fault::WrongBlock},
                                   {Fault::WrongAddress},    {Fault::WrongAcknowledge}, {Fault::WrongConfirmation},
                                   {Fault::ReadBackDiffers}, {Fault::StatusByte, Command::Any, 1, 1},
                                   {Fault::StatusByte, Command::Any, 1, 2}, {Fault::LostWrite}};
  constexpr Command kCommands[] = {Command::V, Command::LQ, Command::LP, Command::PQ};
  int runs = 0, retried = 0, failed = 0;
  for (const bool noLp : {false, true}) {
    for (const bool lock : {false, true}) {
      ReadRig clean(never, true, ports);
      const DataSet read = clean.data;
      const auto prepare = [&](ReadRig& rig) {
        rig.data = read;
        if (noLp) rig.sim->InjectFault({Fault::NoLp, Command::LP, sim::kForever, kBlockParams});
        rig.data.SetValue(ValueId::TimeValue1, 99);
        rig.data.SetValue(ValueId::TimeValue2, 42);
        rig.data.SetValue(ValueId::ProgramLock, lock ? 1 : 0);
      };
      // The commands a write takes without a fault, by kind.
      prepare(clean);
      std::map<Command, int> commands;
      for (const Command c : kCommands) commands[c] = -clean.sim->CommandCount(c);
      ASSERT_TRUE(clean.sensor->SensorWrite());
      for (const Command c : kCommands) commands[c] += clean.sim->CommandCount(c);
      for (sim::FaultPlan plan : faults) {
        int positions = 0;
        for (const Command c : kCommands) positions += sim::FaultFits(plan.fault, c) ? commands[c] : 0;
        for (int at = 0; at < positions; ++at) {
          SCOPED_TRACE(testing::Message() << (noLp ? "no LP 1, " : "") << (lock ? "lock, " : "") << "fault "
                                          << int(plan.fault) << " value " << plan.value << " at " << at);
          ReadRig rig(never, false, ports);
          prepare(rig);
          const std::vector<std::uint8_t> meant = Meant(rig);
          plan.times = 1;
          plan.skip = at;
          rig.sim->InjectFault(plan);
          const bool ok = rig.sensor->SensorWrite();
          ++runs;
          failed += ok ? 0 : 1;
          retried += rig.sim->CommandCount(Command::PQ) > commands[Command::PQ];
          if (!lock) { EXPECT_FALSE(rig.sim->Locked()) << "the programming lock switched on unasked"; }
          EXPECT_FALSE(rig.sensor->LastWrite().lockedUnasked);
          EXPECT_EQ(ok, SensorParams(rig) == meant) << (ok ? "reported done, but the sensor holds other values"
                                                           : "reported failed, but the sensor holds every value");
          if (ok) {
            EXPECT_EQ(std::pair(rig.user.MessageNumbers(), rig.ends.back().first),
                      std::pair(std::vector<int>{}, WriteResult::Done));
          }
        }
      }
    }
  }
  // What the sweep covered, in the test's output.
  std::printf("[   SWEEP  ] %d writes with one fault each: %d failed (the fault kept them from the sensor), %d "
              "retried a write command\n", runs, failed, retried);
  EXPECT_GT(retried, 0);
}

TEST(SensitivityOps, ReadFromScratchWriteBothBytesOnlyWhenAllowed) {
  Rig rig;
  rig.sim->SetMemory(1, 2, 50);
  rig.sim->SetMemory(1, 8, 140);
  ASSERT_TRUE(rig.sensor->ReadSensitivity());
  EXPECT_EQ(rig.data.SensitivityValid(), 1);
  EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSensitivity) * 256 + rig.data.Param(kWorkingCopy, param::kSensitivity2),
            50 * 256 + 140);
  EXPECT_EQ(rig.user.forms.back(), (std::pair<int, int>{kProgressReadSensitivity, 10})) << "after a full read";
  rig.user = test::RecordingUser{};
  ASSERT_TRUE(rig.sensor->ReadSensitivity());
  EXPECT_EQ(rig.user.increments, (std::vector<int>{1, 29, 1, 4, 1, 4, 1, 4})) << "presence, type, both bytes";
  rig.data.SetValue(ValueId::Sensitivity, 20);
  ASSERT_TRUE(rig.sensor->WriteSensitivity());
  EXPECT_EQ(rig.sim->Memory(1, 2) * 256 + rig.sim->Memory(1, 8), 27 * 256 + 140) << "the second byte goes back as read";
  EXPECT_EQ(StoredAddresses(rig), (std::vector<int>{2, 8}));
  EXPECT_EQ(rig.data.Param(kReadCopy, param::kSensitivity), 27) << "the overview's copy holds what the sensor holds now";
  // A read that fails after the presence check is asked about once, and Cancel ends it.
  rig.user = test::RecordingUser{};
  rig.sim->InjectFault({.fault = Fault::WrongComplement, .command = Command::LQ, .skip = 1});  // past the presence check
  EXPECT_FALSE(rig.sensor->ReadSensitivity());
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{1002});
  rig.sim->ClearFaults();
  // A write needs the bytes read, the user's Yes and an unlocked sensor.
  const struct { bool read, agree, locked; std::vector<int> messages; } rows[] = {
      {false, true, false, {}}, {true, false, false, {}}, {true, true, true, {32}}};
  for (const auto& r : rows) {
    Rig refused(FastSim(true, 1, r.locked));
    refused.data.SetSensitivityValid(r.read ? 1 : 0);
    refused.user.agreeToSensitivityWrite = r.agree;
    EXPECT_FALSE(refused.sensor->WriteSensitivity());
    EXPECT_EQ(refused.user.MessageNumbers(), r.messages);
    EXPECT_EQ(refused.sim->CommandCount(r.locked ? Command::PQ : Command::Any), 0);
  }
}

// The sensitivity write has the data write's safeguards: the record before the first byte, the read-back
// check, what the sensor kept, the note after a partial write, the record's end.
TEST(SensitivityOps, WriteIsRecordedCheckedAndAPartialOneSaysSo) {
  const auto filled = [](const char* key, std::string one, std::string two = {}) {
    std::string text = Text("Message", key);
    for (auto [mark, value] : {std::pair{"%1", &one}, std::pair{"%2", &two}})
      if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, 2, *value);
    return text;
  };
  const std::string kept = filled("SensHeld", "50 (54%)"), mixed = Text("Message", "WriteMixed"),
                    backup = filled("SensBackupStored", "1", "50 (54%)");
  const struct { const char* name; std::optional<sim::FaultPlan> fault; int cancelAt; Msgs messages;
                 std::vector<std::string> note; std::pair<WriteResult, int> end; std::vector<int> stored; int inSensor;
  } rows[] = {
      {"done", {}, -1, {}, {}, {WriteResult::Done, 0}, {2, 8}, 80},
      {"first byte confirmed, not kept", sim::FaultPlan{Fault::LostWrite, Command::PQ, 1}, -1,
       {{kCodeVerifyFailed, kButtonsRetryCancel, help::kVerifyFailed}}, {kept, backup},
       {WriteResult::VerifyFailed, kCodeVerifyFailed}, {8}, 50},
      {"second byte refused", sim::FaultPlan{Fault::StatusByte, Command::PQ, sim::kForever, 2, 1}, -1,
       {{1012, kButtonsRetryCancel, kHelpTransfer}}, {mixed, backup}, {WriteResult::Failed, 1012}, {2}, 80},
      // IncBar: presence 2, lock and type 2 each, the two blocks 1 each, then 2 per byte.
      {"cancelled after the first byte", {}, 10, {{kCodeUserAbort, kButtonsOk, 0}}, {mixed, backup},
       {WriteResult::Cancelled, kCodeUserAbort}, {2}, 80},
      {"cancelled before it", {}, 8, {}, {}, {WriteResult::Cancelled, kCodeUserAbort}, {}, 50},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    ReadRig rig;
    rig.sim->SetMemory(1, 2, 50 + 7);
    rig.sim->SetMemory(1, 8, 140);
    ASSERT_TRUE(rig.sensor->ReadSensitivity());
    rig.user = test::RecordingUser{};
    rig.user.cancelAtInc = r.cancelAt;
    rig.data.SetValue(ValueId::Sensitivity, 80);
    if (r.fault) rig.sim->InjectFault(*r.fault);
    EXPECT_EQ(rig.sensor->WriteSensitivity(), r.end.second == 0);
    EXPECT_EQ(rig.user.messages, r.messages);
    for (const std::string& part : r.note) EXPECT_NE(rig.user.notes.at(0).find(part), std::string::npos) << rig.user.notes[0];
    EXPECT_EQ(std::pair(StoredAddresses(rig), rig.sim->Memory(1, 2) * 256 + rig.sim->Memory(1, 8)),
              std::pair(r.stored, (r.inSensor + 7) * 256 + 140));
    EXPECT_EQ(std::pair(rig.sensor->LastWrite().code, rig.sensor->LastWrite().written), std::pair(r.end.second, !r.stored.empty()));
    ASSERT_EQ(rig.records.size(), 1u);
    const WriteRecord& record = rig.records[0];
    EXPECT_EQ(std::tuple(record.kind, rig.pqAtBegin[0], record.paramsBefore[param::kSensitivity],
                         record.paramsAfter[param::kSensitivity], record.paramsAfter[param::kSensitivity2]),
              std::tuple(WriteKind::Sensitivity, 0, std::uint8_t{57}, std::uint8_t{87}, std::uint8_t{140}));
    for (const int a : kWritten) EXPECT_EQ(record.paramsAfter[a + 1], record.paramsBefore[a + 1]) << "only the sensitivity";
    EXPECT_EQ(rig.ends, Ends{r.end});
    const bool checkFailed = r.end.first == WriteResult::VerifyFailed;
    EXPECT_EQ(rig.held.size(), checkFailed ? 1u : 0u);
    if (checkFailed) {
      EXPECT_EQ(std::tuple(rig.held[0].second[param::kSensitivity], rig.data.GetInt(ValueId::Sensitivity, kReadCopy),
                           rig.data.GetInt(ValueId::Sensitivity, kWorkingCopy)), std::tuple(std::uint8_t{57}, 50, 80))
          << "kept: the record and the overview show the sensor, the panel what was meant";
    }
    if (r.end.second == 0) { EXPECT_EQ(std::pair(rig.user.forms.back().second, rig.user.BarTotal()), std::pair(53, 53)); }
  }
}

TEST(CommunicationTestOp, ReportsOkOrNoSensorAndABusyLinkSendsNothing) {
  for (const bool there : {true, false}) {
    Rig rig;
    if (!there) rig.sim->InjectFault({Fault::Silence, Command::V});
    EXPECT_EQ(rig.sensor->CommunicationTest(), there);
    EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{there ? 3 : 1});
    EXPECT_EQ(rig.sim->CommandCount(Command::V), there ? 1 : 30);
  }
  Rig rig;
  bool nestedResult = true;
  int nestedCommands = -1;
  rig.user.onIncBar = [&] {
    if (nestedCommands >= 0) return;
    const int before = rig.sim->CommandCount(Command::Any);
    nestedResult = rig.sensor->SensorWrite();
    nestedCommands = rig.sim->CommandCount(Command::Any) - before;
  };
  EXPECT_TRUE(rig.sensor->SensorRead());
  EXPECT_EQ(std::pair(nestedResult, nestedCommands), std::pair(false, 0)) << "a second operation during an exchange";
}

// A line with bytes in flight: the real timing, three times as fast.
constexpr sim::SimConfig kTimedSim{
    .baudTiming = true, .byteTime = sim::kByteTime / 3, .idleTimeout = std::chrono::milliseconds(50)};
constexpr PortSettings kTimedPorts{kDefaultDetectTimeout / 3, kDefaultReadTimeout / 3, kDefaultWriteTimeout / 3, true,
                                   kDefaultQuietGap / 3, kDefaultSensorIdle / 3, kDefaultSensorReset / 3};

TEST(TimedLine, TheNextOperationAfterACancelInsideACommandFindsAnIdleSensor) {
  for (const Command c : {Command::LP, Command::PQ}) {
    SCOPED_TRACE(int(c));
    Rig rig(kTimedSim, kTimedPorts);
    // A wrong block leaves 32 bytes on the wire, a wrong address a sensor waiting for data; then Cancel.
    rig.sim->InjectFault({c == Command::LP ? Fault::WrongBlock : Fault::WrongAddress, c, 1});
    if (c == Command::PQ) { ASSERT_TRUE(rig.sensor->SensorRead()); }
    const std::uint8_t before = rig.sim->Memory(1, 0);
    rig.data.Param(kWorkingCopy, 1) = static_cast<std::uint8_t>(before ^ 0x40);
    rig.user = test::RecordingUser{};
    rig.user.onIncBar = [&rig, c] {
      if (rig.user.cancelAtInc < 0 && rig.sim->CommandCount(c) > 0)
        rig.user.cancelAtInc = static_cast<int>(rig.user.increments.size()) - 1;
    };
    EXPECT_FALSE(c == Command::LP ? rig.sensor->SensorRead() : rig.sensor->SensorWrite());
    // The broken "PQ" was finished with its own data byte; a cancel after a
    // byte went in says so, any other cancel says nothing.
    const bool wrote = c == Command::PQ;
    const auto meant = static_cast<std::uint8_t>(before ^ 0x40);
    EXPECT_EQ(std::pair(rig.user.MessageNumbers(), rig.sim->CommandCount(c)),
              std::pair(wrote ? std::vector<int>{kCodeUserAbort} : std::vector<int>{}, 1));
    rig.user = test::RecordingUser{};
    EXPECT_TRUE(rig.sensor->SensorRead());
    EXPECT_EQ(std::pair(rig.user.MessageNumbers(), rig.data.DataValid()), std::pair(std::vector<int>{}, 1));
    EXPECT_EQ(rig.sim->StoredWrites(), (std::vector<std::pair<int, std::uint8_t>>(wrote ? 1 : 0, {0, meant})))
        << "no stray byte was taken as data";
    EXPECT_EQ(rig.sim->Memory(1, 0), wrote ? meant : before);
  }
}

TEST(TimedLine, AnEndedExchangeAddsNoTimeToTheNextOne) {
  Rig rig(kTimedSim, kTimedPorts);
  ASSERT_TRUE(rig.sensor->SensorRead());
  EXPECT_EQ(rig.ports->Settles(), 0) << "nothing to settle on the happy path";
  rig.sim->InjectFault({Fault::WrongComplement, Command::LP, 1});
  ASSERT_TRUE(rig.sensor->SensorRead()) << testing::PrintToString(rig.user.MessageNumbers());
  EXPECT_EQ(rig.ports->Settles(), 1) << "the retry after the broken answer started on a quiet line";
}

TEST(LostDevice, TheNextCommandOpensThePortAgain) {
  const std::function<bool(Rig&)> ops[] = {
      [](Rig& r) { return r.sensor->SensorRead(); },      [](Rig& r) { return r.sensor->SensorRead(true); },
      [](Rig& r) { return r.sensor->SensorWrite(); },     [](Rig& r) { return r.sensor->CommunicationTest(); },
      [](Rig& r) { return r.sensor->ReadSensitivity(); }, [](Rig& r) { return r.sensor->WriteSensitivity(); }};
  for (const auto& run : ops) {
    SCOPED_TRACE(&run - ops);
    Rig rig;
    std::vector<OpenFailure> failures;
    rig.ports->onOpenFailed = [&](const OpenFailure& f) { return failures.push_back(f), kAnswerCancel; };
    ASSERT_TRUE(rig.sensor->SensorRead());
    ASSERT_TRUE(rig.sensor->ReadSensitivity());
    rig.user = test::RecordingUser{};
    rig.line->Vanish();
    EXPECT_FALSE(rig.ports->IsPortOpen()) << "closed at once, with no wait in progress";
    EXPECT_FALSE(run(rig));
    ASSERT_EQ(failures.size(), 1u) << "the reopen failed and said so";
    EXPECT_TRUE(failures[0].name == "SIM" && !failures[0].result.error.empty()) << "with the system's reason";
    EXPECT_NE(PortFailureLine(failures[0]).find("SIM"), std::string::npos);
    for (const int n : rig.user.MessageNumbers()) EXPECT_NE(n, msg::kNoSensor) << "the port is missing, not the sensor";
    rig.line->Replug();
    const int opens = rig.line->OpenCount();
    EXPECT_TRUE(run(rig));
    EXPECT_EQ(std::tuple(rig.line->OpenCount(), rig.ports->IsPortOpen(), failures.size()),
              std::tuple(opens + 1, true, std::size_t{1}));
  }
}

}  // namespace
}  // namespace rkt::link
