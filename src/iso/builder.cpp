#include "iso/builder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "job/runtime.h"
#include "intake/alias_files.h"
#include "intake/directory_listing.h"
#include "intake/name_rules.h"
#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "iso/directory_table.h"
#include "iso/list_reader.h"
#include "iso/path_tables.h"
#include "iso/volume_descriptors.h"
#include "platform/files.h"
#include "platform/files_ahead.h"

namespace pravel {
namespace {

constexpr const char* kBuilderCaption = "Disc Image Builder Error!";
constexpr uint8_t kDvdDiscType = 5;
constexpr uint32_t kSystemAreaSectors = 16;
constexpr uint32_t kDataAreaGap = 5000;     // sectors between the UDF area and the file data
constexpr size_t kMaxDirectories = 9999;    // the root included
constexpr size_t kMaxFiles = 250000;
constexpr uint64_t kMaxFileLength = 0xFFFFFFFFull;  // the 32-bit Data Length of a record
constexpr size_t kIsoFileIdentifier = 30;
constexpr size_t kIsoDirectoryIdentifier = 31;
constexpr size_t kJolietNameChars = 64;
constexpr size_t kRelaxedJolietNameChars = 110;
const std::vector<uint8_t> kJolietVersion = {0x00, ';', 0x00, '1'};

uint32_t RoundUpTo16(uint64_t sector) { return static_cast<uint32_t>((sector + 15) / 16 * 16); }

uint32_t SectorsFor(uint64_t bytes) { return static_cast<uint32_t>((bytes + kSectorSize - 1) / kSectorSize); }

bool EndsWithSlash(const std::string& line) { return !line.empty() && line.back() == '/'; }

std::string WithoutSlash(const std::string& line) {
  return EndsWithSlash(line) ? line.substr(0, line.size() - 1) : line;
}

std::string BuilderFilePath(const Job& job, const char* format, long n) {
  return job.tempDirPlain + Format(format, n);
}

// Where a directory's records live: its own extents and lengths in both trees.
struct DirectoryPlace {
  uint32_t isoExtent = 0, isoLength = 0, jolietExtent = 0, jolietLength = 0;
};

// What one entry of a directory listing becomes on the disc.
struct EntryFacts {
  std::string sourcePath;  // the file to read: the alias target or the entry's own path
  uint64_t length = 0;
  bool isDirectory = false;
};

class Builder {
 public:
  Builder(Job& job, SectorWriter& writer, UdfStage& udf) : job_(job), writer_(writer), udf_(udf) {}

  bool Run();

 private:
  bool Fail(const std::string& message, const char* caption = kBuilderCaption) {
    ShowMessage(job_, message, caption);
    return false;
  }

  bool ReadDirectoryTable();
  void CreateDirectoryFilesAhead();
  bool WriteAndSortListings();
  bool ScanDirectories();
  void AssignDirectoryExtents();
  bool WriteSequentialPart();
  bool AddDirectories();
  bool CompleteVolumeDescriptors(uint32_t volumeSpaceSize);

  bool BuildDirectory(long n, bool adding);
  bool AddEntry(const std::string& line, bool adding);
  bool FindEntryFacts(const std::string& line, bool adding, EntryFacts& facts);
  std::vector<uint8_t> IsoIdentifier(const std::string& path, bool isDirectory);
  std::vector<uint8_t> JolietIdentifier(const std::string& path, bool isDirectory);
  bool AppendRecords(const std::string& path, bool isDirectory, const DirectoryPlace& place, uint32_t dataLength);
  bool WriteDirectoryFile(const std::string& path, const DirectoryImage& image);
  bool WriteDirectoryFiles(long n);
  DirectoryPlace PlaceOf(long n) const;
  DirectoryPlace ParentPlaceOf(long n) const;

  Job& job_;
  SectorWriter& writer_;
  UdfStage& udf_;
  DirectoryTable table_;
  PathTables pathTables_;
  PathTableSlots slots_;
  AliasTable aliases_;
  platform::FolderCursor folders_;  // the folder of the file measured last
  bool useAliases_ = false;
  platform::LocalTime buildDate_;
  uint8_t recordDate_[7] = {};
  DirectoryImage iso_, joliet_;
  uint64_t fileCount_ = 0;
  std::vector<uint64_t> scannedLengths_;  // file lengths in the order of the passes
  size_t nextLength_ = 0;
  uint64_t currentSector_ = 0;
  uint32_t udfStart_ = 0;
  uint32_t udfAreaSectors_ = 0;
  // Declared last: stopped before anything else of the builder goes.
  platform::FilesCreatedAhead filesAhead_;
};

bool Builder::Run() {
  if (job_.discType != kDvdDiscType) return Fail("Illegal disc type.", "Disc Image Builder Error");
  buildDate_ = job_.clock->Now();
  PutRecordingDate(recordDate_, buildDate_, false);
  job_.fileDataList.clear();
  job_.fileDataCount = 0;
  if (!udf_.ValidateDvdVideoZone(job_)) return false;
  if (!ReadDirectoryTable()) return false;
  if (!pathTables_.Build(job_, table_)) return false;
  slots_ = MakePathTableSlots(pathTables_.IsoSize().sectors, pathTables_.JolietSize().sectors);
  CreateDirectoryFilesAhead();
  if (!WriteAndSortListings()) return false;
  useAliases_ = !job_.paliasPath.empty();
  if (useAliases_ && !aliases_.Load(job_)) return false;
  if (!ScanDirectories()) return false;
  filesAhead_.Finish();
  AssignDirectoryExtents();
  if (!WriteSequentialPart()) return false;
  if (!AddDirectories()) return false;
  pathTables_.Finalize(table_);
  if (!pathTables_.WriteFinal(job_, writer_, slots_)) return false;
  if (!udf_.WriteDirectories(job_, writer_, table_, pathTables_)) return false;
  // Zero sectors close the UDF area on a multiple of 16.
  uint64_t udfEnd = static_cast<uint64_t>(udfStart_) + udfAreaSectors_;
  if (!writer_.SeekSector(udfEnd) || !writer_.AppendZeroSectors(RoundUpTo16(udfEnd) - udfEnd) ||
      !writer_.FlushImageSectors())
    return false;
  uint64_t end = currentSector_ % 16 == 0 ? currentSector_ + 16 : RoundUpTo16(currentSector_);
  if (end > 0xFFFFFFFFull) return Fail("The title is too large for a DVD volume.", "Operations error!");
  // The volume space takes in the closing sectors and the UDF anchor at its end.
  if (!CompleteVolumeDescriptors(static_cast<uint32_t>(end))) return false;
  job_.currentSector = static_cast<uint32_t>(end);
  job_.volumeSectors = static_cast<uint32_t>(end);
  job_.fileDataCount = static_cast<uint32_t>(job_.fileDataList.size());
  return udf_.PatchVolumeDescriptors(job_, writer_);
}

// Every directory line of the tree listing is a directory of the disc. The
// short names learn which entries share the root, whatever folder they come
// from, before the path tables or any directory ask for one.
bool Builder::ReadDirectoryTable() {
  ListReader reader;
  if (!reader.Open(job_.treeListPath)) return Fail(Format("3 Can not open %s", job_.treeListPath.c_str()));
  std::string line;
  std::vector<std::string> rootEntries;  // lines, a folder's with its '/'
  while (reader.ReadListLine(line)) {
    if (IsRootListingLine(job_, line)) rootEntries.push_back(line);
    if (!EndsWithSlash(line)) continue;
    if (table_.entries.size() + 1 >= kMaxDirectories) {
      return Fail(Format("The maximum number of sub-directories by this release is %d. This limit has been exceed",
                         static_cast<int>(kMaxDirectories)),
                  "Tool limits exceeded!");
    }
    DirectoryEntry entry;
    entry.path = line;
    entry.number = static_cast<uint16_t>(table_.entries.size() + 2);
    table_.entries.push_back(std::move(entry));
  }
  if (reader.Failed()) {
    ShowIoError(job_, "read", job_.treeListPath, reader.Error());
    return false;
  }
  table_.Index();
  SetDiscRootEntries(job_, rootEntries);
  return true;
}

// The scanning pass writes two directory files per directory; a second thread
// creates them, in the order the pass needs them, while this one cuts and
// sorts the listings and measures the files.
void Builder::CreateDirectoryFilesAhead() {
  for (size_t n = 0; n < table_.DirectoryCount(); ++n) {
    for (const char* format : {"/_td%04ld", "/_td%04ldX"}) {
      std::string path = BuilderFilePath(job_, format, static_cast<long>(n));
      // A path the pass refuses to create is not created here either.
      if (!IsCreatablePath(path)) return;
      filesAhead_.Add(std::move(path));
    }
  }
}

bool Builder::WriteAndSortListings() {
  std::vector<std::string> lines;
  lines.reserve(table_.entries.size());
  for (const DirectoryEntry& entry : table_.entries) lines.push_back(entry.path);
  if (!WriteDirectoryListings(job_, lines)) return Fail("Can not read directory tree.");
  for (size_t n = 0; n < table_.DirectoryCount(); ++n) {
    std::string display = n == 0 ? "ROOT" : WithoutSlash(table_.entries[n - 1].path);
    if (!SortListingFile(job_, ListingFilePath(job_, static_cast<long>(n)), display)) return false;
  }
  return true;
}

std::vector<uint8_t> Builder::IsoIdentifier(const std::string& path, bool isDirectory) {
  uint8_t field[kIsoDirectoryIdentifier];
  size_t size = isDirectory ? kIsoDirectoryIdentifier : kIsoFileIdentifier;
  FillField(field, size, FieldForm::kByte, '\0');
  size_t written = WriteIdentifierField(job_, field, path, size, FieldForm::kByte, true);
  std::vector<uint8_t> identifier(field, field + written);
  if (!isDirectory) identifier.insert(identifier.end(), {';', '1'});
  return identifier;
}

std::vector<uint8_t> Builder::JolietIdentifier(const std::string& path, bool isDirectory) {
  size_t chars = job_.relaxJoliet ? kRelaxedJolietNameChars : kJolietNameChars;
  std::vector<uint8_t> field(chars * 2);
  FillField(field.data(), field.size(), FieldForm::kTwoByte, '\0');
  size_t written = WriteIdentifierField(job_, field.data(), LastComponent(path), field.size(),
                                        FieldForm::kTwoByte, false);
  field.resize(written);
  if (!isDirectory) field.insert(field.end(), kJolietVersion.begin(), kJolietVersion.end());
  return field;
}

// The file behind a listing line, its length and kind. Lengths come from the
// file system; a file the volume can not hold in one extent is refused.
bool Builder::FindEntryFacts(const std::string& line, bool adding, EntryFacts& facts) {
  facts = EntryFacts{};
  facts.isDirectory = EndsWithSlash(line);
  if (facts.isDirectory) return true;
  facts.sourcePath = line;
  std::string key;
  if (useAliases_) {
    key = AliasKey(job_, line);
    if (std::optional<std::string> mapped = aliases_.Find(key)) facts.sourcePath = std::move(*mapped);
  }
  // The adding pass meets the files in the scanning pass's order and takes
  // the lengths measured then; the copy checks them again.
  if (adding && nextLength_ < scannedLengths_.size()) {
    facts.length = scannedLengths_[nextLength_++];
    return true;
  }
  std::optional<platform::FileStatus> status = folders_.StatusOf(facts.sourcePath);
  if (!status || status->kind != platform::EntryKind::kFile) {
    if (adding) return Fail("Can not open title file.");
    if (facts.sourcePath != line) {
      return Fail(Format("12 Can not open %s alaised s2=%s fn=%s s1=%s ds=%s i=%d", facts.sourcePath.c_str(),
                         key.c_str(), line.c_str(), key.c_str(),
                         job_.sourceBases.empty() ? "" : job_.sourceBases.front().c_str(),
                         static_cast<int>(facts.sourcePath.size())));
    }
    return Fail(Format("5 Can not open %s", line.c_str()));
  }
  if (status->length > kMaxFileLength) {
    return Fail("The file " + line + " is 4 GiB or larger (" + std::to_string(status->length) +
                " bytes). A file on this disc must be smaller than 4 GiB; split it or leave it out.");
  }
  facts.length = status->length;
  if (!adding) scannedLengths_.push_back(status->length);
  return true;
}

bool Builder::AppendRecords(const std::string& path, bool isDirectory, const DirectoryPlace& place,
                            uint32_t dataLength) {
  std::vector<uint8_t> joliet = JolietIdentifier(path, isDirectory);
  std::vector<uint8_t> jolietRecord = MakeDirectoryRecord(
      joliet, place.jolietExtent, isDirectory ? place.jolietLength : dataLength, isDirectory, recordDate_);
  if (jolietRecord.size() > dir_record::kMaxRecord) {
    return Fail("The name of " + path + " is too long for a Joliet directory record (" +
                std::to_string(jolietRecord.size()) + " bytes of at most 255). Shorten it to 108 characters.");
  }
  iso_.Append(MakeDirectoryRecord(IsoIdentifier(path, isDirectory), place.isoExtent,
                                  isDirectory ? place.isoLength : dataLength, isDirectory, recordDate_));
  joliet_.Append(jolietRecord);
  return true;
}

bool Builder::AddEntry(const std::string& line, bool adding) {
  EntryFacts facts;
  if (!FindEntryFacts(line, adding, facts)) return false;
  std::string path = WithoutSlash(line);
  ShowStatus(job_, Format(adding ? " Adding to TOC -> %s " : " Scanning -> %s ", LastComponent(path).c_str()));
  DirectoryPlace place;
  if (facts.isDirectory) {
    long index = table_.Find(line);
    if (index < 0) return Fail("The directory " + path + " is missing from the directory table.");
    if (adding) {
      const DirectoryEntry& entry = table_.entries[static_cast<size_t>(index)];
      place = {entry.isoExtent, entry.isoLength, entry.jolietExtent, entry.jolietLength};
    }
    return AppendRecords(path, true, place, place.isoLength);
  }
  if (!adding) {
    if (++fileCount_ > kMaxFiles) {
      return Fail(Format("The maximum number of files supported by this tool is 250,000. Your title has more!"),
                  "Tool limits exceeded!");
    }
    return AppendRecords(path, false, place, static_cast<uint32_t>(facts.length));
  }
  FileDataRecord record;
  record.path = facts.sourcePath;
  record.byteLength = facts.length;
  if (std::optional<ZonePlacement> zone = udf_.FindZoneFile(line)) {
    record.startSector = zone->startSector;
    record.sectorCount = zone->sectorCount;
  } else {
    if (currentSector_ > 0xFFFFFFFFull) return Fail("The title is too large for a DVD volume.", "Operations error!");
    record.startSector = static_cast<uint32_t>(currentSector_);
    record.sectorCount = SectorsFor(facts.length);
    currentSector_ += record.sectorCount;
  }
  place.isoExtent = place.jolietExtent = record.startSector;
  if (!AppendRecords(path, false, place, static_cast<uint32_t>(facts.length))) return false;
  job_.fileDataList.push_back(std::move(record));
  return true;
}

DirectoryPlace Builder::PlaceOf(long n) const {
  if (n == 0) {
    return {table_.rootIsoExtent, table_.rootIsoLength, table_.rootJolietExtent, table_.rootJolietLength};
  }
  const DirectoryEntry& entry = table_.entries[static_cast<size_t>(n - 1)];
  return {entry.isoExtent, entry.isoLength, entry.jolietExtent, entry.jolietLength};
}

// The parent of directory n; the root is its own parent. Directory number k
// (k >= 2) is table entry k - 2, directory n = k - 1.
DirectoryPlace Builder::ParentPlaceOf(long n) const {
  if (n == 0) return PlaceOf(0);
  uint16_t parent = table_.entries[static_cast<size_t>(n - 1)].parent;
  return PlaceOf(parent <= 1 ? 0 : parent - 1);
}

// One directory's records in both trees: "." and "..", then one record per
// line of its sorted listing.
bool Builder::BuildDirectory(long n, bool adding) {
  if (StopRequestedByOperator(job_)) return false;
  iso_.Clear();
  joliet_.Clear();
  DirectoryPlace self = adding ? PlaceOf(n) : DirectoryPlace{};
  DirectoryPlace parent = adding ? ParentPlaceOf(n) : DirectoryPlace{};
  static const uint8_t kNoDate[7] = {};
  iso_.Append(MakeDirectoryRecord({0x00}, self.isoExtent, self.isoLength, true, kNoDate));
  iso_.Append(MakeDirectoryRecord({0x01}, parent.isoExtent, parent.isoLength, true, kNoDate));
  joliet_.Append(MakeDirectoryRecord({0x00}, self.jolietExtent, self.jolietLength, true, kNoDate));
  joliet_.Append(MakeDirectoryRecord({0x01}, parent.jolietExtent, parent.jolietLength, true, kNoDate));

  std::string listing = ListingFilePath(job_, n);
  ListReader reader;
  if (!reader.Open(listing)) {
    return Fail(adding ? std::string("Can not open temporary directory file.")
                       : Format("4 Can not open %s", listing.c_str()));
  }
  std::string line;
  while (reader.ReadListLine(line)) {
    if (!AddEntry(line, adding)) return false;
  }
  if (reader.Failed()) {
    ShowIoError(job_, "read", listing, reader.Error());
    return false;
  }
  iso_.Finish();
  joliet_.Finish();
  return true;
}

// First pass: every directory's size in both trees. Record sizes depend only
// on names, so these lengths are final.
bool Builder::ScanDirectories() {
  for (size_t n = 0; n < table_.DirectoryCount(); ++n) {
    if (!BuildDirectory(static_cast<long>(n), false)) return false;
    uint32_t isoLength = static_cast<uint32_t>(iso_.Size());
    uint32_t jolietLength = static_cast<uint32_t>(joliet_.Size());
    // The UDF writer sizes its area from these files before any extent is known.
    if (!WriteDirectoryFiles(static_cast<long>(n))) return false;
    if (n == 0) {
      table_.rootIsoLength = isoLength;
      table_.rootJolietLength = jolietLength;
    } else {
      table_.entries[n - 1].isoLength = isoLength;
      table_.entries[n - 1].jolietLength = jolietLength;
    }
  }
  return true;
}

// The ISO directories lie from R on in table order, the Joliet ones behind them.
void Builder::AssignDirectoryExtents() {
  uint32_t next = slots_.rootIsoExtent;
  table_.rootIsoExtent = next;
  next += table_.rootIsoLength / kSectorSize;
  for (DirectoryEntry& entry : table_.entries) {
    entry.isoExtent = next;
    next += entry.isoLength / kSectorSize;
  }
  table_.rootJolietExtent = next;
  next += table_.rootJolietLength / kSectorSize;
  for (DirectoryEntry& entry : table_.entries) {
    entry.jolietExtent = next;
    next += entry.jolietLength / kSectorSize;
  }
  udfStart_ = next;
}

// Sectors 0 up to U in order. The descriptors, path tables and directories
// are rewritten in place once every extent is known.
bool Builder::WriteSequentialPart() {
  if (!writer_.AppendZeroSectors(kSystemAreaSectors)) return false;
  ShowStatus(job_, " Adding to TOC -> VTOC & Label ");
  Sector terminator{};
  BuildVolumeDescriptorSetTerminator(terminator.data());
  if (!writer_.AppendZeroSectors(2) || !writer_.AppendImageSector(terminator.data())) return false;
  ShowStatus(job_, " Adding to TOC -> UDF Descriptors ");
  if (!udf_.WriteVolumeDescriptors(job_, writer_)) return false;
  if (writer_.NextSector() != kUdfAnchorSector + 1) return Fail("The UDF descriptors did not end at sector 256.");
  ShowStatus(job_, " Adding to TOC-> Path Tables ");
  if (!writer_.AppendZeroSectors(udfStart_ - writer_.NextSector())) return false;
  ShowStatus(job_, " Adding to TOC -> ISO Directory Tree ");
  ShowStatus(job_, " Adding to TOC -> Joliet Directory Tree ");
  if (writer_.NextSector() != udfStart_) return Fail("The directory area does not end where the UDF area starts.");
  if (!udf_.WriteFileSet(job_, writer_, table_, udfAreaSectors_)) return false;
  uint64_t udfEnd = static_cast<uint64_t>(udfStart_) + udfAreaSectors_;
  job_.fileDataStart = RoundUpTo16(RoundUpTo16(udfEnd) + kDataAreaGap);
  return true;
}

bool Builder::WriteDirectoryFile(const std::string& path, const DirectoryImage& image) {
  if (!IsCreatablePath(path)) return Fail("Can not create directory file");
  return WriteTemporaryFile(job_, path, image.Bytes().data(), image.Size());
}

// The directory file pair of directory n: "_td%04ld" (ISO) and "_td%04ldX" (Joliet).
bool Builder::WriteDirectoryFiles(long n) {
  return WriteDirectoryFile(BuilderFilePath(job_, "/_td%04ld", n), iso_) &&
         WriteDirectoryFile(BuilderFilePath(job_, "/_td%04ldX", n), joliet_);
}

// Second pass: every file gets its sectors; each directory's final records go
// to its directory files and in place into the image.
bool Builder::AddDirectories() {
  uint32_t start = job_.fileDataStart;
  if (!udf_.PlaceDvdVideoZone(job_, start)) return false;
  currentSector_ = start;
  for (size_t n = 0; n < table_.DirectoryCount(); ++n) {
    long number = static_cast<long>(n);
    if (!BuildDirectory(number, true)) return false;
    DirectoryPlace place = PlaceOf(number);
    if (iso_.Size() != place.isoLength || joliet_.Size() != place.jolietLength) {
      return Fail("The size of a directory changed between the passes: " +
                  (n == 0 ? std::string("ROOT") : table_.entries[n - 1].path));
    }
    if (!WriteDirectoryFiles(number)) return false;
    if (!writer_.WriteIntoExtent(place.isoExtent, place.isoLength / kSectorSize, iso_.Bytes().data(), iso_.Size()) ||
        !writer_.WriteIntoExtent(place.jolietExtent, place.jolietLength / kSectorSize, joliet_.Bytes().data(),
                                 joliet_.Size()))
      return false;
  }
  return true;
}

bool Builder::CompleteVolumeDescriptors(uint32_t volumeSpaceSize) {
  VolumeLayout layout;
  layout.volumeSpaceSize = volumeSpaceSize;
  layout.isoPathTable = pathTables_.IsoSize();
  layout.jolietPathTable = pathTables_.JolietSize();
  layout.slots = slots_;
  layout.rootIsoExtent = table_.rootIsoExtent;
  layout.rootIsoLength = table_.rootIsoLength;
  layout.rootJolietExtent = table_.rootJolietExtent;
  layout.rootJolietLength = table_.rootJolietLength;
  layout.buildDate = buildDate_;
  Sector primary{}, supplementary{};
  BuildPrimaryVolumeDescriptor(job_, layout, primary.data());
  BuildSupplementaryVolumeDescriptor(job_, layout, supplementary.data());
  return writer_.WriteSectorsAt(kPrimaryDescriptorSector, primary.data(), 1) &&
         writer_.WriteSectorsAt(kSupplementaryDescriptorSector, supplementary.data(), 1) &&
         writer_.FlushImageSectors();
}

bool IsBuilderFileName(std::string_view name) {
  if (name == "_pdir.txt" || name == "_pdirX.txt" || name == "_pdirx.txt") return true;
  if (name.size() < 7 || name.compare(0, 3, "_td") != 0) return false;
  std::string_view rest = name.substr(3);
  if (rest.size() == 5 && (rest[4] == 'X' || rest[4] == 'x')) rest.remove_suffix(1);
  return rest.size() == 4 && std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool BuildFileSystem(Job& job, SectorWriter& writer, UdfStage& udf) {
  Builder builder(job, writer, udf);
  return builder.Run();
}

void RemoveBuilderFiles(Job& job) { RemoveTemporaryFilesNamed(job, IsBuilderFileName); }

}  // namespace pravel
