#include "model/parameter_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "model/data_set.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace rkt {

namespace {

namespace fs = std::filesystem;

// Paths arrive as UTF-8, whatever the platform's own narrow encoding.
fs::path PathFromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Files store the input bit inverted for odd types below version 4 (except
// type 15). Save and load use the same rule, so every file round-trips.
bool FileInvertsInput(int typeCode, int version1) {
  return typeCode != 15 && version1 < 4 && (typeCode & 1) != 0;
}

constexpr std::size_t kParameterOffset = 93;

void PutLe(std::vector<std::uint8_t>& out, std::size_t& at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at++] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
}

std::uint32_t GetLe(std::span<const std::uint8_t> in, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(in[at + static_cast<std::size_t>(i)]) << (8 * i);
  return v;
}

// A fully checked file, ready to be taken into the data set.
struct ParsedFile {
  int sensitivityValid = 0;
  std::array<DataSet::Block, kBlockCount> blocks{};
  std::string comment;
};

std::optional<ParsedFile> Parse(std::span<const std::uint8_t> in) {
  if (in.size() < kFileHeaderSize) return std::nullopt;
  const std::string_view header(reinterpret_cast<const char*>(in.data()), kFileHeaderSize);
  const bool current = header == kFileHeaderCurrent;
  if (!current && header != kFileHeaderOld) return std::nullopt;
  const std::size_t fixed = current ? kCurrentFixedSize : kOldFixedSize;
  if (in.size() < fixed) return std::nullopt;

  ParsedFile f;
  f.sensitivityValid = static_cast<std::int16_t>(GetLe(in, 27, 2)) != 0 ? 1 : 0;
  std::size_t at = 29;
  const auto take = [&](BlockId b) {
    for (int i = 1; i <= kBlockSize; ++i) f.blocks[static_cast<std::size_t>(b)][static_cast<std::size_t>(i)] = in[at++];
  };
  take(BlockId::Identification);
  take(BlockId::Name1);
  if (current) {
    take(BlockId::Name2);
    take(BlockId::Name3);
  }
  take(BlockId::Parameter);

  const auto length = static_cast<std::int32_t>(GetLe(in, at, 4));
  at += 4;
  if (length > 0) {
    // A comment reaching past the end of the file means the file is damaged.
    if (static_cast<std::uint64_t>(length) > in.size() - at) return std::nullopt;
    f.comment.assign(reinterpret_cast<const char*>(in.data() + at), static_cast<std::size_t>(length));
  }
  return f;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream file(PathFromUtf8(path), std::ios::binary);
  if (!file) return std::nullopt;
  std::error_code ec;
  const auto size = fs::file_size(PathFromUtf8(path), ec);
  if (ec) return std::nullopt;
  // The file's own size bounds every allocation.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    return std::nullopt;
  return bytes;
}

bool SyncAndClose(std::FILE* f) {
  bool ok = std::fflush(f) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(f)) == 0;
#else
  ok = ok && fsync(fileno(f)) == 0;
#endif
  return std::fclose(f) == 0 && ok;
}

}  // namespace

std::vector<std::uint8_t> EncodeParameterFile(const DataSet& ds) {
  const std::string& comment = ds.Comment();
  std::vector<std::uint8_t> out(kCurrentFixedSize + comment.size());
  std::size_t at = 0;
  for (const char c : kFileHeaderCurrent) out[at++] = static_cast<std::uint8_t>(c);
  PutLe(out, at, static_cast<std::uint16_t>(static_cast<std::int16_t>(ds.SensitivityValid())), 2);
  for (const BlockId b : kAllBlocks) {
    const DataSet::Block& block = ds.GetBlock(b, kWorkingCopy);
    for (int i = 1; i <= kBlockSize; ++i) out[at++] = block[static_cast<std::size_t>(i)];
  }
  if (FileInvertsInput(ds.Ident(kWorkingCopy, ident::kTypeCode), ds.Ident(kWorkingCopy, ident::kVersion1)))
    out[kParameterOffset + param::kInput - 1] ^= 1u;
  PutLe(out, at, static_cast<std::uint32_t>(comment.size()), 4);
  for (const char c : comment) out[at++] = static_cast<std::uint8_t>(c);
  return out;
}

SaveResult SaveParameterFile(DataSet& ds, std::string path) {
  SaveResult result;
  if (!HasExtension(path)) path += "." + std::string(kDefaultExtension);
  result.path = path;

  const std::vector<std::uint8_t> bytes = EncodeParameterFile(ds);
  const fs::path target = PathFromUtf8(path);
  fs::path temp = target;
  temp += ".tmp~";
  std::FILE* f = nullptr;
#ifdef _WIN32
  f = _wfopen(temp.c_str(), L"wb");
#else
  f = std::fopen(temp.c_str(), "wb");
#endif
  if (!f) {
    result.error = std::strerror(errno);
    return result;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (!SyncAndClose(f) || !written) {
    result.error = std::strerror(errno);
    std::error_code ignored;
    fs::remove(temp, ignored);
    return result;
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    result.error = ec.message();
    return result;
  }

  ds.SetValue(ValueId::FileName, path);
  ds.TakeWorkingIntoRead();
  ds.SetOfflineData(true);
  ds.SetValue(ValueId::CommentChanged, false);
  result.ok = true;
  return result;
}

LoadStatus LoadParameterBytes(DataSet& ds, std::span<const std::uint8_t> bytes, const std::string& path) {
  const std::optional<ParsedFile> parsed = Parse(bytes);
  if (!parsed) return LoadStatus::Invalid;

  ds.SetValue(ValueId::FileName, path);
  ds.SetSensitivityValid(parsed->sensitivityValid);
  for (const BlockId b : kAllBlocks) ds.GetBlock(b, kReadCopy) = parsed->blocks[static_cast<std::size_t>(b)];
  if (FileInvertsInput(ds.Ident(kReadCopy, ident::kTypeCode), ds.Ident(kReadCopy, ident::kVersion1)))
    InvertInputBit(ds, kReadCopy);
  // The stored sensitivity wins over the one in the window.
  ds.Param(kWorkingCopy, param::kSensitivity) = ds.Param(kReadCopy, param::kSensitivity);
  ds.Param(kWorkingCopy, param::kSensitivity2) = ds.Param(kReadCopy, param::kSensitivity2);
  ds.TakeReadIntoWorking();
  ds.SetValue(ValueId::Comment, std::string{});
  ds.SetValue(ValueId::Changed, false);
  ds.SetValue(ValueId::CommentChanged, false);
  if (ds.DataValid() == 0) ds.SetDataValid(1);
  ds.SetOfflineData(true);
  ds.SetValue(ValueId::Comment, parsed->comment);
  return LoadStatus::Ok;
}

LoadStatus LoadParameterFile(DataSet& ds, const std::string& path) {
  if (!FileIsUsable(path)) return LoadStatus::NotUsable;
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return LoadStatus::Invalid;
  return LoadParameterBytes(ds, *bytes, path);
}

bool FileIsUsable(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const fs::path p = PathFromUtf8(path);
  if (!fs::is_regular_file(p, ec)) return false;
  const auto size = fs::file_size(p, ec);
  return !ec && size > 0;
}

bool HasExtension(std::string_view path) {
  for (std::size_t n = 1; n <= 4 && n <= path.size(); ++n) {
    const char c = path[path.size() - n];
    if (IsSeparator(c)) return false;
    if (c == '.') return true;
  }
  return false;
}

std::string FileTitle(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return std::string(path.substr(i));
  return std::string(path);
}

}  // namespace rkt
