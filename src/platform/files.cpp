#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace pravel::platform {

std::string LastErrorText() { return std::strerror(errno); }

bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static EntryKind KindOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kDirectory;
  if (S_ISREG(mode)) return EntryKind::kFile;
  return EntryKind::kSpecial;
}

std::optional<FileStatus> StatusOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStatus{KindOfMode(st.st_mode), static_cast<uint64_t>(st.st_size)};
}

EntryKind KindOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return EntryKind::kBroken;
  return KindOfMode(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

std::optional<uint64_t> FileLength(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::optional<uint64_t> FreeBytes(const std::string& path) {
  struct statvfs vfs;
  if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
}

std::optional<uint64_t> FileSystemId(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_dev);
}

std::optional<std::string> CanonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

bool CreateDirectories(const std::string& path) {
  std::string partial;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    partial = path.substr(0, next);
    if (!partial.empty() && ::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    pos = next + 1;
  }
  return IsDirectory(path);
}

bool ListDirectory(const std::string& path, std::vector<DirEntry>& entries, std::string& error) {
  entries.clear();
  DIR* dir = ::opendir(path.empty() ? "/" : path.c_str());
  if (dir == nullptr) {
    error = LastErrorText();
    return false;
  }
  const std::string prefix = (path.empty() || path.back() != '/') ? path + "/" : path;
  errno = 0;
  while (struct dirent* item = ::readdir(dir)) {
    std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = name;
    // The entry's type usually comes with the listing; only links and file
    // systems that do not tell are examined one by one.
    if (item->d_type == DT_REG || item->d_type == DT_DIR) {
      entry.kind = item->d_type == DT_REG ? EntryKind::kFile : EntryKind::kDirectory;
      entries.push_back(std::move(entry));
      errno = 0;
      continue;
    }
    struct stat lst;
    std::string full = prefix + name;
    if (::lstat(full.c_str(), &lst) != 0) {
      entry.kind = EntryKind::kBroken;
    } else if (S_ISLNK(lst.st_mode)) {
      entry.isLink = true;
      struct stat st;
      entry.kind = ::stat(full.c_str(), &st) == 0 ? KindOfMode(st.st_mode) : EntryKind::kBroken;
    } else {
      entry.kind = KindOfMode(lst.st_mode);
    }
    entries.push_back(std::move(entry));
    errno = 0;
  }
  bool ok = errno == 0;
  if (!ok) error = LastErrorText();
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return ok;
}

AlignedBuffer::AlignedBuffer(size_t size) : size_(size) {
  const size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
  data_.reset(static_cast<uint8_t*>(std::aligned_alloc(kAlignment, rounded == 0 ? kAlignment : rounded)));
  if (!data_) throw std::bad_alloc();
}

void AlignedBuffer::Release::operator()(uint8_t* memory) const { std::free(memory); }

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(other.fd_), aroundCache_(other.aroundCache_), error_(std::move(other.error_)) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    aroundCache_ = other.aroundCache_;
    error_ = std::move(other.error_);
    other.fd_ = -1;
  }
  return *this;
}

File File::Adopt(int fd) {
  File file;
  file.fd_ = fd;
  return file;
}

std::optional<File> File::Open(const std::string& path, Mode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::kAppend: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    case Mode::kOverwrite: flags |= O_RDWR | O_CREAT; break;
  }
  // A reader never waits for a pipe's writer: a source replaced by a FIFO
  // opens at once and reads as what it is (nothing) instead of hanging the
  // run. The flag stays: it changes nothing for regular files, and clearing
  // it would cost two calls per file.
  if (mode == Mode::kRead) flags |= O_NONBLOCK;
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return std::nullopt;
  File file;
  file.fd_ = fd;
  return file;
}

bool File::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd_, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      // A direct write the disk refuses for its alignment goes through the cache.
      if (errno == EINVAL && aroundCache_ && WriteThroughCache()) continue;
      error_ = LastErrorText();
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::optional<size_t> File::ReadUpTo(void* data, size_t size) {
  for (;;) {
    ssize_t n = ::read(fd_, data, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    error_ = LastErrorText();
    return std::nullopt;
  }
}

std::optional<size_t> File::Read(void* data, size_t size) {
  char* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd_, bytes + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = LastErrorText();
      return std::nullopt;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool File::Seek(uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    error_ = LastErrorText();
    return false;
  }
  return true;
}

bool File::SetLength(uint64_t length) {
  while (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
    if (errno == EINTR) continue;
    error_ = LastErrorText();
    return false;
  }
  return true;
}

bool File::SeekEnd() {
  if (::lseek(fd_, 0, SEEK_END) < 0) {
    error_ = LastErrorText();
    return false;
  }
  return true;
}

std::optional<uint64_t> File::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool File::Sync() {
  if (::fsync(fd_) != 0) {
    error_ = LastErrorText();
    return false;
  }
  return true;
}

bool File::WriteAroundCache() {
  const int flags = ::fcntl(fd_, F_GETFL);
  aroundCache_ = flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
  return aroundCache_;
}

bool File::WriteThroughCache() {
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0) return false;
  aroundCache_ = false;
  return true;
}

void File::StartWriteBack(uint64_t offset, uint64_t length) {
  ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
}

bool File::ReleaseWritten(uint64_t offset, uint64_t length) {
  const unsigned flags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  if (::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), flags) != 0) {
    error_ = LastErrorText();
    return false;
  }
  ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
  return true;
}

bool File::Close() {
  if (fd_ < 0) return true;
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) {
    error_ = LastErrorText();
    return false;
  }
  return true;
}

FolderCursor::~FolderCursor() {
  if (fd_ >= 0) ::close(fd_);
}

int FolderCursor::Enter(const std::string& path, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == path.size()) return -1;
  name.assign(path, slash + 1);
  if (fd_ >= 0 && folder_.size() == slash && path.compare(0, slash, folder_) == 0) return fd_;
  if (fd_ >= 0) ::close(fd_);
  folder_.assign(path, 0, slash);
  // A handle that only names the folder: searching it is all it needs.
  fd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd_;
}

std::optional<FileStatus> FolderCursor::StatusOf(const std::string& path) {
  std::string name;
  const int folder = Enter(path, name);
  if (folder < 0) return platform::StatusOf(path);
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, 0) != 0) return std::nullopt;
  return FileStatus{KindOfMode(st.st_mode), static_cast<uint64_t>(st.st_size)};
}

std::optional<File> FolderCursor::OpenForReading(const std::string& path) {
  std::string name;
  const int folder = Enter(path, name);
  if (folder < 0) return File::Open(path, File::Mode::kRead);
  // Non-blocking, as File::Open reads: a FIFO never holds the run.
  const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return File::Adopt(fd);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string* error) {
  auto file = File::Open(path, File::Mode::kRead);
  if (!file) {
    if (error) *error = LastErrorText();
    return std::nullopt;
  }
  std::optional<uint64_t> size = file->Size();
  std::string text(size ? static_cast<size_t>(*size) : 0, '\0');
  std::optional<size_t> got = file->Read(text.data(), text.size());
  if (!size || !got) {
    if (error) *error = file->LastError();
    return std::nullopt;
  }
  text.resize(*got);
  return text;
}

}  // namespace pravel::platform
