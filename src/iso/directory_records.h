// ISO 9660 and Joliet directory records and the directory files that hold a
// directory's records as they go into the image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job.h"
#include "platform/clock.h"

namespace pravel {

// Offsets of an ISO 9660 directory record.
namespace dir_record {
inline constexpr size_t kLength = 0;
inline constexpr size_t kExtAttrLength = 1;
inline constexpr size_t kExtent = 2;          // both byte orders, 8 bytes
inline constexpr size_t kDataLength = 10;     // both byte orders, 8 bytes
inline constexpr size_t kRecordingDate = 18;  // 7 bytes
inline constexpr size_t kFileFlags = 25;
inline constexpr size_t kFileUnitSize = 26;
inline constexpr size_t kInterleaveGap = 27;
inline constexpr size_t kVolumeSequence = 28;  // both byte orders, 4 bytes
inline constexpr size_t kIdentifierLength = 32;
inline constexpr size_t kIdentifier = 33;
inline constexpr size_t kFixedPart = 33;
inline constexpr uint8_t kFlagDirectory = 2;
inline constexpr size_t kMaxRecord = 255;
}  // namespace dir_record

// The 7-byte recording date: years since 1900, month, day, hour, minute,
// second (or 0), then the offset from UTC in quarter hours (the date taken
// to UTC when that offset can not be recorded).
void PutRecordingDate(uint8_t* at, const platform::LocalTime& date, bool withSecond);

// A record in on-disc form: 33 bytes, the identifier, a padding byte when the
// identifier's length is even.
std::vector<uint8_t> MakeDirectoryRecord(const std::vector<uint8_t>& identifier, uint32_t extent,
                                         uint32_t dataLength, bool isDirectory, const uint8_t* date7);

// The 34-byte record of a root directory in a volume descriptor.
void PutRootDirectoryRecord(uint8_t* at, uint32_t extent, uint32_t dataLength,
                            const platform::LocalTime& buildDate);

// A directory's contents: records appended so that none crosses a sector
// boundary; whole sectors at the end.
class DirectoryImage {
 public:
  void Append(const std::vector<uint8_t>& record);
  // Zero-fills to whole sectors, at least one.
  void Finish();
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }
  void Clear() { bytes_.clear(); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace pravel
