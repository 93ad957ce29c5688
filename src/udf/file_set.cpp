#include "udf/file_set.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "job/runtime.h"
#include "iso/byte_fields.h"
#include "intake/utf8.h"
#include "iso/directory_records.h"
#include "platform/files.h"
#include "udf/descriptor_tag.h"

namespace pravel {
namespace {

constexpr const char* kBuilderCaption = "Disc Image Builder Error!";
constexpr size_t kDotRecords = 2;         // "." and ".." open every directory file
constexpr size_t kMinRecordLength = 34;   // 33 fixed bytes and a name of one byte
constexpr size_t kFileEntryPendingSectors = 256;

// File Entry fields.
constexpr size_t kPriorEntries = 16;
constexpr size_t kStrategyType = 20;
constexpr size_t kMaximumEntries = 24;
constexpr size_t kFileType = 27;
constexpr size_t kIcbFlags = 34;
constexpr size_t kUid = 36;
constexpr size_t kGid = 40;
constexpr size_t kPermissions = 44;
constexpr size_t kLinkCount = 48;
constexpr size_t kInformationLength = 56;
constexpr size_t kBlocksRecorded = 64;
constexpr size_t kAccessTime = 72;
constexpr size_t kModificationTime = 84;
constexpr size_t kAttributeTime = 96;
constexpr size_t kCheckpoint = 108;
constexpr size_t kImplementationId = 128;
constexpr size_t kUniqueId = 160;
constexpr size_t kExtendedAttributesLength = 168;
constexpr size_t kAllocationLength = 172;
constexpr uint8_t kDirectoryType = 4;
constexpr uint8_t kFileType5 = 5;
constexpr uint16_t kEntryFlags = 0x0230;  // short descriptors, non-relocatable, archive, contiguous
constexpr uint32_t kPermissionsReadExecute = 0x14A5;

// Extended attribute space, from the File Entry's byte 176.
constexpr size_t kEaImplementationLocation = 16;
constexpr size_t kEaApplicationLocation = 20;
constexpr size_t kEaType = 24;
constexpr size_t kEaSubtype = 28;
constexpr size_t kEaLength = 32;
constexpr size_t kEaUseLength = 36;
constexpr size_t kEaIdentifier = 40;
constexpr size_t kEaHeaderChecksum = 72;
constexpr size_t kEaCgmsIdentifier = 76;
constexpr uint32_t kImplementationUseAttribute = 2048;
constexpr uint32_t kAttributeBytes = 92;
constexpr uint32_t kAttributeUseBytes = 44;

// File Identifier Descriptor fields.
constexpr size_t kFidVersion = 16;
constexpr size_t kFidCharacteristics = 18;
constexpr size_t kFidNameLength = 19;
constexpr size_t kFidIcb = 20;
constexpr size_t kFidUseLength = 36;
constexpr size_t kFidUse = 38;

uint64_t BlocksFor(uint64_t bytes) { return (bytes + kSectorSize - 1) / kSectorSize; }
size_t RoundUp(size_t value, size_t unit) { return (value + unit - 1) / unit * unit; }

bool BuilderError(Job& job, const std::string& message) {
  ShowMessage(job, message, kBuilderCaption);
  return false;
}

std::string DirectoryFilePath(const Job& job, long n, bool joliet) {
  return job.tempDirPlain + Format(joliet ? "/_td%04ldX" : "/_td%04ld", n);
}

bool ReadWholeFile(Job& job, const std::string& path, std::vector<uint8_t>& bytes) {
  if (!platform::PathExists(path)) return BuilderError(job, "The directory file " + path + " is missing.");
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) {
    ShowIoError(job, "open", path, platform::LastErrorText());
    return false;
  }
  std::optional<uint64_t> size = file->Size();
  if (!size) {
    ShowIoError(job, "read", path, file->LastError());
    return false;
  }
  bytes.assign(static_cast<size_t>(*size), 0);
  std::optional<size_t> read = file->Read(bytes.data(), bytes.size());
  if (!read || *read != bytes.size()) {
    ShowIoError(job, "read", path, read ? std::string("the file ended early") : file->LastError());
    return false;
  }
  return true;
}

bool ReadDirectoryFile(Job& job, long n, bool joliet, std::vector<DirectoryFileRecord>& records) {
  const std::string path = DirectoryFilePath(job, n, joliet);
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(job, path, bytes)) return false;
  size_t badOffset = 0;
  if (!ParseDirectoryRecords(bytes, records, badOffset)) {
    return BuilderError(job, Format("The directory file %s is damaged at byte %zu.", path.c_str(), badOffset));
  }
  return true;
}

// The stream bytes a directory's identifiers take, from its Joliet records.
size_t IdentifierStreamBytes(const std::vector<DirectoryFileRecord>& jolietRecords) {
  size_t bytes = kParentIdentifierBytes;
  for (const DirectoryFileRecord& record : jolietRecords)
    bytes += FileIdentifierLength(EncodeCs0(UdfNameOf(record)).size());
  return bytes;
}

void PutExtendedAttributes(uint8_t* space, uint32_t block) {
  PutLe32(space + kEaImplementationLocation, 24);
  PutLe32(space + kEaApplicationLocation, kExtendedAttributeBytes);
  PutLe32(space + kEaType, kImplementationUseAttribute);
  space[kEaSubtype] = 1;
  PutLe32(space + kEaLength, kAttributeBytes);
  PutLe32(space + kEaUseLength, kAttributeUseBytes);
  PutMarkedEntityId(space + kEaIdentifier, "UDF FreeEASpace", kImplementationSuffix);
  uint16_t sum = 0;
  for (size_t i = kEaType; i < kEaHeaderChecksum; ++i) sum = static_cast<uint16_t>(sum + space[i]);
  PutLe16(space + kEaHeaderChecksum, sum);
  PutMarkedEntityId(space + kEaCgmsIdentifier, "UDF DVD CGMS Info", kImplementationSuffix);
  PutDescriptorTag(space, udf_tag::kExtendedAttributeHeader, kDescriptorVersion, 0,
                   kExtendedAttributeBytes - tag_field::kSize, block);
}

// The walk that writes the File Entries and identifier streams, directories
// in path table order.
class DirectoryWalk {
 public:
  DirectoryWalk(Job& job, SectorWriter& writer, const DirectoryTable& table, const PathTables& pathTables,
                UdfFileSetState& state)
      : job_(job), writer_(writer), table_(table), records_(pathTables.Records()), state_(state) {}

  bool Run();

 private:
  bool CheckShape();
  bool WriteDirectory(uint32_t k);
  bool AddSubdirectory(uint32_t k, const DirectoryFileRecord& record, std::vector<uint8_t>& stream,
                       uint32_t streamStart);
  bool AddFile(uint32_t k, const DirectoryFileRecord& record, std::vector<uint8_t>& stream, uint32_t streamStart);
  bool WriteStream(uint32_t k, std::vector<uint8_t>& stream, uint32_t streamStart);
  bool FlushFileEntries();
  bool WriteEntry(uint32_t block, const FileEntryFacts& facts);
  long FileNumber(uint32_t k) const { return static_cast<long>(records_[k].oldNumber) - 1; }
  uint32_t ParentOf(uint32_t k) const { return k == 0 ? 0 : static_cast<uint32_t>(records_[k].parent - 1); }
  std::string NameOf(uint32_t k) const;
  uint64_t SectorOf(uint32_t block) const { return static_cast<uint64_t>(state_.totals.partitionStart) + block; }

  Job& job_;
  SectorWriter& writer_;
  const DirectoryTable& table_;
  const std::vector<PathTableRecord>& records_;
  UdfFileSetState& state_;
  std::unordered_map<uint32_t, uint32_t> byJolietExtent_;
  std::vector<bool> referenced_;
  uint32_t nextFileBlock_ = 0;
  uint32_t nextStreamBlock_ = 0;
  uint32_t areaEnd_ = 0;
  std::vector<uint8_t> pendingEntries_;
  uint32_t pendingFirstBlock_ = 0;
  size_t fileIndex_ = 0;  // the next record of the file list
};

std::string DirectoryWalk::NameOf(uint32_t k) const {
  const long n = FileNumber(k);
  if (n <= 0 || static_cast<size_t>(n) > table_.entries.size()) return "ROOT";
  std::string path = table_.entries[static_cast<size_t>(n - 1)].path;
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

bool DirectoryWalk::CheckShape() {
  if (records_.size() != table_.DirectoryCount() || records_.size() != state_.directories) {
    return BuilderError(job_, Format("The path table holds %zu directories, the UDF area was sized for %u.",
                                     records_.size(), state_.directories));
  }
  for (uint32_t k = 0; k < records_.size(); ++k) {
    const long n = FileNumber(k);
    const uint16_t parent = records_[k].parent;
    if (n < 0 || static_cast<size_t>(n) >= records_.size() || parent < 1 || parent > records_.size() ||
        (k > 0 && parent - 1U >= k)) {
      return BuilderError(job_, Format("The path table record %u does not describe a directory of the tree.", k));
    }
    if (k > 0 && !byJolietExtent_.emplace(records_[k].jolietExtent, k).second) {
      return BuilderError(job_, "Two directories share the Joliet extent of " + NameOf(k) + ".");
    }
  }
  return true;
}

bool DirectoryWalk::Run() {
  if (!CheckShape()) return false;
  referenced_.assign(records_.size(), false);
  nextFileBlock_ = kRootEntryBlock + state_.directories;
  nextStreamBlock_ = kRootEntryBlock + state_.fileEntries;
  areaEnd_ = nextStreamBlock_ + state_.reservedBlocks;
  for (uint32_t k = 0; k < records_.size(); ++k) {
    if (!WriteDirectory(k)) return false;
  }
  for (uint32_t k = 1; k < records_.size(); ++k) {
    if (!referenced_[k]) return BuilderError(job_, "The directory " + NameOf(k) + " is missing from its parent.");
  }
  const uint32_t written = nextFileBlock_ - kRootEntryBlock;
  if (written != state_.fileEntries) {
    return BuilderError(job_, Format("The UDF area was sized for %u file entries, but %u were written.",
                                     state_.fileEntries, written));
  }
  if (state_.filesBefore.back() != job_.fileDataList.size()) {
    return BuilderError(job_, Format("The directories hold %u files, the file list %zu.", state_.filesBefore.back(),
                                     job_.fileDataList.size()));
  }
  return true;
}

bool DirectoryWalk::WriteDirectory(uint32_t k) {
  const size_t n = static_cast<size_t>(FileNumber(k));
  std::vector<DirectoryFileRecord> records;
  if (!ReadDirectoryFile(job_, static_cast<long>(n), true, records)) return false;
  const uint32_t streamStart = nextStreamBlock_;
  std::vector<uint8_t> stream;
  stream.reserve(IdentifierStreamBytes(records));
  AppendFileIdentifier(stream, streamStart, fid_characteristics::kParent, {}, kRootEntryBlock + ParentOf(k));
  fileIndex_ = state_.filesBefore[n];
  pendingEntries_.clear();
  pendingFirstBlock_ = nextFileBlock_;
  for (const DirectoryFileRecord& record : records) {
    bool added = record.isDirectory ? AddSubdirectory(k, record, stream, streamStart)
                                    : AddFile(k, record, stream, streamStart);
    if (!added) return false;
  }
  if (fileIndex_ != state_.filesBefore[n + 1]) {
    return BuilderError(job_, "The number of files in " + NameOf(k) + " changed after the UDF area was sized.");
  }
  return FlushFileEntries() && WriteStream(k, stream, streamStart);
}

bool DirectoryWalk::AddSubdirectory(uint32_t k, const DirectoryFileRecord& record, std::vector<uint8_t>& stream,
                                    uint32_t streamStart) {
  const std::u16string name = UdfNameOf(record);
  auto found = byJolietExtent_.find(record.extent);
  if (found == byJolietExtent_.end() || ParentOf(found->second) != k || referenced_[found->second]) {
    return BuilderError(job_, "The subdirectory " + EncodeUtf8(name) + " of " + NameOf(k) +
                                  " matches no directory of the path table.");
  }
  referenced_[found->second] = true;
  AppendFileIdentifier(stream, streamStart, fid_characteristics::kDirectory, EncodeCs0(name),
                       kRootEntryBlock + found->second);
  return true;
}

// A file's length comes from the file list (64 bits), whose records stand in
// the order of the directory files; the directory record must agree with it.
bool DirectoryWalk::AddFile(uint32_t k, const DirectoryFileRecord& record, std::vector<uint8_t>& stream,
                            uint32_t streamStart) {
  const std::u16string name = UdfNameOf(record);
  // The name for a message; most files never need it.
  auto shown = [&] { return NameOf(k) + "/" + EncodeUtf8(name); };
  if (fileIndex_ >= job_.fileDataList.size())
    return BuilderError(job_, "The file " + shown() + " is not in the file list.");
  const FileDataRecord& data = job_.fileDataList[fileIndex_++];
  if (data.startSector != record.extent || static_cast<uint32_t>(data.byteLength) != record.dataLength) {
    return BuilderError(job_, "The file " + shown() + " does not match its entry in the file list.");
  }
  if (data.startSector < state_.totals.partitionStart) {
    return BuilderError(job_, "The file " + shown() + " lies before the UDF partition.");
  }
  FileEntryFacts facts;
  facts.block = nextFileBlock_;
  facts.informationLength = data.byteLength;
  facts.extents = SplitIntoExtents(data.byteLength, data.startSector - state_.totals.partitionStart);
  if (facts.extents.size() > kMaxExtentsPerEntry) return BuilderError(job_, "The file " + shown() + " is too large.");
  if (facts.block >= kRootEntryBlock + state_.fileEntries) {
    return BuilderError(job_, Format("The UDF area was sized for %u file entries; %s is one more.",
                                     state_.fileEntries, shown().c_str()));
  }
  facts.uniqueId = state_.totals.nextUniqueId++;
  const size_t offset = pendingEntries_.size();
  pendingEntries_.resize(offset + kSectorSize, 0);
  BuildFileEntry(job_, pendingEntries_.data() + offset, facts);
  AppendFileIdentifier(stream, streamStart, fid_characteristics::kFile, EncodeCs0(name), facts.block);
  ++nextFileBlock_;
  ++state_.totals.files;
  if (pendingEntries_.size() >= kFileEntryPendingSectors * kSectorSize) return FlushFileEntries();
  return true;
}

// File Entries of one directory lie in consecutive blocks: they go out
// together.
bool DirectoryWalk::FlushFileEntries() {
  const size_t sectors = pendingEntries_.size() / kSectorSize;
  if (sectors > 0 && !writer_.WriteSectorsOnceAt(SectorOf(pendingFirstBlock_), pendingEntries_.data(), sectors))
    return false;
  pendingFirstBlock_ += static_cast<uint32_t>(sectors);
  pendingEntries_.clear();
  return true;
}

bool DirectoryWalk::WriteStream(uint32_t k, std::vector<uint8_t>& stream, uint32_t streamStart) {
  const uint64_t streamBytes = stream.size();
  const uint32_t blocks = static_cast<uint32_t>(BlocksFor(streamBytes));
  if (static_cast<uint64_t>(streamStart) + blocks > areaEnd_) {
    return BuilderError(job_, "The UDF identifiers of " + NameOf(k) + " exceed the space reserved for them.");
  }
  stream.resize(static_cast<size_t>(blocks) * kSectorSize, 0);
  if (!writer_.WriteSectorsAt(SectorOf(streamStart), stream.data(), blocks)) return false;
  nextStreamBlock_ = streamStart + blocks;
  ++state_.totals.directories;

  FileEntryFacts facts;
  facts.block = kRootEntryBlock + k;
  facts.isDirectory = true;
  facts.informationLength = streamBytes;
  facts.extents = SplitIntoExtents(streamBytes, streamStart);
  facts.uniqueId = k == 0 ? 0 : state_.totals.nextUniqueId++;
  return WriteEntry(facts.block, facts);
}

bool DirectoryWalk::WriteEntry(uint32_t block, const FileEntryFacts& facts) {
  if (facts.extents.size() > kMaxExtentsPerEntry) return BuilderError(job_, "A UDF directory is too large.");
  Sector sector{};
  BuildFileEntry(job_, sector.data(), facts);
  return writer_.WriteSectorsAt(SectorOf(block), sector.data(), 1);
}

}  // namespace

bool ParseDirectoryRecords(const std::vector<uint8_t>& bytes, std::vector<DirectoryFileRecord>& records,
                           size_t& badOffset) {
  records.clear();
  size_t seen = 0;
  for (size_t sectorStart = 0; sectorStart < bytes.size(); sectorStart += kSectorSize) {
    const size_t sectorEnd = std::min(bytes.size(), sectorStart + kSectorSize);
    size_t pos = sectorStart;
    while (pos < sectorEnd && bytes[pos] != 0) {
      const uint8_t* record = bytes.data() + pos;
      const size_t length = record[dir_record::kLength];
      const size_t nameLength = pos + dir_record::kIdentifierLength < sectorEnd
                                    ? record[dir_record::kIdentifierLength]
                                    : 0;
      if (length < kMinRecordLength || pos + length > sectorEnd || dir_record::kIdentifier + nameLength > length) {
        badOffset = pos;
        return false;
      }
      if (seen++ >= kDotRecords) {
        DirectoryFileRecord parsed;
        parsed.extent = GetLe32(record + dir_record::kExtent);
        parsed.dataLength = GetLe32(record + dir_record::kDataLength);
        parsed.isDirectory = (record[dir_record::kFileFlags] & dir_record::kFlagDirectory) != 0;
        parsed.identifier.assign(record + dir_record::kIdentifier, record + dir_record::kIdentifier + nameLength);
        records.push_back(std::move(parsed));
      }
      pos += length;
    }
  }
  if (seen < kDotRecords) {
    badOffset = 0;
    return false;
  }
  return true;
}

std::u16string UdfNameOf(const DirectoryFileRecord& jolietRecord) {
  std::u16string name;
  const std::vector<uint8_t>& id = jolietRecord.identifier;
  for (size_t i = 0; i + 1 < id.size(); i += 2) name.push_back(static_cast<char16_t>((id[i] << 8) | id[i + 1]));
  if (!jolietRecord.isDirectory && name.size() >= 2 && name.compare(name.size() - 2, 2, u";1") == 0)
    name.resize(name.size() - 2);
  return name;
}

size_t FileIdentifierLength(size_t nameBytes) {
  return RoundUp(kFileIdentifierFixedBytes + kFileIdentifierUseBytes + nameBytes, 4);
}

void AppendFileIdentifier(std::vector<uint8_t>& stream, uint32_t streamBlock, uint8_t characteristics,
                          const std::vector<uint8_t>& cs0Name, uint32_t entryBlock) {
  const size_t offset = stream.size();
  const size_t length = FileIdentifierLength(cs0Name.size());
  stream.resize(offset + length, 0);
  uint8_t* fid = stream.data() + offset;
  PutLe16(fid + kFidVersion, 1);
  fid[kFidCharacteristics] = characteristics;
  fid[kFidNameLength] = static_cast<uint8_t>(cs0Name.size());
  PutLongAd(fid + kFidIcb, kLogicalBlockSize, entryBlock, 0);
  PutLe16(fid + kFidUseLength, kFileIdentifierUseBytes);
  PutMarkedEntityId(fid + kFidUse, "TALVORN", kImplementationSuffix);
  std::copy(cs0Name.begin(), cs0Name.end(), fid + kFidUse + kFileIdentifierUseBytes);
  const uint32_t location = streamBlock + static_cast<uint32_t>(offset / kSectorSize);
  PutDescriptorTag(fid, udf_tag::kFileIdentifier, kDescriptorVersion, 0,
                   static_cast<uint16_t>(length - tag_field::kSize), location);
}

void BuildFileSetDescriptor(Job& job, uint8_t* sector) {
  PutTimestamp(sector + 16, job.clock->Now());
  PutLe16(sector + 28, 3);  // interchange level
  PutLe16(sector + 30, 3);  // maximum interchange level
  PutLe32(sector + 32, 1);  // character set list
  PutLe32(sector + 36, 1);  // maximum character set list
  PutLe32(sector + 40, 0);  // file set number
  PutLe32(sector + 44, 0);  // file set descriptor number
  PutCharspec(sector + 48);
  PutDstring(sector + 112, kLogicalVolumeIdentifierSize, UdfVolumeLabel(job));
  PutCharspec(sector + 240);
  PutDstring(sector + 304, 32, u"Root");
  PutLongAd(sector + 400, kLogicalBlockSize, kRootEntryBlock, 0);
  PutEntityId(sector + 416, "*OSTA UDF Compliant", kDomainSuffix);
  PutDescriptorTag(sector, udf_tag::kFileSet, kDescriptorVersion, 0, kFullSectorCrcLength, kFileSetBlock);
}

void BuildFileEntry(Job& job, uint8_t* sector, const FileEntryFacts& facts) {
  PutLe32(sector + kPriorEntries, facts.block - kRootEntryBlock);
  PutLe16(sector + kStrategyType, 4);
  PutLe16(sector + kMaximumEntries, 1);
  sector[kFileType] = facts.isDirectory ? kDirectoryType : kFileType5;
  PutLe16(sector + kIcbFlags, kEntryFlags);
  PutLe32(sector + kUid, 0xFFFFFFFFu);
  PutLe32(sector + kGid, 0xFFFFFFFFu);
  PutLe32(sector + kPermissions, kPermissionsReadExecute);
  PutLe16(sector + kLinkCount, 1);
  PutLe64(sector + kInformationLength, facts.informationLength);
  PutLe64(sector + kBlocksRecorded, BlocksFor(facts.informationLength));
  PutTimestamp(sector + kAccessTime, job.clock->Now());
  PutTimestamp(sector + kModificationTime, job.clock->Now());
  PutTimestamp(sector + kAttributeTime, job.clock->Now());
  PutLe32(sector + kCheckpoint, 1);
  PutMarkedEntityId(sector + kImplementationId, "*TALVORN", kImplementationSuffix);
  PutLe64(sector + kUniqueId, facts.uniqueId);
  PutLe32(sector + kExtendedAttributesLength, kExtendedAttributeBytes);
  const size_t descriptorBytes = facts.extents.size() * kShortAdSize;
  PutLe32(sector + kAllocationLength, static_cast<uint32_t>(descriptorBytes));
  PutExtendedAttributes(sector + kFileEntryFixedBytes, facts.block);
  uint8_t* ad = sector + kFileEntryFixedBytes + kExtendedAttributeBytes;
  for (const ShortAd& extent : facts.extents) {
    PutShortAd(ad, extent);
    ad += kShortAdSize;
  }
  const size_t entryBytes = kFileEntryFixedBytes + kExtendedAttributeBytes + descriptorBytes;
  PutDescriptorTag(sector, udf_tag::kFileEntry, kDescriptorVersion, 0,
                   static_cast<uint16_t>(entryBytes - tag_field::kSize), facts.block);
}

uint32_t EstimateIdentifierBytes(const std::vector<std::vector<DirectoryFileRecord>>& directoryFiles,
                                 uint32_t runningTotal) {
  uint64_t total = runningTotal;
  for (const std::vector<DirectoryFileRecord>& records : directoryFiles) {
    total += kParentIdentifierBytes;
    for (const DirectoryFileRecord& record : records)
      total += RoundUp(record.identifier.size() + 70 - (record.isDirectory ? 0 : 2), 4);
    total = RoundUp(total, kSectorSize);
  }
  return static_cast<uint32_t>(total);
}

bool WriteUdfFileSet(Job& job, SectorWriter& writer, const DirectoryTable& table, UdfFileSetState& state,
                     uint32_t& areaSectors) {
  state = UdfFileSetState{};
  state.totals.partitionStart = static_cast<uint32_t>(writer.NextSector());
  Sector fileSet{}, terminator{};
  BuildFileSetDescriptor(job, fileSet.data());
  BuildTerminatingDescriptor(terminator.data(), kFileSetBlock + 1);
  if (!writer.AppendImageSector(fileSet.data()) || !writer.AppendImageSector(terminator.data())) return false;

  // Record sizes depend only on names, so the directory files of the
  // scanning pass size the area exactly.
  const size_t directories = table.DirectoryCount();
  std::vector<std::vector<DirectoryFileRecord>> isoFiles(directories), jolietFiles(directories);
  uint64_t entries = 1;  // the root
  uint64_t exactBytes = 0;
  state.filesBefore.assign(directories + 1, 0);
  for (size_t n = 0; n < directories; ++n) {
    if (!ReadDirectoryFile(job, static_cast<long>(n), false, isoFiles[n]) ||
        !ReadDirectoryFile(job, static_cast<long>(n), true, jolietFiles[n]))
      return false;
    if (isoFiles[n].size() != jolietFiles[n].size()) {
      return BuilderError(job, "The ISO and Joliet directory files of " +
                                   (n == 0 ? std::string("ROOT") : table.entries[n - 1].path) + " differ.");
    }
    entries += isoFiles[n].size();
    exactBytes += RoundUp(IdentifierStreamBytes(jolietFiles[n]), kSectorSize);
    const auto files = std::count_if(jolietFiles[n].begin(), jolietFiles[n].end(),
                                     [](const DirectoryFileRecord& r) { return !r.isDirectory; });
    state.filesBefore[n + 1] = state.filesBefore[n] + static_cast<uint32_t>(files);
  }
  const uint64_t estimate = EstimateIdentifierBytes(jolietFiles, EstimateIdentifierBytes(isoFiles, 0));
  state.directories = static_cast<uint32_t>(directories);
  state.fileEntries = static_cast<uint32_t>(entries);
  state.estimatedBlocks = static_cast<uint32_t>(estimate / kSectorSize);
  state.reservedBlocks = static_cast<uint32_t>(std::max(estimate, exactBytes) / kSectorSize);
  const uint64_t area = 2 + entries + state.reservedBlocks;
  if (area > 0x7FFFFFFFull) return BuilderError(job, "The UDF area is too large.");
  areaSectors = static_cast<uint32_t>(area);
  return true;
}

bool WriteUdfDirectories(Job& job, SectorWriter& writer, const DirectoryTable& table, const PathTables& pathTables,
                         UdfFileSetState& state) {
  DirectoryWalk walk(job, writer, table, pathTables, state);
  return walk.Run() && writer.FlushImageSectors();
}

}  // namespace pravel
