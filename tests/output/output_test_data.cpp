#include "output_test_data.h"

#include "model/data_code.h"

namespace rkt::test {

namespace {

void SetIdentity(DataSet& ds, int version1, int version3, int type, int serial, int made1, int made2) {
  for (const Copy copy : {kReadCopy, kWorkingCopy}) {
    auto& id = ds.GetBlock(BlockId::Identification, copy);
    id[ident::kSerialHigh] = static_cast<std::uint8_t>(serial >> 8);
    id[ident::kSerialLow] = static_cast<std::uint8_t>(serial & 255);
    id[ident::kManufacture1] = static_cast<std::uint8_t>(made1);
    id[ident::kManufacture2] = static_cast<std::uint8_t>(made2);
    id[ident::kVersion1] = static_cast<std::uint8_t>(version1);
    id[ident::kVersion3] = static_cast<std::uint8_t>(version3);
    id[ident::kTypeCode] = static_cast<std::uint8_t>(type);
  }
}

void SetName(DataSet& ds, BlockId block, const std::string& text) {
  auto& bytes = ds.GetBlock(block, kWorkingCopy);
  for (std::size_t i = 0; i < text.size() && i < kBlockSize; ++i) bytes[i + 1] = static_cast<std::uint8_t>(text[i]);
}

void Set(DataSet& ds, std::initializer_list<std::pair<ValueId, int>> values) {
  for (const auto& [id, v] : values) ds.SetValue(id, v);
}

}  // namespace

DataSet SensorA() {
  DataSet ds;
  SetIdentity(ds, 3, 1, 1, 0, 0, 0);
  SetName(ds, BlockId::Name1, "RKT 410-A");
  Set(ds, {{ValueId::SwitchingFrequency, 3}, {ValueId::PulseFrequency, 1}, {ValueId::Hysteresis, 2},
           {ValueId::KeyboardLock, 1}, {ValueId::ProgramLock, 0}, {ValueId::WarningFunction, 1},
           {ValueId::OutputType, 1}, {ValueId::InputFunction, 3}, {ValueId::InputInverted, 1},
           {ValueId::TimeFunction1, 1}, {ValueId::TimeValue1, 7}, {ValueId::TimeFunction2, 1},
           {ValueId::TimeValue2, 120}});
  ds.SetDataValid(1);
  return ds;
}

DataSet SensorB() {
  DataSet ds;
  SetIdentity(ds, 4, 3, 15, 513, 12, 24);
  SetName(ds, BlockId::Name1, "RKT 410-B");
  SetName(ds, BlockId::Name3, "Tor 2");
  Set(ds, {{ValueId::SwitchingFrequency, 0}, {ValueId::KeyboardLock, 2}, {ValueId::ProgramLock, 1},
           {ValueId::DarkSwitching, 1}, {ValueId::OutputType, 2}, {ValueId::InputFunction, 9},
           {ValueId::TimeFunction1, 0}, {ValueId::TimeFunction2, 3}, {ValueId::TimeValue2, 15},
           {ValueId::Sensitivity, 46}});
  ds.SetValue(ValueId::FileName, std::string("/daten/Halle 3; Linie \"B\".RKT"));
  ds.SetSensitivityValid(1);
  ds.SetDataValid(1);
  return ds;
}

DataSet SensorC() {
  DataSet ds;
  SetIdentity(ds, 3, 5, 3, 65535, 1, 0);
  // The read copy still describes the sensor before a data code was applied.
  ds.GetBlock(BlockId::Identification, kReadCopy)[ident::kVersion3] = 4;
  SetName(ds, BlockId::Name1, "RKT 410-C");
  Set(ds, {{ValueId::SwitchingFrequency, 6}, {ValueId::PulseFrequency, 2}, {ValueId::Hysteresis, 0},
           {ValueId::KeyboardLock, 0}, {ValueId::ProgramLock, 0}, {ValueId::InputOutputMode, 3}, {ValueId::OutputType, 0},
           {ValueId::InputFunction, 7}, {ValueId::InputInverted, 1}, {ValueId::TimeFunction1, 1},
           {ValueId::TimeValue1, 255}, {ValueId::TimeFunction2, 2}, {ValueId::TimeValue2, 255}});
  ds.SetDataValid(1);
  return ds;
}

std::string WithCode(std::string text, const DataSet& ds) {
  const std::string code = EncodeDataCode(ds);
  for (std::size_t at = text.find("{CODE}"); at != std::string::npos; at = text.find("{CODE}", at))
    text.replace(at, 6, code);
  return text;
}

}  // namespace rkt::test
