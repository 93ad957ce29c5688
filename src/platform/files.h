// File system services: existence, deletion, lengths, free space, directory
// enumeration and a small checked file handle. Paths use '/' as separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pravel::platform {

enum class EntryKind {
  kFile,       // a regular file (or a link to one)
  kDirectory,  // a directory (or a link to one)
  kSpecial,    // FIFO, socket or device: never read as content
  kBroken,     // a dangling symbolic link or an entry that can not be examined
};

struct DirEntry {
  std::string name;
  EntryKind kind = EntryKind::kFile;
  bool isLink = false;
};

// What the system said about the last failure, as text ("No space left on device").
std::string LastErrorText();

struct FileStatus {
  EntryKind kind = EntryKind::kFile;
  uint64_t length = 0;
};

bool PathExists(const std::string& path);
// Kind and length of what a path names (links followed); nullopt when it can
// not be examined.
std::optional<FileStatus> StatusOf(const std::string& path);
bool IsDirectory(const std::string& path);
EntryKind KindOf(const std::string& path);
// Deletes a file; a missing file counts as failure but is harmless to callers.
bool RemoveFile(const std::string& path);
// Gives a file another name in the same file system, replacing a file of that name.
bool RenameFile(const std::string& from, const std::string& to);
std::optional<uint64_t> FileLength(const std::string& path);
// Bytes available to an unprivileged writer on the file system holding `path`.
std::optional<uint64_t> FreeBytes(const std::string& path);
// An id that is the same for two paths on one file system.
std::optional<uint64_t> FileSystemId(const std::string& path);
// The real, link-free absolute form of an existing path.
std::optional<std::string> CanonicalPath(const std::string& path);
bool CreateDirectories(const std::string& path);

// Lists the entries of a directory, "." and ".." left out, in byte order of
// their names so that the same tree always lists the same way. Returns false
// (with `error` set) when the directory can not be read.
bool ListDirectory(const std::string& path, std::vector<DirEntry>& entries, std::string& error);

// Memory for writes that go straight to the disk: its start and its length
// are multiples of kAlignment, which every disk and file system takes.
class AlignedBuffer {
 public:
  static constexpr size_t kAlignment = 4096;
  // Throws std::bad_alloc when the memory can not be had.
  explicit AlignedBuffer(size_t size);
  uint8_t* data() { return data_.get(); }
  const uint8_t* data() const { return data_.get(); }
  size_t size() const { return size_; }

 private:
  struct Release {
    void operator()(uint8_t* memory) const;
  };
  std::unique_ptr<uint8_t[], Release> data_;
  size_t size_;
};

// A file opened for unbuffered binary access. Every operation reports failure;
// LastError() then tells why.
class File {
 public:
  enum class Mode {
    kRead,       // existing file, read only
    kReadWrite,  // existing file, read and write
    kCreate,     // create or truncate, read and write
    kAppend,     // create if missing, writes go to the end
    kOverwrite,  // create if missing, read and write, nothing cut: the
                 // writer sets the length with SetLength. A file rewritten
                 // this way is not flushed early on close, as one cut to
                 // nothing first can be.
  };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static std::optional<File> Open(const std::string& path, Mode mode);
  // Takes charge of a handle the platform layer opened.
  static File Adopt(int fd);

  bool IsOpen() const { return fd_ >= 0; }
  // The system's handle, for the platform layer's own use.
  int NativeHandle() const { return fd_; }
  // Writes all of `size` bytes or fails.
  bool Write(const void* data, size_t size);
  bool WriteText(const std::string& text) { return Write(text.data(), text.size()); }
  // Reads up to `size` bytes, repeating short reads; returns the count read
  // (less than `size` only at end of file), or nullopt on an error.
  std::optional<size_t> Read(void* data, size_t size);
  // Reads up to `size` bytes and stops at the first short read, which a
  // regular file gives only at its end: asked for one byte more than it has
  // left, it tells its end without a read of its own.
  std::optional<size_t> ReadUpTo(void* data, size_t size);
  bool Seek(uint64_t offset);
  bool SeekEnd();
  // Cuts or extends the file to `length` bytes.
  bool SetLength(uint64_t length);
  std::optional<uint64_t> Size() const;
  bool Sync();
  // Sends later writes straight to the disk, past the system's cache, where
  // the file system takes that: a long file written once then neither crowds
  // the cache nor waits for the memory to hold it. Such a write must come
  // from an AlignedBuffer and start at a multiple of its alignment; one the
  // disk will not take this way (a short tail, a misaligned offset) is
  // written through the cache, as are all writes after it. False when the
  // file stays cached.
  bool WriteAroundCache();
  // Asks the system to start writing the given bytes to the disk, without
  // waiting for it: a long sequential write then ends with little left to
  // write back. A hint: where the system can not take it, nothing happens.
  void StartWriteBack(uint64_t offset, uint64_t length);
  // Waits until the given bytes, written before, are on the disk, and lets
  // the system reuse the memory that cached them: for bytes nobody reads
  // again soon. False when the disk refused them.
  bool ReleaseWritten(uint64_t offset, uint64_t length);
  bool Close();
  const std::string& LastError() const { return error_; }

 private:
  bool WriteThroughCache();

  int fd_ = -1;
  bool aroundCache_ = false;
  std::string error_;
};

// The whole content of a small file (a profile, a listing); nullopt when it
// can not be opened or read, with the reason in `error` when given.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string* error = nullptr);

// Examines and opens files whose paths come one after another, most of them
// in the folder of the one before: the folder stays open, so each file costs
// a lookup of its own name rather than a walk of its whole path. Results are
// those of StatusOf and File::Open(kRead) on the whole path.
class FolderCursor {
 public:
  FolderCursor() = default;
  ~FolderCursor();
  FolderCursor(const FolderCursor&) = delete;
  FolderCursor& operator=(const FolderCursor&) = delete;

  std::optional<FileStatus> StatusOf(const std::string& path);
  // Sets LastErrorText() when it fails.
  std::optional<File> OpenForReading(const std::string& path);

 private:
  // The handle of the folder of `path` and, in `name`, the rest; -1 when the
  // folder can not be held (the whole path is used then).
  int Enter(const std::string& path, std::string& name);

  std::string folder_;
  int fd_ = -1;
};

}  // namespace pravel::platform
