// Reads the sources of the file data records ahead of the copy, on a thread
// of its own and in the order of the records: while the image is written, the
// next files are opened and read. Each source is read to exactly its
// recorded length, and at its end one byte more is asked for, so that a file
// that grew shows as well as one that ended early.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "job/job.h"

namespace pravel {

class SourceReader {
 public:
  // Bytes of one record, or why its source can not be copied.
  struct Piece {
    size_t record = 0;  // index in the record list
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool last = false;    // the record's bytes end with this piece
    std::string failure;  // set: the record can not be copied, for this reason
  };

  // Reads the records that take sectors; `records` must outlive the reader.
  explicit SourceReader(const std::vector<FileDataRecord>& records);
  ~SourceReader();
  SourceReader(const SourceReader&) = delete;
  SourceReader& operator=(const SourceReader&) = delete;

  // The next piece in record order. Its data stays valid until the next call.
  // After a failure or the last record nothing follows: the caller stops.
  Piece Next();

 private:
  struct Buffer {
    std::vector<uint8_t> bytes;
    size_t used = 0;
    std::vector<Piece> pieces;
  };
  class Filler;

  void Read();
  // Producer side: a buffer to fill, or nullptr once the reader is stopping.
  Buffer* TakeEmpty();
  void Publish(Buffer* buffer, bool finished);

  const std::vector<FileDataRecord>& records_;
  std::vector<Buffer> buffers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Buffer*> empty_;
  std::deque<Buffer*> filled_;
  bool finished_ = false;  // the producer has published its last buffer
  bool stopping_ = false;  // the consumer wants no more
  Buffer* current_ = nullptr;  // the consumer's buffer
  size_t nextPiece_ = 0;
  std::thread thread_;
};

}  // namespace pravel
