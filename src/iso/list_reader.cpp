#include "iso/list_reader.h"

#include <cstring>
#include <memory>

namespace pravel {

namespace {

constexpr size_t kBufferSize = 1 << 16;

// Appends `count` characters from `from` to the line, leaving out CRs.
void AppendWithoutCr(std::string& line, const char* from, size_t count) {
  while (count != 0) {
    const char* cr = static_cast<const char*>(std::memchr(from, '\r', count));
    const size_t run = cr == nullptr ? count : static_cast<size_t>(cr - from);
    line.append(from, run);
    if (cr == nullptr) return;
    from += run + 1;
    count -= run + 1;
  }
}

}  // namespace

bool ListReader::Open(const std::string& path) {
  auto file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) return false;
  file_ = std::move(*file);
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  position_ = filled_ = 0;
  atEnd_ = failed_ = false;
  return true;
}

bool ListReader::Fill() {
  if (atEnd_) return false;
  auto count = file_.Read(buffer_.get(), kBufferSize);
  if (!count) {
    failed_ = true;
    atEnd_ = true;
    return false;
  }
  position_ = 0;
  filled_ = *count;
  if (filled_ == 0) atEnd_ = true;
  return filled_ > 0;
}

bool ListReader::ReadListLine(std::string& line) {
  line.clear();
  for (;;) {
    if (position_ == filled_ && !Fill()) return !line.empty();
    const char* from = buffer_.get() + position_;
    const size_t available = filled_ - position_;
    const char* lf = static_cast<const char*>(std::memchr(from, '\n', available));
    if (lf == nullptr) {
      AppendWithoutCr(line, from, available);
      position_ = filled_;
      continue;
    }
    const size_t length = static_cast<size_t>(lf - from);
    AppendWithoutCr(line, from, length);
    position_ += length + 1;
    return !line.empty();
  }
}

}  // namespace pravel
