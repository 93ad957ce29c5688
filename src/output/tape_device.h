// The device side of tape output: finding the drive, waiting for it, and the
// tape half of the 16-sector block buffer, which sends every 16 sectors to
// the drive as one 32,768-byte block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "job/job.h"
#include "platform/tape_library.h"

namespace pravel {

inline constexpr int kTapeDeviceIndices = 16;
inline constexpr int kNoTapeDevice = -1;
inline constexpr size_t kTapeBlockSectors = 16;
inline constexpr size_t kTapeBlockBytes = 32768;
inline constexpr uint64_t kReadyPollMilliseconds = 250;
inline constexpr uint64_t kReadyWaitMilliseconds = 10 * 60 * 1000;      // a load or rewind
inline constexpr uint64_t kEraseWaitMilliseconds = 6 * 60 * 60 * 1000;  // a long erase

// The lowest index from 0 to 15 with a sequential-access device, or kNoTapeDevice.
int FindTapeDevice(platform::TapeLibrary& tape);

// Polls the drive (job.tapeDevice) until it is ready, every 250 ms for at
// most `limit` ms; false, without a message, when it never was.
bool PollUntilReady(Job& job, uint64_t limitMilliseconds);
// PollUntilReady with the default limit of a load or rewind. False after "Tape drive did not become ready within %d
// minutes.".
bool WaitUntilReady(Job& job, uint64_t limitMilliseconds = kReadyWaitMilliseconds);
// Rewinds and waits; true when the drive became ready.
bool RewindAndWait(Job& job);
// The rewind that ends a written tape: a drive that reports a failure (a
// virtual one that could not put the tape on disk) fails it, with the sense
// message and "Tape error rewinding tape.".
bool RewindWrittenTape(Job& job);
// Loads and waits. Load failures and time-outs are told apart for the caller.
enum class LoadResult { kReady, kLoadFailed, kNotReady };
LoadResult LoadAndWait(Job& job);

// Writes one block; on a nonzero status shows the sense message. True when
// the block was written.
bool WriteTapeRecord(Job& job, const uint8_t* data, size_t length);
// Writes one filemark; a failure shows the sense message and "Tape error
// writing filemark.".
bool WriteTapeFilemark(Job& job);

// Gathers sectors into 32,768-byte tape blocks.
class TapeBlockWriter {
 public:
  explicit TapeBlockWriter(Job& job) : job_(job) {}
  // Copies one 2048-byte sector into the buffer; a full buffer goes to tape.
  bool AppendSectorToTape(const uint8_t* sector);
  // Writes the 16 buffered sectors as one block ("Tape write error." when
  // the drive refuses it). Any other count is an internal error.
  bool WriteTapeBlock();
  uint16_t BufferedSectors() const { return bufferedSectors_; }

 private:
  Job& job_;
  std::array<uint8_t, kTapeBlockBytes> buffer_{};
  uint16_t bufferedSectors_ = 0;
};

}  // namespace pravel
