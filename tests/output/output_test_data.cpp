#include "output_test_data.h"

#include "model/data_code.h"

namespace rkt::test {

namespace {

using V = ValueId;

DataSet Make(int version1, int version3, int type, int serial, int made1, int made2, const std::string& name,
             std::initializer_list<std::pair<ValueId, int>> values) {
  DataSet ds;
  for (const Copy copy : {kReadCopy, kWorkingCopy}) {
    const int bytes[] = {serial >> 8, serial & 255, made1, made2, version1, 0, version3, type};
    for (int i = 0; i < 8; ++i) ds.Byte(BlockId::Identification, copy, i + 1) = static_cast<std::uint8_t>(bytes[i]);
  }
  for (std::size_t i = 0; i < name.size() && i < kBlockSize; ++i)
    ds.Byte(BlockId::Name1, kWorkingCopy, static_cast<int>(i) + 1) = static_cast<std::uint8_t>(name[i]);
  for (const auto& [id, v] : values) ds.SetValue(id, v);
  ds.SetDataValid(1);
  return ds;
}

}  // namespace

DataSet SensorA() {
  return Make(3, 1, 1, 0, 0, 0, "RKT 410-A",
              {{V::SwitchingFrequency, 3}, {V::PulseFrequency, 1}, {V::Hysteresis, 2}, {V::KeyboardLock, 1},
               {V::ProgramLock, 0}, {V::WarningFunction, 1}, {V::OutputType, 1}, {V::InputFunction, 3},
               {V::InputInverted, 1}, {V::TimeFunction1, 1}, {V::TimeValue1, 7}, {V::TimeFunction2, 1},
               {V::TimeValue2, 120}});
}

DataSet SensorB() {
  DataSet ds = Make(4, 3, 15, 513, 12, 24, "RKT 410-B",
                    {{V::SwitchingFrequency, 0}, {V::KeyboardLock, 2}, {V::ProgramLock, 1}, {V::DarkSwitching, 1},
                     {V::OutputType, 2}, {V::InputFunction, 9}, {V::TimeFunction1, 0}, {V::TimeFunction2, 3},
                     {V::TimeValue2, 15}, {V::Sensitivity, 46}});
  for (int i = 0; i < 5; ++i) ds.Byte(BlockId::Name3, kWorkingCopy, i + 1) = static_cast<std::uint8_t>("Tor 2"[i]);
  ds.SetValue(ValueId::FileName, std::string("/daten/Halle 3; Linie \"B\".RKT"));
  ds.SetSensitivityValid(1);
  return ds;
}

DataSet SensorC() {
  DataSet ds = Make(3, 5, 3, 65535, 1, 0, "RKT 410-C",
                    {{V::SwitchingFrequency, 6}, {V::PulseFrequency, 2}, {V::Hysteresis, 0}, {V::KeyboardLock, 0},
                     {V::ProgramLock, 0}, {V::InputOutputMode, 3}, {V::OutputType, 0}, {V::InputFunction, 7},
                     {V::InputInverted, 1}, {V::TimeFunction1, 1}, {V::TimeValue1, 255}, {V::TimeFunction2, 2},
                     {V::TimeValue2, 255}});
  // The read copy still describes the sensor before a data code was applied.
  ds.Byte(BlockId::Identification, kReadCopy, ident::kVersion3) = 4;
  return ds;
}

std::string WithCode(std::string text, const DataSet& ds) {
  const std::string code = EncodeDataCode(ds);
  for (std::size_t at = text.find("{CODE}"); at != std::string::npos; at = text.find("{CODE}", at))
    text.replace(at, 6, code);
  return text;
}

}  // namespace rkt::test
