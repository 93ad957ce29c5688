#include "output/tape_device.h"

#include <cstring>

#include "iso/sector_writer.h"
#include "job/runtime.h"
#include "output/sense_messages.h"
#include "platform/clock.h"

namespace pravel {

namespace {

constexpr char kCorrectAndRetry[] = "Correct condition and retry operation!";

platform::TapeLibrary& Tape(Job& job) { return *job.tapeLibrary; }

}  // namespace

int FindTapeDevice(platform::TapeLibrary& tape) {
  for (int index = 0; index < kTapeDeviceIndices; ++index) {
    if (tape.GetDeviceType(index) == platform::kSequentialAccessDevice) return index;
  }
  return kNoTapeDevice;
}

bool PollUntilReady(Job& job, uint64_t limitMilliseconds) {
  platform::Clock& clock = *job.clock;
  const uint64_t start = clock.ElapsedMilliseconds();
  for (;;) {
    if (Tape(job).TestUnitReady(job.tapeDevice) == platform::tape_status::kGood) return true;
    if (clock.ElapsedMilliseconds() - start >= limitMilliseconds) return false;
    clock.Sleep(kReadyPollMilliseconds);
  }
}

bool WaitUntilReady(Job& job, uint64_t limitMilliseconds) {
  if (PollUntilReady(job, limitMilliseconds)) return true;
  const auto minutes = static_cast<int>(limitMilliseconds / 60000);
  ShowMessage(job, Format("Tape drive did not become ready within %d minutes.", minutes), "SCSI Bus/Device Error!");
  return false;
}

bool RewindAndWait(Job& job) {
  // The rewind's own result tells nothing: readiness afterwards does.
  Tape(job).Rewind(job.tapeDevice);
  return WaitUntilReady(job);
}

bool RewindWrittenTape(Job& job) {
  const int status = Tape(job).Rewind(job.tapeDevice);
  if (status != platform::tape_status::kGood) {
    ShowSenseMessage(job, status);
    ShowMessage(job, "Tape error rewinding tape.", kCorrectAndRetry);
    return false;
  }
  return WaitUntilReady(job);
}

LoadResult LoadAndWait(Job& job) {
  if (Tape(job).Load(job.tapeDevice) != platform::tape_status::kGood) return LoadResult::kLoadFailed;
  return RewindAndWait(job) ? LoadResult::kReady : LoadResult::kNotReady;
}

bool WriteTapeRecord(Job& job, const uint8_t* data, size_t length) {
  const int status = Tape(job).WriteVariableBlock(job.tapeDevice, data, length);
  if (status == platform::tape_status::kGood) return true;
  ShowSenseMessage(job, status);
  return false;
}

bool WriteTapeFilemark(Job& job) {
  const int status = Tape(job).WriteFilemarks(job.tapeDevice, 1);
  if (status == platform::tape_status::kGood) return true;
  ShowSenseMessage(job, status);
  ShowMessage(job, "Tape error writing filemark.", kCorrectAndRetry);
  return false;
}

bool TapeBlockWriter::AppendSectorToTape(const uint8_t* sector) {
  std::memcpy(buffer_.data() + size_t{bufferedSectors_} * kSectorSize, sector, kSectorSize);
  ++bufferedSectors_;
  return bufferedSectors_ < kTapeBlockSectors || WriteTapeBlock();
}

bool TapeBlockWriter::WriteTapeBlock() {
  if (bufferedSectors_ != kTapeBlockSectors) {
    ShowMessage(job_, Format("Illegal tape block size of %d", bufferedSectors_), "Internal error!");
    return false;
  }
  bufferedSectors_ = 0;
  if (WriteTapeRecord(job_, buffer_.data(), buffer_.size())) return true;
  ShowMessage(job_, "Tape write error.", "Fatal IO error!");
  return false;
}

}  // namespace pravel
