#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>

// The one data set the program works on: identification, three name blocks
// and the parameter block, each in four copies, plus comment, file name and
// state flags. Plain C++ so that tests and fuzzers reach it without Qt.
namespace rkt {

class RecentFiles;

inline constexpr int kBlockSize = 16;

enum class BlockId : int { Identification = 0, Name1 = 1, Name2 = 2, Name3 = 3, Parameter = 4 };
inline constexpr int kBlockCount = 5;
inline constexpr std::array<BlockId, kBlockCount> kAllBlocks = {
    BlockId::Identification, BlockId::Name1, BlockId::Name2, BlockId::Name3, BlockId::Parameter};

// Copy 0 exists only so that the indices keep their historic meaning.
enum Copy : int { kUnusedCopy = 0, kReadCopy = 1, kWorkingCopy = 2, kBackupCopy = 3 };
inline constexpr int kCopyCount = 4;

enum class ValueId : int {
  TypeName = 1,
  SerialNumber = 2,
  ManufacturePart1 = 3,
  ManufacturePart2 = 4,
  VersionText = 5,
  OutputType = 6,
  InputInverted = 8,
  InputFunction = 9,
  TimeFunction1 = 10,
  TimeValue1 = 11,
  TimeFunction2 = 12,
  SwitchingFrequency = 13,
  PulseFrequency = 14,
  WarningInverted = 15,
  KeyboardLock = 16,
  OutputsAntivalent = 17,
  TimeValue2 = 18,
  Hysteresis = 19,
  FileName = 20,
  Changed = 21,
  ProgramLock = 22,
  WarningFunction = 23,
  FeatureMask = 25,
  Comment = 26,
  CommentChanged = 27,
  VersionPart1 = 28,
  VersionPart3 = 29,
  AlarmInverted = 30,
  TypeCode = 31,
  InputOutputMode = 32,
  DarkSwitching = 33,
  Sensitivity = 40,
};

struct ValueIdInfo {
  ValueId id;
  const char* name;
};
// Every identifier in use, in numeric order, with its name.
std::span<const ValueIdInfo> AllValueIds();

using Value = std::variant<int, bool, std::string>;
// Numeric view of a value: bool → 1/0, text → its leading integer or 0.
int ToInt(const Value& v);

// Parameter byte positions with a meaning of their own (position = address + 1).
namespace param {
inline constexpr int kFunctions = 1;
inline constexpr int kInput = 2;
inline constexpr int kSensitivity = 3;
inline constexpr int kSwitchingFrequency = 4;
inline constexpr int kTimeValue1 = 5;
inline constexpr int kTimeValue2 = 6;
inline constexpr int kExtra = 7;
inline constexpr int kSensitivity2 = 9;
inline constexpr int kInputExtra = 12;
}  // namespace param

namespace ident {
inline constexpr int kSerialHigh = 1;
inline constexpr int kSerialLow = 2;
inline constexpr int kManufacture1 = 3;
inline constexpr int kManufacture2 = 4;
inline constexpr int kVersion1 = 5;
inline constexpr int kVersion2 = 6;
inline constexpr int kVersion3 = 7;
inline constexpr int kTypeCode = 8;
}  // namespace ident

// The switching-frequency byte codes in list order (index 0 = 1.5 kHz).
inline constexpr std::array<std::uint8_t, 7> kSwitchingFrequencyCodes = {3, 5, 9, 17, 41, 81, 201};

// True when data of type oldType may go to a sensor of type newType: same
// type, the partner of the pair (1,2) (3,4) … (15,16), or oldType unknown (0).
bool TypesCompatible(int newType, int oldType);
// Bits a sensor type lacks or has, derived from its type code.
int FeatureMaskFor(int typeCode);

class DataSet {
 public:
  using Block = std::array<std::uint8_t, kBlockSize + 1>;  // position 0 unused

  DataSet();

  // The start state: all blocks zero, texts empty, flags cleared.
  void Reset();

  std::uint8_t Byte(BlockId block, Copy copy, int pos) const { return m_blocks[Index(block)][copy][pos]; }
  std::uint8_t& Byte(BlockId block, Copy copy, int pos) { return m_blocks[Index(block)][copy][pos]; }
  const Block& GetBlock(BlockId block, Copy copy) const { return m_blocks[Index(block)][copy]; }
  Block& GetBlock(BlockId block, Copy copy) { return m_blocks[Index(block)][copy]; }
  std::uint8_t Param(Copy copy, int pos) const { return Byte(BlockId::Parameter, copy, pos); }
  std::uint8_t& Param(Copy copy, int pos) { return Byte(BlockId::Parameter, copy, pos); }
  std::uint8_t Ident(Copy copy, int pos) const { return Byte(BlockId::Identification, copy, pos); }

  // The logical value id of copy `copy`; nullopt for an identifier outside
  // the table (the caller's value then stays as it was).
  std::optional<Value> GetValue(int id, Copy copy = kReadCopy) const;
  std::optional<Value> GetValue(ValueId id, Copy copy = kReadCopy) const {
    return GetValue(static_cast<int>(id), copy);
  }
  int GetInt(ValueId id, Copy copy = kReadCopy) const;
  std::string GetString(ValueId id, Copy copy = kReadCopy) const;

  // Changes the working copy (or the scalar state); identifiers without a
  // set rule are ignored.
  void SetValue(int id, const Value& value);
  void SetValue(ValueId id, const Value& value) { SetValue(static_cast<int>(id), value); }

  // Copy transfers; each moves all five blocks, positions 1..16.
  void CopyCopy(Copy from, Copy to);
  void ClearCopy(Copy copy);
  // read → working after a sensor read or file load: the working copy keeps
  // its sensitivity bytes, and the sensitivity-valid flag is cleared when the
  // type read is not compatible with the working copy's.
  void TakeReadIntoWorking();
  void TakeWorkingIntoRead() { CopyCopy(kWorkingCopy, kReadCopy); }
  void SaveBackup() { CopyCopy(kWorkingCopy, kBackupCopy); }
  void RestoreBackup() { CopyCopy(kBackupCopy, kWorkingCopy); }

  // Scalar state.
  const std::string& Comment() const { return m_comment; }
  const std::string& FileName() const { return m_fileName; }
  bool IsChanged() const { return m_changed; }
  bool IsCommentChanged() const { return m_commentChanged; }
  int DataValid() const { return m_dataValid; }
  void SetDataValid(int v) { m_dataValid = v; }
  int SensitivityValid() const { return m_sensitivityValid; }
  void SetSensitivityValid(int v) { m_sensitivityValid = v; }
  // The working copy came from a file or data code rather than the sensor.
  bool OfflineData() const { return m_offlineData; }
  void SetOfflineData(bool v) { m_offlineData = v; }
  // Counts the times the whole data set was replaced (a file, a data code):
  // work that ran meanwhile, such as a sensor read, must not commit over it.
  std::uint64_t Generation() const { return m_generation; }
  void NewGeneration() { ++m_generation; }
  // False while the working copy came from a data code and the read copy
  // still holds an older setting: views of "the data set" then describe the
  // working copy. Any transfer into the read copy makes it current again.
  bool ReadCopyCurrent() const { return m_readCopyCurrent; }
  void SetReadCopyCurrent(bool v) { m_readCopyCurrent = v; }
  // The copy that describes the data set as last read, loaded or applied.
  Copy DescribedCopy() const { return m_readCopyCurrent ? kReadCopy : kWorkingCopy; }

  // The list that receives the previous file name whenever FileName is set.
  void SetRecentFiles(RecentFiles* recent) { m_recent = recent; }
  // Told whenever the changed flag is set (the window shows "C").
  std::function<void(bool)> onChangedFlag;

 private:
  static int Index(BlockId b) { return static_cast<int>(b); }
  int InputFunctionOf(Copy copy) const;
  int InputOutputModeOf(Copy copy) const;
  void SetChanged(bool v);

  std::array<std::array<Block, kCopyCount>, kBlockCount> m_blocks{};
  std::string m_comment;
  std::string m_fileName;
  bool m_changed = false;
  bool m_commentChanged = false;
  int m_dataValid = 0;
  int m_sensitivityValid = 0;
  bool m_offlineData = false;
  std::uint64_t m_generation = 0;
  bool m_readCopyCurrent = true;
  RecentFiles* m_recent = nullptr;
};

// The type designation (characters 1..32 of TypeName, trimmed) and the
// additional designation line (characters 33 onwards, trimmed).
std::string TypeDesignation(const DataSet& ds, Copy copy);
std::string AdditionalDesignation(const DataSet& ds, Copy copy);

// The bit that some sensors, files and codes hold inverted.
void InvertInputBit(DataSet& ds, Copy copy);

}  // namespace rkt
