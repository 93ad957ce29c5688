#include "iso/sector_writer.h"

#include <cstring>

#include "job/runtime.h"
#include "platform/interrupt.h"

namespace pravel {

namespace {
constexpr char kBuilderCaption[] = "Disc Image Builder Error!";
constexpr uint64_t kWriteBackSectors = 2048;  // 4 MiB
// Sectors written once that stay cached behind the newest: 8 MiB.
constexpr uint64_t kWrittenOnceCachedSectors = 4096;
}  // namespace

void ShowIoError(Job& job, const std::string& action, const std::string& path, const std::string& reason) {
  ShowMessage(job, "Can not " + action + " " + path + ": " + reason, "Fatal IO error!");
}

SectorWriter::SectorWriter(Job& job, platform::File& file, std::string path)
    : job_(job), file_(file), path_(std::move(path)), blockBuffer_(kBlockSize) {}

bool SectorWriter::Fail(const char* action) {
  ShowIoError(job_, action, path_, file_.LastError());
  return false;
}

bool SectorWriter::AppendImageSector(const uint8_t* sector) {
  std::memcpy(blockBuffer_.data() + bufferedSectors_ * kSectorSize, sector, kSectorSize);
  ++bufferedSectors_;
  ++nextSector_;
  if (bufferedSectors_ == kBlockSectors) return FlushImageSectors();
  return true;
}

bool SectorWriter::AppendZeroSectors(uint64_t count) {
  static const Sector kZero{};
  for (uint64_t i = 0; i < count; ++i) {
    if (!AppendImageSector(kZero.data())) return false;
  }
  return true;
}

bool SectorWriter::FlushImageSectors() {
  if (bufferedSectors_ == 0) return true;
  uint32_t count = bufferedSectors_;
  bufferedSectors_ = 0;
  if (!file_.Write(blockBuffer_.data(), static_cast<size_t>(count) * kSectorSize)) return Fail("write to");
  StartWriteBackOfAppended(false);
  return true;
}

// The sectors are appended front to back, most of them never touched again:
// each stretch of them can go to disk while the next is built, so that little
// is left to write back when the run ends.
void SectorWriter::StartWriteBackOfAppended(bool whole) {
  if (nextSector_ <= writeBackFrom_) return;
  const uint64_t count = nextSector_ - writeBackFrom_;
  if (!whole && count < kWriteBackSectors) return;
  file_.StartWriteBack(writeBackFrom_ * kSectorSize, count * kSectorSize);
  writeBackFrom_ = nextSector_;
}

bool SectorWriter::SeekSector(uint64_t sector) {
  if (!FlushImageSectors()) return false;
  StartWriteBackOfAppended(true);
  if (!file_.Seek(sector * kSectorSize)) return Fail("seek in");
  nextSector_ = sector;
  writeBackFrom_ = sector;
  return true;
}

bool SectorWriter::WriteSectorsAt(uint64_t sector, const uint8_t* data, size_t sectorCount) {
  uint64_t resume = nextSector_;
  if (!SeekSector(sector)) return false;
  if (!file_.Write(data, sectorCount * kSectorSize)) return Fail("write to");
  if (!file_.Seek(resume * kSectorSize)) return Fail("seek in");
  nextSector_ = resume;
  writeBackFrom_ = resume;
  return true;
}

// Fresh cache memory can cost more to fill than the disk takes to write it:
// memory handed back right behind the writing is reused instead.
bool SectorWriter::WriteSectorsOnceAt(uint64_t sector, const uint8_t* data, size_t sectorCount) {
  if (!WriteSectorsAt(sector, data, sectorCount)) return false;
  file_.StartWriteBack(sector * kSectorSize, sectorCount * kSectorSize);
  writtenOnce_.push_back(Stretch{sector, sectorCount});
  writtenOnceSectors_ += sectorCount;
  while (writtenOnceSectors_ > kWrittenOnceCachedSectors) {
    const Stretch oldest = writtenOnce_.front();
    writtenOnce_.pop_front();
    writtenOnceSectors_ -= oldest.count;
    if (!file_.ReleaseWritten(oldest.first * kSectorSize, oldest.count * kSectorSize)) return Fail("write to");
  }
  return true;
}

bool SectorWriter::WriteIntoExtent(uint64_t firstSector, uint64_t extentSectors, const uint8_t* data,
                                   size_t byteCount) {
  const uint64_t extentBytes = extentSectors * kSectorSize;
  if (byteCount > extentBytes) {
    ShowMessage(job_,
                Format("Internal error: %llu bytes do not fit the %llu sectors from sector %llu of %s; nothing was "
                       "written there.",
                       static_cast<unsigned long long>(byteCount), static_cast<unsigned long long>(extentSectors),
                       static_cast<unsigned long long>(firstSector), path_.c_str()),
                kBuilderCaption);
    return false;
  }
  std::vector<uint8_t> extent(extentBytes, 0);
  if (byteCount > 0) std::memcpy(extent.data(), data, byteCount);
  return WriteSectorsAt(firstSector, extent.data(), extentSectors);
}

namespace {

std::string CreateFailureReason(const std::string& path) {
  if (!IsCreatablePath(path)) return "the path holds characters a created file may not have";
  return platform::LastErrorText();
}

}  // namespace

// Creates a temporary file, or rewrites one in place, holding exactly `data`.
// The file is opened once and never cut to nothing first: the builder rewrites
// each directory file with a body of the same length.
bool WriteTemporaryFile(Job& job, const std::string& path, const uint8_t* data, size_t size) {
  std::optional<platform::File> file;
  if (IsCreatablePath(path)) file = platform::OpenUninterrupted(path, platform::File::Mode::kOverwrite);
  if (!file) {
    ShowIoError(job, "create", path, CreateFailureReason(path));
    return false;
  }
  if (!file->Write(data, size) || !file->SetLength(size)) {
    ShowIoError(job, "write to", path, file->LastError());
    return false;
  }
  if (!file->Close()) {
    ShowIoError(job, "close", path, file->LastError());
    return false;
  }
  return true;
}

}  // namespace pravel
