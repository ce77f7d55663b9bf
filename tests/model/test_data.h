#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/data_set.h"

namespace rkt::test {

namespace fs = std::filesystem;

// Random working-copy blocks, comment (Windows-1252, umlauts, CR LF) and flags, as a sensor or file might leave them.
inline void FillRandom(DataSet& ds, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (const BlockId b : kAllBlocks)
    for (int i = 1; i <= kBlockSize; ++i) ds.Byte(b, kWorkingCopy, i) = static_cast<std::uint8_t>(byte(rng));
  static const std::string kChars = "abc XYZ 019\xe4\xf6\xfc\xc4\xd6\xdc\xdf\x80\r\n;\"";
  std::string comment(static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 80)(rng)), ' ');
  for (char& c : comment) c = kChars[std::uniform_int_distribution<std::size_t>(0, kChars.size() - 1)(rng)];
  ds.SetValue(ValueId::Comment, comment);
  ds.SetSensitivityValid(byte(rng) & 1);
  ds.SetDataValid(1);
}

inline void SetIdent(DataSet& ds, int version1, int version3, int typeCode, Copy copy = kWorkingCopy) {
  ds.Byte(BlockId::Identification, copy, ident::kVersion1) = static_cast<std::uint8_t>(version1);
  ds.Byte(BlockId::Identification, copy, ident::kVersion3) = static_cast<std::uint8_t>(version3);
  ds.Byte(BlockId::Identification, copy, ident::kTypeCode) = static_cast<std::uint8_t>(typeCode);
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::string ReadText(const std::string& path) { const auto b = ReadBytes(path); return {b.begin(), b.end()}; }

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Writes text, creating missing folders; returns path.
inline std::string WriteText(const std::string& path, std::string_view text) {
  fs::create_directories(fs::u8path(path).parent_path());
  std::ofstream(fs::u8path(path), std::ios::binary) << text;
  return path;
}

// A fresh temporary directory for one test, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;  // a random name, created exclusively
    for (int attempt = 0; attempt < 100 && m_dir.empty(); ++attempt) {
      const auto dir = fs::temp_directory_path() / ("rkt-test-" + std::to_string(rd()));
      if (fs::create_directory(dir)) m_dir = dir.generic_string();
    }
    if (m_dir.empty()) throw std::runtime_error("no temporary directory");
  }
  ~TempDir() {
    std::error_code ignored;
    fs::permissions(m_dir, fs::perms::owner_all, ignored);
    fs::remove_all(m_dir, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  const std::string& Dir() const { return m_dir; }
  // The names in the directory, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::u8path(m_dir))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string m_dir;
};

}  // namespace rkt::test
