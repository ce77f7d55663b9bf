#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "model/data_set.h"

namespace rkt::test {

// Random working-copy blocks, comment (Windows-1252, umlauts, CR LF) and
// flags, as a sensor or file might leave them.
void FillRandom(DataSet& ds, std::mt19937& rng);
void SetIdent(DataSet& ds, int version1, int version3, int typeCode, Copy copy = kWorkingCopy);

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Writes text, creating missing folders; returns path.
std::string WriteText(const std::string& path, std::string_view text);

// A fresh temporary directory for one test, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  const std::string& Dir() const { return m_dir; }
  // The names in the directory, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string m_dir;
};

}  // namespace rkt::test
