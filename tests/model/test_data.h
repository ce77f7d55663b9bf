#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "model/data_set.h"

namespace rkt::test {

// Fills every block of the working copy with random bytes, with a random
// comment (Windows-1252, umlauts included) and flags, as a sensor or file
// might leave them.
void FillRandom(DataSet& ds, std::mt19937& rng);

// Sets the identification bytes a test cares about in the working copy.
void SetIdent(DataSet& ds, int version1, int version3, int typeCode, Copy copy = kWorkingCopy);

// A fresh temporary directory for one test, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  const std::string& Dir() const { return m_dir; }

 private:
  std::string m_dir;
};

}  // namespace rkt::test
