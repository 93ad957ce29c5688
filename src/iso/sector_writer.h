// The image's sector writer: sectors are appended through a block buffer of
// 16 sectors and go to the file 32,768 bytes at a time; sectors already in
// the image are rewritten in place. Every failure is reported once, naming
// the file and the system's reason, caption "Fatal IO error!".
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "job/job.h"
#include "platform/files.h"

namespace pravel {

inline constexpr uint32_t kSectorSize = 2048;
inline constexpr uint32_t kBlockSectors = 16;
inline constexpr uint32_t kBlockSize = kSectorSize * kBlockSectors;

using Sector = std::array<uint8_t, kSectorSize>;

class SectorWriter {
 public:
  SectorWriter(Job& job, platform::File& file, std::string path);

  // Appends one sector at the file's current end of writing.
  bool AppendImageSector(const uint8_t* sector);
  bool AppendZeroSectors(uint64_t count);
  // Writes the sectors held and empties the buffer.
  bool FlushImageSectors();
  // Flushes, then rewrites one or more whole sectors at `sector`.
  bool WriteSectorsAt(uint64_t sector, const uint8_t* data, size_t sectorCount);
  // The same for sectors that nothing reads or rewrites in this run (most of
  // the UDF File Entries): they start for the disk at once, and when a few
  // megabytes more have followed them, the memory that cached them is freed.
  bool WriteSectorsOnceAt(uint64_t sector, const uint8_t* data, size_t sectorCount);
  // Flushes, then writes `byteCount` bytes at the start of the extent of
  // `extentSectors` sectors at `firstSector` and zero-fills the rest of it.
  // Data larger than its extent would overwrite a neighbour: that is refused
  // as an internal error and nothing is written.
  bool WriteIntoExtent(uint64_t firstSector, uint64_t extentSectors, const uint8_t* data, size_t byteCount);
  // The sector number the next appended sector will have.
  uint64_t NextSector() const { return nextSector_; }
  // Positions the writer (after a flush) so that the next append goes to `sector`.
  bool SeekSector(uint64_t sector);
  uint32_t BufferedSectors() const { return bufferedSectors_; }
  const std::string& Path() const { return path_; }

 private:
  bool Fail(const char* action);
  void StartWriteBackOfAppended(bool whole);

  Job& job_;
  platform::File& file_;
  std::string path_;
  std::vector<uint8_t> blockBuffer_;
  uint32_t bufferedSectors_ = 0;
  uint64_t nextSector_ = 0;
  uint64_t writeBackFrom_ = 0;  // the first appended sector not yet handed to write-back
  // Stretches written once that the cache still holds, oldest first.
  struct Stretch {
    uint64_t first;
    uint64_t count;
  };
  std::deque<Stretch> writtenOnce_;
  uint64_t writtenOnceSectors_ = 0;
};

// Reports an I/O failure of a file with the system's reason: "Fatal IO error!".
void ShowIoError(Job& job, const std::string& action, const std::string& path, const std::string& reason);

// Creates (or truncates) a temporary file and writes `size` bytes into it;
// every step checked, a failure reported as above.
bool WriteTemporaryFile(Job& job, const std::string& path, const uint8_t* data, size_t size);

}  // namespace pravel
