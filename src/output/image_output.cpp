#include "output/image_output.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "job/runtime.h"
#include "intake/alias_files.h"
#include "iso/builder.h"
#include "output/control_data.h"
#include "output/ddp_description.h"
#include "platform/interrupt.h"
#include "output/file_data_copy.h"
#include "output/output_files.h"
#include "output/output_logs.h"
#include "output/tape_output.h"
#include "platform/files.h"
#include "udf/udf_factory.h"

namespace pravel {
namespace {

using ull = unsigned long long;

constexpr char kBuilderCaption[] = "Disc Image Builder Error!";
constexpr char kNoDiskSpaceCaption[] = "Insufficient Hard Disk Space for title!";
constexpr size_t kMaxFileDataRecords = 250000;
constexpr uint8_t kDvdDiscType = 5;

ull U(uint64_t value) { return static_cast<ull>(value); }

uint32_t Clamp32(uint64_t value) {
  return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

uint64_t RoundUpToBlock(uint64_t sectors) { return (sectors + kBlockSectors - 1) / kBlockSectors * kBlockSectors; }

void FreeFileDataList(Job& job) {
  std::vector<FileDataRecord>().swap(job.fileDataList);
  job.fileDataCount = 0;
}

bool FailRun(Job& job) {
  FreeFileDataList(job);
  CreateErrorMarker(job);
  return false;
}

void PrepareTemporaryPaths(Job& job) {
  size_t slash = job.tempDir.rfind('/');
  job.tempDirPlain = slash == std::string::npos ? job.tempDir : job.tempDir.substr(0, slash);
  job.treeListPath = job.tempDirPlain + "/tm.txt";
  job.discType = kDvdDiscType;
}

bool RefuseImageFile(Job& job, const std::string& path) {
  ShowMessage(job, Format("Can not create Disc Image file %s", path.c_str()), kBuilderCaption);
  return false;
}

// The image files of a run, in the order they are written.
std::vector<std::string> ImagePaths(const Job& job) {
  std::vector<std::string> paths = {job.imagePath1, job.imagePath2};
  if (!job.imagePath3.empty()) paths.push_back(job.imagePath3);
  return paths;
}

bool RemoveIfPresent(Job& job, const std::string& path) {
  if (platform::KindOf(path) != platform::EntryKind::kFile || platform::RemoveFile(path)) return true;
  ShowIoError(job, "delete", path, platform::LastErrorText());
  return false;
}

// The images of an earlier run go before the new ones are written, so that
// no older image stands beside a newer one; CONTROL.IMG and LAYER01.IMG are
// created empty under their unfinished names.
bool CreateImageFiles(Job& job) {
  for (const std::string& path : ImagePaths(job)) {
    if (!RemoveIfPresent(job, path) || !RemoveIfPresent(job, UnfinishedImagePath(path))) return false;
  }
  // An earlier tape run's description does not describe these images.
  if (!RemoveIfPresent(job, DdpIdPath(job))) return false;
  for (const std::string* path : {&job.imagePath1, &job.imagePath2}) {
    const std::string unfinished = UnfinishedImagePath(*path);
    if (!CreateFileChecked(unfinished)) return RefuseImageFile(job, unfinished);
  }
  return true;
}

// Every image written takes its own name, or none does: when a rename
// fails, the images already renamed are removed again.
bool RenameImages(Job& job) {
  std::vector<std::string> named;
  for (const std::string& path : ImagePaths(job)) {
    const std::string unfinished = UnfinishedImagePath(path);
    if (platform::KindOf(unfinished) != platform::EntryKind::kFile) continue;
    if (platform::RenameFile(unfinished, path)) {
      named.push_back(path);
      continue;
    }
    ShowIoError(job, "rename", unfinished, platform::LastErrorText());
    for (const std::string& done : named) platform::RemoveFile(done);
    return false;
  }
  return true;
}

// The whole run went well: the images take their own names, and an
// interruption waits until all of them have (or comes first, and they keep
// their unfinished names for its clean-up).
bool NameFinishedImages(Job& job) {
  bool named = false;
  return platform::RunUninterrupted([&] { named = RenameImages(job); }) && named;
}

void CleanUpBuilderFiles(Job& job) {
  RemoveDirectoryListingFiles(job);
  RemoveBuilderFiles(job);
}

// Has the builder write the metadata image into LAYER01.IMG.
bool RunBuilder(Job& job, const FileSystemBuilder& build) {
  const std::string path = UnfinishedImagePath(job.imagePath2);
  auto image = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!image) return RefuseImageFile(job, path);
  FreeFileDataList(job);
  SectorWriter writer(job, *image, path);
  if (!build(job, writer)) {
    image->Close();
    return FailRun(job);
  }
  bool written = writer.FlushImageSectors() && CloseOutputFile(job, *image, path);
  CleanUpBuilderFiles(job);
  return written || FailRun(job);
}

bool CheckRecordLimit(Job& job) {
  if (job.fileDataList.size() <= kMaxFileDataRecords) return true;
  ShowMessage(job, "The maximum number of files supported by this tool is 250,000. Your title has more!",
              "Tool limits exceeded!");
  return false;
}

// By start sector; an empty file shares its start with the file after it and
// records with equal starts end up in reverse list order.
void SortFileDataList(Job& job) {
  std::vector<FileDataRecord>& list = job.fileDataList;
  for (size_t i = 0; i < list.size(); ++i) list[i].orderingMark = static_cast<uint32_t>(i);
  std::stable_sort(list.begin(), list.end(), [](const FileDataRecord& a, const FileDataRecord& b) {
    if (a.startSector != b.startSector) return a.startSector < b.startSector;
    return a.orderingMark > b.orderingMark;
  });
  job.fileDataCount = static_cast<uint32_t>(list.size());
}

// Zero sectors up to fileDataStart; the image's length afterwards.
bool PadMetadataImage(Job& job, uint64_t& metadataLength) {
  const std::string path = UnfinishedImagePath(job.imagePath2);
  auto image = OpenOutputFile(job, path);
  if (!image) return false;
  auto length = image->Size();
  if (!length) {
    ShowIoError(job, "measure", path, platform::LastErrorText());
    return false;
  }
  uint64_t wanted = uint64_t{job.fileDataStart} * kSectorSize;
  metadataLength = *length;
  if (metadataLength < wanted) {
    // Extending the file gives zeros that need not be written: on most file
    // systems they take no room until the file is copied.
    if (!image->SetLength(wanted)) {
      ShowIoError(job, "extend", path, image->LastError());
      return false;
    }
    metadataLength = wanted;
  }
  return CloseOutputFile(job, *image, path);
}

// The metadata sectors and every file's sectors, in whole blocks; never less
// than the volume the builder laid out (which ends with its anchor).
uint64_t TitleSectors(const Job& job, uint64_t metadataLength) {
  uint64_t sectors = metadataLength / kSectorSize;
  for (const FileDataRecord& record : job.fileDataList) sectors += record.sectorCount;
  return std::max<uint64_t>(RoundUpToBlock(sectors), job.volumeSectors);
}

bool ImageDirectoriesShareFileSystem(const Job& job) {
  if (job.imagePath3.empty()) return false;
  auto first = platform::FileSystemId(DirectoryOf(job.imagePath2));
  auto second = platform::FileSystemId(DirectoryOf(job.imagePath3));
  return first && second && *first == *second;
}

bool CheckDualLayerFreeSpace(Job& job, uint64_t total) {
  uint64_t capacity = job.layerCapacity;
  uint64_t free1 = job.freeSectors1;
  uint64_t free2 = job.freeSectors2;
  bool enough = free1 >= capacity + kControlImageSectors && free2 >= total - capacity;
  // Two directories on one file system draw on the same free space.
  if (enough && ImageDirectoriesShareFileSystem(job)) enough = free1 >= total + kControlImageSectors;
  if (enough) return true;
  ShowMessage(job,
              "Amount of disk free space for a dual layer DVD title is insufficient. Increase each hard disk "
              "partition to 4G byte size and free space.",
              kNoDiskSpaceCaption);
  ShowMessage(job,
              Format("The title requires %lluK bytes, %lluK in layer 1 and %lluK in layer 2. Layer 1 disk partition "
                     "has %lluK available and Layer 2 disk parition has %lluK available.",
                     U(total * 2), U(capacity * 2), U((total - capacity) * 2), U(free1 * 2), U(free2 * 2)),
              "System status");
  return false;
}

bool CheckSingleLayerFreeSpace(Job& job, uint64_t total) {
  uint64_t free1 = job.freeSectors1;
  if (free1 >= total + kControlImageSectors) return true;
  ShowMessage(job,
              Format("Amount of disk free space for a single layer DVD title is insufficient. Increase hard disk "
                     "partition for layer 1 to %lluK byte size and free space.",
                     U(total * 2)),
              kNoDiskSpaceCaption);
  ShowMessage(job,
              Format("The title requires %lluK bytes in layer 1. Layer 1 disk partition has %lluK available.",
                     U(total * 2), U(free1 * 2)),
              "System status");
  return false;
}

std::string SingleLayerSummary(const Job& job, uint64_t total) {
  if (job.singleLayer == 1) {
    return Format("This is a single layer DVD disc title with %llu sectors. The title is comprised of %llu Directory "
                  "Folders and %u Files",
                  U(total), U(uint64_t{job.folderCount} + 1), job.fileCount);
  }
  return Format("This title fits on a single layer disc.  The title requires only %llu sectors of %u sectors "
                "available on a single layer disc. You have indicated in set up that this would be a dual layer "
                "disc. Am I missing something?",
                U(total), job.layerCapacity);
}

// The title's size and split, the summary question and the checks against
// the disc and the free disk space.
bool DecideLayout(Job& job, uint64_t metadataLength) {
  if (metadataLength % kBlockSize != 0 || metadataLength != uint64_t{job.fileDataStart} * kSectorSize) {
    ShowMessage(job, "Internal error caused illegal disc image format!", "Report error code 0101");
    return false;
  }
  uint64_t total = TitleSectors(job, metadataLength);
  uint64_t capacity = job.layerCapacity;
  job.totalSectors = Clamp32(total);
  std::string summary;
  if (total < capacity) {
    job.layer1Sectors = Clamp32(total);
    job.layer2Sectors = 0;
    summary = SingleLayerSummary(job, total);
  } else {
    job.layer1Sectors = job.layerCapacity;
    job.layer2Sectors = Clamp32(total - capacity);
    if (job.singleLayer == 1) {
      ShowMessage(job,
                  Format("This DVD title exceeds the maximum size allowed on a single layer disc. You had selected to "
                         "make a single layer disc. You will have to reduce the title size or select to make a dual "
                         "layer title disc. The total size of this title disc image is %llu sectors. The maximum "
                         "number of sectors allowed is %u.",
                         U(total), job.layerCapacity),
                  "Operations error!");
      return false;
    }
    summary = Format("This is a dual layer DVD disc title with %llu sectors. Layer 1 will contain %u sectors and Layer "
                     "2 will contain %llu sectors. The title contains %u Directory Folders and %u Files",
                     U(total), job.layerCapacity, U(total - capacity), job.folderCount, job.fileCount);
  }
  if (!job.noWarningMessagesOutput && !AskYesNo(job, summary, "Continue?")) return false;
  job.dualLayer = 0;
  if (total > capacity) {
    if (total > job.dualLayerCapacity) {
      ShowMessage(job,
                  Format("Total disc image size of this title (%llu sectors) exceeds dual layer capacity of DVD.",
                         U(total)),
                  "Insufficient DVD disc space!");
      return false;
    }
    if (job.toTape == 0 && !CheckDualLayerFreeSpace(job, total)) return false;
    job.dualLayer = 1;
    return true;
  }
  return job.toTape != 0 || CheckSingleLayerFreeSpace(job, total);
}

bool RefuseLayout(Job& job, const std::string& what) {
  ShowMessage(job, "Internal error caused illegal disc image format! " + what, "Report error code 0102");
  return false;
}

// The copy writes strictly forward from fileDataStart: every file must lie
// behind the metadata and the file before it, hold its bytes, and end before
// the closing anchor; the metadata must lie in layer 1.
bool CheckFileDataLayout(Job& job) {
  uint64_t anchor = uint64_t{job.volumeSectors} - 1;
  if (job.volumeSectors <= job.fileDataStart) {
    return RefuseLayout(job, Format("The volume ends at sector %u, before its data area at sector %u.",
                                    job.volumeSectors, job.fileDataStart));
  }
  if (job.dualLayer && job.fileDataStart > job.layerCapacity) {
    return RefuseLayout(job, Format("The metadata image of %u sectors does not fit layer 1.", job.fileDataStart));
  }
  uint64_t next = job.fileDataStart;
  for (const FileDataRecord& record : job.fileDataList) {
    if (record.sectorCount == 0) continue;
    uint64_t start = record.startSector;
    uint64_t end = start + record.sectorCount;
    bool fits = start >= next && end <= anchor && record.byteLength <= uint64_t{record.sectorCount} * kSectorSize;
    if (!fits) {
      return RefuseLayout(job, Format("The data of %s can not lie at sectors %llu to %llu.", record.path.c_str(),
                                      U(start), U(end - 1)));
    }
    next = end;
  }
  return true;
}

}  // namespace

namespace {

bool WriteImageSet(Job& job, const FileSystemBuilder& build) {
  if (!CreateImageFiles(job)) return false;
  if (!RunBuilder(job, build)) return false;
  if (!CheckRecordLimit(job)) return FailRun(job);
  SortFileDataList(job);
  uint64_t metadataLength = 0;
  if (!PadMetadataImage(job, metadataLength)) return FailRun(job);
  if (job.writeCompareFile && !WriteCompareFile(job)) return FailRun(job);
  if (job.writeLogFile && !WriteLogFile(job, metadataLength)) return FailRun(job);
  if (!DecideLayout(job, metadataLength)) return FailRun(job);
  if (!CheckFileDataLayout(job)) return FailRun(job);
  if (!WriteControlImage(job)) return FailRun(job);
  const bool delivered = job.toTape != 0 ? WriteTitleToTape(job) : CopyFileData(job);
  if (!delivered) return FailRun(job);
  FreeFileDataList(job);
  return NameFinishedImages(job) || FailRun(job);
}

}  // namespace

void RemoveUnfinishedImages(Job& job) {
  for (const std::string& path : ImagePaths(job)) {
    const std::string unfinished = UnfinishedImagePath(path);
    if (platform::KindOf(unfinished) == platform::EntryKind::kFile) platform::RemoveFile(unfinished);
  }
}

bool BuildImageAndOutput(Job& job, const FileSystemBuilder& build) {
  PrepareTemporaryPaths(job);
  RemoveBuilderFiles(job);
  ShowMakingLabel(job);
  if (!WriteImageSet(job, build)) {
    // No image that looks finished is left behind a failed run, nor a
    // listing or directory file, the scan's included (made ahead for a build
    // that may not have come).
    RemoveUnfinishedImages(job);
    CleanUpBuilderFiles(job);
    return false;
  }
  RemoveErrorMarker(job);
  return true;
}

bool BuildImageAndOutput(Job& job) {
  std::unique_ptr<UdfStage> udf = MakeUdfStage();
  return BuildImageAndOutput(job, [&udf](Job& j, SectorWriter& writer) { return BuildFileSystem(j, writer, *udf); });
}

}  // namespace pravel
