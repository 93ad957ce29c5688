// Profile files are kept parsed in a cache, one entry per path. An entry is
// trusted while the file on disk has the identity, size and modification time
// that the cache last saw or wrote; a file changed behind the cache's back is
// parsed again. (A change by another writer that keeps the size within one
// tick of the file system clock is not seen: use the flush call after editing
// a profile file by other means.)
//
// Writes keep the cache and the file in step. A new key at the end of the file
// and a new section are appended as lines; replacing or removing a value, or a
// new key in a section that is not the last, rewrites the file.
// Once an interruption's clean-up has begun no profile file is opened for
// writing, so none is created behind it (a run's alias files are among them).
//
// Line grammar:
// - A section header is a line whose first non-blank character is '[' and
//   whose first ']' is followed by nothing but blanks or a ';' comment.
// - Any other line holding '=' is an entry: the key is the trimmed text before
//   the first '=', the value the trimmed text after it, less one pair of
//   enclosing quotation marks. A key that itself holds '=' is found too: such
//   a line also answers for every longer split at a later '='.
// - Every other line (blank, comment, text without '=') is kept as it stands.
#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace pravel::platform {
namespace {

constexpr uint32_t kNone = UINT32_MAX;
// Held appends are written once this much text has gathered.
constexpr size_t kHeldAppendBytes = 256 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// Case-insensitive hashing and comparison, usable with string_view lookups.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const {
    uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
      hash ^= static_cast<unsigned char>(Lower(c));
      hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
  }
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
  }
};

template <typename Value>
using NameMap = std::unordered_map<std::string, Value, NameHash, NameEqual>;

struct Stamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  bool operator==(const Stamp&) const = default;
};

std::optional<Stamp> StampOfStat(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  return Stamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
               static_cast<uint64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
               static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

// Why the last write of this thread failed, for the caller who asks.
thread_local std::string failureReason;

bool Fail(std::string reason) {
  failureReason = std::move(reason);
  return false;
}

// The reason for a path that exists but is no readable regular file.
std::string NotAProfileFile(const std::string& path) {
  if (IsDirectory(path)) return "it is a folder";
  return "it is not a readable file";
}

std::optional<Stamp> StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return StampOfStat(st);
}

std::optional<Stamp> StampOf(const File& file) {
  struct stat st;
  if (::fstat(file.NativeHandle(), &st) != 0) return std::nullopt;
  return StampOfStat(st);
}

struct LineShape {
  enum Kind { kOther, kSection, kEntry } kind = kOther;
  std::string_view name;  // section name or key, trimmed
  size_t equals = 0;      // position of the '=' that ends the key
};

std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view text = Trim(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  size_t close = text.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view rest = Trim(text.substr(close + 1));
  if (!rest.empty() && rest.front() != ';') return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

LineShape ShapeOf(std::string_view line) {
  if (auto name = SectionName(line)) return {LineShape::kSection, *name, 0};
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  return {LineShape::kEntry, Trim(line.substr(0, equals)), equals};
}

std::string_view ValueOf(std::string_view line, size_t equals) {
  std::string_view value = Trim(line.substr(equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

struct EntryPlace {
  uint32_t line = kNone;
  uint32_t equals = 0;
};

struct Section {
  uint32_t lastContent = kNone;  // where a new key goes after: the last non-blank line
  NameMap<EntryPlace> keys;      // split at the first '='
  NameMap<EntryPlace> keysWithEquals;  // splits at later '=' signs

  const EntryPlace* Find(std::string_view key) const {
    if (auto it = keys.find(key); it != keys.end()) return &it->second;
    if (key.find('=') == std::string_view::npos) return nullptr;
    auto it = keysWithEquals.find(key);
    return it == keysWithEquals.end() ? nullptr : &it->second;
  }
};

// One profile file, parsed.
class ProfileFile {
 public:
  void Parse(std::string_view text) {
    lines_.clear();
    if (text.starts_with(kByteOrderMark)) {
      byteOrderMark_ = true;
      text.remove_prefix(kByteOrderMark.size());
    }
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      bool complete = end != std::string_view::npos;
      if (!complete) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.emplace_back(line);
      missingFinalNewline_ = !complete;
      start = end + 1;
    }
    Reindex();
  }

  const Section* FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(Trim(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
  }

  std::optional<std::string_view> Value(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (!found) return std::nullopt;
    const EntryPlace* place = found->Find(Trim(key));
    if (!place) return std::nullopt;
    return ValueOf(lines_[place->line], place->equals);
  }

  size_t LineCount() const { return lines_.size(); }
  const std::string& Line(uint32_t index) const { return lines_[index]; }

  // The text that appending `added` to the file needs.
  std::string AppendText(const std::vector<std::string>& added) const {
    std::string text;
    if (missingFinalNewline_) text += "\r\n";
    for (const std::string& line : added) text += line + "\r\n";
    return text;
  }

  // Records lines that were appended to the file on disk.
  void Appended(std::vector<std::string> added) {
    missingFinalNewline_ = false;
    for (std::string& line : added) {
      lines_.push_back(std::move(line));
      IndexLine(static_cast<uint32_t>(lines_.size() - 1));
    }
  }

  std::string Render() const {
    std::string text;
    if (byteOrderMark_) text += kByteOrderMark;
    for (size_t i = 0; i < lines_.size(); ++i) {
      text += lines_[i];
      if (i + 1 < lines_.size() || !missingFinalNewline_) text += "\r\n";
    }
    return text;
  }

  // Edits of the line list; the caller rewrites the file and then calls Reindex.
  void ReplaceLine(uint32_t index, std::string line) { lines_[index] = std::move(line); }
  void InsertLine(uint32_t before, std::string line) { lines_.insert(lines_.begin() + before, std::move(line)); }
  void EraseLine(uint32_t index) { lines_.erase(lines_.begin() + index); }
  void EndWithNewline() { missingFinalNewline_ = false; }

  // Removes every block of lines headed by the named section.
  void EraseSection(std::string_view name) {
    bool inside = false;
    std::deque<std::string> kept;
    for (std::string& line : lines_) {
      if (auto header = SectionName(line)) inside = NameEqual()(*header, Trim(name));
      if (!inside) kept.push_back(std::move(line));
    }
    lines_ = std::move(kept);
  }

  void Reindex() {
    sections_.clear();
    sectionIndex_.clear();
    current_ = kNone;
    for (uint32_t i = 0; i < lines_.size(); ++i) IndexLine(i);
  }

 private:
  void IndexLine(uint32_t index) {
    std::string_view line = lines_[index];
    LineShape shape = ShapeOf(line);
    if (shape.kind == LineShape::kSection) {
      auto [it, added] = sectionIndex_.try_emplace(std::string(shape.name), sections_.size());
      if (added) sections_.emplace_back();
      current_ = it->second;
      sections_[current_].lastContent = index;
      return;
    }
    if (current_ == kNone || Trim(line).empty()) return;
    Section& section = sections_[current_];
    section.lastContent = index;
    if (shape.kind != LineShape::kEntry) return;
    section.keys.try_emplace(std::string(shape.name), EntryPlace{index, static_cast<uint32_t>(shape.equals)});
    for (size_t equals = line.find('=', shape.equals + 1); equals != std::string_view::npos;
         equals = line.find('=', equals + 1)) {
      section.keysWithEquals.try_emplace(std::string(Trim(line.substr(0, equals))),
                                         EntryPlace{index, static_cast<uint32_t>(equals)});
    }
  }

  // A deque keeps every line where it is while lines are appended.
  std::deque<std::string> lines_;
  bool missingFinalNewline_ = false;
  bool byteOrderMark_ = false;
  std::vector<Section> sections_;
  NameMap<uint32_t> sectionIndex_;
  uint32_t current_ = kNone;  // the section of the last line
};

struct CachedFile {
  ProfileFile file;
  Stamp stamp;  // of the file as this process left it, held appends counted in
  // A file whose appends are held is trusted without a look at the disk;
  // `pending` holds the text of the appends not yet written.
  bool held = false;
  std::string pending;
  // Kept open while entries are appended one after another (alias files take
  // a quarter million), so that each costs one write rather than an open and
  // a close as well.
  std::optional<File> appender;
};

using Cache = std::unordered_map<std::string, std::unique_ptr<CachedFile>>;

Cache& TheCache() {
  static Cache cache;
  return cache;
}

// The parsed file at `path`, read again when the disk copy changed; nullptr
// when there is no regular, readable file there.
CachedFile* Current(const std::string& path) {
  Cache& cache = TheCache();
  auto it = cache.find(path);
  if (it != cache.end() && it->second->held) return it->second.get();
  auto stamp = StampOf(path);
  if (!stamp) {
    if (it != cache.end()) cache.erase(it);
    return nullptr;
  }
  if (it != cache.end() && it->second->stamp == *stamp) return it->second.get();
  auto text = ReadWholeFile(path);
  if (!text) {
    if (it != cache.end()) cache.erase(it);
    return nullptr;
  }
  auto entry = std::make_unique<CachedFile>();
  entry->file.Parse(*text);
  entry->stamp = *stamp;
  CachedFile* result = entry.get();
  cache[path] = std::move(entry);
  return result;
}

void Forget(const std::string& path) { TheCache().erase(path); }

// After a write the cache takes the file's new identity; a file that can not
// be examined any more is dropped from the cache.
bool Remember(const std::string& path, CachedFile& entry) {
  auto stamp = StampOf(path);
  if (!stamp) {
    std::string reason = LastErrorText();
    Forget(path);
    return Fail(std::move(reason));
  }
  entry.stamp = *stamp;
  return true;
}

// Only one file at a time keeps its append handle.
std::string& OpenAppenderPath() {
  static std::string path;
  return path;
}

File* Appender(const std::string& path, CachedFile& entry) {
  if (entry.appender) return &*entry.appender;
  std::string& openPath = OpenAppenderPath();
  if (openPath != path) {
    auto other = TheCache().find(openPath);
    if (other != TheCache().end()) other->second->appender.reset();
  }
  entry.appender = OpenUninterrupted(path, File::Mode::kAppend);
  if (!entry.appender) return nullptr;
  openPath = path;
  return &*entry.appender;
}

// Writes `text` at the end of the file. A failed append is undone so that no
// partial line is left behind.
bool WriteAtEnd(const std::string& path, CachedFile& entry, const std::string& text, uint64_t sizeBefore,
                bool existed) {
  File* out = Appender(path, entry);
  if (!out || !out->WriteText(text)) {
    std::string reason = out ? out->LastError() : LastErrorText();
    bool opened = out != nullptr;
    entry.appender.reset();
    if (!existed) {
      RemoveFile(path);
    } else if (opened) {
      // A failed truncation leaves nothing more to try; the cache is dropped below.
      [[maybe_unused]] int ignored = ::truncate(path.c_str(), static_cast<off_t>(sizeBefore));
    }
    Forget(path);
    return Fail(std::move(reason));
  }
  auto stamp = StampOf(*out);
  if (!stamp) {
    std::string reason = LastErrorText();
    Forget(path);
    return Fail(std::move(reason));
  }
  entry.stamp = *stamp;
  return true;
}

// Writes the held appends of a file, if any.
bool WritePending(const std::string& path, CachedFile& entry) {
  if (entry.pending.empty()) return true;
  std::string text = std::move(entry.pending);
  entry.pending.clear();
  const uint64_t sizeBefore = entry.stamp.size - text.size();
  return WriteAtEnd(path, entry, text, sizeBefore, sizeBefore > 0);
}

bool AppendLines(const std::string& path, CachedFile& entry, std::vector<std::string> added, bool existed) {
  std::string text = entry.file.AppendText(added);
  if (!entry.held) {
    if (!WriteAtEnd(path, entry, text, entry.stamp.size, existed)) return false;
    entry.file.Appended(std::move(added));
    return true;
  }
  entry.file.Appended(std::move(added));
  entry.pending += text;
  entry.stamp.size += text.size();
  return entry.pending.size() < kHeldAppendBytes || WritePending(path, entry);
}

// Writes the whole file from the parsed lines. When that fails the previous
// text is put back, so that the other entries survive a full disk.
bool Rewrite(const std::string& path, CachedFile& entry, const std::string& previous) {
  entry.file.EndWithNewline();
  entry.pending.clear();  // the rendered text holds the held appends
  std::string text = entry.file.Render();
  auto out = OpenUninterrupted(path, File::Mode::kCreate);
  bool ok = out && out->WriteText(text) && out->Close();
  if (!ok) {
    std::string reason = out ? out->LastError() : LastErrorText();
    if (out) {
      if (auto again = OpenUninterrupted(path, File::Mode::kCreate)) {
        again->WriteText(previous);
        again->Close();
      }
    }
    Forget(path);
    return Fail(std::move(reason));
  }
  entry.file.Reindex();
  return Remember(path, entry);
}

bool SetValue(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  std::string line(key);
  line.append(1, '=').append(value);
  if (HasLineBreak(section) || section.find(']') != std::string_view::npos || HasLineBreak(key) ||
      HasLineBreak(value) || ShapeOf(line).kind != LineShape::kEntry) {
    return Fail("a name or value holds a line break, or the key can not be told from its value");
  }

  CachedFile* entry = Current(path);
  bool existed = entry != nullptr;
  if (!entry) {
    if (PathExists(path)) return Fail(NotAProfileFile(path));
    auto fresh = std::make_unique<CachedFile>();
    entry = fresh.get();
    TheCache()[path] = std::move(fresh);
  }
  ProfileFile& file = entry->file;

  const Section* found = file.FindSection(section);
  if (!found) {
    std::string header(1, '[');
    header.append(section).push_back(']');
    return AppendLines(path, *entry, {std::move(header), std::move(line)}, existed);
  }

  if (const EntryPlace* place = found->Find(key)) {
    const std::string& old = file.Line(place->line);
    std::string replaced = old.substr(0, place->equals + 1);
    replaced.append(value);
    if (replaced == old) return true;
    std::string previous = file.Render();
    file.ReplaceLine(place->line, std::move(replaced));
    return Rewrite(path, *entry, previous);
  }

  if (found->lastContent + 1 == file.LineCount()) return AppendLines(path, *entry, {line}, existed);
  std::string previous = file.Render();
  file.InsertLine(found->lastContent + 1, std::move(line));
  return Rewrite(path, *entry, previous);
}

bool RemoveKey(const std::string& path, std::string_view section, std::string_view key) {
  CachedFile* entry = Current(path);
  if (!entry) return !PathExists(path) || Fail(NotAProfileFile(path));
  ProfileFile& file = entry->file;
  std::string previous = file.Render();
  bool changed = false;
  while (const Section* found = file.FindSection(section)) {
    const EntryPlace* place = found->Find(Trim(key));
    if (!place) break;
    file.EraseLine(place->line);
    file.Reindex();
    changed = true;
  }
  return !changed || Rewrite(path, *entry, previous);
}

bool RemoveSection(const std::string& path, std::string_view section) {
  CachedFile* entry = Current(path);
  if (!entry) return !PathExists(path) || Fail(NotAProfileFile(path));
  if (!entry->file.FindSection(section)) return true;
  std::string previous = entry->file.Render();
  entry->file.EraseSection(section);
  return Rewrite(path, *entry, previous);
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t bufferSize,
                                    const std::string& path) {
  if (bufferSize == 0) return {};
  std::string_view result = defaultValue;
  if (CachedFile* entry = Current(path)) {
    if (auto value = entry->file.Value(section, key)) result = *value;
  }
  return std::string(result.substr(0, bufferSize - 1));
}

std::optional<uint64_t> HeldProfileLength(const std::string& path) {
  auto it = TheCache().find(path);
  if (it == TheCache().end()) return std::nullopt;
  return it->second->stamp.size;
}

bool HoldProfileAppends(const std::string& path) {
  Forget(path);
  CachedFile* entry = Current(path);
  if (!entry) {
    if (PathExists(path)) return false;
    auto fresh = std::make_unique<CachedFile>();
    entry = fresh.get();
    TheCache()[path] = std::move(fresh);
  }
  entry->held = true;
  return true;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& path) {
  failureReason.clear();
  if (!section && !key && !value) {
    auto it = TheCache().find(path);
    const bool written = it == TheCache().end() || WritePending(path, *it->second);
    Forget(path);
    return written;
  }
  if (!section) return Fail("no section is named");
  if (!key) return RemoveSection(path, section);
  if (!value) return RemoveKey(path, section, key);
  return SetValue(path, section, key, value);
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& path, std::string& reason) {
  if (WritePrivateProfileString(section, key, value, path)) return true;
  reason = failureReason.empty() ? "the write failed" : failureReason;
  return false;
}

}  // namespace pravel::platform
