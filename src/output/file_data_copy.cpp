#include "output/file_data_copy.h"

#include <algorithm>
#include <cstring>

#include "job/runtime.h"
#include "iso/sector_writer.h"
#include "output/copy_progress.h"
#include "output/output_files.h"
#include "udf/anchor.h"

namespace pravel {
namespace {

using ull = unsigned long long;

constexpr char kBuilderCaption[] = "Disc Image Builder Error!";

uint64_t SectorBytes(uint64_t sectors) { return sectors * kSectorSize; }

bool RefuseSource(Job& job, const std::string& path, const std::string& reason) {
  ShowMessage(job, Format("Can not copy %s into the disc image: %s.", path.c_str(), reason.c_str()), kBuilderCaption);
  return false;
}

std::string ChangedReason(const std::string& detail) {
  return "the file has changed since the file system was built (" + detail + ")";
}

// A source that no longer holds the bytes the file system was built with;
// its length now, when that differs, says the most.
bool RefuseChanged(Job& job, const FileDataRecord& record, platform::File& source, const std::string& detail) {
  auto size = source.Size();
  if (size && *size != record.byteLength) {
    return RefuseSource(job, record.path,
                        ChangedReason(Format("%llu bytes now, %llu bytes then", static_cast<ull>(*size),
                                             static_cast<ull>(record.byteLength))));
  }
  return RefuseSource(job, record.path, ChangedReason(detail));
}

// Copies exactly the record's byteLength bytes of the source and fills the
// rest of its sectors with zeros. The last read asks for one byte more than
// is left: a source that grew, or its end, shows without a call of its own.
bool CopyRecord(Job& job, const FileDataRecord& record, VolumeImageWriter& image, std::vector<uint8_t>& block,
                CopyProgress& progress) {
  auto source = platform::File::Open(record.path, platform::File::Mode::kRead);
  if (!source) return RefuseSource(job, record.path, platform::LastErrorText());
  uint64_t remaining = record.byteLength;
  for (;;) {
    const bool last = remaining < block.size();
    const size_t want = last ? static_cast<size_t>(remaining) + 1 : block.size();
    auto got = last ? source->ReadUpTo(block.data(), want) : source->Read(block.data(), want);
    if (!got) return RefuseSource(job, record.path, source->LastError());
    if (*got > remaining) {
      return RefuseChanged(job, record, *source, Format("it grew past %llu bytes", static_cast<ull>(record.byteLength)));
    }
    if (*got < std::min<uint64_t>(want, remaining)) {
      const uint64_t done = record.byteLength - remaining + *got;
      return RefuseChanged(job, record, *source,
                           Format("it ended after %llu of %llu bytes", static_cast<ull>(done),
                                  static_cast<ull>(record.byteLength)));
    }
    if (*got > 0 && !image.Append(block.data(), *got)) return false;
    progress.Advance(*got);
    remaining -= *got;
    if (last) break;
  }
  return image.AppendZeros(SectorBytes(record.sectorCount) - record.byteLength);
}

uint64_t TotalFileBytes(const Job& job) {
  uint64_t total = 0;
  for (const FileDataRecord& record : job.fileDataList) {
    if (record.sectorCount != 0) total += record.byteLength;
  }
  return total;
}

}  // namespace

VolumeImageWriter::VolumeImageWriter(Job& job, uint64_t layerCapacitySectors)
    : job_(job), boundary_(SectorBytes(layerCapacitySectors)), buffer_(kCopyBlockSize) {}

bool VolumeImageWriter::Open(uint64_t sector) {
  path_ = UnfinishedImagePath(job_.imagePath2);
  file_ = OpenOutputFile(job_, path_);
  if (!file_) return false;
  position_ = SectorBytes(sector);
  if (file_->Seek(position_)) return true;
  ShowIoError(job_, "seek in", path_, file_->LastError());
  return false;
}

bool VolumeImageWriter::Append(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (!onLayer2_ && position_ == boundary_ && !SwitchToLayer2()) return false;
    uint64_t chunk = std::min<uint64_t>(size, buffer_.size() - buffered_);
    if (!onLayer2_) chunk = std::min(chunk, boundary_ - position_);
    if (data != nullptr) {
      std::memcpy(buffer_.data() + buffered_, data, chunk);
      data += chunk;
    } else {
      std::memset(buffer_.data() + buffered_, 0, chunk);
    }
    buffered_ += chunk;
    position_ += chunk;
    size -= chunk;
    if (buffered_ == buffer_.size() && !Flush()) return false;
  }
  return true;
}

bool VolumeImageWriter::AppendZeros(uint64_t size) {
  while (size > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, buffer_.size()));
    if (!Append(nullptr, chunk)) return false;
    size -= chunk;
  }
  return true;
}

bool VolumeImageWriter::Flush() {
  if (buffered_ == 0) return true;
  size_t count = buffered_;
  buffered_ = 0;
  if (file_->Write(buffer_.data(), count)) return true;
  ShowIoError(job_, "write to", path_, file_->LastError());
  return false;
}

bool VolumeImageWriter::Close() {
  if (!file_) return true;
  bool flushed = Flush();
  bool closed = flushed && CloseOutputFile(job_, *file_, path_);
  file_.reset();
  return closed;
}

bool VolumeImageWriter::SwitchToLayer2() {
  if (!Close()) return false;
  path_ = job_.imagePath3.empty() ? std::string() : UnfinishedImagePath(job_.imagePath3);
  onLayer2_ = true;
  if (!path_.empty() && CreateFileChecked(path_)) {
    file_ = platform::File::Open(path_, platform::File::Mode::kReadWrite);
    if (file_) return true;
  }
  ShowMessage(job_, Format("Can not create Layer 2 Disc Image file %s", path_.c_str()), kBuilderCaption);
  return false;
}

bool CopyFileData(Job& job) {
  CopyProgress progress(job, TotalFileBytes(job));
  VolumeImageWriter image(job, job.layerCapacity);
  if (!image.Open(job.fileDataStart)) return false;
  std::vector<uint8_t> block(kCopyBlockSize);
  for (const FileDataRecord& record : job.fileDataList) {
    progress.StartFile(LastPathComponent(record.path));
    if (record.sectorCount == 0) continue;
    // The records lie back to back; a gap the layout leaves reads as zeros.
    if (!image.AppendZeros(SectorBytes(record.startSector) - image.Position())) return false;
    if (!CopyRecord(job, record, image, block, progress)) return false;
  }
  uint64_t anchorSector = job.volumeSectors - 1;
  if (!image.AppendZeros(SectorBytes(anchorSector) - image.Position())) return false;
  Sector anchor{};
  BuildAnchorPointer(anchor.data(), static_cast<uint32_t>(anchorSector));
  if (!image.Append(anchor.data(), anchor.size())) return false;
  return image.Close();
}

}  // namespace pravel
