#include "intake/directory_listing.h"

#include <unordered_map>

#include "job/runtime.h"
#include "intake/tree_scan.h"
#include "intake/utf8.h"
#include "platform/interrupt.h"

namespace pravel {
namespace {

constexpr char kCanNotCreate[] = "Could not create temporary file.";
constexpr char kListingCaption[] = "Directory listing device error!";
constexpr char kCanNotRead[] = "Could not read the tree listing %s (%s).";
constexpr char kCanNotWrite[] = "Could not write the temporary file %s (%s).";
constexpr size_t kWriteBufferBytes = 64 * 1024;
constexpr size_t kReadChunkBytes = 64 * 1024;
// Listing text held in memory before it is appended to the listing files.
constexpr size_t kHeldListingBytes = 4 * 1024 * 1024;

// Reads a text file line by line; CR characters are dropped.
class LineReader {
 public:
  explicit LineReader(platform::File file) : file_(std::move(file)) {}

  // The next line; false at the end of the file or after a read error.
  bool Next(std::string& line) {
    line.clear();
    bool partial = false;  // a line without its LF so far
    for (;;) {
      if (pos_ < buffer_.size()) {
        const size_t lf = buffer_.find('\n', pos_);
        if (lf != std::string::npos) {
          line.append(buffer_, pos_, lf - pos_);
          pos_ = lf + 1;
          break;
        }
        line.append(buffer_, pos_, std::string::npos);
        pos_ = buffer_.size();
        partial = true;
      }
      if (!Fill()) {
        if (failed_ || !partial) return false;
        break;
      }
    }
    std::erase(line, '\r');
    return true;
  }

  bool Failed() const { return failed_; }
  const std::string& Error() const { return file_.LastError(); }

 private:
  bool Fill() {
    buffer_.resize(kReadChunkBytes);
    auto got = file_.Read(buffer_.data(), buffer_.size());
    if (!got) failed_ = true;
    buffer_.resize(got ? *got : 0);
    pos_ = 0;
    return !buffer_.empty();
  }

  platform::File file_;
  std::string buffer_;
  size_t pos_ = 0;
  bool failed_ = false;
};

std::optional<LineReader> OpenTreeListing(Job& job) {
  auto file = platform::File::Open(job.treeListPath, platform::File::Mode::kRead);
  if (!file) {
    ShowMessage(job, Format(kCanNotRead, job.treeListPath.c_str(), platform::LastErrorText().c_str()),
                kListingCaption);
    return std::nullopt;
  }
  return LineReader(std::move(*file));
}

std::string_view WithoutTrailingSlash(std::string_view path) {
  if (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return path;
}

// The folder a listing line stands in, upper-cased: the line without its
// trailing '/' up to its last '/'.
std::optional<std::string> ParentKey(std::string_view line) {
  line = WithoutTrailingSlash(line);
  const size_t slash = line.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  return AsciiUpper(line.substr(0, slash));
}

bool IsChildOf(std::string_view line, std::string_view directory) {
  directory = WithoutTrailingSlash(directory);
  if (line.size() <= directory.size() + 1 || line[directory.size()] != '/') return false;
  if (!StartsWithIgnoringCase(line, directory)) return false;
  const std::string_view rest = line.substr(directory.size() + 1);
  const size_t slash = rest.find('/');
  return slash == std::string_view::npos || slash + 1 == rest.size();
}

// Listing text of every directory, appended to the listing files whenever
// enough is held.
class HeldListings {
 public:
  HeldListings(Job& job, size_t count) : job_(job), text_(count) {}

  bool Add(uint32_t n, std::string_view line) {
    text_[n].append(line);
    text_[n].append("\r\n");
    held_ += line.size() + 2;
    return held_ < kHeldListingBytes || WriteOut();
  }

  bool WriteOut() {
    for (size_t n = 0; n < text_.size(); ++n) {
      if (text_[n].empty()) continue;
      const std::string path = ListingFilePath(job_, static_cast<long>(n));
      auto file = platform::OpenUninterrupted(path, platform::File::Mode::kAppend);
      if (!file || !file->WriteText(text_[n]) || !file->Close()) {
        const std::string why = file ? file->LastError() : platform::LastErrorText();
        ShowMessage(job_, Format(kCanNotWrite, path.c_str(), why.c_str()), kListingCaption);
        return false;
      }
      std::string().swap(text_[n]);
    }
    held_ = 0;
    return true;
  }

 private:
  Job& job_;
  std::vector<std::string> text_;
  size_t held_ = 0;
};

}  // namespace

std::string TempDirPlain(const Job& job) {
  if (!job.tempDirPlain.empty()) return job.tempDirPlain;
  return std::string(WithoutTrailingSlash(job.tempDir));
}

std::string ListingFilePath(const Job& job, long n) { return TempDirPlain(job) + Format("/tm%04ld.txt", n); }

bool IsRootListingLine(const Job& job, std::string_view line) {
  const std::string* base = FindSourceBase(job, line);
  if (base == nullptr || line.size() <= base->size() + 1) return true;
  const std::string_view rest = line.substr(base->size() + 1);
  const size_t slash = rest.find('/');
  return slash == std::string_view::npos || slash + 1 == rest.size();
}

bool WriteDirectoryListings(Job& job, const std::vector<std::string>& directoryLines) {
  const size_t count = directoryLines.size() + 1;
  // Directory numbers by upper-cased path; folders equal but for letter case
  // chain on through nextSame.
  std::unordered_map<std::string, uint32_t> firstWithPath;
  std::vector<uint32_t> nextSame(count, 0);
  for (size_t i = 0; i < directoryLines.size(); ++i) {
    const auto n = static_cast<uint32_t>(i + 1);
    auto [it, added] = firstWithPath.emplace(AsciiUpper(WithoutTrailingSlash(directoryLines[i])), n);
    if (!added) {
      nextSame[n] = it->second;
      it->second = n;
    }
  }
  for (size_t n = 0; n < count; ++n) {
    if (!CreateUninterrupted(ListingFilePath(job, static_cast<long>(n)))) {
      ShowMessage(job, kCanNotCreate, kListingCaption);
      return false;
    }
  }

  auto reader = OpenTreeListing(job);
  if (!reader) return false;
  HeldListings held(job, count);
  std::string line;
  while (reader->Next(line) && !line.empty()) {
    if (IsRootListingLine(job, line) && !held.Add(0, line)) return false;
    auto key = ParentKey(line);
    if (!key) continue;
    auto it = firstWithPath.find(*key);
    if (it == firstWithPath.end()) continue;
    for (uint32_t n = it->second; n != 0; n = nextSame[n]) {
      if (!held.Add(n, line)) return false;
    }
  }
  if (reader->Failed()) {
    ShowMessage(job, Format(kCanNotRead, job.treeListPath.c_str(), reader->Error().c_str()), kListingCaption);
    return false;
  }
  return held.WriteOut();
}

bool WriteDirectoryListing(Job& job, const std::string& directory, const std::string& listingPath,
                           long n) {
  auto file = CreateTextFile(listingPath);
  if (!file) {
    ShowMessage(job, kCanNotCreate, kListingCaption);
    return false;
  }
  CrLfWriter out(std::move(*file));
  auto reader = OpenTreeListing(job);
  if (!reader) return false;
  std::string line;
  while (reader->Next(line) && !line.empty()) {
    const bool member = n == 0 ? IsRootListingLine(job, line) : IsChildOf(line, directory);
    if (member && !out.Line(line)) break;
  }
  if (reader->Failed()) {
    ShowMessage(job, Format(kCanNotRead, job.treeListPath.c_str(), reader->Error().c_str()), kListingCaption);
    return false;
  }
  if (!out.Close()) {
    ShowMessage(job, Format(kCanNotWrite, listingPath.c_str(), out.Error().c_str()), kListingCaption);
    return false;
  }
  return true;
}

bool CrLfWriter::Line(std::string_view text) {
  if (!error_.empty()) return false;
  buffer_.append(text);
  buffer_.append("\r\n");
  return buffer_.size() < kWriteBufferBytes || Flush();
}

bool CrLfWriter::Flush() {
  if (!error_.empty()) return false;
  if (!buffer_.empty() && !file_.WriteText(buffer_)) {
    error_ = file_.LastError();
    return false;
  }
  buffer_.clear();
  return true;
}

bool CrLfWriter::Close() {
  if (!Flush()) return false;
  if (!file_.Close()) {
    error_ = file_.LastError();
    return false;
  }
  return true;
}

std::optional<platform::File> CreateTextFile(const std::string& path) {
  if (!CreateUninterrupted(path)) return std::nullopt;
  return platform::File::Open(path, platform::File::Mode::kReadWrite);
}

}  // namespace pravel
