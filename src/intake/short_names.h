// Short 8.3 names of the source files and folders, the names ISO 9660
// Level 1 identifiers (and over-long Level 2 ones) take.
//
// Every name of a directory gets a short name unique within that directory:
// at most 8 characters, then a full stop and at most 3 more (no full stop
// when there is no extension), all of them A-Z, 0-9 or '_'. The names are
// assigned from the directory's listing in byte order of the names, so the
// same tree always gives the same short names, in every call and in every
// table built over it:
//
// 1. A name that, upper-cased, already is such an 8.3 name keeps it
//    ("readme.txt" -> "README.TXT"), unless an earlier name in byte order
//    has reserved it already (a case clash).
// 2. Every other name is converted: the extension is the text after the last
//    full stop (none when the only full stop is the first character), the
//    base the text before it; letters are upper-cased and every other
//    character outside A-Z, 0-9 and '_' (a space, a full stop in the base, a
//    character outside ASCII) becomes one '_'. When the converted base fits
//    in 8 characters and the extension in 3, and the result is still free,
//    that is the short name ("my file.txt" -> "MY_FILE.TXT").
// 3. Otherwise the base is cut and a numeric tail "_<n>" appended, n = 1, 2,
//    ... the first free one, the base cut as far as the tail needs (at most 6
//    characters with a one-digit tail): "Long Document.html" -> "LONG_D_1.HTM".
//
// A directory is listed once and its short names kept; a later lookup of a
// name the listing did not hold lists the directory again and adds the new
// names without changing any name already given.
//
// The root of the disc gathers entries from several source folders: the
// selected entries, wherever they lie, and the contents of a selected folder
// that is the parent of another selected one. Each is first named among its
// own folder's entries as above, so two of them can come out with one name.
// Once told the root's entries, the table settles such a clash among the
// names the disc shows:
// - an entry that keeps its own name on the disc (ISO Level 2) holds that
//   name, upper-cased, and no short name may take it;
// - of the entries whose short names clash, the name stays with one whose
//   own name, upper-cased, is that 8.3 name, and otherwise with the one
//   first in byte order of the entries' names (the full paths decide between
//   equal names);
// - every other entry of the clash gets a new name from rule 2 or 3,
//   stepping around every name the root shows.
// An entry without a clash keeps the name its folder gave it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "job/job.h"

namespace pravel {

// True when the text is a name of the 8.3 form above (upper case only).
bool IsShortName(const std::string& name);

// An entry of the disc's root: its full source path (a folder's trailing '/'
// may stay), and whether the disc shows its own name rather than a short one.
struct RootEntry {
  std::string path;
  bool keepsOwnName = false;
};

class ShortNameTable {
 public:
  // The directories asked about most recently stay listed, up to about
  // `cachedNames` names in all; older ones are let go and listed again when
  // asked (the names come out the same), so a title of millions of files
  // does not keep every name in memory. A quarter million names take about
  // 16 MB; each is asked for once in each of the builder's passes.
  static constexpr size_t kCachedNames = 262144;
  explicit ShortNameTable(size_t cachedNames = kCachedNames) : cachedNamesLimit_(cachedNames) {}

  // The short name of the last component of `path` (a trailing '/' is
  // ignored); "" when the directory holds no such entry. A path without '/'
  // names an entry of the current directory.
  std::string ShortName(const std::string& path);

  // The entries of the disc's root, replacing those given before. Entries
  // that all come from one source folder need nothing more than that
  // folder's names.
  void SetRootEntries(const std::vector<RootEntry>& entries);

  // How many times a directory has been listed (for tests and benchmarks).
  size_t ListingCount() const { return listings_; }

 private:
  struct NamePair {
    std::string name;  // in the source folder
    std::string shortName;
  };
  struct Directory {
    std::vector<NamePair> names;  // sorted by source name
    uint64_t lastUse = 0;
  };
  static const std::string* FindName(const std::vector<NamePair>& names, size_t count, const std::string& name);
  static const std::string* ShortNameIn(const Directory& directory, const std::string& name);

  Directory& Listed(const std::string& directory);
  void AddNewNames(const std::string& directory, Directory& entry);
  // AddNewNames, keeping the count of names held.
  void Refresh(const std::string& directory, Directory& entry);
  // Lets the least recently used directories go (never `keep`) until the
  // names held fit the limit again.
  void ForgetLeastRecentlyUsed(const Directory& keep);
  std::string FolderShortName(const std::string& directory, const std::string& name);
  void SettleRootClashes();

  std::unordered_map<std::string, Directory> directories_;
  // Root entries gathered from several source folders that show a short
  // name: path -> short name, settled on the first lookup of any of them.
  std::unordered_map<std::string, std::string> rootNames_;
  std::vector<std::string> rootOwnNames_;  // upper-cased, of the other entries
  bool rootSettled_ = false;
  size_t listings_ = 0;
  uint64_t uses_ = 0;
  size_t cachedNamesLimit_;
  size_t cachedNames_ = 0;
};

// The short form of the last component of `path`, "" if there is none; the
// job's table (job.shortNames) is created on first use.
std::string ShortPathName(Job& job, const std::string& path);

// Tells the job's table (made here when there is none yet) the entries of the
// disc's root.
void SetRootEntries(Job& job, const std::vector<RootEntry>& entries);

}  // namespace pravel
