// A tape drive made of files: each cartridge is one AWS tape file, a run of
// blocks each led by a 6-byte header.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/tape_library.h"

namespace pravel::platform {
namespace {

// The AWS block header.
constexpr size_t kHeaderSize = 6;
constexpr size_t kThisLengthOffset = 0;      // 16-bit little-endian
constexpr size_t kPreviousLengthOffset = 2;  // 16-bit little-endian
constexpr size_t kFlagsOffset = 4;
constexpr size_t kReservedOffset = 5;
constexpr uint8_t kWholeDataBlock = 0xA0;    // first and last segment of a record
constexpr uint8_t kTapeMark = 0x40;
constexpr size_t kLongestBlock = 0xFFFF;

// Gathered bytes go to disk once this many are held; shorter blocks go at once.
constexpr size_t kGatherLimit = size_t{1} << 20;
constexpr size_t kShortBlock = 4096;

constexpr int kDriveIndex = 0;

void PutLe16(uint8_t* at, size_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

std::string CartridgeName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "TAPE%04d.AWS", number);
  return name;
}

class VirtualTapeLibrary final : public TapeLibrary {
 public:
  VirtualTapeLibrary(std::string folder, ConfirmOverwrite confirm)
      : folder_(std::move(folder)), confirm_(std::move(confirm)) {
    gathered_.reserve(kGatherLimit + kHeaderSize + kLongestBlock);
  }
  ~VirtualTapeLibrary() override { Flush(); }

  int GetDeviceType(int index) override {
    if (index != kDriveIndex || !IsDirectory(folder_)) return kNoDevice;
    return kSequentialAccessDevice;
  }

  int TestUnitReady(int index) override {
    if (index != kDriveIndex) return tape_status::kNotReady;
    return FolderWritable() ? tape_status::kGood : tape_status::kNotReady;
  }

  int Load(int index) override {
    if (index != kDriveIndex || !FolderWritable()) return tape_status::kNotReady;
    // The cartridge in the drive answers a failure once more before it goes.
    const int flushed = Flush();
    failure_ = tape_status::kGood;
    if (flushed != tape_status::kGood) return flushed;
    const int number = (number_ == 0 || written_) ? number_ + 1 : number_;
    if (number == number_ && cartridge_) return Rewind(index);
    return Mount(number);
  }

  int Rewind(int index) override {
    if (index != kDriveIndex || !cartridge_) return tape_status::kNoMedium;
    int status = Flush();
    if (written_ && !cartridge_->Sync()) status = tape_status::kWriteError;
    if (failure_ != tape_status::kGood) status = failure_;
    failure_ = tape_status::kGood;
    AtStart();
    return status;
  }

  int WriteVariableBlock(int index, const uint8_t* data, size_t length) override {
    if (index != kDriveIndex || !cartridge_) return tape_status::kNoMedium;
    if (length == 0 || length > kLongestBlock) return tape_status::kInvalidField;
    if (failure_ != tape_status::kGood) return failure_;
    if (!CutBehindPosition()) return Fail();
    AppendHeader(length, kWholeDataBlock);
    gathered_.insert(gathered_.end(), data, data + length);
    previousLength_ = length;
    if (length < kShortBlock || gathered_.size() >= kGatherLimit) return Flush();
    return tape_status::kGood;
  }

  int WriteFilemarks(int index, int count) override {
    if (index != kDriveIndex || !cartridge_) return tape_status::kNoMedium;
    if (failure_ != tape_status::kGood) return failure_;
    if (!CutBehindPosition()) return Fail();
    for (int i = 0; i < count; ++i) {
      AppendHeader(0, kTapeMark);
      previousLength_ = 0;
    }
    return Flush();
  }

  bool MountsNextCartridgeItself() const override { return true; }

  int Erase(int index, int /*longErase*/) override {
    if (index != kDriveIndex || !cartridge_) return tape_status::kNoMedium;
    gathered_.clear();
    failure_ = tape_status::kGood;
    AtStart();
    return cartridge_->SetLength(0) ? tape_status::kGood : tape_status::kWriteError;
  }

 private:
  bool FolderWritable() const { return IsDirectory(folder_) && ::access(folder_.c_str(), W_OK | X_OK) == 0; }

  int Mount(int number) {
    const std::string path = folder_ + "/" + CartridgeName(number);
    // A failed load leaves the drive empty.
    cartridge_.reset();
    const std::optional<uint64_t> length = FileLength(path);
    if (length.value_or(0) > 0 && !(confirm_ && confirm_(path))) return tape_status::kWriteProtected;
    cartridge_ = File::Open(path, File::Mode::kOverwrite);
    if (!cartridge_) return tape_status::kNotReady;
    number_ = number;
    written_ = false;
    failure_ = tape_status::kGood;
    AtStart();
    return tape_status::kGood;
  }

  void AtStart() {
    previousLength_ = 0;
    cutPending_ = true;
    fileEnd_ = 0;
  }

  // Writing ends the tape's data behind it: the first write after the tape
  // was positioned at its start cuts the file there.
  bool CutBehindPosition() {
    written_ = true;
    if (!cutPending_) return true;
    if (!cartridge_->SetLength(0) || !cartridge_->Seek(0)) return false;
    cutPending_ = false;
    return true;
  }

  void AppendHeader(size_t length, uint8_t flags) {
    uint8_t header[kHeaderSize] = {};
    PutLe16(header + kThisLengthOffset, length);
    PutLe16(header + kPreviousLengthOffset, previousLength_);
    header[kFlagsOffset] = flags;
    header[kReservedOffset] = 0;
    gathered_.insert(gathered_.end(), header, header + kHeaderSize);
  }

  // Writes the gathered bytes; a failure sticks until the tape is positioned again.
  int Flush() {
    if (gathered_.empty()) return failure_;
    const bool wrote = failure_ == tape_status::kGood && cartridge_->Write(gathered_.data(), gathered_.size());
    if (wrote) cartridge_->StartWriteBack(fileEnd_, gathered_.size());
    fileEnd_ += gathered_.size();
    gathered_.clear();
    return wrote ? failure_ : Fail();
  }

  int Fail() {
    gathered_.clear();
    failure_ = tape_status::kWriteError;
    return failure_;
  }

  std::string folder_;
  ConfirmOverwrite confirm_;
  std::optional<File> cartridge_;
  int number_ = 0;           // of the mounted cartridge; 0 before the first Load
  bool written_ = false;     // the mounted cartridge was written since it was loaded
  bool cutPending_ = true;   // positioned at the start, nothing written since
  size_t previousLength_ = 0;
  uint64_t fileEnd_ = 0;     // bytes handed to the file since the start
  int failure_ = tape_status::kGood;
  std::vector<uint8_t> gathered_;
};

}  // namespace

std::unique_ptr<TapeLibrary> MakeVirtualTapeLibrary(const std::string& folder, ConfirmOverwrite confirm) {
  return std::make_unique<VirtualTapeLibrary>(folder, std::move(confirm));
}

}  // namespace pravel::platform
