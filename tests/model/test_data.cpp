#include "test_data.h"

#include <filesystem>
#include <stdexcept>

namespace rkt::test {

void FillRandom(DataSet& ds, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (const BlockId b : kAllBlocks)
    for (int i = 1; i <= kBlockSize; ++i) ds.Byte(b, kWorkingCopy, i) = static_cast<std::uint8_t>(byte(rng));
  std::string comment;
  const int len = std::uniform_int_distribution<int>(0, 80)(rng);
  static const std::string kChars = "abc XYZ 019\xe4\xf6\xfc\xc4\xd6\xdc\xdf\x80\r\n;\"";
  for (int i = 0; i < len; ++i)
    comment.push_back(kChars[std::uniform_int_distribution<std::size_t>(0, kChars.size() - 1)(rng)]);
  ds.SetValue(ValueId::Comment, comment);
  ds.SetSensitivityValid(byte(rng) & 1);
  ds.SetDataValid(1);
}

void SetIdent(DataSet& ds, int version1, int version3, int typeCode, Copy copy) {
  ds.Byte(BlockId::Identification, copy, ident::kVersion1) = static_cast<std::uint8_t>(version1);
  ds.Byte(BlockId::Identification, copy, ident::kVersion3) = static_cast<std::uint8_t>(version3);
  ds.Byte(BlockId::Identification, copy, ident::kTypeCode) = static_cast<std::uint8_t>(typeCode);
}

TempDir::TempDir() {
#ifdef _WIN32
  // No mkdtemp on Windows: a random name, created exclusively.
  std::random_device rd;
  for (int attempt = 0; attempt < 100 && m_dir.empty(); ++attempt) {
    const auto dir = std::filesystem::temp_directory_path() / ("rkt-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(dir)) m_dir = dir.generic_string();
  }
  if (m_dir.empty()) throw std::runtime_error("no temporary directory");
#else
  std::string templ = (std::filesystem::temp_directory_path() / "rkt-test-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_dir = templ;
#endif
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(m_dir, ignored);
}

}  // namespace rkt::test
