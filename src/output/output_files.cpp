#include "output/output_files.h"

#include "job/runtime.h"
#include "iso/sector_writer.h"

namespace pravel {
namespace {

constexpr size_t kTextBufferSize = 1 << 20;

}  // namespace

std::optional<platform::File> CreateOutputFile(Job& job, const std::string& path) {
  if (!CreateFileChecked(path)) {
    std::string reason = IsCreatablePath(path) ? platform::LastErrorText()
                                               : std::string("the path holds a character that is not allowed");
    ShowIoError(job, "create", path, reason);
    return std::nullopt;
  }
  return OpenOutputFile(job, path);
}

std::optional<platform::File> OpenOutputFile(Job& job, const std::string& path) {
  auto file = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file) ShowIoError(job, "open", path, platform::LastErrorText());
  return file;
}

bool CloseOutputFile(Job& job, platform::File& file, const std::string& path) {
  if (file.Close()) return true;
  ShowIoError(job, "close", path, file.LastError());
  return false;
}

bool CloseFinishedOutputFile(Job& job, platform::File& file, const std::string& path) {
  if (file.Sync()) return CloseOutputFile(job, file, path);
  ShowIoError(job, "write to", path, file.LastError());
  file.Close();
  return false;
}

std::string UnfinishedImagePath(const std::string& imagePath) { return imagePath + ".part"; }

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string LastPathComponent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool TextOutputFile::Create(const std::string& path) {
  path_ = path;
  file_ = CreateOutputFile(job_, path);
  buffer_.reserve(kTextBufferSize);
  return file_.has_value();
}

bool TextOutputFile::Append(const std::string& text) {
  buffer_ += text;
  return buffer_.size() < kTextBufferSize || Flush();
}

bool TextOutputFile::Flush() {
  if (buffer_.empty()) return true;
  bool written = file_->Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  if (!written) ShowIoError(job_, "write to", path_, file_->LastError());
  return written;
}

bool TextOutputFile::Close() {
  if (!Flush()) return false;
  return CloseOutputFile(job_, *file_, path_);
}

}  // namespace pravel
