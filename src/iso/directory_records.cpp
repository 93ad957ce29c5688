#include "iso/directory_records.h"

#include "iso/byte_fields.h"
#include "iso/iso_dates.h"
#include "iso/sector_writer.h"

namespace pravel {

void PutRecordingDate(uint8_t* at, const platform::LocalTime& date, bool withSecond) {
  const platform::LocalTime zoned = InIsoZone(date);
  at[0] = static_cast<uint8_t>(zoned.year - 1900);
  at[1] = static_cast<uint8_t>(zoned.month);
  at[2] = static_cast<uint8_t>(zoned.day);
  at[3] = static_cast<uint8_t>(zoned.hour);
  at[4] = static_cast<uint8_t>(zoned.minute);
  at[5] = static_cast<uint8_t>(withSecond ? zoned.second : 0);
  at[6] = IsoZoneByte(zoned);
}

std::vector<uint8_t> MakeDirectoryRecord(const std::vector<uint8_t>& identifier, uint32_t extent,
                                         uint32_t dataLength, bool isDirectory, const uint8_t* date7) {
  using namespace dir_record;
  const size_t padding = identifier.size() % 2 == 0 ? 1 : 0;
  std::vector<uint8_t> record(kFixedPart + identifier.size() + padding, 0);
  PutU8(&record[kLength], static_cast<uint8_t>(record.size()));
  PutU8(&record[kExtAttrLength], 0);
  PutBoth32(&record[kExtent], extent);
  PutBoth32(&record[kDataLength], dataLength);
  if (date7) std::copy(date7, date7 + 7, record.begin() + kRecordingDate);
  PutU8(&record[kFileFlags], isDirectory ? kFlagDirectory : 0);
  PutU8(&record[kFileUnitSize], 0);
  PutU8(&record[kInterleaveGap], 0);
  PutBoth16(&record[kVolumeSequence], 1);
  PutU8(&record[kIdentifierLength], static_cast<uint8_t>(identifier.size()));
  std::copy(identifier.begin(), identifier.end(), record.begin() + kIdentifier);
  return record;
}

void PutRootDirectoryRecord(uint8_t* at, uint32_t extent, uint32_t dataLength,
                            const platform::LocalTime& buildDate) {
  uint8_t date[7];
  PutRecordingDate(date, buildDate, true);
  std::vector<uint8_t> record = MakeDirectoryRecord({0x00}, extent, dataLength, true, date);
  std::copy(record.begin(), record.end(), at);
}

void DirectoryImage::Append(const std::vector<uint8_t>& record) {
  size_t used = bytes_.size() % kSectorSize;
  if (used != 0 && kSectorSize - used < record.size()) bytes_.resize(bytes_.size() + (kSectorSize - used), 0);
  bytes_.insert(bytes_.end(), record.begin(), record.end());
}

void DirectoryImage::Finish() {
  size_t sectors = (bytes_.size() + kSectorSize - 1) / kSectorSize;
  if (sectors == 0) sectors = 1;
  bytes_.resize(sectors * kSectorSize, 0);
}

}  // namespace pravel
