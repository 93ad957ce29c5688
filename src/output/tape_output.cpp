#include "output/tape_output.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "config/install_config.h"
#include "config/tape_config.h"
#include "iso/sector_writer.h"
#include "job/runtime.h"
#include "output/control_data.h"
#include "output/ddp_description.h"
#include "output/ddp_folder.h"
#include "output/file_data_copy.h"
#include "output/output_files.h"
#include "output/tape_device.h"
#include "output/sense_messages.h"
#include "output/tape_labels.h"

namespace pravel {

namespace {

constexpr char kVolumeIdentifier[] = "ORVELT";
constexpr char kCorrectAndRetry[] = "Correct condition and retry operation!";
constexpr char kInternalError[] = "Internal error!";
constexpr uint32_t kLabelFileSequence = 1;    // DDPID
constexpr uint32_t kControlFileSequence = 2;  // CONTROL.DAT
constexpr uint32_t kLayerFileSequence = 3;    // LAYER0.DAT, and LAYER1.DAT on the layer-2 tape
constexpr uint32_t kDescriptionRecordLength = 128;
constexpr uint32_t kDataRecordLength = kSectorSize;
constexpr int kNotReadyQuestions = 10;
constexpr uint64_t kNotReadyPollMilliseconds = 10 * 1000;

// --- labels ---------------------------------------------------------------

bool WriteLabel(Job& job, const std::optional<TapeLabel>& label, const char* name) {
  if (!label) {
    ShowMessage(job, Format("Internal error: a number does not fit the %s label.", name), kInternalError);
    return false;
  }
  if (WriteTapeRecord(job, label->data(), label->size())) return true;
  ShowMessage(job, Format("Tape error writing %s block.", name), kCorrectAndRetry);
  return false;
}

bool WriteHeaders(Job& job, const TapeFileFacts& file) {
  return WriteLabel(job, FileLabel1(file, false), "Hdr1") && WriteLabel(job, FileLabel2(file, false), "Hdr2");
}

bool WriteVolumeAndHeaders(Job& job, const TapeFileFacts& file) {
  return WriteLabel(job, VolumeLabel(kVolumeIdentifier), "Vol1") && WriteHeaders(job, file);
}

bool WriteEndLabels(Job& job, const TapeFileFacts& file) {
  return WriteLabel(job, FileLabel1(file, true), "Eof1") && WriteLabel(job, FileLabel2(file, true), "Eof2");
}

// The description, the control data and the metadata image.
bool WriteHeaderData(Job& job, const uint8_t* data, size_t length) {
  if (WriteTapeRecord(job, data, length)) return true;
  ShowMessage(job, "Tape error writing ANSI headers.", kCorrectAndRetry);
  return false;
}

// A tape file holding one block: headers, mark, the block, mark, end labels, mark.
bool WriteOneBlockFile(Job& job, const TapeFileFacts& head, const std::vector<uint8_t>& block, bool withVolume) {
  TapeFileFacts end = head;
  end.blockLength = static_cast<uint32_t>(block.size());
  return (withVolume ? WriteVolumeAndHeaders(job, head) : WriteHeaders(job, head)) && WriteTapeFilemark(job) &&
         WriteHeaderData(job, block.data(), block.size()) && WriteTapeFilemark(job) && WriteEndLabels(job, end) &&
         WriteTapeFilemark(job);
}

// --- the volume on tape -------------------------------------------------------

// Appends the volume's bytes to tape, sector by sector, through the block
// buffer. Before the first sector of layer 2 the layer-1 tape is finished and
// the layer-2 tape started.
class TapeVolumeWriter final : public VolumeSink {
 public:
  TapeVolumeWriter(Job& job, TapeBlockWriter& blocks, std::function<bool()> atLayerBoundary)
      : job_(job), blocks_(blocks), atLayerBoundary_(std::move(atLayerBoundary)) {}

  bool Append(const uint8_t* data, size_t size) override {
    while (size > 0) {
      if (pendingBytes_ == 0 && data != nullptr && size >= kSectorSize) {
        if (!PutSector(data)) return false;
        data += kSectorSize;
        size -= kSectorSize;
        continue;
      }
      const size_t chunk = std::min<size_t>(size, kSectorSize - pendingBytes_);
      if (data != nullptr) {
        std::memcpy(pending_.data() + pendingBytes_, data, chunk);
        data += chunk;
      } else {
        std::memset(pending_.data() + pendingBytes_, 0, chunk);
      }
      pendingBytes_ += chunk;
      size -= chunk;
      if (pendingBytes_ == kSectorSize) {
        pendingBytes_ = 0;
        if (!PutSector(pending_.data())) return false;
      }
    }
    return true;
  }

  uint64_t Position() const override { return uint64_t{sectors_} * kSectorSize + pendingBytes_; }

 private:
  bool PutSector(const uint8_t* sector) {
    if (job_.dualLayer && !swapped_ && sectors_ == job_.layerCapacity) {
      swapped_ = true;
      if (!atLayerBoundary_()) return false;
    }
    if (!blocks_.AppendSectorToTape(sector)) return false;
    job_.currentSector = ++sectors_;
    return true;
  }

  Job& job_;
  TapeBlockWriter& blocks_;
  std::function<bool()> atLayerBoundary_;
  Sector pending_{};
  size_t pendingBytes_ = 0;
  uint32_t sectors_ = 0;
  bool swapped_ = false;
};

// --- one copy ---------------------------------------------------------------

class TapeCopy {
 public:
  TapeCopy(Job& job, const std::vector<uint8_t>& controlData, uint64_t titleBlocks)
      : job_(job), controlData_(controlData), titleBlocks_(titleBlocks), blocks_(job) {}

  bool Write() {
    if (!StartFirstTape()) return false;
    TapeVolumeWriter volume(job_, blocks_, [this] { return FinishTape() && StartLayer2Tape(); });
    return AppendMetadata(volume) && AppendFileDataAndAnchor(job_, volume) && FinishTape();
  }

 private:
  TapeFileFacts LayerFile(const char* name) const {
    return {name, kLayerFileSequence, titleBlocks_, kTapeBlockBytes, kDataRecordLength};
  }

  bool StartFirstTape() {
    std::vector<uint8_t> description;
    if (!BuildDdpDescription(job_, 0, description) || !PrepareTapeDrive(job_)) return false;
    ShowStatus(job_, "Writing ANSI headers, DDP 2.0 and Control image now");
    const TapeFileFacts ddp{"DDPID", kLabelFileSequence, 1, kDescriptionRecordLength, kDescriptionRecordLength};
    const TapeFileFacts control{"CONTROL.DAT", kControlFileSequence, 1, kTapeBlockBytes, kDataRecordLength};
    return WriteOneBlockFile(job_, ddp, description, true) && WriteOneBlockFile(job_, control, controlData_, false) &&
           WriteHeaders(job_, LayerFile("LAYER0.DAT")) && WriteTapeFilemark(job_);
  }

  // The metadata image, read from LAYER01.IMG as it stands.
  bool AppendMetadata(TapeVolumeWriter& volume) {
    const std::string path = UnfinishedImagePath(job_.imagePath2);
    auto file = platform::File::Open(path, platform::File::Mode::kRead);
    if (!file) {
      ShowIoError(job_, "open", path, platform::LastErrorText());
      return false;
    }
    std::vector<uint8_t> piece(kCopyBlockSize);
    uint64_t left = uint64_t{job_.fileDataStart} * kSectorSize;
    while (left > 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(left, piece.size()));
      std::optional<size_t> got = file->Read(piece.data(), want);
      if (!got || *got != want) {
        ShowIoError(job_, "read", path, got ? "it ended early" : file->LastError());
        return false;
      }
      if (!volume.Append(piece.data(), want)) return false;
      left -= want;
    }
    return true;
  }

  // The last block, the end labels and the closing marks, then a rewind.
  bool FinishTape() {
    if (blocks_.BufferedSectors() == kTapeBlockSectors && !blocks_.WriteTapeBlock()) return false;
    if (blocks_.BufferedSectors() != 0) {
      // The sectors held never reached the tape: the tape is not good.
      ShowMessage(job_, "Odd sized disc image wirtten", kInternalError);
      return false;
    }
    const std::string resume = job_.statusText;
    if (!WriteTapeFilemark(job_) || !WriteEndLabels(job_, LayerFile(layer2_ ? "LAYER1.DAT" : "LAYER0.DAT")) ||
        !WriteTapeFilemark(job_) || !WriteTapeFilemark(job_))
      return false;
    ShowStatus(job_, "Rewinding tape.");
    if (!RewindWrittenTape(job_)) return false;
    ShowStatus(job_, resume);
    return true;
  }

  bool StartLayer2Tape() {
    layer2_ = true;
    if (!WaitForOperator(job_, "Remove and mark the Layer 1 tape. Mount a new blank tape for Layer 2.",
                         "Select OK when ready!")) {
      ShowMessage(job_, "Nobody confirmed that the Layer 2 tape was mounted.", "Operations error!");
      return false;
    }
    if (!WriteLayer2ControlImage(job_, job_.currentSector)) return false;
    std::vector<uint8_t> description;
    if (!BuildDdpDescription(job_, 1, description) || !PrepareTapeDrive(job_)) return false;
    const TapeFileFacts ddp{"DDPID", kLabelFileSequence, 1, kDescriptionRecordLength, kDescriptionRecordLength};
    return WriteOneBlockFile(job_, ddp, description, true) && WriteHeaders(job_, LayerFile("LAYER1.DAT")) &&
           WriteTapeFilemark(job_);
  }

  Job& job_;
  const std::vector<uint8_t>& controlData_;
  uint64_t titleBlocks_;
  TapeBlockWriter blocks_;
  bool layer2_ = false;
};

// The first layer's control data, read once: the layer-2 swap rewrites
// CONTROL.IMG, and every copy's first tape carries the first layer's.
std::optional<std::vector<uint8_t>> ReadControlData(Job& job) {
  const std::string path = UnfinishedImagePath(job.imagePath1);
  auto file = platform::File::Open(path, platform::File::Mode::kRead);
  std::vector<uint8_t> data(kTapeBlockBytes);
  std::optional<size_t> got;
  if (file) got = file->Read(data.data(), data.size());
  if (got && *got == data.size()) return data;
  ShowIoError(job, "read", path, file ? (got ? "it is shorter than 32,768 bytes" : file->LastError())
                                      : platform::LastErrorText());
  return std::nullopt;
}

// The whole title's block count, written on every tape: LAYER01.IMG must
// hold whole blocks.
std::optional<uint64_t> TitleBlocks(Job& job) {
  std::optional<uint64_t> length = platform::FileLength(UnfinishedImagePath(job.imagePath2));
  if (!length || *length % kTapeBlockBytes != 0) {
    ShowMessage(job, "Internal error caused illegal disc image format!", "Report error code 0101");
    return std::nullopt;
  }
  return job.volumeSectors / kTapeBlockSectors;
}

enum class NextCopy { kNone, kWanted, kNotMounted };

NextCopy AskForAnotherCopy(Job& job, int copiesMade) {
  static const char kText[] =
      "You can make another tape copy of this title. To do so mount the next blank tape and select Yes.";
  static const char kCaption[] = "Make another copy?";
  if (job.tapeCopies <= 0) return AskYesNo(job, kText, kCaption) ? NextCopy::kWanted : NextCopy::kNone;
  const bool yes = copiesMade < job.tapeCopies;
  ShowAnsweredQuestion(job, kText, kCaption, yes);
  if (!yes) return NextCopy::kNone;
  if (job.tapeLibrary->MountsNextCartridgeItself()) return NextCopy::kWanted;
  // The command line answered for the operator, who still has to change the tape.
  if (WaitForOperator(job, "Mount the next blank tape for the next copy.", "Select OK when ready!"))
    return NextCopy::kWanted;
  ShowMessage(job, "Nobody confirmed that the next blank tape was mounted.", "Operations error!");
  return NextCopy::kNotMounted;
}

// The DDP set goes to files when a folder was given, else to the
// installation's tape library.
bool EnsureTapeLibrary(Job& job) {
  if (!job.tapeLibrary && !job.ddpFolder.empty()) job.tapeLibrary = MakeDdpFolderLibrary(job, job.ddpFolder);
  return OpenTapeLibrary(job, InstallConfigPath());
}

// Asks until the drive is ready: each Yes polls it for up to 10 s; No, or the
// tenth question unanswered by the drive, gives up.
bool WaitForReadyDrive(Job& job) {
  for (int asked = 0; asked < kNotReadyQuestions; ++asked) {
    if (!AskYesNo(job,
                  "Make tape drive ready and then select Yes, or select No to abort. Insure compression is OFF.",
                  "Tape drive is not ready!"))
      return false;
    if (PollUntilReady(job, kNotReadyPollMilliseconds)) return true;
  }
  ShowMessage(job, Format("The tape drive did not become ready after %d tries.", kNotReadyQuestions),
              "Tape drive is not ready!");
  return false;
}

}  // namespace

bool PrepareTapeDrive(Job& job) {
  if (!EnsureTapeLibrary(job)) return false;
  job.tapeDevice = job.tapeLibrary ? FindTapeDevice(*job.tapeLibrary) : kNoTapeDevice;
  if (job.tapeDevice == kNoTapeDevice) {
    ShowMessage(job, "There is no DLT2000 tape drive attached", "Configuration error!");
    return false;
  }
  job.tapeLibrary->TestUnitReady(job.tapeDevice);  // the first answer may tell of a reset: ignored
  if (job.tapeLibrary->TestUnitReady(job.tapeDevice) != platform::tape_status::kGood && !WaitForReadyDrive(job))
    return false;
  if (LoadAndWait(job) != LoadResult::kReady) {
    ShowMessage(job, "Could not mount tape and rewind to BOT position.", "Fatal Error!");
    return false;
  }
  return RewindAndWait(job);
}

bool EraseTape(Job& job) {
  if (!PrepareTapeDrive(job)) return false;
  ShowStatus(job, "Erase tape - this will take substantial time");
  const int status = job.tapeLibrary->Erase(job.tapeDevice, 1);
  if (status != platform::tape_status::kGood) {
    ShowSenseMessage(job, status);
    return false;
  }
  return WaitUntilReady(job, kEraseWaitMilliseconds) && RewindAndWait(job);
}

// An unattended run can not have tapes changed on a real drive.
bool UnattendedRunPossible(Job& job) {
  if (!job.unattended || !job.tapeLibrary || job.tapeLibrary->MountsNextCartridgeItself()) return true;
  if (job.dualLayer == 0 && job.tapeCopies <= 1) return true;
  ShowMessage(job,
              "Nobody is at the tape drive to change tapes in a run that answers every question (--yes), but this "
              "run needs more than one tape (a dual-layer title or more than one copy). Run it without --yes, or "
              "write the DDP set to files with --ddp=FOLDER.",
              "Operations error!");
  return false;
}

bool WriteTitleToTape(Job& job) {
  if (!EnsureTapeLibrary(job) || !UnattendedRunPossible(job)) return false;
  std::optional<std::vector<uint8_t>> control = ReadControlData(job);
  if (!control) return false;
  std::optional<uint64_t> blocks = TitleBlocks(job);
  if (!blocks) return false;
  for (int copy = 1;; ++copy) {
    TapeCopy tape(job, *control, *blocks);
    if (!tape.Write()) return false;
    const NextCopy next = AskForAnotherCopy(job, copy);
    if (next != NextCopy::kWanted) return next == NextCopy::kNone;
  }
}

}  // namespace pravel
