#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/parameter_file.h"
#include "model/data_set.h"
#include "model/recent_files.h"
#include "model/safe_file.h"
#include "test_data.h"

namespace rkt {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ExpectSameWorkingCopy(const DataSet& a, const DataSet& b, const std::string& context) {
  for (const BlockId blk : kAllBlocks)
    EXPECT_EQ(a.GetBlock(blk, kWorkingCopy), b.GetBlock(blk, kWorkingCopy)) << context << " block " << static_cast<int>(blk);
}

TEST(ParameterFile, EmptyCommentGivesThe113ByteLayout) {
  test::TempDir dir;
  DataSet ds;
  ds.SetDataValid(1);
  ds.SetSensitivityValid(1);
  test::SetIdent(ds, 4, 1, 2);
  ds.Byte(BlockId::Name1, kWorkingCopy, 1) = 'R';
  ds.Param(kWorkingCopy, 16) = 0xAB;
  const SaveResult saved = SaveParameterFile(ds, dir.Path("plain.RKT"));
  ASSERT_TRUE(saved.ok) << saved.error;

  const auto bytes = ReadBytes(dir.Path("plain.RKT"));
  ASSERT_EQ(bytes.size(), 113u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 27), "SENSOR-10-02-#QD-Varem     ");
  EXPECT_EQ(bytes[27], 1);
  EXPECT_EQ(bytes[28], 0) << "the flag is a little-endian 16-bit value";
  EXPECT_EQ(bytes[29 + 4], 4) << "identification byte 5 at offset 33";
  EXPECT_EQ(bytes[29 + 7], 2);
  EXPECT_EQ(bytes[45], 'R');
  EXPECT_EQ(bytes[108], 0xAB) << "parameter byte 16 at offset 108";
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()), std::vector<std::uint8_t>(4, 0));
}

TEST(ParameterFile, SaveThenLoadRestoresEverything) {
  test::TempDir dir;
  std::mt19937 rng(99);
  for (int n = 0; n < 200; ++n) {
    DataSet ds;
    test::FillRandom(ds, rng);
    if (n % 4 == 0) test::SetIdent(ds, n % 8, 1, 2 * (n % 8) + 1);  // odd types below version 4 invert the input bit
    const DataSet before = ds;
    const std::string path = dir.Path("set" + std::to_string(n % 3) + ".RKT");
    ASSERT_TRUE(SaveParameterFile(ds, path).ok);
    EXPECT_FALSE(ds.IsChanged());
    ExpectSameWorkingCopy(ds, before, "saving changed the working copy");

    DataSet loaded;
    test::SetIdent(loaded, 0, 0, 0);
    ASSERT_EQ(LoadParameterFile(loaded, path), LoadStatus::Ok);
    const std::string context = "set " + std::to_string(n);
    ExpectSameWorkingCopy(loaded, before, context);
    for (const BlockId blk : kAllBlocks) EXPECT_EQ(loaded.GetBlock(blk, kReadCopy), before.GetBlock(blk, kWorkingCopy)) << context;
    EXPECT_EQ(loaded.Comment(), before.Comment()) << context;
    EXPECT_EQ(loaded.SensitivityValid(), before.SensitivityValid()) << context;
    EXPECT_EQ(loaded.FileName(), path);
    EXPECT_EQ(loaded.DataValid(), 1);
    EXPECT_TRUE(loaded.OfflineData());
    EXPECT_FALSE(loaded.IsChanged());
    EXPECT_FALSE(loaded.IsCommentChanged());
  }
}

// Files of versions 0..2 used to come back with the input bit flipped: the
// load inverted only for version 3 while the save inverted for every version
// below 4.
TEST(ParameterFile, InputBitRoundTripsForEveryVersionBelowFour) {
  test::TempDir dir;
  for (int version = 0; version <= 5; ++version) {
    for (const int type : {1, 2, 15}) {
      DataSet ds;
      ds.SetDataValid(1);
      test::SetIdent(ds, version, 0, type);
      ds.SetValue(ValueId::InputInverted, true);
      ASSERT_TRUE(SaveParameterFile(ds, dir.Path("v.RKT")).ok);
      const bool stored = (ReadBytes(dir.Path("v.RKT"))[94] & 1) != 0;
      const bool inverts = version < 4 && type == 1;
      EXPECT_EQ(stored, !inverts) << "version " << version << " type " << type;

      DataSet loaded;
      ASSERT_EQ(LoadParameterFile(loaded, dir.Path("v.RKT")), LoadStatus::Ok);
      EXPECT_EQ(loaded.GetInt(ValueId::InputInverted, kWorkingCopy), 1) << "version " << version << " type " << type;
    }
  }
}

TEST(ParameterFile, OlderFilesHaveNoSecondAndThirdNameBlock) {
  test::TempDir dir;
  std::vector<std::uint8_t> file(kFileHeaderOld.begin(), kFileHeaderOld.end());
  file.insert(file.end(), {1, 0});
  std::vector<std::uint8_t> ident(16, 0);
  ident[4] = 4;
  ident[7] = 9;
  file.insert(file.end(), ident.begin(), ident.end());
  const std::string name = "OLD-SENSOR";
  file.insert(file.end(), name.begin(), name.end());
  file.insert(file.end(), 16 - name.size(), 0);
  std::vector<std::uint8_t> params(16, 0);
  params[0] = 0x20;
  params[2] = 50;
  file.insert(file.end(), params.begin(), params.end());
  file.insert(file.end(), {3, 0, 0, 0, 'a', 'b', 'c'});
  ASSERT_EQ(file.size(), kOldFixedSize + 3);
  WriteBytes(dir.Path("old.RKT"), file);

  DataSet ds;
  for (int i = 1; i <= kBlockSize; ++i) ds.Byte(BlockId::Name2, kWorkingCopy, i) = 'x';
  ASSERT_EQ(LoadParameterFile(ds, dir.Path("old.RKT")), LoadStatus::Ok);
  EXPECT_EQ(TypeDesignation(ds, kWorkingCopy), "OLD-SENSOR");
  EXPECT_EQ(ds.Byte(BlockId::Name2, kWorkingCopy, 1), 0);
  EXPECT_EQ(ds.GetInt(ValueId::OutputType, kWorkingCopy), 1);
  EXPECT_EQ(ds.GetInt(ValueId::Sensitivity, kWorkingCopy), 43) << "a file's stored sensitivity wins";
  EXPECT_EQ(ds.Comment(), "abc");
  EXPECT_EQ(ds.SensitivityValid(), 1);
}

TEST(ParameterFile, DamagedFilesAreRefusedWholeAndChangeNothing) {
  test::TempDir dir;
  DataSet good;
  good.SetDataValid(1);
  good.SetValue(ValueId::Comment, std::string("12345"));
  const std::vector<std::uint8_t> valid = EncodeParameterFile(good);

  const auto cut = [&](std::size_t n) { return std::vector<std::uint8_t>(valid.begin(), valid.begin() + static_cast<long>(n)); };
  auto wrongHeader = valid;
  wrongHeader[12] = '3';
  auto lowerHeader = valid;
  lowerHeader[0] = 's';
  auto longComment = valid;
  longComment[109] = 6;
  auto hugeComment = valid;
  hugeComment[112] = 0x7F;
  auto overCap = cut(kCurrentFixedSize);
  overCap.resize(kCurrentFixedSize + kMaxCommentLength + 1, 'x');
  overCap[109] = 0x01;
  overCap[110] = 0x00;
  overCap[111] = 0x10;  // 0x100001
  overCap[112] = 0x00;
  const struct {
    std::vector<std::uint8_t> bytes;
    const char* why;
  } rows[] = {
      {cut(20), "shorter than the header"},
      {wrongHeader, "unknown generation"},
      {lowerHeader, "header compared exactly"},
      {cut(100), "parameter block cut"},
      {cut(110), "comment length cut"},
      {cut(115), "comment cut"},
      {longComment, "comment length one past the end"},
      {hugeComment, "comment length of 2 GB"},
      {overCap, "comment length just past the 1 MiB cap, with the bytes present"},
  };
  for (const auto& row : rows) {
    WriteBytes(dir.Path("bad.RKT"), row.bytes);
    DataSet ds;
    std::mt19937 rng(5);
    test::FillRandom(ds, rng);
    ds.SetValue(ValueId::FileName, std::string("/mine.RKT"));
    ds.SetValue(ValueId::Changed, true);
    const DataSet before = ds;
    EXPECT_EQ(LoadParameterFile(ds, dir.Path("bad.RKT")), LoadStatus::Invalid) << row.why;
    ExpectSameWorkingCopy(ds, before, row.why);
    for (const BlockId blk : kAllBlocks) EXPECT_EQ(ds.GetBlock(blk, kReadCopy), before.GetBlock(blk, kReadCopy)) << row.why;
    EXPECT_EQ(ds.FileName(), "/mine.RKT") << row.why;
    EXPECT_EQ(ds.Comment(), before.Comment()) << row.why;
    EXPECT_TRUE(ds.IsChanged()) << row.why;
  }

  auto negative = cut(kCurrentFixedSize);
  negative[109] = negative[110] = negative[111] = negative[112] = 0xFF;
  WriteBytes(dir.Path("neg.RKT"), negative);
  DataSet ds;
  EXPECT_EQ(LoadParameterFile(ds, dir.Path("neg.RKT")), LoadStatus::Ok) << "a negative length is an empty comment";
  EXPECT_EQ(ds.Comment(), "");
}

TEST(ParameterFile, LoadOfAnotherFamilyDropsTheStoredSensitivity) {
  test::TempDir dir;
  DataSet source;
  source.SetDataValid(1);
  source.SetSensitivityValid(1);
  test::SetIdent(source, 4, 1, 3);
  ASSERT_TRUE(SaveParameterFile(source, dir.Path("s.RKT")).ok);

  DataSet partner;
  test::SetIdent(partner, 4, 1, 4);
  ASSERT_EQ(LoadParameterFile(partner, dir.Path("s.RKT")), LoadStatus::Ok);
  EXPECT_EQ(partner.SensitivityValid(), 1);

  DataSet other;
  test::SetIdent(other, 4, 1, 5);
  ASSERT_EQ(LoadParameterFile(other, dir.Path("s.RKT")), LoadStatus::Ok);
  EXPECT_EQ(other.SensitivityValid(), 0);
}

TEST(ParameterFile, SaveAppendsTheExtensionAndFeedsTheRecentList) {
  test::TempDir dir;
  RecentFiles recent;
  DataSet ds;
  ds.SetRecentFiles(&recent);
  ds.SetValue(ValueId::FileName, std::string("/earlier.RKT"));
  ds.SetValue(ValueId::Changed, true);
  const SaveResult saved = SaveParameterFile(ds, dir.Path("noext"));
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.path, dir.Path("noext.RKT"));
  EXPECT_TRUE(fs::exists(dir.Path("noext.RKT")));
  EXPECT_EQ(ds.FileName(), dir.Path("noext.RKT"));
  EXPECT_EQ(recent.GetRecentFile(1), "/earlier.RKT");
  EXPECT_TRUE(ds.OfflineData());
  EXPECT_FALSE(ds.IsChanged());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Dir()), fs::directory_iterator()), 1) << "no temporary file left";
}

TEST(ParameterFile, FailedSaveKeepsThePreviousFileAndTheChangedFlag) {
  test::TempDir dir;
  DataSet old;
  old.SetValue(ValueId::Comment, std::string("old"));
  ASSERT_TRUE(SaveParameterFile(old, dir.Path("keep.RKT")).ok);
  const auto previous = ReadBytes(dir.Path("keep.RKT"));
  // A full disk, after part of the file was written.
  InjectWriteFailureForTesting(ENOSPC, 50);

  DataSet ds;
  ds.SetValue(ValueId::Comment, std::string("new"));
  ds.SetValue(ValueId::Changed, true);
  const SaveResult saved = SaveParameterFile(ds, dir.Path("keep.RKT"));
  InjectWriteFailureForTesting(0);
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, std::strerror(ENOSPC));
  EXPECT_TRUE(ds.IsChanged());
  EXPECT_EQ(ds.FileName(), "");
  EXPECT_EQ(ReadBytes(dir.Path("keep.RKT")), previous);
}

#ifndef _WIN32  // FIFOs, modes and symbolic links are POSIX
TEST(ParameterFile, OddFilesAreRefusedWithTheirReason) {
  test::TempDir dir;
  fs::create_directory(dir.Path("folder.RKT"));
  ASSERT_EQ(::mkfifo(dir.Path("fifo.RKT").c_str(), 0600), 0);
  WriteBytes(dir.Path("locked.RKT"), EncodeParameterFile(DataSet()));
  ::chmod(dir.Path("locked.RKT").c_str(), 0);
  const bool root = ::geteuid() == 0;  // reads any file
  const struct {
    std::string path;
    LoadStatus status;
    std::string reason;
  } rows[] = {
      {dir.Path("folder.RKT"), LoadStatus::Unreadable, "is a folder"},
      {dir.Path("fifo.RKT"), LoadStatus::Unreadable, "is a FIFO, not a file"},
      {dir.Path("gone.RKT"), LoadStatus::NotUsable, std::strerror(ENOENT)},
      {dir.Path("locked.RKT"), root ? LoadStatus::Ok : LoadStatus::Unreadable, root ? "" : std::strerror(EACCES)},
  };
  for (const auto& row : rows) {
    DataSet ds;
    // A FIFO without a writer would block a plain open for ever.
    const LoadResult r = LoadParameterFileChecked(ds, row.path);
    EXPECT_EQ(r.status, row.status) << row.path;
    EXPECT_EQ(r.reason, row.reason) << row.path;
  }
}

#endif

TEST(ParameterFile, HugeSparseFilesAreAnsweredAtOnce) {
  test::TempDir dir;
  DataSet good;
  good.SetValue(ValueId::Comment, std::string("kurz"));
  auto bytes = EncodeParameterFile(good);
  auto huge = bytes;
  huge[112] = 0x7F;  // a comment length of 2 GB, "present" in a 4 GB file
  const struct {
    std::vector<std::uint8_t> head;
    LoadStatus status;
    const char* why;
  } rows[] = {{bytes, LoadStatus::Ok, "valid, 4 GB of trailing bytes"},
              {huge, LoadStatus::Invalid, "comment length beyond the cap"}};
  for (const auto& row : rows) {
    WriteBytes(dir.Path("big.RKT"), row.head);
    fs::resize_file(dir.Path("big.RKT"), 4ull << 30);
    DataSet ds;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LoadParameterFile(ds, dir.Path("big.RKT")), row.status) << row.why;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << row.why;
    if (row.status == LoadStatus::Ok) {
      EXPECT_EQ(ds.Comment(), "kurz");
    }
  }
}

#ifndef _WIN32  // FIFOs, modes and symbolic links are POSIX
TEST(ParameterFile, SaveUsesAFreshTemporaryFileAndKeepsThePermissions) {
  test::TempDir dir;
  const std::string target = dir.Path("keep.RKT");
  DataSet ds;
  ds.SetValue(ValueId::Comment, std::string("first"));
  ASSERT_TRUE(SaveParameterFile(ds, target).ok);
  ::chmod(target.c_str(), 0600);

  // Links planted where a temporary file could go: the old fixed name and
  // one of this program's own pattern. Neither is followed nor removed.
  WriteBytes(dir.Path("victim"), {'v'});
  fs::create_symlink(dir.Path("victim"), target + ".tmp~");
  const std::string pattern = dir.Path(TemporaryNamePrefix(fs::path(target)) + "abcdefghij");
  fs::create_symlink(dir.Path("victim"), pattern);
  // What a killed save left behind is cleared away.
  const std::string leftover = dir.Path(TemporaryNamePrefix(fs::path(target)) + "0123456789");
  WriteBytes(leftover, {'x'});

  ds.SetValue(ValueId::Comment, std::string("second"));
  ASSERT_TRUE(SaveParameterFile(ds, target).ok);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the replaced file keeps its permissions";
  EXPECT_EQ(ReadBytes(dir.Path("victim")), std::vector<std::uint8_t>{'v'});
  EXPECT_TRUE(fs::is_symlink(target + ".tmp~"));
  EXPECT_TRUE(fs::is_symlink(pattern));
  EXPECT_FALSE(fs::exists(leftover));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Dir())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 4u) << "target, victim and the two links; no temporary file";
  DataSet again;
  ASSERT_EQ(LoadParameterFile(again, target), LoadStatus::Ok);
  EXPECT_EQ(again.Comment(), "second");
}

#endif

TEST(ParameterFile, ACommentTheLoaderWouldRefuseIsNotSaved) {
  test::TempDir dir;
  DataSet ds;
  ds.SetValue(ValueId::Comment, std::string(kMaxCommentLength, 'x'));
  ASSERT_TRUE(SaveParameterFile(ds, dir.Path("max.RKT")).ok);
  DataSet again;
  EXPECT_EQ(LoadParameterFile(again, dir.Path("max.RKT")), LoadStatus::Ok) << "the longest comment still loads";
  ds.SetValue(ValueId::Comment, std::string(kMaxCommentLength + 1, 'x'));
  EXPECT_FALSE(SaveParameterFile(ds, dir.Path("over.RKT")).ok);
  EXPECT_FALSE(fs::exists(dir.Path("over.RKT")));
}

TEST(ParameterFile, SaveIntoAMissingFolderFails) {
  test::TempDir dir;
  DataSet ds;
  ds.SetValue(ValueId::Changed, true);
  const SaveResult saved = SaveParameterFile(ds, dir.Path("missing/x.RKT"));
  EXPECT_FALSE(saved.ok);
  EXPECT_TRUE(ds.IsChanged());
  EXPECT_FALSE(ds.OfflineData());
}

TEST(ParameterFile, ReplacesAFileUnderAnUmlautNameWithNativeSeparators) {
  test::TempDir dir;
  std::string path = dir.Path("Pr\xc3\xbc" "fstand \xc3\x84.RKT");  // UTF-8, as the window hands it over
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  for (const char* comment : {"erste", "zweite"}) {  // the second save replaces the first file
    DataSet ds;
    ds.SetValue(ValueId::Comment, std::string(comment));
    ASSERT_TRUE(SaveParameterFile(ds, path).ok) << comment;
    DataSet back;
    ASSERT_EQ(LoadParameterFile(back, path), LoadStatus::Ok) << comment;
    EXPECT_EQ(back.Comment(), comment);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.Dir())), fs::directory_iterator()), 1)
      << "no temporary file is left";
}

TEST(ParameterFile, PathHelpers) {
  const struct {
    const char* path;
    bool has;
  } ext[] = {{"a.RKT", true}, {"a.rk", true}, {"a.", true}, {"a.TEXT", false}, {"a", false}, {"", false},
             {"x.d\\ab", false}, {"x.d/ab", false}, {"dir.x\\", false}};
  for (const auto& row : ext) EXPECT_EQ(HasExtension(row.path), row.has) << row.path;
  EXPECT_EQ(FileTitle("C:\\Daten\\Sensor 1.RKT"), "Sensor 1.RKT");
  EXPECT_EQ(FileTitle("/home/t/s.RKT"), "s.RKT");
  EXPECT_EQ(FileTitle("plain"), "plain");

  test::TempDir dir;
  EXPECT_FALSE(FileIsUsable(dir.Path("missing.RKT")));
  EXPECT_FALSE(fs::exists(dir.Path("missing.RKT"))) << "checking must not create the file";
  WriteBytes(dir.Path("empty.RKT"), {});
  EXPECT_FALSE(FileIsUsable(dir.Path("empty.RKT")));
  EXPECT_TRUE(fs::exists(dir.Path("empty.RKT"))) << "checking must not delete the file";
  EXPECT_FALSE(FileIsUsable(dir.Dir()));
  DataSet ds;
  EXPECT_EQ(LoadParameterFile(ds, dir.Path("empty.RKT")), LoadStatus::NotUsable);
}

}  // namespace
}  // namespace rkt
