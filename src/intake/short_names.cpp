#include "intake/short_names.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "intake/utf8.h"
#include "platform/files.h"

namespace pravel {
namespace {

constexpr size_t kBaseLength = 8;
constexpr size_t kExtensionLength = 3;
constexpr unsigned kLastTail = 9999999;  // "_9999999" leaves no room for a base

bool IsDCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

bool IsDText(const std::string& text, size_t maxLength) {
  if (text.empty() || text.size() > maxLength) return false;
  for (char c : text) {
    if (!IsDCharacter(c)) return false;
  }
  return true;
}

// Upper-cases the letters; every other character outside A-Z, 0-9 and '_'
// (a multi-byte character counting once) becomes '_'.
std::string ToDCharacters(const std::string& text) {
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    const Utf8Char c = ReadUtf8Char(text, pos);
    const char upper =
        (c.valid && c.codePoint < 0x80) ? AsciiUpper(static_cast<char>(c.codePoint)) : '_';
    out += IsDCharacter(upper) ? upper : '_';
    pos += c.length;
  }
  return out;
}

std::string Join(const std::string& base, const std::string& extension) {
  return extension.empty() ? base : base + "." + extension;
}

struct SplitName {
  std::string base;
  std::string extension;
};

// The extension follows the last full stop; a leading full stop starts no
// extension (".profile" is all base).
SplitName Split(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {name, ""};
  return {name.substr(0, dot), name.substr(dot + 1)};
}

// "", "/" or the directory part of a path, and its last component.
struct PathParts {
  std::string directory;
  std::string name;
};

std::string WithoutTrailingSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

PathParts SplitPath(const std::string& path) {
  const std::string trimmed = WithoutTrailingSlash(path);
  const size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) return {".", trimmed};
  if (slash == 0) return {"/", trimmed.substr(1)};
  return {trimmed.substr(0, slash), trimmed.substr(slash + 1)};
}

}  // namespace

bool IsShortName(const std::string& name) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return IsDText(name, kBaseLength);
  return IsDText(name.substr(0, dot), kBaseLength) &&
         IsDText(name.substr(dot + 1), kExtensionLength);
}

std::string ShortNameTable::ShortName(const std::string& path) {
  const PathParts parts = SplitPath(path);
  if (parts.name.empty()) return "";
  if (!rootNames_.empty()) {
    auto root = rootNames_.find(WithoutTrailingSlash(path));
    if (root != rootNames_.end()) {
      if (!rootSettled_) SettleRootClashes();
      return root->second;
    }
  }
  return FolderShortName(parts.directory, parts.name);
}

// The short name of `name` among the first `count` pairs, which are sorted.
const std::string* ShortNameTable::FindName(const std::vector<NamePair>& names, size_t count,
                                            const std::string& name) {
  const auto end = names.begin() + static_cast<std::ptrdiff_t>(count);
  auto found = std::lower_bound(names.begin(), end, name,
                                [](const NamePair& pair, const std::string& key) { return pair.name < key; });
  if (found == end || found->name != name) return nullptr;
  return &found->shortName;
}

const std::string* ShortNameTable::ShortNameIn(const Directory& directory, const std::string& name) {
  return FindName(directory.names, directory.names.size(), name);
}

std::string ShortNameTable::FolderShortName(const std::string& folder, const std::string& name) {
  Directory& directory = Listed(folder);
  if (const std::string* shortName = ShortNameIn(directory, name)) return *shortName;
  // Created since the directory was listed, or not there at all.
  Refresh(folder, directory);
  const std::string* shortName = ShortNameIn(directory, name);
  return shortName != nullptr ? *shortName : "";
}

void ShortNameTable::SetRootEntries(const std::vector<RootEntry>& entries) {
  rootNames_.clear();
  rootOwnNames_.clear();
  rootSettled_ = false;
  if (entries.empty()) return;
  const std::string firstFolder = SplitPath(entries.front().path).directory;
  const bool oneFolder = std::all_of(entries.begin(), entries.end(), [&firstFolder](const RootEntry& entry) {
    return SplitPath(entry.path).directory == firstFolder;
  });
  if (oneFolder) return;
  for (const RootEntry& entry : entries) {
    if (entry.keepsOwnName) {
      rootOwnNames_.push_back(AsciiUpper(SplitPath(entry.path).name));
    } else {
      rootNames_.emplace(WithoutTrailingSlash(entry.path), "");
    }
  }
}

ShortNameTable::Directory& ShortNameTable::Listed(const std::string& directory) {
  auto found = directories_.find(directory);
  if (found == directories_.end()) {
    found = directories_.try_emplace(directory).first;
    Refresh(directory, found->second);
  }
  found->second.lastUse = ++uses_;
  return found->second;
}

void ShortNameTable::Refresh(const std::string& directory, Directory& entry) {
  const size_t before = entry.names.size();
  AddNewNames(directory, entry);
  cachedNames_ += entry.names.size() - before;
  if (cachedNames_ > cachedNamesLimit_) ForgetLeastRecentlyUsed(entry);
}

void ShortNameTable::ForgetLeastRecentlyUsed(const Directory& keep) {
  while (cachedNames_ > cachedNamesLimit_ && directories_.size() > 1) {
    auto oldest = directories_.end();
    for (auto it = directories_.begin(); it != directories_.end(); ++it) {
      if (&it->second == &keep) continue;
      if (oldest == directories_.end() || it->second.lastUse < oldest->second.lastUse) oldest = it;
    }
    if (oldest == directories_.end()) return;
    cachedNames_ -= oldest->second.names.size();
    directories_.erase(oldest);
  }
}

namespace {

std::string Generate(const std::string& name, std::set<std::string>& used,
                     std::map<std::string, unsigned>& nextTail) {
  const SplitName split = Split(name);
  const std::string base = ToDCharacters(split.base);
  const std::string extension = ToDCharacters(split.extension);
  if (base.size() <= kBaseLength && extension.size() <= kExtensionLength) {
    const std::string whole = Join(base, extension);
    if (!used.contains(whole)) return whole;
  }
  // Every tail below nextTail of a family is taken, so starting there gives
  // the same name as counting from 1.
  const std::string cutExtension = extension.substr(0, kExtensionLength);
  const std::string family = base.substr(0, kBaseLength - 2) + "." + cutExtension;
  unsigned& tail = nextTail.try_emplace(family, 1).first->second;
  for (; tail <= kLastTail; ++tail) {
    std::string digits(1, '_');
    digits += std::to_string(tail);
    const std::string cutBase = base.substr(0, kBaseLength - digits.size());
    const std::string candidate = Join(cutBase + digits, cutExtension);
    if (!used.contains(candidate)) return candidate;
  }
  return "";
}

// A root entry's claim on the name its own folder gave it.
struct RootClaim {
  bool ownName;  // the entry's name, upper-cased, is the short name itself
  std::string name;
  const std::string* path;
  std::string* shortName;
};

bool ClaimsBefore(const RootClaim& a, const RootClaim& b) {
  if (a.ownName != b.ownName) return a.ownName;
  if (a.name != b.name) return a.name < b.name;
  return *a.path < *b.path;
}

}  // namespace

void ShortNameTable::AddNewNames(const std::string& directory, Directory& entry) {
  std::vector<platform::DirEntry> listing;
  std::string error;
  ++listings_;
  if (!platform::ListDirectory(directory, listing, error)) return;

  std::set<std::string> used;
  for (const NamePair& pair : entry.names) used.insert(pair.shortName);
  const size_t known = entry.names.size();
  // Names that are 8.3 names already are reserved before any is made up.
  std::vector<std::string*> others;
  for (platform::DirEntry& item : listing) {
    if (FindName(entry.names, known, item.name) != nullptr) continue;
    std::string upper = AsciiUpper(item.name);
    if (IsShortName(upper) && used.insert(upper).second) {
      entry.names.push_back({std::move(item.name), std::move(upper)});
    } else {
      others.push_back(&item.name);
    }
  }
  // The names known before stay sorted in front, so the search above still
  // finds them while new ones are appended.
  std::map<std::string, unsigned> nextTail;
  for (std::string* name : others) {
    std::string shortName = Generate(*name, used, nextTail);
    if (shortName.empty()) continue;
    used.insert(shortName);
    entry.names.push_back({std::move(*name), std::move(shortName)});
  }
  std::sort(entry.names.begin(), entry.names.end(),
            [](const NamePair& a, const NamePair& b) { return a.name < b.name; });
}

void ShortNameTable::SettleRootClashes() {
  rootSettled_ = true;
  std::vector<RootClaim> claims;
  claims.reserve(rootNames_.size());
  for (auto& [path, shortName] : rootNames_) {
    const PathParts parts = SplitPath(path);
    shortName = FolderShortName(parts.directory, parts.name);
    if (shortName.empty()) continue;
    claims.push_back({AsciiUpper(parts.name) == shortName, parts.name, &path, &shortName});
  }
  std::sort(claims.begin(), claims.end(), ClaimsBefore);
  std::set<std::string> used(rootOwnNames_.begin(), rootOwnNames_.end());
  std::vector<const RootClaim*> outdone;
  for (const RootClaim& claim : claims) {
    if (!used.insert(*claim.shortName).second) outdone.push_back(&claim);
  }
  std::map<std::string, unsigned> nextTail;
  for (const RootClaim* claim : outdone) {
    *claim->shortName = Generate(claim->name, used, nextTail);
    if (!claim->shortName->empty()) used.insert(*claim->shortName);
  }
}

namespace {

ShortNameTable& TableOf(Job& job) {
  if (!job.shortNames) job.shortNames = std::make_shared<ShortNameTable>();
  return *job.shortNames;
}

}  // namespace

std::string ShortPathName(Job& job, const std::string& path) { return TableOf(job).ShortName(path); }

void SetRootEntries(Job& job, const std::vector<RootEntry>& entries) { TableOf(job).SetRootEntries(entries); }

}  // namespace pravel
