#include "iso/directory_table.h"

namespace pravel {

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

void DirectoryTable::Index() {
  byFoldedPath_.clear();
  byFoldedPath_.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) byFoldedPath_.emplace(FoldCase(entries[i].path), i);
}

long DirectoryTable::Find(const std::string& path) const {
  auto found = byFoldedPath_.find(FoldCase(path));
  return found == byFoldedPath_.end() ? -1 : static_cast<long>(found->second);
}

}  // namespace pravel
