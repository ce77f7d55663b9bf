#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "model/safe_file.h"
#include "test_data.h"

namespace rkt {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::ReadBytes;
using test::WriteBytes;

void ExpectBlocks(const DataSet& a, Copy ca, const DataSet& b, Copy cb, const std::string& context) {
  for (const BlockId blk : kAllBlocks)
    EXPECT_EQ(a.GetBlock(blk, ca), b.GetBlock(blk, cb)) << context << " block " << static_cast<int>(blk);
}

TEST(ParameterFile, LayoutAndRoundTripsIncludingTheInputBit) {
  test::TempDir dir;
  DataSet ds;
  ds.SetSensitivityValid(1);
  test::SetIdent(ds, 4, 1, 2);
  ds.Byte(BlockId::Name1, kWorkingCopy, 1) = 'R';
  ds.Param(kWorkingCopy, 16) = 0xAB;
  ASSERT_TRUE(SaveParameterFile(ds, dir.Path("plain.RKT")).ok);
  const Bytes bytes = ReadBytes(dir.Path("plain.RKT"));
  ASSERT_EQ(bytes.size(), 113u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 27), "SENSOR-10-02-#QD-Varem     ");
  // Flag (16 bits, little-endian), identification bytes 5 and 8, name, parameter byte 16, comment length.
  const Bytes picked = {bytes[27], bytes[28], bytes[33], bytes[36], bytes[45], bytes[108], bytes[109], bytes[112]};
  EXPECT_EQ(picked, (Bytes{1, 0, 4, 2, 'R', 0xAB, 0, 0}));
  ds.SetValue(ValueId::Comment, std::string(300, 'c'));
  const Bytes long300 = EncodeParameterFile(ds);
  EXPECT_EQ(Bytes(long300.begin() + 109, long300.end() - 299), (Bytes{44, 1, 0, 0, 'c'})) << "300 = 0x12C, 413 bytes";
  std::mt19937 rng(99);
  for (int n = 0; n < 100; ++n) {
    DataSet ds;
    test::FillRandom(ds, rng);
    if (n % 4 == 0) test::SetIdent(ds, n % 8, 1, 2 * (n % 8) + 1);  // odd types below version 4 invert the input bit
    const DataSet before = ds;
    const std::string path = dir.Path("set" + std::to_string(n % 3) + ".RKT");
    ASSERT_TRUE(SaveParameterFile(ds, path).ok);
    ExpectBlocks(ds, kWorkingCopy, before, kWorkingCopy, "saving changed the working copy");
    ExpectBlocks(ds, kReadCopy, before, kWorkingCopy, "a save makes the working copy the read copy");
    EXPECT_TRUE(ds.OfflineData() && !ds.IsChanged());
    DataSet loaded;
    loaded.SetValue(ValueId::Changed, true);
    loaded.SetValue(ValueId::CommentChanged, true);
    const std::string context = "set " + std::to_string(n);
    ASSERT_EQ(LoadParameterFileChecked(loaded, path).reason, "");
    ExpectBlocks(loaded, kWorkingCopy, before, kWorkingCopy, context);
    ExpectBlocks(loaded, kReadCopy, before, kWorkingCopy, context);
    EXPECT_EQ(loaded.Comment() + loaded.FileName(), before.Comment() + path) << context;
    EXPECT_EQ(loaded.SensitivityValid() * 10 + loaded.DataValid(), before.SensitivityValid() * 10 + 1) << context;
    EXPECT_TRUE(loaded.OfflineData() && !loaded.IsChanged() && !loaded.IsCommentChanged());
  }
  for (int version = 0; version <= 5; ++version) {
    for (const int type : {1, 2, 15}) {
      DataSet ds;
      test::SetIdent(ds, version, 0, type);
      ds.SetValue(ValueId::InputInverted, true);
      ASSERT_TRUE(SaveParameterFile(ds, dir.Path("v.RKT")).ok);
      EXPECT_EQ((ReadBytes(dir.Path("v.RKT"))[94] & 1) != 0, !(version < 4 && type == 1)) << version << "/" << type;
      DataSet loaded;
      ASSERT_EQ(LoadParameterFile(loaded, dir.Path("v.RKT")), LoadStatus::Ok);
      EXPECT_EQ(loaded.GetInt(ValueId::InputInverted, kWorkingCopy), 1) << version << "/" << type;
    }
  }
}

TEST(ParameterFile, DamagedFilesAreRefusedWholeAndOlderOnesLoad) {
  test::TempDir dir;
  DataSet good;
  good.SetValue(ValueId::Comment, std::string("12345"));
  const Bytes valid = EncodeParameterFile(good);
  const auto cut = [&](std::size_t n) { return Bytes(valid.begin(), valid.begin() + static_cast<long>(n)); };
  const auto with = [&](Bytes b, std::size_t at, std::initializer_list<std::uint8_t> v) {
    std::copy(v.begin(), v.end(), b.begin() + static_cast<long>(at));
    return b;
  };
  Bytes overCap = with(cut(kCurrentFixedSize), 109, {0x01, 0x00, 0x10, 0x00});  // 0x100001
  overCap.resize(kCurrentFixedSize + kMaxCommentLength + 1, 'x');
  const std::pair<Bytes, const char*> rows[] = {
      {cut(20), "shorter than the header"}, {with(valid, 12, {'3'}), "unknown generation"},
      {with(valid, 0, {'s'}), "header compared exactly"}, {with(valid, 26, {'_'}), "last header character"},
      {cut(100), "parameter block cut"}, {cut(110), "comment length cut"}, {cut(112), "last length byte missing"},
      {cut(117), "comment cut by one"}, {with(valid, 109, {6}), "comment length one past the end"},
      {with(valid, 112, {0x7F}), "comment length of 2 GB"}, {overCap, "comment length just past the 1 MiB cap"}};
  for (const auto& [bytes, why] : rows) {
    WriteBytes(dir.Path("bad.RKT"), bytes);
    DataSet ds;
    std::mt19937 rng(5);
    test::FillRandom(ds, rng);
    ds.SetValue(ValueId::FileName, std::string("/mine.RKT"));
    ds.SetValue(ValueId::Changed, true);
    const DataSet before = ds;
    const LoadResult r = LoadParameterFileChecked(ds, dir.Path("bad.RKT"));
    EXPECT_TRUE(r.status == LoadStatus::Invalid && !r.reason.empty()) << why;
    EXPECT_EQ(LoadParameterBytes(ds, bytes, "/x.RKT"), LoadStatus::Invalid) << why;
    ExpectBlocks(ds, kWorkingCopy, before, kWorkingCopy, why);
    ExpectBlocks(ds, kReadCopy, before, kReadCopy, why);
    EXPECT_EQ(ds.FileName() + ds.Comment() + std::to_string(ds.IsChanged()), "/mine.RKT" + before.Comment() + "1") << why;
  }
  const std::pair<Bytes, const char*> fine[] = {
      {with(cut(kCurrentFixedSize), 109, {0xFF, 0xFF, 0xFF, 0xFF}), ""}, {with(valid, 109, {4}), "1234"}};
  for (const auto& [bytes, comment] : fine) {
    WriteBytes(dir.Path("ok.RKT"), bytes);
    DataSet ds;
    EXPECT_EQ(LoadParameterFile(ds, dir.Path("ok.RKT")), LoadStatus::Ok) << "a negative length is an empty comment";
    EXPECT_EQ(ds.Comment(), comment);
  }
  Bytes file(kFileHeaderOld.begin(), kFileHeaderOld.end());
  file.insert(file.end(), {0, 1, 0, 0, 0, 0, 4, 0, 0, 9});
  file.resize(file.size() + 8, 0);
  for (const char c : std::string("OLD-SENSOR\0\0\0\0\0\0", 16)) file.push_back(static_cast<std::uint8_t>(c));
  file.insert(file.end(), {0x20, 0, 50});
  file.resize(file.size() + 13, 0);
  file.insert(file.end(), {3, 0, 0, 0, 'a', 'b', 'c', 'x'});
  WriteBytes(dir.Path("old.RKT"), file);  // older files have no second and third name block
  DataSet ds;
  for (int i = 1; i <= kBlockSize; ++i) ds.Byte(BlockId::Name2, kWorkingCopy, i) = 'x';
  ASSERT_EQ(LoadParameterFile(ds, dir.Path("old.RKT")), LoadStatus::Ok);
  EXPECT_EQ(TypeDesignation(ds, kWorkingCopy) + "|" + ds.Comment(), "OLD-SENSOR|abc") << "bytes after the comment are ignored";
  EXPECT_EQ(ds.GetBlock(BlockId::Name2, kWorkingCopy), DataSet::Block{});
  // The file's stored sensitivity wins; a flag of 256 counts as set.
  EXPECT_EQ(std::vector<int>({ds.GetInt(ValueId::TypeCode, kWorkingCopy), ds.GetInt(ValueId::OutputType, kWorkingCopy),
                              ds.GetInt(ValueId::Sensitivity, kWorkingCopy), ds.SensitivityValid()}),
            std::vector<int>({9, 1, 43, 1}));
}

TEST(ParameterFile, SaveResults) {
  test::TempDir dir;
  RecentFiles recent;
  DataSet ds;
  ds.SetRecentFiles(&recent);
  ds.SetValue(ValueId::FileName, std::string("/earlier.RKT"));
  ds.SetValue(ValueId::Changed, true);
  const SaveResult saved = SaveParameterFile(ds, dir.Path("noext"));
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.error + saved.path + "|" + ds.FileName(), dir.Path("noext.RKT") + "|" + dir.Path("noext.RKT"));
  EXPECT_EQ(recent.GetRecentFile(1) + std::to_string(ds.IsChanged()), "/earlier.RKT0");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"noext.RKT"}) << "no temporary file left";
  // A full disk, a missing folder, a comment the loader would refuse: old file and data set stay as they were.
  const Bytes previous = ReadBytes(dir.Path("noext.RKT"));
  const struct { std::string path; std::size_t comment; int error; } rows[] = {{dir.Path("noext.RKT"), 10, ENOSPC}, {dir.Path("missing/x.RKT"), 10, 0}, {dir.Path("noext.RKT"), kMaxCommentLength + 1, 0}};
  for (const auto& row : rows) {
    DataSet failing;
    failing.SetValue(ValueId::Comment, std::string(row.comment, 'x'));
    failing.SetValue(ValueId::Changed, true);
    if (row.error != 0) InjectWriteFailureForTesting(row.error, 50);
    const SaveResult r = SaveParameterFile(failing, row.path);
    InjectWriteFailureForTesting(0);
    EXPECT_FALSE(r.ok || r.error.empty() || (row.error != 0 && r.error != std::strerror(row.error))) << r.error;
    EXPECT_TRUE(failing.IsChanged() && !failing.OfflineData() && failing.FileName().empty());
    EXPECT_EQ(ReadBytes(dir.Path("noext.RKT")), previous);
  }
  ds.SetValue(ValueId::Comment, std::string(kMaxCommentLength, 'x'));
  ASSERT_TRUE(SaveParameterFile(ds, dir.Path("max.RKT")).ok);
  DataSet again;
  EXPECT_EQ(LoadParameterFile(again, dir.Path("max.RKT")), LoadStatus::Ok) << "the longest comment still loads";
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"max.RKT", "noext.RKT"}));
  // Loaded over data of another type family, a file keeps its own sensitivity flag; a relative
  // name is kept with its full path.
  for (const int flag : {0, 1}) {
    DataSet source;
    test::SetIdent(source, 4, 1, 7);
    source.SetSensitivityValid(flag);
    ASSERT_TRUE(SaveParameterFile(source, dir.Path("family.RKT")).ok);
    DataSet other;
    test::SetIdent(other, 4, 1, 1);
    const fs::path cwd = fs::current_path();
    fs::current_path(fs::u8path(dir.Dir()));
    const LoadStatus loaded = LoadParameterFile(other, "family.RKT");
    fs::current_path(cwd);
    ASSERT_EQ(loaded, LoadStatus::Ok);
    EXPECT_EQ(other.SensitivityValid(), flag);
    EXPECT_TRUE(PathFromUtf8(other.FileName()).is_absolute() &&
                fs::equivalent(PathFromUtf8(other.FileName()), fs::u8path(dir.Path("family.RKT"))))
        << other.FileName();
  }
}

#ifndef _WIN32  // FIFOs, modes and symbolic links are POSIX
TEST(ParameterFile, OddFilesAreRefusedAndSavesKeepLinksAndPermissions) {
  test::TempDir dir;
  fs::create_directory(dir.Path("folder.RKT"));
  ASSERT_EQ(::mkfifo(dir.Path("fifo.RKT").c_str(), 0600), 0);
  WriteBytes(dir.Path("locked.RKT"), EncodeParameterFile(DataSet()));
  WriteBytes(dir.Path("empty.RKT"), {});
  ::chmod(dir.Path("locked.RKT").c_str(), 0);
  const bool root = ::geteuid() == 0;  // reads any file
  const struct { std::string path; LoadStatus status; std::string reason; } rows[] = {
      {dir.Path("folder.RKT"), LoadStatus::Unreadable, "is a folder"},
      {dir.Path("fifo.RKT"), LoadStatus::Unreadable, "is a FIFO, not a file"},
      {"/dev/null", LoadStatus::Unreadable, "is a device, not a file"},
      {dir.Path("gone.RKT"), LoadStatus::NotUsable, std::strerror(ENOENT)},
      {dir.Path("gone/x.RKT"), LoadStatus::NotUsable, std::strerror(ENOENT)},
      {dir.Path("empty.RKT"), LoadStatus::NotUsable, "the file is empty"},
      {"", LoadStatus::NotUsable, "no file name"},
      {dir.Path("locked.RKT"), root ? LoadStatus::Ok : LoadStatus::Unreadable, root ? "" : std::strerror(EACCES)}};
  for (const auto& row : rows) {
    DataSet ds;
    const LoadResult r = LoadParameterFileChecked(ds, row.path);
    EXPECT_EQ(r.status, row.status) << row.path;
    EXPECT_EQ(r.reason, row.reason) << row.path;
  }
  const std::string target = dir.Path("keep.RKT");
  DataSet ds;
  ASSERT_TRUE(SaveParameterFile(ds, target).ok);
  ::chmod(target.c_str(), 0640);
  // Links planted where a temporary file could go are neither followed nor removed; a killed save's leftover goes.
  WriteBytes(dir.Path("victim"), {'v'});
  fs::create_symlink(dir.Path("victim"), target + ".tmp~");
  const std::string pattern = dir.Path(TemporaryNamePrefix(fs::path(target)) + "abcdefghij");
  fs::create_symlink(dir.Path("victim"), pattern);
  const std::string leftover = dir.Path(TemporaryNamePrefix(fs::path(target)) + "0123456789");
  const std::string other = dir.Path(TemporaryNamePrefix(fs::path(target)) + "012345678");
  for (const std::string& path : {leftover, other}) WriteBytes(path, {'x'});
  for (const std::string& path : {leftover, other})
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
  ds.SetValue(ValueId::Comment, std::string("second"));
  ASSERT_TRUE(SaveParameterFile(ds, target).ok);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
  EXPECT_EQ(ReadBytes(dir.Path("victim")), Bytes{'v'});
  EXPECT_TRUE(fs::is_symlink(target + ".tmp~") && fs::is_symlink(pattern) && fs::exists(other) && !fs::exists(leftover));
  EXPECT_EQ(dir.Entries().size(), 4u + 5u) << "no temporary file beside the odd files";
  const std::pair<std::string, std::string> refused[] = {
      {dir.Dir(), std::strerror(EISDIR)}, {"", std::strerror(ENOENT)}, {"/dev/null", "is a device, not a file"},
      {dir.Path("fifo.RKT"), "is a FIFO, not a file"}};
  for (const auto& [path, why] : refused) EXPECT_EQ(WriteFileAtomically(path, std::string("x")), why) << path;
}
#endif

#ifndef _WIN32  // a Windows path stops at 260 characters before one of its names reaches that limit
// A save creates a temporary file beside the target: names up to the limit of a name (255 bytes) are saved all
// the same, the temporary name cut short at a character's start.
TEST(ParameterFile, NamesUpToTheLengthLimitAreSaved) {
  test::TempDir dir;
  std::string umlauts = "ab";
  for (int i = 0; i < 124; ++i) umlauts += "\xc3\xa4";
  const std::string names[] = {std::string(100, 'n') + ".RKT", std::string(235, 'n') + ".RKT",
                               std::string(236, 'n') + ".RKT", std::string(246, 'n') + ".RKT",
                               std::string(251, 'n') + ".RKT", umlauts + ".RKT"};
  for (const std::string& name : names) {
    DataSet ds;
    ds.SetValue(ValueId::Comment, name.substr(0, 20));
    const SaveResult saved = SaveParameterFile(ds, dir.Path(name));
    EXPECT_TRUE(saved.ok) << name.size() << " bytes: " << saved.error;
    DataSet back;
    EXPECT_EQ(LoadParameterFile(back, dir.Path(name)), LoadStatus::Ok) << name.size();
    EXPECT_EQ(back.Comment(), name.substr(0, 20));
    EXPECT_LE(TemporaryNamePrefix(PathFromUtf8(name)).size() + 10, 255u) << name.size();
  }
  EXPECT_EQ(TemporaryNamePrefix(PathFromUtf8(umlauts + ".RKT")), "." + umlauts.substr(0, 238) + ".tmp-")
      << "not inside the two bytes of a character";
  EXPECT_EQ(dir.Entries().size(), std::size(names)) << "no temporary file left";
}
#endif

// A read-only file is refused as an editor refuses it, and left as it is; replaced only when the user says so,
// it stays read-only.
TEST(ParameterFile, AReadOnlyFileIsReplacedOnlyWhenConfirmed) {
  test::TempDir dir;
  const std::string target = dir.Path("kept.RKT");
  DataSet ds;
  ds.SetValue(ValueId::Comment, std::string("first"));
  ASSERT_TRUE(SaveParameterFile(ds, target).ok);
  const Bytes first = ReadBytes(target);
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(PathFromUtf8(target), readOnly);
  ds.SetValue(ValueId::Comment, std::string("second"));
  ds.SetValue(ValueId::Changed, true);
  const SaveResult refused = SaveParameterFile(ds, target);
  EXPECT_EQ(std::tuple(refused.ok, refused.readOnly, refused.error, refused.path),
            std::tuple(false, true, std::string(kReadOnlyFileReason), target));
  EXPECT_EQ(ReadBytes(target), first);
  EXPECT_TRUE(ds.IsChanged()) << "nothing saved";
  EXPECT_EQ(WriteFileAtomically(target, std::string("x")), kReadOnlyFileReason) << "every save refuses it";
  const SaveResult confirmed = SaveParameterFile(ds, target, true);
  EXPECT_TRUE(confirmed.ok && !confirmed.readOnly) << confirmed.error;
  DataSet back;
  ASSERT_EQ(LoadParameterFile(back, target), LoadStatus::Ok);
  EXPECT_EQ(back.Comment(), "second");
  EXPECT_EQ(fs::status(PathFromUtf8(target)).permissions() & fs::perms::all, readOnly) << "still read-only";
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kept.RKT"});
  fs::permissions(PathFromUtf8(target), fs::perms::owner_all);
}

#ifndef _WIN32  // devices, FIFOs and locks on files are POSIX
// A name without extension that names a device or FIFO is not turned into a new file beside it: it is refused
// as it is. A folder's name still gets the extension, as before.
TEST(ParameterFile, SpecialFilesAreRefusedNotSavedBeside) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
  fs::create_directory(dir.Path("folder"));
  const struct { std::string typed, path, error; } rows[] = {
      {"/dev/null", "/dev/null", "is a device, not a file"},
      {dir.Path("pipe"), dir.Path("pipe"), "is a FIFO, not a file"},
      {dir.Path("folder"), dir.Path("folder.RKT"), ""},
      {dir.Path("plain"), dir.Path("plain.RKT"), ""}};
  for (const auto& row : rows) {
    DataSet ds;
    const SaveResult r = SaveParameterFile(ds, row.typed);
    EXPECT_EQ(std::tuple(r.ok, r.path, r.error), std::tuple(row.error.empty(), row.path, row.error)) << row.typed;
    EXPECT_EQ(ParameterFileName(row.typed), row.path);
  }
  const bool besideDevice = fs::exists("/dev/null.RKT");
  if (besideDevice) fs::remove("/dev/null.RKT");
  EXPECT_FALSE(besideDevice) << "a file was made beside the device";
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder", "folder.RKT", "pipe", "plain.RKT"}));
}

// A save running at the same moment keeps its temporary file: only one that is old and whose writer no longer
// holds its lock was left by a killed run, and goes.
TEST(ParameterFile, ASaveRemovesOnlyAbandonedTemporaryFiles) {
  test::TempDir dir;
  const std::string target = dir.Path("shared.RKT");
  const struct { const char* suffix; int minutesOld; bool locked; bool kept; } rows[] = {
      {"fresh00000", 0, false, true},   // just created; its writer is about to lock it
      {"fresh11111", 0, true, true},    // being written
      {"stuck22222", 60, true, true},   // its writer is slow, but alive
      {"gone333333", 60, false, false}, // left by a killed run
  };
  std::vector<int> locks;
  for (const auto& row : rows) {
    const std::string path = dir.Path(TemporaryNamePrefix(PathFromUtf8(target)) + row.suffix);
    WriteBytes(path, {'x'});
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(row.minutesOld));
    if (row.locked) {
      locks.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_EQ(::flock(locks.back(), LOCK_EX | LOCK_NB), 0);
    }
  }
  DataSet ds;
  ASSERT_TRUE(SaveParameterFile(ds, target).ok);
  for (const auto& row : rows)
    EXPECT_EQ(fs::exists(dir.Path(TemporaryNamePrefix(PathFromUtf8(target)) + row.suffix)), row.kept) << row.suffix;
  for (const int fd : locks) ::close(fd);
  // Several programs saving one file at once: every save succeeds.
  constexpr int kPrograms = 4, kSaves = 50;
  std::vector<pid_t> children;
  for (int p = 0; p < kPrograms; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failed = 0;
      for (int i = 0; i < kSaves; ++i) {
        DataSet ds;
        ds.SetValue(ValueId::Comment, "program " + std::to_string(p));
        failed += !SaveParameterFile(ds, target).ok;
      }
      ::_exit(std::min(failed, 100));
    }
    children.push_back(pid);
  }
  int failed = 0;
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    failed += WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
  }
  EXPECT_EQ(failed, 0) << "of " << kPrograms * kSaves << " saves";
  DataSet back;
  EXPECT_EQ(LoadParameterFile(back, target), LoadStatus::Ok);
  EXPECT_EQ(back.Comment().rfind("program ", 0), 0u);
}
#endif

TEST(ParameterFile, ReplacesAFileUnderAnUmlautNameAndPathHelpers) {
  test::TempDir dir;
  std::string path = dir.Path("Pr\xc3\xbc" "fstand \xc3\x84.RKT");  // UTF-8, as the window hands it over
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  for (const char* comment : {"erste", "zweite"}) {
    DataSet ds;
    ds.SetValue(ValueId::Comment, std::string(comment));
    ASSERT_TRUE(SaveParameterFile(ds, path).ok) << comment;
    EXPECT_TRUE(FileIsUsable(path));
    DataSet back;
    ASSERT_EQ(LoadParameterFile(back, path), LoadStatus::Ok) << comment;
    EXPECT_EQ(back.Comment(), comment);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.Dir())), fs::directory_iterator()), 1);
  const std::pair<const char*, bool> ext[] = {{"a.RKT", true}, {"a.rk", true}, {"a.", true}, {"ab.c", true},
      {"a.TEXT", false}, {"a", false}, {"", false}, {"x.d\\ab", false}, {"x.d/ab", false}, {"dir.x\\", false},
      {".abc", true}, {"x.abcd", false}};
  for (const auto& [name, has] : ext) EXPECT_EQ(HasExtension(name), has) << name;
  EXPECT_EQ(FileTitle("C:\\Daten\\Sensor 1.RKT") + "|" + FileTitle("/home/t/s.RKT") + "|" + FileTitle("/s") + "|" +
                FileTitle("plain"), "Sensor 1.RKT|s.RKT|s|plain");
  WriteBytes(dir.Path("empty.RKT"), {});
  WriteBytes(dir.Path("one.RKT"), {1});
  EXPECT_FALSE(FileIsUsable(dir.Path("missing.RKT")) || FileIsUsable(dir.Path("empty.RKT")) ||
               FileIsUsable(dir.Dir()) || FileIsUsable(""));
  EXPECT_TRUE(FileIsUsable(dir.Path("one.RKT")));
  EXPECT_EQ(dir.Entries().size(), 3u) << "checking creates and deletes nothing";
}

}  // namespace
}  // namespace rkt
