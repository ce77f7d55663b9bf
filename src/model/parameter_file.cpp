#include "model/parameter_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "model/data_set.h"
#include "model/safe_file.h"

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rkt {

namespace {

namespace fs = std::filesystem;

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
    if (static_cast<std::uint64_t>(length) > kMaxCommentLength) return std::nullopt;
    // A comment reaching past the end of the file means the file is damaged.
    if (static_cast<std::uint64_t>(length) > in.size() - at) return std::nullopt;
    f.comment.assign(reinterpret_cast<const char*>(in.data() + at), static_cast<std::size_t>(length));
  }
  return f;
}

// Reads what the format needs and nothing more: the fixed part, then the
// comment its length names (bounded by the cap and by the file's size).
// Bytes after the comment are never read.
class FileReader {
 public:
  ~FileReader() { Close(); }

  // "" when open, else why not; `missing` tells a vanished file apart.
  std::string Open(const std::string& path, bool& missing) {
    missing = false;
#ifdef _WIN32
    std::error_code ec;
    const fs::path p = PathFromUtf8(path);
    const fs::file_status st = fs::status(p, ec);
    if (!fs::exists(st)) {
      missing = true;
      return std::strerror(ENOENT);
    }
    if (fs::is_directory(st)) return "is a folder";
    if (!fs::is_regular_file(st)) return "is not a regular file";
    m_size = fs::file_size(p, ec);
    if (ec) return ec.message();
    m_in.open(p, std::ios::binary);
    if (!m_in) return std::strerror(errno);
#else
    // Non-blocking, so that a FIFO in the file's place cannot stop the
    // program; its type is checked before anything is read.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
      missing = errno == ENOENT || errno == ENOTDIR;
      return std::strerror(errno);
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a folder";
    if (S_ISFIFO(st.st_mode)) return "is a FIFO, not a file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device, not a file";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    m_size = static_cast<std::uint64_t>(st.st_size);
#endif
    return {};
  }

  std::uint64_t Size() const { return m_size; }

  // Appends exactly n bytes to out; "" on success, else why not.
  std::string Read(std::vector<std::uint8_t>& out, std::size_t n) {
    const std::size_t start = out.size();
    out.resize(start + n);
    std::size_t done = 0;
    while (done < n) {
#ifdef _WIN32
      m_in.read(reinterpret_cast<char*>(out.data() + start + done), static_cast<std::streamsize>(n - done));
      const auto got = m_in.gcount();
      if (got <= 0) return m_in.eof() ? "ends early" : std::strerror(errno);
      done += static_cast<std::size_t>(got);
#else
      const ssize_t got = ::read(m_fd, out.data() + start + done, n - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::strerror(errno);
      if (got == 0) return "ends early";
      done += static_cast<std::size_t>(got);
#endif
    }
    return {};
  }

 private:
  void Close() {
#ifndef _WIN32
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
#endif
  }

#ifdef _WIN32
  std::ifstream m_in;
#else
  int m_fd = -1;
#endif
  std::uint64_t m_size = 0;
};

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

std::string ParameterFileName(std::string typed) {
  if (HasExtension(typed)) return typed;
  std::error_code ec;
  const fs::file_status st = fs::status(PathFromUtf8(typed), ec);
  if (!typed.empty() && fs::exists(st) && !fs::is_regular_file(st) && !fs::is_directory(st)) return typed;
  return typed + "." + std::string(kDefaultExtension);
}

SaveResult SaveParameterFile(DataSet& ds, std::string path, bool replaceReadOnly) {
  SaveResult result;
  path = ParameterFileName(std::move(path));
  result.path = path;

  // A file the loader would refuse is not written at all.
  if (ds.Comment().size() > kMaxCommentLength) {
    result.error = "the comment is longer than " + std::to_string(kMaxCommentLength) + " characters";
    return result;
  }
  const std::vector<std::uint8_t> bytes = EncodeParameterFile(ds);
  result.error = WriteFileAtomically(path, bytes, replaceReadOnly);
  result.readOnly = result.error == kReadOnlyFileReason;
  if (!result.error.empty()) return result;

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
  // The file's own flag: a file brings its sensitivity, unlike a sensor read
  // of another family, which keeps the previous sensor's.
  ds.SetSensitivityValid(parsed->sensitivityValid);
  ds.NewGeneration();
  ds.SetValue(ValueId::Comment, std::string{});
  ds.SetValue(ValueId::Changed, false);
  ds.SetValue(ValueId::CommentChanged, false);
  if (ds.DataValid() == 0) ds.SetDataValid(1);
  ds.SetOfflineData(true);
  ds.SetValue(ValueId::Comment, parsed->comment);
  return LoadStatus::Ok;
}

LoadResult LoadParameterFileChecked(DataSet& ds, const std::string& path) {
  if (path.empty()) return {LoadStatus::NotUsable, "no file name"};
  FileReader file;
  bool missing = false;
  if (std::string why = file.Open(path, missing); !why.empty())
    return {missing ? LoadStatus::NotUsable : LoadStatus::Unreadable, std::move(why)};
  if (file.Size() == 0) return {LoadStatus::NotUsable, "the file is empty"};

  std::vector<std::uint8_t> bytes;
  const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), kCurrentFixedSize));
  if (std::string why = file.Read(bytes, head); !why.empty())
    return {why == "ends early" ? LoadStatus::Invalid : LoadStatus::Unreadable, why};
  const std::string_view header(reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), kFileHeaderSize));
  const bool current = header == kFileHeaderCurrent;
  if (!current && header != kFileHeaderOld) return {LoadStatus::Invalid, "not a parameter file (wrong header)"};
  const std::size_t fixed = current ? kCurrentFixedSize : kOldFixedSize;
  if (bytes.size() < fixed) return {LoadStatus::Invalid, "the file is too short"};

  const auto length = static_cast<std::int32_t>(GetLe(bytes, fixed - 4, 4));
  std::size_t needed = fixed;
  if (length > 0) {
    if (static_cast<std::uint64_t>(length) > kMaxCommentLength)
      return {LoadStatus::Invalid, "the comment length " + std::to_string(length) + " is beyond the limit"};
    if (static_cast<std::uint64_t>(length) > file.Size() - fixed)
      return {LoadStatus::Invalid, "the comment reaches past the end of the file"};
    needed += static_cast<std::size_t>(length);
  }
  // An old file's comment may have started inside the first read.
  if (bytes.size() > needed) bytes.resize(needed);
  if (const std::size_t rest = needed - bytes.size(); rest > 0) {
    if (std::string why = file.Read(bytes, rest); !why.empty())
      return {why == "ends early" ? LoadStatus::Invalid : LoadStatus::Unreadable, why};
  }
  // The full path: the recent list and the datasheet name the file wherever
  // the program was started.
  const LoadStatus status = LoadParameterBytes(ds, bytes, AbsolutePath(path));
  return {status, status == LoadStatus::Ok ? std::string{} : "not a parameter file or damaged"};
}

LoadStatus LoadParameterFile(DataSet& ds, const std::string& path) { return LoadParameterFileChecked(ds, path).status; }

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
