#include "output/source_reader.h"

#include <algorithm>
#include <system_error>

#include "job/runtime.h"
#include "platform/files.h"

namespace pravel {
namespace {

using ull = unsigned long long;

// Eight buffers of 1 MiB: room for hundreds of small files ahead of the
// writer, and reads of a large file a megabyte at a time.
constexpr size_t kBufferCount = 8;
constexpr size_t kBufferBytes = 1 << 20;

std::string ChangedReason(const std::string& detail) {
  return "the file has changed since the file system was built (" + detail + ")";
}

// A source that no longer holds the bytes the file system was built with;
// its length now, when that differs, says the most.
std::string ChangedSource(platform::File& source, uint64_t recordedLength, const std::string& detail) {
  auto size = source.Size();
  if (size && *size != recordedLength) {
    return ChangedReason(
        Format("%llu bytes now, %llu bytes then", static_cast<ull>(*size), static_cast<ull>(recordedLength)));
  }
  return ChangedReason(detail);
}

}  // namespace

// The producer's side: fills one buffer after another with the bytes of the
// records, in order.
class SourceReader::Filler {
 public:
  explicit Filler(SourceReader& reader) : reader_(reader) {}

  // False after a failure, or when the consumer stopped.
  bool ReadRecord(size_t index, const FileDataRecord& record) {
    auto source = folders_.OpenForReading(record.path);
    if (!source) return Fail(index, platform::LastErrorText());
    uint64_t remaining = record.byteLength;
    for (;;) {
      if (!MakeRoom()) return false;
      uint8_t* at = buffer_->bytes.data() + buffer_->used;
      const size_t space = buffer_->bytes.size() - buffer_->used;
      const bool last = remaining < space;
      const size_t want = last ? static_cast<size_t>(remaining) + 1 : space;
      auto got = last ? source->ReadUpTo(at, want) : source->Read(at, want);
      if (!got) return Fail(index, source->LastError());
      if (*got > remaining) {
        return Fail(index, ChangedSource(*source, record.byteLength,
                                         Format("it grew past %llu bytes", static_cast<ull>(record.byteLength))));
      }
      if (*got < std::min<uint64_t>(want, remaining)) {
        const uint64_t done = record.byteLength - remaining + *got;
        return Fail(index, ChangedSource(*source, record.byteLength,
                                         Format("it ended after %llu of %llu bytes", static_cast<ull>(done),
                                                static_cast<ull>(record.byteLength))));
      }
      buffer_->pieces.push_back(Piece{index, at, *got, last, {}});
      buffer_->used += *got;
      remaining -= *got;
      if (last) return true;
    }
  }

  void Finish() { reader_.Publish(buffer_, true); }

 private:
  // A buffer with free space; false when the consumer stopped.
  bool MakeRoom() {
    if (buffer_ != nullptr && buffer_->used < buffer_->bytes.size()) return true;
    if (buffer_ != nullptr) reader_.Publish(buffer_, false);
    buffer_ = reader_.TakeEmpty();
    return buffer_ != nullptr;
  }

  bool Fail(size_t index, std::string reason) {
    if (buffer_ == nullptr) buffer_ = reader_.TakeEmpty();
    if (buffer_ != nullptr) buffer_->pieces.push_back(Piece{index, nullptr, 0, true, std::move(reason)});
    return false;
  }

  SourceReader& reader_;
  Buffer* buffer_ = nullptr;
  platform::FolderCursor folders_;
};

SourceReader::SourceReader(const std::vector<FileDataRecord>& records) : records_(records), buffers_(kBufferCount) {
  for (Buffer& buffer : buffers_) {
    buffer.bytes.resize(kBufferBytes);
    empty_.push_back(&buffer);
  }
  try {
    thread_ = std::thread(&SourceReader::Read, this);
  } catch (const std::system_error& error) {
    // Without a second thread nothing is read: the first record says why.
    buffers_.front().pieces.push_back(Piece{0, nullptr, 0, true, std::string("no reader could start: ") + error.what()});
    filled_.push_back(&buffers_.front());
    empty_.pop_front();
    finished_ = true;
  }
}

SourceReader::~SourceReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void SourceReader::Read() {
  Filler filler(*this);
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].sectorCount == 0) continue;
    if (!filler.ReadRecord(i, records_[i])) break;
  }
  filler.Finish();
}

SourceReader::Buffer* SourceReader::TakeEmpty() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return stopping_ || !empty_.empty(); });
  if (stopping_) return nullptr;
  Buffer* buffer = empty_.front();
  empty_.pop_front();
  buffer->used = 0;
  buffer->pieces.clear();
  return buffer;
}

void SourceReader::Publish(Buffer* buffer, bool finished) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer != nullptr) filled_.push_back(buffer);
    if (finished) finished_ = true;
  }
  changed_.notify_all();
}

SourceReader::Piece SourceReader::Next() {
  for (;;) {
    if (current_ != nullptr && nextPiece_ < current_->pieces.size()) return current_->pieces[nextPiece_++];
    std::unique_lock<std::mutex> lock(mutex_);
    if (current_ != nullptr) {
      empty_.push_back(current_);
      current_ = nullptr;
      changed_.notify_all();
    }
    changed_.wait(lock, [this] { return finished_ || !filled_.empty(); });
    if (filled_.empty()) return Piece{records_.size(), nullptr, 0, true, "the reading of the sources ended early"};
    current_ = filled_.front();
    filled_.pop_front();
    nextPiece_ = 0;
  }
}

}  // namespace pravel
