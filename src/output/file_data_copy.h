// The file data of image-file output: every file's content is copied behind
// the metadata image, volume sector s going to LAYER01.IMG below
// layerCapacity and to LAYER02.IMG at byte (s - layerCapacity) * 2048 from
// there on, and the volume is closed with an anchor at volumeSectors - 1.
#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "job/job.h"
#include "platform/files.h"

namespace pravel {

// Bytes moved per read and per image write.
inline constexpr size_t kCopyBlockSize = 4 << 20;

// Where the volume's bytes go, front to back: the layer images or the tape.
class VolumeSink {
 public:
  virtual ~VolumeSink() = default;
  // Appends `size` bytes; `data` nullptr appends zeros. False after a message.
  virtual bool Append(const uint8_t* data, size_t size) = 0;
  // The volume byte the next append goes to.
  virtual uint64_t Position() const = 0;
  bool AppendZeros(uint64_t size);
};

// Writes the volume sequentially from some sector on, splitting it over the
// two layer images at the layer boundary. The layer images are written past
// the system's cache where the file system allows it, one block behind: a
// second thread writes the last block while the next is gathered.
class VolumeImageWriter final : public VolumeSink {
 public:
  VolumeImageWriter(Job& job, uint64_t layerCapacitySectors);
  // Opens LAYER01.IMG and positions it at `sector` (below the boundary).
  bool Open(uint64_t sector);
  bool Append(const uint8_t* data, size_t size) override;
  // Writes what is held and closes the image being written.
  bool Close();
  uint64_t Position() const override { return position_; }

 private:
  // Hands the gathered block to the writing thread, once the block before
  // it is written.
  bool Flush();
  // Waits for the block being written; false after a message when it failed.
  bool FinishWriting();
  bool SwitchToLayer2();

  Job& job_;
  uint64_t boundary_;
  std::string path_;
  std::optional<platform::File> file_;
  platform::AlignedBuffer blocks_[2];
  int gathering_ = 0;  // the block that Append fills; the other may be in writing
  size_t buffered_ = 0;
  uint64_t position_ = 0;
  bool onLayer2_ = false;
  // Declared last: destroyed first, it waits for its block, which still
  // needs the file and the buffers.
  std::future<bool> writing_;
};

// Appends the file data of the sorted list, each file at its start sector
// (zeros fill a gap), then zeros up to the closing anchor and the anchor.
// The sink stands at fileDataStart. Before each block of file data it asks
// whether the operator stopped the run. False after a message.
bool AppendFileDataAndAnchor(Job& job, VolumeSink& sink);

// Copies the file data of the sorted list into the layer images and closes
// the volume with its anchor. False after a message.
bool CopyFileData(Job& job);

}  // namespace pravel
