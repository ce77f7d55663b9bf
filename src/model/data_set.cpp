#include "model/data_set.h"

#include <algorithm>
#include <charconv>

#include "model/bit.h"
#include "model/recent_files.h"
#include "model/value_conversions.h"

namespace rkt {

namespace {

constexpr std::array<ValueIdInfo, 32> kValueIds = {{
    {ValueId::TypeName, "TypeName"},
    {ValueId::SerialNumber, "SerialNumber"},
    {ValueId::ManufacturePart1, "ManufacturePart1"},
    {ValueId::ManufacturePart2, "ManufacturePart2"},
    {ValueId::VersionText, "VersionText"},
    {ValueId::OutputType, "OutputType"},
    {ValueId::InputInverted, "InputInverted"},
    {ValueId::InputFunction, "InputFunction"},
    {ValueId::TimeFunction1, "TimeFunction1"},
    {ValueId::TimeValue1, "TimeValue1"},
    {ValueId::TimeFunction2, "TimeFunction2"},
    {ValueId::SwitchingFrequency, "SwitchingFrequency"},
    {ValueId::PulseFrequency, "PulseFrequency"},
    {ValueId::WarningInverted, "WarningInverted"},
    {ValueId::KeyboardLock, "KeyboardLock"},
    {ValueId::OutputsAntivalent, "OutputsAntivalent"},
    {ValueId::TimeValue2, "TimeValue2"},
    {ValueId::Hysteresis, "Hysteresis"},
    {ValueId::FileName, "FileName"},
    {ValueId::Changed, "Changed"},
    {ValueId::ProgramLock, "ProgramLock"},
    {ValueId::WarningFunction, "WarningFunction"},
    {ValueId::FeatureMask, "FeatureMask"},
    {ValueId::Comment, "Comment"},
    {ValueId::CommentChanged, "CommentChanged"},
    {ValueId::VersionPart1, "VersionPart1"},
    {ValueId::VersionPart3, "VersionPart3"},
    {ValueId::AlarmInverted, "AlarmInverted"},
    {ValueId::TypeCode, "TypeCode"},
    {ValueId::InputOutputMode, "InputOutputMode"},
    {ValueId::DarkSwitching, "DarkSwitching"},
    {ValueId::Sensitivity, "Sensitivity"},
}};


std::uint8_t ClampByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

std::string RTrimSpaces(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
std::string TrimSpaces(std::string s) {
  s = RTrimSpaces(std::move(s));
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

}  // namespace

std::span<const ValueIdInfo> AllValueIds() { return kValueIds; }

int ToInt(const Value& v) {
  if (const int* i = std::get_if<int>(&v)) return *i;
  if (const bool* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  const std::string& s = std::get<std::string>(v);
  int out = 0;
  const char* first = s.data();
  while (first < s.data() + s.size() && *first == ' ') ++first;
  std::from_chars(first, s.data() + s.size(), out);
  return out;
}

bool TypesCompatible(int newType, int oldType) {
  if (newType == oldType || oldType == 0) return true;
  const bool paired = (newType >= 1 && newType <= 12) || newType == 15 || newType == 16;
  if (!paired) return false;
  return (newType % 2 == 1) ? oldType == newType + 1 : oldType == newType - 1;
}

int FeatureMaskFor(int t) {
  int mask = 0;
  switch (t) {
    case 1: case 2: case 3: case 4: case 7: case 8: case 9: case 10: case 11: case 12:
      mask = 1;
      break;
    case 15: case 16:
      mask = 83;
      break;
    default:
      break;
  }
  switch (t) {
    case 1: case 3: case 5: case 7: case 9: case 11: case 15:
      mask |= 32;
      break;
    default:
      break;
  }
  switch (t) {
    case 3: case 4: case 10: case 11: case 12:
      mask |= 128;
      break;
    default:
      break;
  }
  return mask;
}

DataSet::DataSet() { Reset(); }

void DataSet::Reset() {
  for (auto& block : m_blocks)
    for (auto& copy : block) copy.fill(0);
  m_comment.clear();
  m_fileName.clear();
  m_changed = false;
  m_commentChanged = false;
  m_dataValid = 0;
  m_sensitivityValid = 0;
  m_offlineData = false;
  ++m_generation;
  m_readCopyCurrent = true;
}

void DataSet::CopyCopy(Copy from, Copy to) {
  for (auto& block : m_blocks) block[to] = block[from];
  if (to == kReadCopy) m_readCopyCurrent = true;
}

void DataSet::ClearCopy(Copy copy) {
  for (auto& block : m_blocks) block[copy].fill(0);
}

void DataSet::TakeReadIntoWorking() {
  const int readType = Ident(kReadCopy, ident::kTypeCode);
  const int workType = Ident(kWorkingCopy, ident::kTypeCode);
  if (!TypesCompatible(readType, workType)) m_sensitivityValid = 0;
  Param(kReadCopy, param::kSensitivity) = Param(kWorkingCopy, param::kSensitivity);
  Param(kReadCopy, param::kSensitivity2) = Param(kWorkingCopy, param::kSensitivity2);
  CopyCopy(kReadCopy, kWorkingCopy);
  m_readCopyCurrent = true;
}

int DataSet::InputFunctionOf(Copy copy) const {
  const std::uint8_t b2 = Param(copy, param::kInput);
  const std::uint8_t b12 = Param(copy, param::kInputExtra);
  if (GetBit(b12, 2)) return 6;
  if (GetBit(b12, 1)) return 7;
  if (GetBit(b12, 0)) return GetBit(b12, 3) ? 9 : 8;
  const int mask = FeatureMaskFor(Ident(copy, ident::kTypeCode));
  int r = 0;
  if ((mask & 16) == 0 && GetBit(b2, 4)) r = 1;
  if (GetBit(b2, 5)) {
    r = GetBit(b12, 3) ? 5 : 2;
  } else if (GetBit(b2, 6)) {
    r = 3;
  } else if (GetBit(b2, 7)) {
    r = 4;
  }
  return r;
}

int DataSet::InputOutputModeOf(Copy copy) const {
  const bool a = GetBit(Param(copy, param::kInput), 1);
  const bool b = GetBit(Param(copy, param::kExtra), 2);
  const bool d = GetBit(Param(copy, param::kFunctions), 6);
  if (!a && !b) return d ? 2 : 1;
  if (b) return d ? 4 : 3;
  return 0;
}

std::optional<Value> DataSet::GetValue(int id, Copy copy) const {
  const auto p = [&](int pos) { return Param(copy, pos); };
  const auto id8 = [&](int pos) { return Ident(copy, pos); };
  switch (static_cast<ValueId>(id)) {
    case ValueId::TypeName: {
      std::string name;
      const Block& n1 = GetBlock(BlockId::Name1, copy);
      for (int i = 1; i <= kBlockSize && n1[i] != 0; ++i) name.push_back(static_cast<char>(n1[i]));
      const Block& n2 = GetBlock(BlockId::Name2, copy);
      for (int i = 1; i <= kBlockSize && n2[i] != 0 && n2[i] != 255; ++i)
        name.push_back(static_cast<char>(n2[i]));
      name.resize(32, ' ');
      const Block& n3 = GetBlock(BlockId::Name3, copy);
      for (int i = 1; i <= kBlockSize && n3[i] != 0 && n3[i] != 255; ++i)
        name.push_back(static_cast<char>(n3[i]));
      return name;
    }
    case ValueId::SerialNumber: return MakeWord(id8(ident::kSerialHigh), id8(ident::kSerialLow));
    case ValueId::ManufacturePart1: return int{id8(ident::kManufacture1)};
    case ValueId::ManufacturePart2: return int{id8(ident::kManufacture2)};
    case ValueId::VersionText:
      return std::to_string(id8(ident::kVersion1)) + "." + std::to_string(id8(ident::kVersion2)) + "." +
             std::to_string(id8(ident::kVersion3));
    case ValueId::OutputType: {
      const std::uint8_t b1 = p(param::kFunctions);
      if (GetBit(b1, 5)) return 1;
      if (GetBit(b1, 4)) return 0;
      return 2;
    }
    case ValueId::InputInverted: return GetBit(p(param::kInput), 0) != 0;
    case ValueId::InputFunction: return InputFunctionOf(copy);
    case ValueId::TimeFunction1: return GetBit(p(param::kFunctions), 0) != 0;
    case ValueId::TimeValue1: return std::max<int>(p(param::kTimeValue1), 1);
    case ValueId::TimeFunction2: {
      const std::uint8_t b1 = p(param::kFunctions);
      if (GetBit(b1, 1)) return 1;
      if (GetBit(b1, 2)) return 2;
      if (GetBit(b1, 3)) return 3;
      return 0;
    }
    case ValueId::SwitchingFrequency: return SwitchingFrequencyIndex(p(param::kSwitchingFrequency));
    case ValueId::PulseFrequency: {
      const std::uint8_t b7 = p(param::kExtra);
      if (GetBit(b7, 4)) return 1;
      if (GetBit(b7, 5)) return 2;
      return 0;
    }
    case ValueId::WarningInverted: return int{GetBit(p(param::kFunctions), 7)};
    case ValueId::KeyboardLock:
      if (GetBit(p(param::kExtra), 0)) return 1;
      if (GetBit(p(param::kInput), 3)) return 2;
      return 0;
    case ValueId::OutputsAntivalent: return int{GetBit(p(param::kInput), 1)};
    case ValueId::TimeValue2: return std::max<int>(p(param::kTimeValue2), 1);
    case ValueId::Hysteresis: {
      const std::uint8_t b12 = p(param::kInputExtra);
      const int n = (GetBit(b12, 4) ? 1 : 0) + (GetBit(b12, 5) ? 2 : 0);
      return std::max(n, 1) - 1;
    }
    case ValueId::FileName: return m_fileName;
    case ValueId::Changed: return m_changed;
    case ValueId::ProgramLock: return GetBit(p(param::kInput), 2) == 0 ? 1 : 0;
    case ValueId::WarningFunction:
      if (GetBit(p(param::kInput), 1)) return 2;
      if (GetBit(p(param::kFunctions), 7)) return 1;
      return 0;
    case ValueId::FeatureMask: return FeatureMaskFor(id8(ident::kTypeCode));
    case ValueId::Comment: return m_comment;
    case ValueId::CommentChanged: return m_commentChanged;
    case ValueId::VersionPart1: return int{id8(ident::kVersion1)};
    case ValueId::VersionPart3: return int{id8(ident::kVersion3)};
    case ValueId::AlarmInverted: return int{GetBit(p(param::kExtra), 1)};
    case ValueId::TypeCode: return int{id8(ident::kTypeCode)};
    case ValueId::InputOutputMode: return InputOutputModeOf(copy);
    case ValueId::DarkSwitching: return int{GetBit(p(param::kFunctions), 7)};
    case ValueId::Sensitivity: {
      // A byte beyond the scale (a damaged or foreign file) reads as its
      // top, as the window's bar shows it, so that every view agrees.
      const int raw = p(param::kSensitivity);
      return std::clamp(raw - 7, kSensitivityMin, kSensitivityMax);
    }
  }
  return std::nullopt;
}

int DataSet::GetInt(ValueId id, Copy copy) const {
  const auto v = GetValue(id, copy);
  return v ? ToInt(*v) : 0;
}

std::string DataSet::GetString(ValueId id, Copy copy) const {
  const auto v = GetValue(id, copy);
  if (!v) return {};
  if (const auto* s = std::get_if<std::string>(&*v)) return *s;
  return std::to_string(ToInt(*v));
}

void DataSet::SetChanged(bool v) {
  m_changed = v;
  if (onChangedFlag) onChangedFlag(v);
}

void DataSet::SetValue(int id, const Value& value) {
  if (id < 6 || id > 40) return;
  const int v = ToInt(value);
  std::uint8_t& b1 = Param(kWorkingCopy, param::kFunctions);
  std::uint8_t& b2 = Param(kWorkingCopy, param::kInput);
  std::uint8_t& b7 = Param(kWorkingCopy, param::kExtra);
  std::uint8_t& b12 = Param(kWorkingCopy, param::kInputExtra);
  switch (static_cast<ValueId>(id)) {
    case ValueId::OutputType:
      SetBit(b1, 4, v == 0);
      SetBit(b1, 5, v == 1);
      break;
    case ValueId::InputInverted: SetBit(b2, 0, v); break;
    case ValueId::InputFunction:
      for (int bit = 4; bit <= 7; ++bit) SetBit(b2, bit, 0);
      for (int bit = 0; bit <= 3; ++bit) SetBit(b12, bit, 0);
      switch (v) {
        case 1: SetBit(b2, 4, 1); break;
        case 2: SetBit(b2, 5, 1); break;
        case 3: SetBit(b2, 6, 1); break;
        case 4: SetBit(b2, 7, 1); break;
        case 5: SetBit(b2, 5, 1); SetBit(b12, 3, 1); break;
        case 6: SetBit(b12, 2, 1); break;
        case 7: SetBit(b12, 1, 1); break;
        case 8: SetBit(b12, 0, 1); break;
        case 9: SetBit(b12, 3, 1); SetBit(b12, 0, 1); break;
        default: break;
      }
      break;
    case ValueId::TimeFunction1: SetBit(b1, 0, v); break;
    case ValueId::TimeValue1: Param(kWorkingCopy, param::kTimeValue1) = ClampByte(v); break;
    case ValueId::TimeFunction2:
      if (v >= 0 && v <= 3)
        for (int bit = 1; bit <= 3; ++bit) SetBit(b1, bit, bit == v);
      break;
    case ValueId::SwitchingFrequency:
      if (v >= 0 && v < static_cast<int>(kSwitchingFrequencyCodes.size()))
        Param(kWorkingCopy, param::kSwitchingFrequency) = SwitchingFrequencyCode(v);
      break;
    case ValueId::PulseFrequency:
      // Only 0, 1 and 2 have a rule; other values leave the byte alone.
      if (v >= 0 && v <= 2) {
        SetBit(b7, 4, v == 1);
        SetBit(b7, 5, v == 2);
      }
      break;
    case ValueId::WarningInverted: SetBit(b1, 7, v); break;
    case ValueId::KeyboardLock:
      if (v >= 0 && v <= 2) {
        SetBit(b7, 0, v == 1);
        SetBit(b2, 3, v == 2);
      }
      break;
    case ValueId::OutputsAntivalent: SetBit(b2, 1, v); break;
    case ValueId::TimeValue2: Param(kWorkingCopy, param::kTimeValue2) = ClampByte(v); break;
    case ValueId::Hysteresis:
      if (v == 0) {
        SetBit(b12, 4, 1);
        SetBit(b12, 5, 0);
      } else if (v == 1) {
        SetBit(b12, 4, 0);
        SetBit(b12, 5, 1);
      } else if (v == 2) {
        SetBit(b12, 4, 1);
        SetBit(b12, 5, 1);
      }
      break;
    case ValueId::FileName: {
      const std::string* s = std::get_if<std::string>(&value);
      if (m_recent) m_recent->AddRecentFile(m_fileName);
      m_fileName = s ? *s : std::string{};
      break;
    }
    case ValueId::Changed: SetChanged(v != 0); break;
    case ValueId::ProgramLock: SetBit(b2, 2, v == 0); break;
    case ValueId::WarningFunction:
      SetBit(b1, 7, v == 1);
      SetBit(b2, 1, v == 2);
      break;
    case ValueId::Comment: {
      const std::string* s = std::get_if<std::string>(&value);
      m_comment = s ? *s : std::string{};
      break;
    }
    case ValueId::CommentChanged:
      m_commentChanged = v != 0;
      SetChanged(v != 0);
      break;
    case ValueId::AlarmInverted: SetBit(b7, 1, v); break;
    case ValueId::InputOutputMode: {
      int a = 0, b = 0, d = 0;
      switch (v) {
        case 0: a = 1; break;
        case 1: break;
        case 2: d = 1; break;
        case 3: b = 1; break;
        case 4: b = 1; d = 1; break;
        default: return;
      }
      SetBit(b2, 1, a);
      SetBit(b7, 2, b);
      SetBit(b1, 6, d);
      break;
    }
    case ValueId::DarkSwitching: SetBit(b1, 7, v); break;
    case ValueId::Sensitivity: Param(kWorkingCopy, param::kSensitivity) = ClampByte(v + 7); break;
    default: break;
  }
}

std::string TypeDesignation(const DataSet& ds, Copy copy) {
  const std::string name = ds.GetString(ValueId::TypeName, copy);
  return TrimSpaces(name.substr(0, 32));
}

std::string AdditionalDesignation(const DataSet& ds, Copy copy) {
  const std::string name = ds.GetString(ValueId::TypeName, copy);
  return name.size() > 32 ? TrimSpaces(name.substr(32)) : std::string{};
}

void InvertInputBit(DataSet& ds, Copy copy) {
  std::uint8_t& b = ds.Param(copy, param::kInput);
  SetBit(b, 0, GetBit(b, 0) ? 0 : 1);
}

}  // namespace rkt
