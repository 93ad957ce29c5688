// The directory table of a build: one entry per directory of the disc other
// than the root, in the order of the directory lines of the tree listing.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace pravel {

struct DirectoryEntry {
  std::string path;          // the tree listing line, with its trailing '/', as found
  uint16_t number = 0;       // path table number before sorting: entry i has i + 2
  uint16_t parent = 0;       // 1 for a directory directly under a source base
  uint32_t isoLength = 0;    // bytes of its ISO directory, whole sectors
  uint32_t isoExtent = 0;
  uint32_t jolietExtent = 0;
  uint32_t jolietLength = 0;
};

struct DirectoryTable {
  std::vector<DirectoryEntry> entries;
  uint32_t rootIsoExtent = 0;
  uint32_t rootIsoLength = 0;
  uint32_t rootJolietExtent = 0;
  uint32_t rootJolietLength = 0;

  // Directory n of the temporary files: 0 is the root, entry i is n = i + 1.
  size_t DirectoryCount() const { return entries.size() + 1; }

  // The entry whose path (with trailing '/') is `path`, compared without
  // regard to ASCII case; -1 when there is none.
  long Find(const std::string& path) const;
  // Rebuilds the index behind Find after entries were added.
  void Index();

 private:
  std::unordered_map<std::string, size_t> byFoldedPath_;
};

// ASCII case folding used for path comparisons "without regard to case".
std::string FoldCase(const std::string& text);

}  // namespace pravel
