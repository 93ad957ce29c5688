#include "intake/alias_files.h"

#include <algorithm>
#include <cctype>

#include "job/runtime.h"
#include "intake/directory_listing.h"
#include "intake/tree_scan.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace pravel {
namespace {

constexpr char kAliasSection[] = "palias";
constexpr uint64_t kFullAliasFileBytes = 65000;
constexpr int kNamedAliasFiles = 99;  // palias00.ini to palias98.ini
constexpr char kCanNotCreate[] = "Could not create temporary file.";
constexpr char kListingCaption[] = "Directory listing device error!";
constexpr char kCanNotReadAlias[] = "Could not read the alias file %s (%s).";
constexpr char kCanNotWriteAlias[] = "Could not write the alias file %s.";

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "palias" and at least two digits and ".ini": the name of an alias file.
bool IsAliasFileName(std::string_view name) {
  constexpr std::string_view kHead = "palias";
  constexpr std::string_view kTail = ".ini";
  if (name.size() < kHead.size() + 2 + kTail.size()) return false;
  if (!name.starts_with(kHead) || !name.ends_with(kTail)) return false;
  return IsDigits(name.substr(kHead.size(), name.size() - kHead.size() - kTail.size()));
}

// "tm" and four digits and ".txt": the name of a directory listing file.
bool IsListingFileName(std::string_view name) {
  return name.size() == 10 && name.starts_with("tm") && name.ends_with(".txt") && IsDigits(name.substr(2, 4));
}

void RemoveAliasFileSet(const Job& job) {
  const std::string dir = TempDirPlain(job);
  for (int n = 0; n < kNamedAliasFiles; ++n) platform::RemoveFile(dir + Format("/palias%02d.ini", n));
  // A large title has more alias files than the numbers above.
  RemoveTemporaryFilesNamed(job, IsAliasFileName);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerKey(std::string_view key) {
  std::string lower(key);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The section name of a header line "[name]", nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view text = Trim(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  const size_t close = text.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view rest = Trim(text.substr(close + 1));
  if (!rest.empty() && rest.front() != ';') return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

// A key is the path of its value below a source base, or the whole value; so
// among the '=' signs of an entry (a name may hold '=' itself) the one that
// makes the value end with "/" and the key splits the entry.
size_t SplitOfEntry(std::string_view line) {
  const size_t first = line.find('=');
  for (size_t at = first; at != std::string_view::npos; at = line.find('=', at + 1)) {
    const std::string_view key = Trim(line.substr(0, at));
    const std::string_view value = Trim(line.substr(at + 1));
    if (value == key) return at;
    if (value.size() > key.size() && value.ends_with(key) && value[value.size() - key.size() - 1] == '/') return at;
  }
  return first;
}

}  // namespace

void RemoveTemporaryFilesNamed(const Job& job, const std::function<bool(std::string_view)>& matches) {
  std::vector<platform::DirEntry> entries;
  std::string error;
  const std::string dir = TempDirPlain(job);
  if (!platform::ListDirectory(dir, entries, error)) return;
  for (const platform::DirEntry& entry : entries) {
    if (entry.kind != platform::EntryKind::kDirectory && matches(entry.name)) platform::RemoveFile(dir + "/" + entry.name);
  }
}

std::string AliasFilePath(const Job& job, uint32_t number) {
  return job.tempDir + Format("palias%02u.ini", number);
}

void StartAliasFiles(Job& job) {
  if (!job.tempDir.empty()) RemoveAliasFileSet(job);
  job.paliasCount = 1;
  job.paliasPath = AliasFilePath(job, 0);
  // Only this run writes its alias files: their entries go to disk in batches.
  platform::HoldProfileAppends(job.paliasPath);
}

bool FinishAliasFiles(Job& job) {
  if (platform::WritePrivateProfileString(nullptr, nullptr, nullptr, job.paliasPath)) return true;
  ShowMessage(job, Format(kCanNotWriteAlias, job.paliasPath.c_str()), kListingCaption);
  return false;
}

std::string AliasKey(const Job& job, const std::string& path) {
  const std::string* base = FindSourceBase(job, path);
  if (base == nullptr) return path;
  if (path.size() == base->size()) return {};
  return path.substr(base->size() + 1);
}

void WriteAliasEntry(Job& job, const std::string& path, bool secondSection) {
  const std::string key = AliasKey(job, path);
  if (key.empty()) return;
  if (secondSection) NextAliasFileIfFull(job);
  if (platform::WritePrivateProfileString(kAliasSection, key.c_str(), path.c_str(), job.paliasPath)) return;
  platform::WritePrivateProfileString(nullptr, nullptr, nullptr, job.paliasPath);
  NextAliasFileIfFull(job);
  platform::WritePrivateProfileString(kAliasSection, key.c_str(), path.c_str(), job.paliasPath);
}

void NextAliasFileIfFull(Job& job) {
  // This runs once per file of the title: the length the last write left
  // is taken from the profile layer, which holds the file, without a look
  // at the file system; a file it does not hold is measured.
  std::optional<uint64_t> length = platform::HeldProfileLength(job.paliasPath);
  if (!length) {
    const auto status = platform::StatusOf(job.paliasPath);
    if (!status) return;
    if (status->kind != platform::EntryKind::kFile) {
      ShowMessage(job, kCanNotCreate, kListingCaption);
      return;
    }
    length = status->length;
  }
  if (*length <= kFullAliasFileBytes) return;
  // Nothing more is written to the full file: its cached copy is let go.
  platform::WritePrivateProfileString(nullptr, nullptr, nullptr, job.paliasPath);
  job.paliasPath = AliasFilePath(job, job.paliasCount);
  ++job.paliasCount;
  platform::HoldProfileAppends(job.paliasPath);
}

void RemoveAliasFiles(Job& job) {
  SetBusyCursor(job, true);
  if (!job.tempDir.empty()) {
    RemoveAliasFileSet(job);
    platform::RemoveFile(job.tempDir + "autorun.inf");
    platform::RemoveFile(job.tempDir + "AUTORUN.INF");
  }
  SetBusyCursor(job, false);
}

void RemoveTreeListingFiles(Job& job) {
  if (job.tempDir.empty()) return;
  const std::string dir = TempDirPlain(job);
  platform::RemoveFile(dir + "/tm.txt");
  RemoveAliasFileSet(job);
  platform::RemoveFile(dir + "/alias.ini");
  RemoveDirectoryListingFiles(job);
}

// Every listing file, not only those up to the first gap in the numbers.
void RemoveDirectoryListingFiles(const Job& job) { RemoveTemporaryFilesNamed(job, IsListingFileName); }

// Orders keys byte by byte with the letters A to Z taken as a to z.
int CompareFolded(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(Lower(a[i]));
    const auto y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool AliasTable::Load(Job& job) {
  arena_.clear();
  entries_.clear();
  slots_.clear();
  bases_ = job.sourceBases;
  for (uint32_t n = 0; n < job.paliasCount; ++n) {
    const std::string path = AliasFilePath(job, n);
    if (!platform::PathExists(path)) continue;
    std::string error;
    auto text = platform::ReadWholeFile(path, &error);
    if (!text) {
      ShowMessage(job, Format(kCanNotReadAlias, path.c_str(), error.c_str()), kListingCaption);
      return false;
    }
    bool inAliasSection = false;
    std::string_view rest = *text;
    while (!rest.empty()) {
      const size_t lf = rest.find('\n');
      std::string_view line = rest.substr(0, lf);
      rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
      if (auto section = SectionName(line)) {
        inAliasSection = LowerKey(*section) == kAliasSection;
        continue;
      }
      if (inAliasSection) AddLine(job, line);
    }
  }
  BuildIndex();
  return true;
}

namespace {

// FNV-1a over the key with the letters A to Z taken as a to z.
uint64_t FoldedHash(std::string_view key) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : key) {
    hash ^= static_cast<unsigned char>(Lower(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

// An open-addressing index, at most half full, of the entries by key; of
// several entries for one key the last written stays.
void AliasTable::BuildIndex() {
  size_t capacity = 16;
  while (capacity < 2 * entries_.size()) capacity *= 2;
  slots_.assign(capacity, kEmptySlot);
  unique_ = 0;
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    uint32_t& slot = slots_[SlotOf(Key(entries_[i]))];
    if (slot == kEmptySlot) ++unique_;
    slot = i;
  }
  lastOfKey_.assign(entries_.size(), false);
  for (uint32_t index : slots_) {
    if (index != kEmptySlot) lastOfKey_[index] = true;
  }
  next_ = 0;
}

// The slot holding `key`, or the empty slot where it would go.
size_t AliasTable::SlotOf(std::string_view key) const {
  const size_t mask = slots_.size() - 1;
  for (size_t at = FoldedHash(key) & mask;; at = (at + 1) & mask) {
    if (slots_[at] == kEmptySlot || CompareFolded(Key(entries_[slots_[at]]), key) == 0) return at;
  }
}

void AliasTable::AddLine(const Job& job, std::string_view line) {
  const size_t split = SplitOfEntry(line);
  if (split == std::string_view::npos) return;
  const std::string_view value = Trim(line.substr(split + 1));
  if (value.empty()) return;
  const std::string_view key = Trim(line.substr(0, split));
  Entry entry{static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(key.size()), 0, 0, kNoBase};
  arena_ += key;
  const std::string* base = FindSourceBase(job, value);
  const bool baseAndKey = base != nullptr && value.size() == base->size() + 1 + key.size() &&
                          value.compare(0, base->size(), *base) == 0 && value[base->size()] == '/' &&
                          value.substr(base->size() + 1) == key;
  if (baseAndKey) {
    entry.base = static_cast<uint32_t>(base - job.sourceBases.data());
  } else {
    entry.pathOffset = static_cast<uint32_t>(arena_.size());
    entry.pathLength = static_cast<uint32_t>(value.size());
    arena_ += value;
  }
  entries_.push_back(entry);
}

std::optional<std::string> AliasTable::Find(std::string_view key) const {
  if (slots_.empty()) return std::nullopt;
  const bool nextIsIt = next_ < entries_.size() && lastOfKey_[next_] && CompareFolded(Key(entries_[next_]), key) == 0;
  const uint32_t index = nextIsIt ? static_cast<uint32_t>(next_) : slots_[SlotOf(key)];
  if (index == kEmptySlot) return std::nullopt;
  next_ = index + 1;
  const Entry& entry = entries_[index];
  if (entry.base != kNoBase) return bases_[entry.base] + "/" + std::string(Key(entry));
  return std::string(std::string_view(arena_).substr(entry.pathOffset, entry.pathLength));
}

}  // namespace pravel
