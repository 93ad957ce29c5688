#include "output/file_data_copy.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "job/runtime.h"
#include "iso/sector_writer.h"
#include "output/copy_progress.h"
#include "output/output_files.h"
#include "output/source_reader.h"
#include "udf/anchor.h"

namespace pravel {
namespace {


constexpr char kBuilderCaption[] = "Disc Image Builder Error!";

uint64_t SectorBytes(uint64_t sectors) { return sectors * kSectorSize; }

bool RefuseSource(Job& job, const std::string& path, const std::string& reason) {
  ShowMessage(job, Format("Can not copy %s into the disc image: %s.", path.c_str(), reason.c_str()), kBuilderCaption);
  return false;
}

// Copies the record's bytes, as the reader gives them, and fills the rest of
// its sectors with zeros.
bool CopyRecord(Job& job, size_t index, VolumeSink& image, SourceReader& reader, CopyProgress& progress) {
  const FileDataRecord& record = job.fileDataList[index];
  for (;;) {
    SourceReader::Piece piece = reader.Next();
    if (!piece.failure.empty()) return RefuseSource(job, record.path, piece.failure);
    if (piece.record != index) return RefuseSource(job, record.path, "its bytes were read out of order");
    if (piece.size > 0 && (StopRequestedByOperator(job) || !image.Append(piece.data, piece.size))) return false;
    progress.Advance(piece.size);
    if (piece.last) break;
  }
  return image.AppendZeros(SectorBytes(record.sectorCount) - record.byteLength);
}

// Zeros from the sink's position up to `sector`; a sector behind what is
// written already is an internal error, never an overlap.
bool AppendZerosUpTo(Job& job, VolumeSink& sink, uint64_t sector, const std::string& what) {
  const uint64_t target = SectorBytes(sector);
  if (sink.Position() <= target) return sink.AppendZeros(target - sink.Position());
  ShowMessage(job,
              Format("Internal error: %s belongs at sector %llu, but the volume is written up to byte %llu already.",
                     what.c_str(), static_cast<unsigned long long>(sector),
                     static_cast<unsigned long long>(sink.Position())),
              "Internal error!");
  return false;
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
    : job_(job),
      boundary_(SectorBytes(layerCapacitySectors)),
      blocks_{platform::AlignedBuffer(kCopyBlockSize), platform::AlignedBuffer(kCopyBlockSize)} {}

bool VolumeImageWriter::Open(uint64_t sector) {
  path_ = UnfinishedImagePath(job_.imagePath2);
  file_ = OpenOutputFile(job_, path_);
  if (!file_) return false;
  // Written once and read by nobody in this run: the cache would only be
  // filled with it. The data, the layer boundary and the volume's end all lie
  // on multiples of 16 sectors, so every write is aligned for the disk.
  file_->WriteAroundCache();
  position_ = SectorBytes(sector);
  if (file_->Seek(position_)) return true;
  ShowIoError(job_, "seek in", path_, file_->LastError());
  return false;
}

bool VolumeImageWriter::Append(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (!onLayer2_ && position_ == boundary_ && !SwitchToLayer2()) return false;
    platform::AlignedBuffer& block = blocks_[gathering_];
    uint64_t chunk = std::min<uint64_t>(size, block.size() - buffered_);
    if (!onLayer2_) chunk = std::min(chunk, boundary_ - position_);
    if (data != nullptr) {
      std::memcpy(block.data() + buffered_, data, chunk);
      data += chunk;
    } else {
      std::memset(block.data() + buffered_, 0, chunk);
    }
    buffered_ += chunk;
    position_ += chunk;
    size -= chunk;
    if (buffered_ == block.size() && !Flush()) return false;
  }
  return true;
}

bool VolumeSink::AppendZeros(uint64_t size) {
  while (size > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, kCopyBlockSize));
    if (!Append(nullptr, chunk)) return false;
    size -= chunk;
  }
  return true;
}

bool VolumeImageWriter::Flush() {
  if (buffered_ == 0) return true;
  if (!FinishWriting()) return false;
  platform::File* file = &*file_;
  const uint8_t* block = blocks_[gathering_].data();
  const size_t count = buffered_;
  const uint64_t end = onLayer2_ ? position_ - boundary_ : position_;
  gathering_ = 1 - gathering_;
  buffered_ = 0;
  auto write = [file, block, count, end] {
    if (!file->Write(block, count)) return false;
    // Where the cache holds the image, its sectors start for the disk now,
    // so that closing it leaves little to wait for.
    file->StartWriteBack(end - count, count);
    return true;
  };
  try {
    writing_ = std::async(std::launch::async, write);
  } catch (const std::system_error&) {
    // Without a second thread the block is written when it is waited for.
    writing_ = std::async(std::launch::deferred, write);
  }
  return true;
}

bool VolumeImageWriter::FinishWriting() {
  if (!writing_.valid() || writing_.get()) return true;
  ShowIoError(job_, "write to", path_, file_->LastError());
  return false;
}

bool VolumeImageWriter::Close() {
  if (!file_) return true;
  const bool written = Flush() && FinishWriting();
  const bool closed = written && CloseFinishedOutputFile(job_, *file_, path_);
  file_.reset();
  return closed;
}

bool VolumeImageWriter::SwitchToLayer2() {
  if (!Close()) return false;
  path_ = job_.imagePath3.empty() ? std::string() : UnfinishedImagePath(job_.imagePath3);
  onLayer2_ = true;
  if (!path_.empty() && CreateFileChecked(path_)) {
    file_ = platform::File::Open(path_, platform::File::Mode::kReadWrite);
    if (file_) {
      file_->WriteAroundCache();
      return true;
    }
  }
  ShowMessage(job_, Format("Can not create Layer 2 Disc Image file %s", path_.c_str()), kBuilderCaption);
  return false;
}

bool AppendFileDataAndAnchor(Job& job, VolumeSink& sink) {
  CopyProgress progress(job, TotalFileBytes(job));
  SourceReader reader(job.fileDataList);
  for (size_t i = 0; i < job.fileDataList.size(); ++i) {
    const FileDataRecord& record = job.fileDataList[i];
    progress.StartFile(LastPathComponent(record.path));
    if (record.sectorCount == 0) continue;
    // The records lie back to back; a gap the layout leaves reads as zeros.
    if (!AppendZerosUpTo(job, sink, record.startSector, "the data of " + record.path)) return false;
    if (!CopyRecord(job, i, sink, reader, progress)) return false;
  }
  uint64_t anchorSector = job.volumeSectors - 1;
  if (!AppendZerosUpTo(job, sink, anchorSector, "the closing anchor")) return false;
  Sector anchor{};
  BuildAnchorPointer(anchor.data(), static_cast<uint32_t>(anchorSector));
  return sink.Append(anchor.data(), anchor.size());
}

bool CopyFileData(Job& job) {
  VolumeImageWriter image(job, job.layerCapacity);
  if (!image.Open(job.fileDataStart)) return false;
  return AppendFileDataAndAnchor(job, image) && image.Close();
}

}  // namespace pravel
