#include "iso/list_reader.h"

namespace pravel {

namespace {
constexpr size_t kBufferSize = 1 << 16;
}

bool ListReader::Open(const std::string& path) {
  auto file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) return false;
  file_ = std::move(*file);
  buffer_.resize(kBufferSize);
  position_ = filled_ = 0;
  atEnd_ = failed_ = false;
  return true;
}

bool ListReader::Fill() {
  if (atEnd_) return false;
  auto count = file_.Read(buffer_.data(), buffer_.size());
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
  bool sawAny = false;
  for (;;) {
    if (position_ == filled_ && !Fill()) return sawAny && !line.empty();
    char c = buffer_[position_++];
    sawAny = true;
    if (c == '\n') return !line.empty();
    if (c != '\r') line.push_back(c);
  }
}

}  // namespace pravel
