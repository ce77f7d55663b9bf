#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Parameter files (*.RKT): one data set with its comment in a fixed
// little-endian layout behind a 27-character header.
namespace rkt {

class DataSet;

inline constexpr std::string_view kFileHeaderCurrent = "SENSOR-10-02-#QD-Varem     ";
inline constexpr std::string_view kFileHeaderOld = "SENSOR-10-01-#QD-Varem     ";
inline constexpr std::size_t kFileHeaderSize = 27;
inline constexpr std::size_t kCurrentFixedSize = 113;  // everything before the comment
inline constexpr std::size_t kOldFixedSize = 81;
inline constexpr std::string_view kDefaultExtension = "RKT";
// A longer comment makes a file invalid: no real description comes near it,
// and the window, the printout and the data set would all carry it.
inline constexpr std::uint64_t kMaxCommentLength = 1024 * 1024;

// The bytes a save writes for the working copy (comment included).
std::vector<std::uint8_t> EncodeParameterFile(const DataSet& ds);

struct SaveResult {
  bool ok = false;
  std::string path;   // the name actually written (".RKT" appended when needed)
  std::string error;  // why it failed, for the message
  bool readOnly = false;  // refused because the file there is read-only
};

// The name a save writes for a typed name: ".RKT" appended when it has no
// extension, except to the name of an existing device, FIFO or socket,
// which is refused as it is rather than turned into a new file beside it.
std::string ParameterFileName(std::string typed);

// Writes the working copy to ParameterFileName(path) through a fresh
// temporary file renamed over the target (WriteFileAtomically), so a
// failure leaves any previous file intact and keeps its permissions. A
// read-only file is replaced only with replaceReadOnly (the user confirmed
// it); else the save fails with readOnly set. On success the file name
// becomes path, the working copy becomes the read copy, the changed flags
// are cleared and the data counts as offline data. On failure nothing in
// the data set changes.
SaveResult SaveParameterFile(DataSet& ds, std::string path, bool replaceReadOnly = false);

enum class LoadStatus {
  Ok,
  NotUsable,  // missing or empty: the caller offers the open dialog
  Invalid,    // wrong header or damaged content: "Ungültige Datendatei!"
  Unreadable, // a folder, FIFO or device, or the system refused to read it
};

struct LoadResult {
  LoadStatus status = LoadStatus::NotUsable;
  std::string reason;  // why not, for the message's second line; "" when Ok
};

// Checks the whole file first and only then takes it into the data set as a
// read (read copy → working copy, file name, comment, flags). Anything but Ok
// leaves the data set as it was.
// Only what the format needs is read: the fixed part and the comment (at
// most kMaxCommentLength); bytes after the comment are never read, so a huge
// file costs no more than a small one.
LoadStatus LoadParameterFile(DataSet& ds, const std::string& path);
// The same, with the reason of a failure.
LoadResult LoadParameterFileChecked(DataSet& ds, const std::string& path);
// The same for bytes already in memory; `path` becomes the file name.
LoadStatus LoadParameterBytes(DataSet& ds, std::span<const std::uint8_t> bytes, const std::string& path);

// The file exists and is not empty. Creates and deletes nothing.
bool FileIsUsable(const std::string& path);
// A "." among the last four characters, before any path separator.
bool HasExtension(std::string_view path);
// The part of path after its last separator.
std::string FileTitle(std::string_view path);

}  // namespace rkt
