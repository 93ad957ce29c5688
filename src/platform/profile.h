// Profile (INI) files: our own GetPrivateProfileString and
// WritePrivateProfileString with the semantics the program relies on.
//
// - Section and key names compare without regard to case.
// - A missing file, section or key yields the default.
// - A read is cut at the buffer size less one (room for the terminator).
// - A write creates the file or the section when missing, replaces a value in
//   place and keeps every other line; lines end with CR LF.
// - A write with section, key and value all absent flushes any cached copy
//   (writing held appends first; false when they could not be written).
// - A write with a section and no key removes the section; a key with no
//   value removes the key.
// What was written is on disk before the write returns, unless its appends
// are held (below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pravel::platform {

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t bufferSize,
                                    const std::string& path);

// Null pointers stand for absent arguments. Returns false when the file can
// not be written.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& path);
// The same; when it returns false, `reason` says why, in the system's words
// where the system refused ("Not a directory", "No space left on device").
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& path, std::string& reason);

// The length of a profile file this process holds in its cache, as its last
// read or write left it (no look at the file system); nullopt when the file
// is not held. For files only this process writes.
std::optional<uint64_t> HeldProfileLength(const std::string& path);

// Holds the appends to a profile file that only this process writes, from
// now until its next flush call: each write that adds lines at the end of the
// file is kept in memory and reaches the disk with others, in batches, at the
// latest at the flush call; reads and writes through this layer see it at
// once, and no write looks at the file system. Any cached copy is dropped
// first. False when `path` is something other than a regular file.
bool HoldProfileAppends(const std::string& path);

}  // namespace pravel::platform
