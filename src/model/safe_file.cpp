#include "model/safe_file.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rkt {

namespace fs = std::filesystem;

namespace {

int g_injectedError = 0;
std::size_t g_injectedAfter = 0;

constexpr std::string_view kTempMarker = ".tmp-";
constexpr std::size_t kRandomLength = 10;
// The longest name of one path component (NAME_MAX on POSIX systems, 255
// UTF-16 units on Windows, which 255 UTF-8 bytes never exceed).
constexpr std::size_t kNameMax = 255;
// A temporary file is another writer's while it is younger than this (or,
// on POSIX systems, while its writer holds its lock); a save takes
// milliseconds, so an older one was left by a run that was killed.
constexpr auto kAbandonedAfter = std::chrono::minutes(10);

std::string RandomSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
  std::string s;
  for (std::size_t i = 0; i < kRandomLength; ++i) s += kChars[pick(engine)];
  return s;
}

std::string ErrnoText(int error) { return std::strerror(error); }

// Whether a temporary file's writer is gone: it is old, and (where locks
// exist) nobody holds its lock. A save running at the same moment keeps
// its file.
bool Abandoned(const fs::path& p) {
  std::error_code ec;
  const auto written = fs::last_write_time(p, ec);
  if (ec || fs::file_time_type::clock::now() - written < kAbandonedAfter) return false;
#ifndef _WIN32
  const int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
#else
  // An open temporary file is shared with nobody (_SH_DENYRW) and cannot be
  // removed while its writer has it.
  return true;
#endif
}

// Names this program gave its own temporary files for target, left behind
// by an earlier run that was killed. Links and other files are not ours.
void RemoveLeftovers(const fs::path& target) {
  const std::string prefix = TemporaryNamePrefix(target);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return;
    const std::string name = Utf8FromPath(it->path().filename());
    if (name.size() != prefix.size() + kRandomLength || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code st;
    if (!it->is_symlink(st) && it->is_regular_file(st) && Abandoned(it->path())) fs::remove(it->path(), st);
  }
}

// Whether the user may not write the existing file p, as an editor sees it:
// no write permission for anybody (which even the administrator is asked
// about) or none for this user; on Windows the read-only attribute.
bool IsReadOnlyFile(const fs::path& p) {
#ifdef _WIN32
  struct _stat64 st {};
  return _wstat64(p.c_str(), &st) == 0 && (st.st_mode & _S_IWRITE) == 0;
#else
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return false;
  if ((st.st_mode & 0222) == 0) return true;
  return ::access(p.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM);
#endif
}

// Why a file that is there but no regular file cannot be replaced.
std::string SpecialFileReason(const fs::file_status& st) {
  if (fs::is_character_file(st) || fs::is_block_file(st)) return "is a device, not a file";
  if (fs::is_fifo(st)) return "is a FIFO, not a file";
  return "not a regular file";
}

#ifdef _WIN32
using Handle = int;
Handle CreateExclusive(const fs::path& p, bool /*private*/) {
  int fd = -1;
  _wsopen_s(&fd, p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
  return fd;
}
long WriteSome(Handle fd, const std::uint8_t* data, std::size_t n) {
  return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
bool SyncFile(Handle fd) { return _commit(fd) == 0; }
bool CloseFile(Handle fd) { return _close(fd) == 0; }
#else
using Handle = int;
Handle CreateExclusive(const fs::path& p, bool privateMode) {
  // O_EXCL with O_CREAT never follows a link at that name: it fails instead.
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, privateMode ? 0600 : 0666);
  // Held until the file is closed: it tells another save to the same target
  // that this file is in use, not left behind. (Should it fail, the file's
  // age still protects it.)
  if (fd >= 0) (void)::flock(fd, LOCK_EX | LOCK_NB);
  return fd;
}
long WriteSome(Handle fd, const std::uint8_t* data, std::size_t n) { return ::write(fd, data, n); }
bool SyncFile(Handle fd) { return ::fsync(fd) == 0; }
bool CloseFile(Handle fd) { return ::close(fd) == 0; }
#endif

// Writes everything, stopping at the first failure (the injected one too).
int WriteAll(Handle fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t chunk = bytes.size() - done;
    if (g_injectedError != 0) {
      if (done >= g_injectedAfter) return g_injectedError;
      chunk = std::min(chunk, g_injectedAfter - done);
    }
    const long n = WriteSome(fd, bytes.data() + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  if (g_injectedError != 0 && bytes.size() > g_injectedAfter) return g_injectedError;
  return 0;
}

}  // namespace

std::string Utf8FromPath(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

fs::path PathFromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string AbsolutePath(const std::string& utf8) {
  const fs::path p = PathFromUtf8(utf8);
  std::error_code ec;
  if (utf8.empty() || p.is_absolute()) return utf8;
  const fs::path full = fs::absolute(p, ec);
  return ec ? utf8 : Utf8FromPath(full.lexically_normal());
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ea, eb;
  const bool aExists = fs::exists(a, ea), bExists = fs::exists(b, eb);
  if (aExists != bExists) return false;
  if (aExists) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
  }
  const fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea), cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
  return !ea && !eb && ca == cb;
}

std::string TemporaryNamePrefix(const fs::path& target) {
  // The target's name is shortened (at a character's start) where the whole
  // temporary name would pass the limit of a name.
  std::string name = Utf8FromPath(target.filename());
  const std::size_t room = kNameMax - 1 - kTempMarker.size() - kRandomLength;
  if (name.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return "." + name + std::string(kTempMarker);
}

void InjectWriteFailureForTesting(int error, std::size_t afterBytes) {
  g_injectedError = error;
  g_injectedAfter = afterBytes;
}

std::string WriteFileAtomically(const std::string& path, const std::string& bytes, bool replaceReadOnly) {
  return WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                             replaceReadOnly);
}

std::string WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, bool replaceReadOnly) {
  if (path.empty()) return ErrnoText(ENOENT);
  fs::path target = PathFromUtf8(path);
  std::error_code ec;
  // A link at the target stays a link; the file it names is replaced.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return ec.message();
    target = resolved;
  }
  const fs::file_status existing = fs::status(target, ec);
  const bool exists = fs::exists(existing);
  if (exists && fs::is_directory(existing)) return ErrnoText(EISDIR);
  if (exists && !fs::is_regular_file(existing)) return SpecialFileReason(existing);
  const bool readOnly = exists && IsReadOnlyFile(target);
  if (readOnly && !replaceReadOnly) return std::string(kReadOnlyFileReason);

  RemoveLeftovers(target);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::path temp;
  Handle fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir / PathFromUtf8(TemporaryNamePrefix(target) + RandomSuffix());
    fd = CreateExclusive(temp, exists);
    if (fd < 0 && errno != EEXIST) return ErrnoText(errno);
  }
  if (fd < 0) return ErrnoText(EEXIST);

  int error = 0;
#ifndef _WIN32
  if (exists) {
    // The new file keeps the old one's permissions (and owner, where allowed).
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
      if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not our file to give away: it keeps our ownership.
      }
      if (::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    }
  }
#endif
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && !SyncFile(fd)) error = errno;
  if (!CloseFile(fd) && error == 0) error = errno;
  if (error == 0) {
#ifdef _WIN32
    // Windows renames nothing over a read-only file: the attribute goes for
    // the moment of the rename and comes back on the new file.
    if (readOnly) _wchmod(target.c_str(), _S_IREAD | _S_IWRITE);
    fs::rename(temp, target, ec);
    if (readOnly) _wchmod(target.c_str(), _S_IREAD);
#else
    fs::rename(temp, target, ec);
#endif
    if (!ec) return {};
  }
  std::error_code ignored;
  fs::remove(temp, ignored);
  return error != 0 ? ErrnoText(error) : ec.message();
}

}  // namespace rkt
