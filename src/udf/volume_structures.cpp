#include "udf/volume_structures.h"

#include <array>
#include <cstring>

#include "job/runtime.h"
#include "intake/utf8.h"
#include "iso/byte_fields.h"
#include "platform/clock.h"
#include "udf/anchor.h"
#include "udf/descriptor_tag.h"
#include "udf/udf_fields.h"

namespace pravel {
namespace {

constexpr const char* kBuilderCaption = "Disc Image Builder Error!";
constexpr const char* kImplementation = "JARO VENSTIK";
constexpr uint32_t kFileSetExtentBytes = 4096;  // the file set descriptor and its terminator
constexpr uint32_t kSequenceGap = 10;          // zero sectors behind each six-descriptor sequence

void PutSequenceNumber(uint8_t* sector) { PutLe32(sector + 16, 1); }

bool AppendSector(SectorWriter& writer, const Sector& sector) { return writer.AppendImageSector(sector.data()); }

// The six descriptors of the main volume descriptor sequence.
std::array<Sector, 6> BuildMainSequence(Job& job) {
  std::array<Sector, 6> sequence{};
  BuildUdfPrimaryDescriptor(job, sequence[0].data(), kMainSequenceStart);
  BuildImplementationUseDescriptor(job, sequence[1].data(), kMainSequenceStart + 1);
  BuildPartitionDescriptor(sequence[2].data(), kMainSequenceStart + 2, 0, 0);
  BuildLogicalVolumeDescriptor(job, sequence[3].data(), kMainSequenceStart + 3);
  BuildUnallocatedSpaceDescriptor(sequence[4].data(), kMainSequenceStart + 4);
  BuildTerminatingDescriptor(sequence[5].data(), kMainSequenceStart + 5);
  return sequence;
}

// Appends a sequence from `first` on: every descriptor located in its own
// sector, then the zero sectors that fill the sequence's extent.
bool AppendSequence(SectorWriter& writer, std::array<Sector, 6> sequence, uint32_t first) {
  for (uint32_t i = 0; i < sequence.size(); ++i) {
    PutLe32(sequence[i].data() + 12, first + i);
    RefreshDescriptorTag(sequence[i].data());
    if (!AppendSector(writer, sequence[i])) return false;
  }
  return writer.AppendZeroSectors(kSequenceGap);
}

// Writes a completed main descriptor at `mainSector`, then the same bytes as
// the reserve copy at `reserveSector` with its own location.
bool RewriteBothCopies(SectorWriter& writer, Sector& descriptor, uint32_t mainSector, uint32_t reserveSector) {
  PutLe32(descriptor.data() + 12, mainSector);
  RefreshDescriptorTag(descriptor.data());
  if (!writer.WriteSectorsAt(mainSector, descriptor.data(), 1)) return false;
  Sector reserve = descriptor;
  PutLe32(reserve.data() + 12, reserveSector);
  RefreshDescriptorTag(reserve.data());
  return writer.WriteSectorsAt(reserveSector, reserve.data(), 1);
}

}  // namespace

void BuildRecognitionDescriptor(uint8_t* sector, std::string_view identifier) {
  sector[0] = 0;
  PutText(sector + 1, identifier.substr(0, 5));
  sector[6] = 1;
}

std::u16string UdfVolumeLabel(const Job& job) {
  const std::string volumeId = job.upperCaseNames ? AsciiUpper(job.volumeId) : job.volumeId;
  std::u16string label;
  if (DecodeUtf8(volumeId, label)) return label;
  return Latin1ToUcs2(volumeId);
}

void BuildUdfPrimaryDescriptor(Job& job, uint8_t* sector, uint32_t location) {
  PutSequenceNumber(sector);
  PutLe32(sector + 20, 1);
  PutDstring(sector + pvd_field::kVolumeIdentifier, pvd_field::kVolumeIdentifierSize, UdfVolumeLabel(job));
  PutLe16(sector + 56, 1);  // volume sequence number
  PutLe16(sector + 58, 1);  // maximum volume sequence number
  PutLe16(sector + 60, 2);  // interchange level
  PutLe16(sector + 62, 2);  // maximum interchange level
  PutLe32(sector + 64, 1);  // character set list
  PutLe32(sector + 68, 1);  // maximum character set list
  const std::string volumeSet = Format("%08x TALVORN", job.clock->TickCount());
  PutDstring(sector + pvd_field::kVolumeSetIdentifier, 128, Latin1ToUcs2(volumeSet));
  PutCharspec(sector + 200);
  PutCharspec(sector + 264);
  PutEntityId(sector + 344, "\\WINDOWS\\WIN3PLAY.EXE", kImplementationSuffix);
  PutTimestamp(sector + pvd_field::kRecordingTime, job.clock->Now());
  PutEntityId(sector + 388, kImplementation, kImplementationSuffix);
  PutText(sector + 420, "Kestrand 4.10");
  PutDescriptorTag(sector, udf_tag::kPrimaryVolume, kDescriptorVersion, 0, pvd_field::kCrcLength, location);
}

void BuildImplementationUseDescriptor(const Job& job, uint8_t* sector, uint32_t location) {
  PutSequenceNumber(sector);
  PutEntityId(sector + 20, "*UDF LV Info", kLvInfoSuffix);
  PutCharspec(sector + 52);
  // The logical volume information repeats the logical volume's identifier;
  // the three information fields stay empty (all zero).
  PutDstring(sector + iuvd_field::kLogicalVolumeIdentifier, kLogicalVolumeIdentifierSize, UdfVolumeLabel(job));
  PutEntityId(sector + 352, kImplementation, kImplementationSuffix);
  PutDescriptorTag(sector, udf_tag::kImplementationUse, kDescriptorVersion, 0, kFullSectorCrcLength, location);
}

void BuildPartitionDescriptor(uint8_t* sector, uint32_t location, uint32_t start, uint32_t length) {
  PutSequenceNumber(sector);
  PutLe16(sector + 20, 1);  // space allocated
  PutLe16(sector + 22, 0);  // partition number
  sector[24] = 2;           // partition contents: flags
  PutText(sector + 25, "+NSR02");
  PutLe32(sector + 184, 1);  // read-only
  PutLe32(sector + pd_field::kStartingLocation, start);
  PutLe32(sector + pd_field::kLength, length);
  PutEntityId(sector + 196, "*TALVORN", kImplementationSuffix);
  PutDescriptorTag(sector, udf_tag::kPartition, kDescriptorVersion, 0, pd_field::kCrcLength, location);
}

void BuildLogicalVolumeDescriptor(const Job& job, uint8_t* sector, uint32_t location) {
  PutSequenceNumber(sector);
  PutCharspec(sector + 20);
  PutDstring(sector + lvd_field::kLogicalVolumeIdentifier, kLogicalVolumeIdentifierSize, UdfVolumeLabel(job));
  PutLe32(sector + 212, kLogicalBlockSize);
  PutEntityId(sector + 216, "*OSTA UDF Compliant", kDomainSuffix);
  PutLongAd(sector + lvd_field::kFileSetLocation, kPlaceholder, kPlaceholder, 0);
  PutLe32(sector + 264, 6);  // map table length
  PutLe32(sector + 268, 1);  // number of partition maps
  PutEntityId(sector + 272, kImplementation, kImplementationSuffix);
  PutExtent(sector + 432, kIntegrityExtentBytes, kIntegritySector);
  sector[440] = 1;           // partition map type 1
  sector[441] = 6;           // its length
  PutLe16(sector + 442, 1);  // volume sequence number
  PutLe16(sector + 444, 0);  // partition number
  PutDescriptorTag(sector, udf_tag::kLogicalVolume, kDescriptorVersion, 0, lvd_field::kCrcLength, location);
}

void BuildUnallocatedSpaceDescriptor(uint8_t* sector, uint32_t location) {
  PutSequenceNumber(sector);
  PutLe32(sector + 20, 0);  // no allocation descriptors
  PutDescriptorTag(sector, udf_tag::kUnallocatedSpace, kDescriptorVersion, 0, kUnallocatedCrcLength, location);
}

void BuildTerminatingDescriptor(uint8_t* sector, uint32_t location) {
  PutDescriptorTag(sector, udf_tag::kTerminating, kDescriptorVersion, 0, kFullSectorCrcLength, location);
}

void BuildIntegrityDescriptor(Job& job, uint8_t* sector) {
  PutTimestamp(sector + 16, job.clock->Now());
  PutLe32(sector + 28, 1);  // close
  PutExtent(sector + 32, 0, 0);
  PutLe64(sector + lvid_field::kUniqueId, kFirstUniqueId);
  PutLe32(sector + 72, 1);  // number of partitions
  PutLe32(sector + lvid_field::kImplementationUseLength, lvid_field::kImplementationUseBytes);
  PutLe32(sector + lvid_field::kFreeSpaceTable, 0);
  PutLe32(sector + lvid_field::kSizeTable, kPlaceholder);
  PutEntityId(sector + lvid_field::kImplementationId, kImplementation, kImplementationSuffix);
  PutLe32(sector + lvid_field::kNumberOfFiles, kPlaceholder);
  PutLe32(sector + lvid_field::kNumberOfDirectories, kPlaceholder);
  PutLe16(sector + lvid_field::kMinimumReadRevision, kUdfRevision);
  PutLe16(sector + lvid_field::kMinimumWriteRevision, kUdfRevision);
  PutLe16(sector + lvid_field::kMaximumWriteRevision, kUdfRevision);
  PutDescriptorTag(sector, udf_tag::kIntegrity, kDescriptorVersion, 0, lvid_field::kCrcLength, kIntegritySector);
}

bool WriteUdfVolumeDescriptors(Job& job, SectorWriter& writer, UdfVolumeState& state) {
  if (writer.NextSector() != kRecognitionSector) {
    ShowMessage(job, Format("The UDF descriptors must start at sector %u, not at %llu.", kRecognitionSector,
                            static_cast<unsigned long long>(writer.NextSector())),
                kBuilderCaption);
    return false;
  }
  state = UdfVolumeState{};
  for (std::string_view identifier : {"BEA01", "NSR02", "TEA01"}) {
    Sector sector{};
    BuildRecognitionDescriptor(sector.data(), identifier);
    if (!AppendSector(writer, sector)) return false;
  }
  if (!writer.AppendZeroSectors(kMainSequenceStart - writer.NextSector())) return false;
  // The reserve sequence is the main one, each descriptor with its own location.
  const std::array<Sector, 6> sequence = BuildMainSequence(job);
  state.partition = sequence[2];
  state.logicalVolume = sequence[3];
  if (!AppendSequence(writer, sequence, kMainSequenceStart) || !AppendSequence(writer, sequence, kReserveSequenceStart))
    return false;
  BuildIntegrityDescriptor(job, state.integrity.data());
  Sector terminator{};
  BuildTerminatingDescriptor(terminator.data(), kIntegritySector + 1);
  if (!AppendSector(writer, state.integrity) || !AppendSector(writer, terminator)) return false;
  if (!writer.AppendZeroSectors(kAnchorSector - writer.NextSector())) return false;
  Sector anchor{};
  BuildAnchorPointer(anchor.data(), kAnchorSector);
  return AppendSector(writer, anchor);
}

bool PatchUdfVolumeDescriptors(Job& job, SectorWriter& writer, UdfVolumeState& state, const UdfTotals& totals) {
  const uint32_t end = job.volumeSectors;
  const uint32_t start = totals.partitionStart;
  if (start == 0 || end <= start) {
    ShowMessage(job, Format("The UDF partition can not end at sector %u when it starts at sector %u.", end, start),
                kBuilderCaption);
    return false;
  }
  PutLe32(state.partition.data() + pd_field::kStartingLocation, start);
  PutLe32(state.partition.data() + pd_field::kLength, end - start);
  if (!RewriteBothCopies(writer, state.partition, kMainSequenceStart + 2, kReserveSequenceStart + 2)) return false;

  PutLongAd(state.logicalVolume.data() + lvd_field::kFileSetLocation, kFileSetExtentBytes, 0, 0);
  if (!RewriteBothCopies(writer, state.logicalVolume, kMainSequenceStart + 3, kReserveSequenceStart + 3))
    return false;

  uint8_t* integrity = state.integrity.data();
  PutLe64(integrity + lvid_field::kUniqueId, static_cast<uint64_t>(totals.nextUniqueId) + 1);
  PutLe32(integrity + lvid_field::kSizeTable, end - start);
  PutLe32(integrity + lvid_field::kNumberOfFiles, totals.files + totals.directories);
  PutLe32(integrity + lvid_field::kNumberOfDirectories, totals.directories);
  RefreshDescriptorTag(integrity);
  return writer.WriteSectorsAt(kIntegritySector, integrity, 1) && writer.FlushImageSectors();
}

}  // namespace pravel
