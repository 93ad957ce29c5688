// Checked file handling of the output stage: every create, write and close
// is checked and a failure is reported once, naming the file and the
// system's reason ("Fatal IO error!").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/job.h"
#include "platform/files.h"

namespace pravel {

// Creates (or truncates) `path` with CreateFileChecked and opens it for
// reading and writing.
std::optional<platform::File> CreateOutputFile(Job& job, const std::string& path);
// Opens an existing file for reading and writing.
std::optional<platform::File> OpenOutputFile(Job& job, const std::string& path);
bool CloseOutputFile(Job& job, platform::File& file, const std::string& path);
// Closes a file that is delivered as it stands (an image file) once its bytes
// are on the disk, so that a write the disk refuses late fails the run here
// instead of leaving an image that only looks finished.
bool CloseFinishedOutputFile(Job& job, platform::File& file, const std::string& path);

// The name an image file has while it is being written; it takes its own
// name only when the whole run has succeeded.
std::string UnfinishedImagePath(const std::string& imagePath);

// The directory part of a path (up to its last '/').
std::string DirectoryOf(const std::string& path);
// The part of a path after its last '/'.
std::string LastPathComponent(const std::string& path);

// A text file written through a buffer of 1 MiB.
class TextOutputFile {
 public:
  explicit TextOutputFile(Job& job) : job_(job) {}
  bool Create(const std::string& path);
  bool Append(const std::string& text);
  bool Close();

 private:
  bool Flush();

  Job& job_;
  std::string path_;
  std::optional<platform::File> file_;
  std::string buffer_;
};

}  // namespace pravel
