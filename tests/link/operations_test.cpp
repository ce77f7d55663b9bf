// The user-level sensor operations against the simulated sensor: what they
// do to the data set, the messages they show and what reaches the sensor.
#include <gtest/gtest.h>

#include <QTimer>
#include <functional>

#include "link/detection.h"
#include "model/bit.h"
#include "model/data_code.h"
#include "text/text_keys.h"
#include "support/link_rig.h"

namespace rkt::link {
namespace {

using sim::Command;
using sim::Fault;
using test::FastPorts;
using test::FastSim;
using test::Rig;

sim::SimConfig SimOfType(int type, bool locked = false) {
  sim::SimConfig c = FastSim();
  c.typeCode = type;
  c.locked = locked;
  return c;
}

// A working copy as a read would leave it, ready to be written back.
void ReadFirst(Rig& rig) {
  ASSERT_TRUE(rig.sensor->SensorRead());
  rig.user = test::RecordingUser{};
}

TEST(SensorReadOp, TakesTheSensorIntoTheWorkingCopy) {
  Rig rig(SimOfType(2));  // an even type: no bit is inverted
  rig.data.Param(kWorkingCopy, param::kSensitivity) = 33;
  rig.data.SetValue(ValueId::Comment, std::string("old comment"));
  rig.data.SetValue(ValueId::Changed, true);
  ASSERT_TRUE(rig.sensor->SensorRead());
  for (int a : {0, 1, 3, 4, 5, 6, 11})
    EXPECT_EQ(rig.data.Param(kWorkingCopy, a + 1), rig.sim->Memory(1, a)) << "address " << a;
  EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSensitivity), 33) << "a read keeps the shown sensitivity";
  EXPECT_EQ(rig.data.Ident(kWorkingCopy, ident::kTypeCode), 2);
  EXPECT_EQ(rig.data.GetString(ValueId::TypeName, kWorkingCopy).substr(0, 9), "RKT 410-2");
  EXPECT_EQ(rig.data.Comment(), "");
  EXPECT_FALSE(rig.data.IsChanged());
  EXPECT_EQ(rig.data.DataValid(), 1);
  EXPECT_EQ(rig.user.forms, (std::vector<std::pair<int, int>>{{kProgressRead, 75}}));
  EXPECT_EQ(rig.user.unloads, 1);
  EXPECT_FALSE(rig.sensor->OperationRunning());
  EXPECT_EQ(rig.ports->GetTimeout(), 10) << "the detect time-out is back";
}

TEST(SensorReadOp, DefaultsOfAnotherTypeAskFirst) {
  for (const bool yes : {false, true}) {
    Rig rig(SimOfType(3));
    rig.data.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kTypeCode] = 1;
    if (yes) rig.user.answers = {kAnswerYes};
    EXPECT_EQ(rig.sensor->SensorRead(true), yes);
    ASSERT_FALSE(rig.user.messages.empty());
    EXPECT_EQ(rig.user.messages[0].number, 31);
    EXPECT_EQ(rig.user.messages[0].help, kHelpTypeChanged);
    if (yes) {
      EXPECT_EQ(rig.data.Ident(kWorkingCopy, ident::kTypeCode), 3);
      EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSwitchingFrequency), rig.sim->Memory(2, 3));
    } else {
      EXPECT_EQ(rig.data.Ident(kWorkingCopy, ident::kTypeCode), 1) << "No changes nothing";
    }
  }
}

TEST(SensorReadOp, InvertsTheInputBitOnlyForOddVersionThreeTypes) {
  const struct {
    int type;
    int version;
    bool inverted;
  } rows[] = {{1, 3, true}, {2, 3, false}, {15, 3, false}, {1, 4, false}, {5, 3, true}};
  for (const auto& r : rows) {
    Rig rig(SimOfType(r.type));
    rig.sim->SetMemory(0, 4, static_cast<std::uint8_t>(r.version));
    rig.sim->SetMemory(1, 1, 0x05);  // bit 0 set, unlocked
    ASSERT_TRUE(rig.sensor->SensorRead()) << "type " << r.type;
    EXPECT_EQ(GetBit(rig.data.Param(kWorkingCopy, param::kInput), 0), r.inverted ? 0 : 1)
        << "type " << r.type << " version " << r.version;
  }
}

TEST(SensorReadOp, FailureIsReportedWithRetry) {
  Rig rig;
  rig.sim->InjectFault({Fault::Silence, Command::LP, 5});
  rig.user.answers = {kAnswerRetry};
  EXPECT_TRUE(rig.sensor->SensorRead());
  ASSERT_EQ(rig.user.messages.size(), 1u);
  EXPECT_EQ(rig.user.messages[0].number, 1001);
  EXPECT_EQ(rig.user.messages[0].buttons, kButtonsRetryCancel);
  EXPECT_EQ(rig.user.messages[0].help, kHelpTransfer);
  EXPECT_EQ(rig.user.forms.size(), 2u) << "Retry opens the progress dialog again";
  EXPECT_EQ(rig.user.unloads, 2);
}

TEST(SensorReadOp, CancelShowsNothingAndKeepsTheData) {
  Rig rig;
  ReadFirst(rig);
  const DataSet before = rig.data;
  rig.sim->SetMemory(1, 3, 200);
  rig.user.cancelAtInc = 10;  // at the third parameter byte of the read sequence
  EXPECT_FALSE(rig.sensor->SensorRead());
  EXPECT_TRUE(rig.user.messages.empty());
  EXPECT_EQ(rig.user.unloads, 1);
  EXPECT_FALSE(rig.sensor->OperationRunning());
  for (const BlockId b : kAllBlocks) {
    EXPECT_EQ(rig.data.GetBlock(b, kWorkingCopy), before.GetBlock(b, kWorkingCopy)) << "working copy";
    EXPECT_EQ(rig.data.GetBlock(b, kReadCopy), before.GetBlock(b, kReadCopy)) << "read copy";
  }
}

TEST(SensorReadOp, UnsavedChangesQuestionCanStopIt) {
  Rig rig;
  rig.user.stopOnDataChanged = true;
  EXPECT_FALSE(rig.sensor->SensorRead());
  EXPECT_TRUE(rig.user.forms.empty());
  EXPECT_EQ(rig.sim->CommandCount(Command::Any), 0);
}

TEST(SensorWriteOp, WritesTheWorkingCopy) {
  Rig rig;
  ReadFirst(rig);
  rig.data.SetValue(ValueId::TimeValue1, 99);
  rig.data.SetValue(ValueId::SwitchingFrequency, 5);
  const int blockReads = rig.sim->CommandCount(Command::LP);
  ASSERT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.sim->Memory(1, 4), 99);
  EXPECT_EQ(rig.sim->Memory(1, 3), 81);
  EXPECT_EQ(rig.data.Param(kReadCopy, param::kTimeValue1), 99) << "the working copy became the read copy";
  EXPECT_FALSE(rig.data.IsChanged());
  EXPECT_TRUE(rig.user.messages.empty());
  EXPECT_EQ(rig.user.forms, (std::vector<std::pair<int, int>>{{kProgressWrite, 83}}));
  EXPECT_EQ(rig.user.BarTotal(), 83) << "the bar ends full";
  EXPECT_EQ(rig.sim->CommandCount(Command::LP) - blockReads, 3)
      << "identification and parameters before, parameters after";
  std::vector<int> order;
  for (const auto& w : rig.sim->StoredWrites()) order.push_back(w.first);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 3, 4, 5, 6, 11})) << "sensitivity bytes are not written";
}

TEST(SensorWriteOp, InvertsTheInputBitForOddSensorTypes) {
  for (const int type : {1, 2}) {
    Rig rig(SimOfType(type));
    ReadFirst(rig);
    rig.data.Param(kWorkingCopy, param::kInput) = 0x05;
    ASSERT_TRUE(rig.sensor->SensorWrite()) << "type " << type;
    EXPECT_EQ(rig.sim->Memory(1, 1), type % 2 == 1 ? 0x04 : 0x05) << "type " << type;
    EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kInput), 0x05) << "the working copy keeps the logical bit";
  }
}

TEST(SensorWriteOp, SwitchingTheLockOnWritesAddressOneLast) {
  Rig rig;
  ReadFirst(rig);
  rig.data.SetValue(ValueId::ProgramLock, 1);
  rig.data.SetValue(ValueId::TimeValue2, 42);
  ASSERT_TRUE(rig.sensor->SensorWrite());
  ASSERT_FALSE(rig.sim->StoredWrites().empty());
  EXPECT_EQ(rig.sim->StoredWrites().back().first, 1);
  EXPECT_EQ(rig.sim->Memory(1, 5), 42) << "everything went in before the lock";
  EXPECT_TRUE(rig.sim->Locked());
}

TEST(SensorWriteOp, RefusalsWriteNothingAndRestoreTheBackup) {
  const struct {
    const char* what;
    int sensorType;
    bool locked;
    int message;
  } rows[] = {{"locked sensor", 1, true, 32}, {"other type family", 3, false, 30}};
  for (const auto& r : rows) {
    Rig rig(SimOfType(r.sensorType, r.locked));
    rig.data.GetBlock(BlockId::Identification, kWorkingCopy)[ident::kTypeCode] = 1;
    rig.data.Param(kWorkingCopy, param::kTimeValue1) = 7;
    rig.user.onReadPanel = [&] { rig.data.Param(kWorkingCopy, param::kTimeValue1) = 99; };
    EXPECT_FALSE(rig.sensor->SensorWrite()) << r.what;
    EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{r.message}) << r.what;
    EXPECT_EQ(rig.sim->CommandCount(Command::PQ), 0) << r.what;
    EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kTimeValue1), 7) << r.what << ": backup restored";
  }
}

TEST(SensorWriteOp, FailedWriteReportsAndRestoresTheBackup) {
  Rig rig;
  ReadFirst(rig);
  rig.data.Param(kWorkingCopy, param::kTimeValue1) = 7;
  rig.user.onReadPanel = [&] { rig.data.Param(kWorkingCopy, param::kTimeValue1) = 99; };
  rig.sim->InjectFault({Fault::StatusByte, Command::PQ, sim::kForever, 2});
  EXPECT_FALSE(rig.sensor->SensorWrite());
  ASSERT_EQ(rig.user.messages.size(), 1u);
  EXPECT_EQ(rig.user.messages[0].number, 1012);
  EXPECT_EQ(rig.user.messages[0].help, kHelpTransfer);
  EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kTimeValue1), 7);
  EXPECT_FALSE(rig.sensor->OperationRunning());
}

TEST(SensorWriteOp, CancelSaysSoOnlyOnceABytePassed) {
  // IncBar calls: presence 2, lock 2, type 2, the two block reads 1 each,
  // type 2, then 2 per write. A cancel at call 7 stops the reads before the
  // write; at call 13 the first byte has gone out.
  const struct {
    int cancelAt;
    bool mixed;
  } rows[] = {{6, false}, {12, true}};
  for (const auto& r : rows) {
    Rig rig;
    ReadFirst(rig);
    rig.data.Param(kWorkingCopy, param::kTimeValue1) = 7;
    rig.user.onReadPanel = [&] { rig.data.Param(kWorkingCopy, param::kTimeValue1) = 99; };
    rig.user.cancelAtInc = r.cancelAt;
    EXPECT_FALSE(rig.sensor->SensorWrite());
    EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kTimeValue1), 7) << r.cancelAt;
    EXPECT_EQ(rig.sensor->LastWrite().written, r.mixed) << r.cancelAt;
    EXPECT_EQ(rig.sim->StoredWrites().size(), r.mixed ? 1u : 0u) << r.cancelAt;
    if (!r.mixed) {
      EXPECT_TRUE(rig.user.messages.empty()) << "a cancel before the write stays quiet";
      continue;
    }
    ASSERT_EQ(rig.user.MessageNumbers(), std::vector<int>{kCodeUserAbort});
    EXPECT_EQ(rig.user.messages[0].buttons, kButtonsOk) << "nothing to retry after a cancel";
    EXPECT_NE(rig.user.notes[0].find(Text("Message", "WriteMixed")), std::string::npos) << rig.user.notes[0];
    EXPECT_NE(rig.user.notes[0].find(rig.sensor->LastWrite().codeBefore), std::string::npos)
        << "the setting before is offered for restoring: " << rig.user.notes[0];
  }
}

TEST(SensorWriteOp, RetryRepeatsTheCommentNotice) {
  Rig rig;
  ReadFirst(rig);
  rig.data.SetValue(ValueId::CommentChanged, true);
  rig.data.SetValue(ValueId::TimeValue1, 77);
  rig.sim->InjectFault({Fault::ReadBackDiffers, Command::PQ, 5});
  rig.user.answers = {kAnswerRetry};
  EXPECT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.user.MessageNumbers(), (std::vector<int>{35, 1021, 35}));
}

// The history as the link sees it: what it was given, and when.
class FakeJournal final : public WriteJournal {
 public:
  explicit FakeJournal(Rig& rig) : m_rig(rig) {}
  std::int64_t Begin(const WriteRecord& record) override {
    records.push_back(record);
    pqAtBegin.push_back(m_rig.sim->CommandCount(Command::PQ));
    return broken ? 0 : static_cast<std::int64_t>(records.size());
  }
  bool Complete(std::int64_t id, WriteResult result, int code) override {
    ends.push_back({id, result, code});
    return !broken;
  }
  struct End {
    std::int64_t id;
    WriteResult result;
    int code;
  };
  bool broken = false;
  std::vector<WriteRecord> records;
  std::vector<int> pqAtBegin;
  std::vector<End> ends;

 private:
  Rig& m_rig;
};

TEST(SensorWriteOp, LostByteFailsTheCheckAndTheReadCopyShowsTheSensor) {
  Rig rig;
  ReadFirst(rig);
  FakeJournal journal(rig);
  rig.sensor->SetJournal(&journal);
  const std::uint8_t held = rig.sim->Memory(1, 4);
  rig.data.SetValue(ValueId::TimeValue1, 40);
  rig.data.SetValue(ValueId::TimeValue2, 33);
  // The fourth byte written (address 4, time value 1) is confirmed, not kept.
  sim::FaultPlan lost{Fault::LostWrite};
  lost.skip = 3;
  lost.times = 1;
  rig.sim->InjectFault(lost);
  EXPECT_FALSE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.sim->Memory(1, 4), held);
  ASSERT_EQ(rig.user.MessageNumbers(), std::vector<int>{kCodeVerifyFailed});
  EXPECT_EQ(rig.user.messages[0].buttons, kButtonsRetryCancel);
  EXPECT_EQ(rig.user.messages[0].help, help::kVerifyFailed);
  EXPECT_EQ(MessageDisplayText(kCodeVerifyFailed),
            "Fehler beim Prüfen der Sensordaten! Der Sensor hat nicht alle Werte übernommen. (1040)");
  EXPECT_EQ(rig.data.Param(kReadCopy, param::kTimeValue1), held) << "the read copy holds what the sensor has";
  EXPECT_EQ(rig.data.Param(kReadCopy, param::kTimeValue2), 33);
  EXPECT_EQ(rig.sensor->LastWrite().code, kCodeVerifyFailed);
  ASSERT_EQ(journal.ends.size(), 1u);
  EXPECT_EQ(journal.ends[0].result, WriteResult::VerifyFailed);
  EXPECT_EQ(journal.ends[0].code, kCodeVerifyFailed);
}

TEST(SensorWriteOp, TheHistoryHasTheSensorsSettingBeforeTheFirstByte) {
  Rig rig(SimOfType(1));
  rig.sim->SetMemory(0, 4, 3);  // version 3, odd type: the sensor holds bit 0 of address 1 inverted
  rig.sim->SetMemory(0, 0, 0x12);
  rig.sim->SetMemory(0, 1, 0x34);
  ReadFirst(rig);
  FakeJournal journal(rig);
  rig.sensor->SetJournal(&journal);
  DataSet sensorBefore = rig.data;
  rig.data.SetValue(ValueId::TimeValue1, 77);
  ASSERT_TRUE(rig.sensor->SensorWrite());
  ASSERT_EQ(journal.records.size(), 1u);
  EXPECT_EQ(journal.pqAtBegin[0], 0) << "stored before anything was written";
  const WriteRecord& rec = journal.records[0];
  EXPECT_EQ(rec.port, "SIM");
  EXPECT_EQ(rec.identBefore[ident::kSerialHigh] * 256 + rec.identBefore[ident::kSerialLow], 0x1234);
  for (const int a : {0, 1, 3, 4, 5, 6, 11})
    EXPECT_EQ(rec.paramsBefore[a + 1], sensorBefore.Param(kWorkingCopy, a + 1)) << "logical, address " << a;
  EXPECT_EQ(rec.codeBefore, EncodeDataCode(sensorBefore));
  EXPECT_EQ(rec.codeAfter, EncodeDataCode(rig.data));
  ASSERT_EQ(journal.ends.size(), 1u);
  EXPECT_EQ(journal.ends[0].result, WriteResult::Done);
}

TEST(SensorWriteOp, TheSettingBeforeWritesBackTheSameBytes) {
  // Read and write invert the input-logic bit under different rules; the
  // setting kept in the history must give the sensor its bytes back.
  const struct {
    int type;
    int version;
  } rows[] = {{1, 3}, {1, 4}, {15, 3}, {2, 4}};
  for (const auto& r : rows) {
    Rig rig(SimOfType(r.type));
    rig.sim->SetMemory(0, 4, static_cast<std::uint8_t>(r.version));
    rig.sim->SetMemory(1, 1, 0x05);
    ReadFirst(rig);
    FakeJournal journal(rig);
    rig.sensor->SetJournal(&journal);
    std::vector<std::uint8_t> original;
    for (const int a : {0, 1, 3, 4, 5, 6, 11}) original.push_back(rig.sim->Memory(1, a));
    rig.data.SetValue(ValueId::TimeValue1, 77);
    ASSERT_TRUE(rig.sensor->SensorWrite()) << r.type;
    ASSERT_EQ(journal.records.size(), 1u);
    rig.data.GetBlock(BlockId::Parameter, kWorkingCopy) = journal.records[0].paramsBefore;
    ASSERT_TRUE(rig.sensor->SensorWrite()) << r.type;
    std::vector<std::uint8_t> restored;
    for (const int a : {0, 1, 3, 4, 5, 6, 11}) restored.push_back(rig.sim->Memory(1, a));
    EXPECT_EQ(restored, original) << "type " << r.type << " version " << r.version;
  }
}

TEST(SensorWriteOp, ABrokenHistoryIsReportedOnceAndNeverStopsAWrite) {
  Rig rig;
  ReadFirst(rig);
  FakeJournal journal(rig);
  journal.broken = true;
  rig.sensor->SetJournal(&journal);
  for (const int value : {50, 60}) {
    rig.data.SetValue(ValueId::TimeValue1, value);
    EXPECT_TRUE(rig.sensor->SensorWrite()) << value;
    EXPECT_EQ(rig.sim->Memory(1, 4), value);
  }
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{msg::kHistoryUnavailable});
}

TEST(SensorWriteOp, PreviewSeesTheSensorAndNoWritesNothing) {
  Rig rig;
  ReadFirst(rig);
  FakeJournal journal(rig);
  rig.sensor->SetJournal(&journal);
  rig.sim->SetMemory(1, 4, 12);  // changed on the sensor since it was read
  rig.data.SetValue(ValueId::TimeValue1, 90);
  int shownTime = -1;
  rig.user.onConfirmWrite = [&](const DataSet& now) {
    shownTime = now.Param(kWorkingCopy, param::kTimeValue1);
    return false;
  };
  EXPECT_FALSE(rig.sensor->SensorWrite());
  EXPECT_EQ(shownTime, 12) << "the preview compares with what the sensor holds now";
  EXPECT_EQ(rig.sim->CommandCount(Command::PQ), 0);
  EXPECT_TRUE(rig.user.messages.empty());
  EXPECT_TRUE(journal.records.empty()) << "no write, no record";
  EXPECT_TRUE(rig.sensor->LastWrite().declined);
}

TEST(SensorWriteOp, NothingChangedWritesNothing) {
  Rig rig;
  ReadFirst(rig);
  FakeJournal journal(rig);
  rig.sensor->SetJournal(&journal);
  rig.data.SetValue(ValueId::Changed, true);
  EXPECT_TRUE(rig.sensor->SensorWrite());
  EXPECT_EQ(rig.user.nothingToWrite, 1);
  EXPECT_EQ(rig.sim->CommandCount(Command::PQ), 0);
  EXPECT_TRUE(journal.records.empty());
  EXPECT_FALSE(rig.data.IsChanged()) << "the sensor holds the working copy";
}

TEST(SensorWriteOp, AFailureAfterTheFirstByteOffersTheSettingBefore) {
  Rig rig;
  ReadFirst(rig);
  FakeJournal journal(rig);
  rig.sensor->SetJournal(&journal);
  rig.data.SetValue(ValueId::TimeValue1, 90);
  sim::FaultPlan refuse{Fault::StatusByte, Command::PQ, sim::kForever, 2};
  refuse.skip = 2;  // two bytes go in, then the sensor refuses every further one
  rig.sim->InjectFault(refuse);
  EXPECT_FALSE(rig.sensor->SensorWrite());
  ASSERT_EQ(rig.user.MessageNumbers(), std::vector<int>{1012});
  EXPECT_EQ(rig.user.messages[0].buttons, kButtonsRetryCancel);
  EXPECT_NE(rig.user.notes[0].find(Text("Message", "WriteMixed")), std::string::npos);
  EXPECT_NE(rig.user.notes[0].find("1"), std::string::npos);
  EXPECT_NE(rig.user.notes[0].find(journal.records.at(0).codeBefore), std::string::npos) << rig.user.notes[0];
  ASSERT_EQ(journal.ends.size(), 1u);
  EXPECT_EQ(journal.ends[0].result, WriteResult::Failed);
  EXPECT_EQ(journal.ends[0].code, 1012);
}

TEST(SensitivityOps, ReadFromScratchThenWriteBothBytes) {
  Rig rig;
  rig.sim->SetMemory(1, 2, 50);
  rig.sim->SetMemory(1, 8, 140);
  ASSERT_TRUE(rig.sensor->ReadSensitivity());
  EXPECT_EQ(rig.data.SensitivityValid(), 1);
  EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSensitivity), 50);
  EXPECT_EQ(rig.data.Param(kWorkingCopy, param::kSensitivity2), 140);
  EXPECT_EQ(rig.user.forms.back(), (std::pair<int, int>{kProgressReadSensitivity, 10})) << "after a full read";

  rig.data.SetValue(ValueId::Sensitivity, 20);
  ASSERT_TRUE(rig.sensor->WriteSensitivity());
  EXPECT_EQ(rig.sim->Memory(1, 2), 27);
  EXPECT_EQ(rig.sim->Memory(1, 8), 140) << "the second byte goes back unchanged";
  std::vector<int> order;
  for (const auto& w : rig.sim->StoredWrites()) order.push_back(w.first);
  EXPECT_EQ(order, (std::vector<int>{2, 8}));
  EXPECT_EQ(rig.data.Param(kReadCopy, param::kSensitivity), 50) << "a sensitivity write leaves the read copy";
}

TEST(SensitivityOps, WriteNeedsReadBytesTheUsersYesAndAnUnlockedSensor) {
  {
    Rig rig;
    rig.data.SetValue(ValueId::Sensitivity, 20);
    EXPECT_FALSE(rig.sensor->WriteSensitivity()) << "sensitivity never read";
    EXPECT_EQ(rig.sim->CommandCount(Command::Any), 0);
  }
  {
    Rig rig;
    rig.data.SetSensitivityValid(1);
    rig.user.agreeToSensitivityWrite = false;
    EXPECT_FALSE(rig.sensor->WriteSensitivity());
    EXPECT_EQ(rig.sim->CommandCount(Command::Any), 0);
  }
  {
    Rig rig(SimOfType(1, true));
    rig.data.SetSensitivityValid(1);
    EXPECT_FALSE(rig.sensor->WriteSensitivity());
    EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{32});
    EXPECT_EQ(rig.sim->CommandCount(Command::PQ), 0);
  }
}

TEST(CommunicationTestOp, ReportsOkOrNoSensor) {
  {
    Rig rig;
    EXPECT_TRUE(rig.sensor->CommunicationTest());
    EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{3});
    EXPECT_EQ(rig.user.forms, (std::vector<std::pair<int, int>>{{kProgressSearch, 30}}));
  }
  {
    Rig rig;
    rig.sim->InjectFault({Fault::Silence, Command::V});
    EXPECT_FALSE(rig.sensor->CommunicationTest());
    EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{1});
    EXPECT_EQ(rig.sim->CommandCount(Command::V), 30);
  }
}

TEST(BusyGuard, ASecondOperationDuringAnExchangeSendsNothing) {
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
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(nestedCommands, 0);
}

// ---- a line with bytes in flight -------------------------------------------
// The sensor's answers take their real time, so whatever an exchange that
// ended early leaves behind is still arriving when the next one starts.

// Presses Cancel at the first progress step once the sensor has started
// `command` (the step before the next attempt).
void CancelAfter(Rig& rig, Command command) {
  rig.user.onIncBar = [&rig, command] {
    if (rig.user.cancelAtInc < 0 && rig.sim->CommandCount(command) > 0)
      rig.user.cancelAtInc = static_cast<int>(rig.user.increments.size()) - 1;
  };
}

TEST(TimedLine, ReadAfterACancelledReadFindsTheSensor) {
  Rig rig(test::TimedSim(), PortSettings{});
  // The first block comes back with a wrong number: the read stops after two
  // bytes while the other 32 are still on the wire, and Cancel follows.
  rig.sim->InjectFault({Fault::WrongBlock, Command::LP, 1});
  CancelAfter(rig, Command::LP);
  EXPECT_FALSE(rig.sensor->SensorRead());
  EXPECT_TRUE(rig.user.messages.empty()) << "Cancel says nothing";
  ASSERT_EQ(rig.sim->CommandCount(Command::LP), 1);

  rig.user = test::RecordingUser{};
  EXPECT_TRUE(rig.sensor->SensorRead());
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{}) << "the sensor is there and answers";
  EXPECT_EQ(rig.data.DataValid(), 1);
}

TEST(TimedLine, WriteCancelledInsideACommandWritesNothingMore) {
  Rig rig(test::TimedSim(), PortSettings{});
  ReadFirst(rig);
  const std::uint8_t before = rig.sim->Memory(1, 0);
  // The first "PQ" gets a wrong address back; the sensor waits for the data
  // byte of that command when the user cancels.
  rig.sim->InjectFault({Fault::WrongAddress, Command::PQ, 1});
  CancelAfter(rig, Command::PQ);
  rig.data.Param(kWorkingCopy, 1) = static_cast<std::uint8_t>(before ^ 0x40);
  EXPECT_FALSE(rig.sensor->SensorWrite());
  EXPECT_TRUE(rig.user.messages.empty());

  // The next command must not feed the sensor bytes it takes as data.
  rig.user = test::RecordingUser{};
  EXPECT_TRUE(rig.sensor->SensorRead());
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{});
  EXPECT_TRUE(rig.sim->StoredWrites().empty()) << "the cancelled write stored nothing, nor did the read";
  EXPECT_EQ(rig.sim->Memory(1, 0), before);
}

TEST(TimedLine, AnEndedExchangeAddsNoTimeToTheNextOne) {
  Rig rig(test::TimedSim(), PortSettings{});
  ASSERT_TRUE(rig.sensor->SensorRead());
  EXPECT_EQ(rig.ports->Settles(), 0) << "nothing to settle on the happy path";
  rig.sim->InjectFault({Fault::WrongComplement, Command::LP, 1});
  ASSERT_TRUE(rig.sensor->SensorRead()) << (rig.user.messages.empty() ? 0 : rig.user.messages[0].number);
  EXPECT_EQ(rig.ports->Settles(), 1) << "the retry after the broken answer started on a quiet line";
}

// ---- a device that goes away -----------------------------------------------

struct LostDeviceCase {
  const char* what;
  std::function<bool(Rig&)> run;
};

TEST(LostDevice, TheNextCommandOpensThePortAgain) {
  const LostDeviceCase cases[] = {
      {"read", [](Rig& r) { return r.sensor->SensorRead(); }},
      {"factory settings", [](Rig& r) { return r.sensor->SensorRead(true); }},
      {"write", [](Rig& r) { return r.sensor->SensorWrite(); }},
      {"communication test", [](Rig& r) { return r.sensor->CommunicationTest(); }},
      {"sensitivity read", [](Rig& r) { return r.sensor->ReadSensitivity(); }},
      {"sensitivity write", [](Rig& r) { return r.sensor->WriteSensitivity(); }},
  };
  for (const LostDeviceCase& c : cases) {
    Rig rig;
    std::vector<OpenFailure> failures;
    rig.ports->onOpenFailed = [&](const OpenFailure& f) {
      failures.push_back(f);
      return kAnswerCancel;
    };
    ASSERT_TRUE(rig.sensor->SensorRead()) << c.what;
    ASSERT_TRUE(rig.sensor->ReadSensitivity()) << c.what;
    rig.user = test::RecordingUser{};

    rig.line->Vanish();
    EXPECT_FALSE(rig.ports->IsPortOpen()) << c.what << ": closed at once, with no wait in progress";
    EXPECT_FALSE(c.run(rig)) << c.what;
    ASSERT_EQ(failures.size(), 1u) << c.what << ": the reopen failed and said so";
    EXPECT_EQ(failures[0].name, "SIM") << c.what;
    EXPECT_FALSE(failures[0].result.error.empty()) << c.what << ": with the system's reason";
    EXPECT_NE(PortFailureLine(failures[0]).find("SIM"), std::string::npos) << c.what;
    for (const int n : rig.user.MessageNumbers())
      EXPECT_NE(n, msg::kNoSensor) << c.what << ": the sensor is not blamed for a missing port";

    rig.line->Replug();
    const int opens = rig.line->OpenCount();
    EXPECT_TRUE(c.run(rig)) << c.what;
    EXPECT_EQ(rig.line->OpenCount(), opens + 1) << c.what;
    EXPECT_TRUE(rig.ports->IsPortOpen()) << c.what;
    EXPECT_EQ(failures.size(), 1u) << c.what;
  }
}

TEST(LostDevice, GoingAwayMidTransferEndsItAndRetryOpensAgain) {
  Rig rig(test::TimedSim(), PortSettings{});
  int asked = 0;
  rig.ports->onOpenFailed = [&](const OpenFailure&) {
    ++asked;
    return kAnswerCancel;
  };
  // Pulled out during the wait for the second block.
  bool pulled = false;
  rig.user.onIncBar = [&] {
    if (!pulled && rig.sim->CommandCount(Command::LP) == 1) {
      pulled = true;
      QTimer::singleShot(0, [&] { rig.line->Vanish(); });
    }
  };
  rig.user.answers = {kAnswerRetry};
  EXPECT_FALSE(rig.sensor->SensorRead());
  EXPECT_EQ(rig.user.MessageNumbers(), std::vector<int>{1001}) << "the transfer's failure, then Retry";
  EXPECT_EQ(asked, 1) << "Retry tried to open the port again";
  EXPECT_FALSE(rig.ports->IsPortOpen());

  // The detection looks for the adapter quietly, and takes it back once it
  // is plugged in again.
  Detection detection(*rig.sensor, *rig.ports, rig.data, rig.user);
  detection.SetDetection(1);
  detection.DetectSensor();
  EXPECT_EQ(asked, 1) << "the detection asks nothing";
  EXPECT_FALSE(rig.sensor->SensorConnected());
  rig.line->Replug();
  detection.DetectSensor();
  EXPECT_TRUE(rig.ports->IsPortOpen());
  EXPECT_TRUE(rig.sensor->SensorConnected());
}

}  // namespace
}  // namespace rkt::link
