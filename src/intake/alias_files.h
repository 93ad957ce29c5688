// The alias files "palias%02d.ini" in the temporary directory: profile files
// with one section "palias" and, for every file line of the tree listing, one
// entry whose key is the file's path below its source base and whose value
// is the file's full source path. A file becomes full once it is longer than
// 65,000 bytes; later entries go into the next file. The builder finds the
// source of every file on the disc through them.
//
// Also here: the clean-ups of a run's temporary files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "job/job.h"

namespace pravel {

// "<tempDir>palias%02d.ini"
std::string AliasFilePath(const Job& job, uint32_t number);

// Starts the alias files of a scan: alias files left by an earlier run are
// removed, paliasPath becomes palias00.ini and paliasCount 1.
void StartAliasFiles(Job& job);

// Writes what is still held of the last alias file; a failure is reported.
bool FinishAliasFiles(Job& job);

// The key of a file: its path with its source base and the '/' behind it
// removed; the whole path for a file under no source base; "" for a path that
// is itself a source base.
std::string AliasKey(const Job& job, const std::string& path);

// Writes the entry of one file line. Entries of the files inside folders
// (`secondSection`) first move on to the next alias file when the current one
// is full. A failed write is tried once more in the next file when that one is
// full; a second failure leaves the entry out.
void WriteAliasEntry(Job& job, const std::string& path, bool secondSection);

// Moves job.paliasPath on to the next alias file when the current one is
// longer than 65,000 bytes.
void NextAliasFileIfFull(Job& job);

// Removes the alias files and AUTORUN.INF from the temporary directory.
void RemoveAliasFiles(Job& job);

// Removes every file of the temporary directory whose name `matches`; the
// directory is listed once.
void RemoveTemporaryFilesNamed(const Job& job, const std::function<bool(std::string_view)>& matches);

// Removes every directory listing file "tm%04ld.txt" of the temporary
// directory, gaps in the numbering or not.
void RemoveDirectoryListingFiles(const Job& job);

// Removes "tm.txt", the alias files, "alias.ini" and every directory listing
// file "tm%04ld.txt" from the temporary directory.
void RemoveTreeListingFiles(Job& job);

// The entries of all alias files of a run, read once, for lookups by key
// (letter case aside). For a key held by several files, the file with the
// highest number wins.
class AliasTable {
 public:
  // Reads palias00.ini to palias<paliasCount - 1>.ini; a missing file is
  // passed over. False after a message box when a file can not be read.
  bool Load(Job& job);
  // The full source path recorded for a key; nullopt when there is none.
  // Keys asked for in the order they were written are found without a
  // look at the index.
  std::optional<std::string> Find(std::string_view key) const;
  // The number of keys.
  size_t size() const { return unique_; }

 private:
  static constexpr uint32_t kNoBase = 0xFFFFFFFF;
  // A key and its path. Most paths are their source base, '/' and the key:
  // those keep only the base's number, so that a title at the tool's limits
  // costs megabytes, not a hundred.
  struct Entry {
    uint32_t keyOffset, keyLength;    // in arena_, as written
    uint32_t pathOffset, pathLength;  // in arena_, when base is kNoBase
    uint32_t base;                    // index into bases_
  };
  static constexpr uint32_t kEmptySlot = 0xFFFFFFFF;
  void AddLine(const Job& job, std::string_view line);
  void BuildIndex();
  size_t SlotOf(std::string_view key) const;
  std::string_view Key(const Entry& entry) const {
    return std::string_view(arena_).substr(entry.keyOffset, entry.keyLength);
  }

  std::string arena_;
  std::vector<Entry> entries_;   // in the order of the files
  std::vector<uint32_t> slots_;  // indices into entries_, by key
  std::vector<bool> lastOfKey_;  // by entry: the one of its key the index holds
  mutable size_t next_ = 0;      // the entry after the one found last
  size_t unique_ = 0;
  std::vector<std::string> bases_;
};

}  // namespace pravel
