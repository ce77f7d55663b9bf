#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Replacing a file so that a failure never leaves a damaged or half-written
// file behind: the bytes go into a new, exclusively created file beside the
// target, which is checked, synced and then renamed over the target.
namespace rkt {

// Paths arrive as UTF-8, whatever the platform's own narrow encoding.
std::filesystem::path PathFromUtf8(const std::string& utf8);
// A path's text in UTF-8: Windows' narrow string would throw on characters
// outside the code page.
std::string Utf8FromPath(const std::filesystem::path& p);
// The path made absolute against the current folder (UTF-8 in and out); an
// absolute path comes back as it is.
std::string AbsolutePath(const std::string& utf8);

// Whether a and b name one file: by the file's identity where both exist
// (so through links and other spellings of the path), else by their
// absolute, normalised paths (a file not created yet).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Writes bytes to path (UTF-8). The temporary file gets a fresh random name
// (within the limit of a name's length), is created exclusively (never
// through a link someone left at that name) and takes the permissions of the
// file it replaces. Temporary files an earlier, killed run left behind for
// the same target are removed; those of a save running at the same moment
// are not. A symbolic link at path itself is kept: the file it names is
// replaced. A read-only file is replaced only with replaceReadOnly (after
// the user said so), and stays read-only; a device, FIFO or folder never.
// Returns "" on success, else the reason (kReadOnlyFileReason for a
// read-only file); on failure the old file is untouched and no temporary
// file stays.
std::string WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                bool replaceReadOnly = false);
std::string WriteFileAtomically(const std::string& path, const std::string& bytes, bool replaceReadOnly = false);

// The reason WriteFileAtomically gives for a read-only target.
inline constexpr std::string_view kReadOnlyFileReason = "the file is read-only";

// The prefix of the temporary files written for target (a hidden name in the
// target's folder); exposed for the tests.
std::string TemporaryNamePrefix(const std::filesystem::path& target);

// Test hook: the next writes fail with error code `error` (e.g. ENOSPC) once
// `afterBytes` bytes of a file have been written, as on a full disk. 0 turns
// it off.
void InjectWriteFailureForTesting(int error, std::size_t afterBytes = 0);

}  // namespace rkt
