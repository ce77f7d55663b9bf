// Whatever a sensor (or a noisy line) sends, fed to the read and write
// sequences and the sensor operations: no crash, no hang, every result 0 or
// a known error code, and a read never changes the working copy.
//
// Input: four header bytes, then the line's answers as chunks of one length
// byte and that many bytes. Each write of the PC releases the next chunk
// (after the interface's echo when echo is on); once the chunks are used up
// every wait times out at once, so no input can make the target wait.
//   byte 0: bits 0-2 what to run, bit 3 echo, bit 4 sensitivity valid,
//           bit 5 with progress, bit 6 answer Retry/Yes (at most twice)
//   byte 1: the working copy's type code   byte 2: its input byte
//   byte 3: progress step at which Cancel is pressed (0: never)
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <span>

#include "link/ports.h"
#include "link/sensor.h"
#include "link/sensor_user.h"
#include "model/data_set.h"
#include "sim/simulated_line.h"

namespace {

using namespace rkt;

class ScriptedUser final : public link::QuietSensorUser {
 public:
  ScriptedUser(bool agree, int cancelAt) : m_agreements(agree ? 2 : 0), m_cancelAt(cancelAt) {}
  void ShowForm(int, int) override { m_formOpen = true; }
  bool IncBar(int) override { return m_cancelAt == 0 || ++m_steps < m_cancelAt; }
  void UnloadForm() override { m_formOpen = false; }
  int ShowMessage(int, int buttons, int) override {
    const bool agree = m_agreements > 0;
    if (agree && buttons != link::kButtonsOk) --m_agreements;
    if (buttons == link::kButtonsRetryCancel) return agree ? link::kAnswerRetry : link::kAnswerCancel;
    if (buttons == link::kButtonsYesNo) return agree ? link::kAnswerYes : link::kAnswerNo;
    return link::kAnswerOk;
  }

 private:
  int m_agreements;
  int m_cancelAt;
  int m_steps = 0;
  bool m_formOpen = false;
};

bool KnownCode(int rc) {
  static const std::set<int> codes = {0, 1001, 1002, 1005, 1010, 1011, 1012, 1020, 1021, 1030, 1040};
  return codes.contains(rc);
}

bool SameCopy(const DataSet& a, const DataSet& b, Copy copy) {
  for (const BlockId id : kAllBlocks)
    if (a.GetBlock(id, copy) != b.GetBlock(id, copy)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int what = data[0] & 7;
  const bool echo = (data[0] & 0x08) != 0;
  const bool progress = (data[0] & 0x20) != 0;

  DataSet ds;
  for (int pos = 1; pos <= kBlockSize; ++pos) {
    ds.Byte(BlockId::Identification, kWorkingCopy, pos) = static_cast<std::uint8_t>(0x30 + pos);
    ds.Param(kWorkingCopy, pos) = static_cast<std::uint8_t>(pos * 7);
    ds.Param(kReadCopy, pos) = static_cast<std::uint8_t>(pos * 11);
  }
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kTypeCode) = data[1];
  ds.Param(kWorkingCopy, param::kInput) = data[2];
  ds.SetDataValid(1);
  ds.SetSensitivityValid((data[0] & 0x10) != 0 ? 1 : 0);
  ds.SaveBackup();
  const DataSet before = ds;

  link::PortSettings settings;
  settings.echo = echo;
  // The scripted line never waits; the shortest quiet gap keeps settling
  // from spinning on the clock.
  settings.quietGap = 1;
  settings.sensorIdle = 0;
  sim::SimConfig config;
  config.echo = echo;
  auto line = std::make_unique<sim::SimulatedLine>(std::make_shared<sim::SensorSimulator>(config));
  line->AnswerWith(std::span(data + 4, size - 4));
  link::Ports ports(std::move(line));
  ports.InitPorts(settings);
  ports.OpenPort("fuzz");
  if (!ports.IsPortOpen()) __builtin_trap();
  ScriptedUser user((data[0] & 0x40) != 0, data[3]);
  link::Sensor sensor(ports, ds, user);

  switch (what) {
    case 0:
    case 1: {
      const int rc = sensor.ReadDataSet(what == 1, progress);
      if (!KnownCode(rc)) __builtin_trap();
      if (!SameCopy(ds, before, kWorkingCopy) || !SameCopy(ds, before, kBackupCopy)) __builtin_trap();
      // A failed read leaves even the read copy as it was.
      if (rc != 0 && !SameCopy(ds, before, kReadCopy)) __builtin_trap();
      break;
    }
    case 2: {
      const int rc = sensor.WriteDataSet();
      if (!KnownCode(rc)) __builtin_trap();
      for (const Copy c : {kReadCopy, kWorkingCopy, kBackupCopy})
        if (!SameCopy(ds, before, c)) __builtin_trap();
      break;
    }
    case 3:
    case 4: {
      const int found = sensor.CheckSensor(what == 3 ? link::CheckMode::Silent : link::CheckMode::InOperation);
      if (found != 0 && found != 1) __builtin_trap();
      if (found != (sensor.SensorConnected() ? 1 : 0)) __builtin_trap();
      for (const Copy c : {kReadCopy, kWorkingCopy, kBackupCopy})
        if (!SameCopy(ds, before, c)) __builtin_trap();
      break;
    }
    case 5: {
      if (!sensor.SensorRead(false) && !SameCopy(ds, before, kWorkingCopy)) __builtin_trap();
      break;
    }
    case 6: {
      // A write that fails, is refused or cancelled leaves the working copy as it was.
      if (!sensor.SensorWrite() && !SameCopy(ds, before, kWorkingCopy)) __builtin_trap();
      break;
    }
    case 7: {
      if (!sensor.ReadSensitivity() && !SameCopy(ds, before, kWorkingCopy)) __builtin_trap();
      break;
    }
  }
  if (sensor.Busy() || sensor.OperationRunning()) __builtin_trap();
  return 0;
}
