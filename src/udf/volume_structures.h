// The UDF structures outside the partition: the volume recognition
// sequence (19-21), the main (32-37) and reserve (48-53) volume descriptor
// sequences, the integrity sequence (64-65) and the anchor (256); and the
// closing patch that fills in the partition, the file set's address and the
// integrity counts once the volume's end is known.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "job/job.h"
#include "iso/sector_writer.h"

namespace pravel {

inline constexpr uint32_t kRecognitionSector = 19;  // BEA01, NSR02, TEA01
inline constexpr uint32_t kMainSequenceStart = 32;
inline constexpr uint32_t kReserveSequenceStart = 48;
inline constexpr uint32_t kIntegritySector = 64;
inline constexpr uint32_t kIntegrityExtentBytes = 4096;
inline constexpr uint32_t kFirstUniqueId = 16;
inline constexpr uint32_t kPlaceholder = 1000;  // values the patch replaces

// Tag identifiers.
namespace udf_tag {
inline constexpr uint16_t kPrimaryVolume = 1;
inline constexpr uint16_t kAnchor = 2;
inline constexpr uint16_t kImplementationUse = 4;
inline constexpr uint16_t kPartition = 5;
inline constexpr uint16_t kLogicalVolume = 6;
inline constexpr uint16_t kUnallocatedSpace = 7;
inline constexpr uint16_t kTerminating = 8;
inline constexpr uint16_t kIntegrity = 9;
inline constexpr uint16_t kFileSet = 256;
inline constexpr uint16_t kFileIdentifier = 257;
inline constexpr uint16_t kFileEntry = 261;
inline constexpr uint16_t kExtendedAttributeHeader = 262;
}  // namespace udf_tag

// Offsets of the fields the patch and the tests touch.
inline constexpr size_t kLogicalVolumeIdentifierSize = 128;  // dstring, in LVD, LV Info and FSD

namespace pvd_field {
inline constexpr size_t kVolumeIdentifier = 24;  // dstring
inline constexpr size_t kVolumeIdentifierSize = 32;
inline constexpr size_t kVolumeSetIdentifier = 72;  // dstring, 128 bytes
inline constexpr size_t kRecordingTime = 376;
inline constexpr uint16_t kCrcLength = 496;
}  // namespace pvd_field
namespace pd_field {
inline constexpr size_t kStartingLocation = 188;
inline constexpr size_t kLength = 192;
inline constexpr uint16_t kCrcLength = 496;
}  // namespace pd_field
namespace iuvd_field {
inline constexpr size_t kLogicalVolumeIdentifier = 116;  // in the LV Info of the implementation use
}  // namespace iuvd_field
namespace lvd_field {
inline constexpr size_t kLogicalVolumeIdentifier = 84;  // dstring, 128 bytes
inline constexpr size_t kFileSetLocation = 248;         // long allocation descriptor
inline constexpr uint16_t kCrcLength = 430;
}  // namespace lvd_field
namespace lvid_field {
inline constexpr size_t kUniqueId = 40;
inline constexpr size_t kImplementationUseLength = 76;
inline constexpr size_t kFreeSpaceTable = 80;
inline constexpr size_t kSizeTable = 84;
inline constexpr size_t kImplementationId = 88;
inline constexpr size_t kNumberOfFiles = 120;
inline constexpr size_t kNumberOfDirectories = 124;
inline constexpr size_t kMinimumReadRevision = 128;
inline constexpr size_t kMinimumWriteRevision = 130;
inline constexpr size_t kMaximumWriteRevision = 132;
inline constexpr uint32_t kImplementationUseBytes = 46;
inline constexpr uint16_t kCrcLength = 118;
}  // namespace lvid_field
inline constexpr uint16_t kUdfRevision = 0x0102;
inline constexpr uint16_t kFullSectorCrcLength = 496;
inline constexpr uint16_t kUnallocatedCrcLength = 16;

// What the patch needs from the file set.
struct UdfTotals {
  uint32_t partitionStart = 0;  // P
  uint32_t nextUniqueId = kFirstUniqueId;
  uint32_t files = 0;
  uint32_t directories = 0;
};

// The main descriptors the patch completes, as they were written.
struct UdfVolumeState {
  Sector partition{};
  Sector logicalVolume{};
  Sector integrity{};
};

// The disc's label as UDF shows it: the descriptor's volume identifier
// (upper-cased with the disc's names), read as UTF-8 where it is valid UTF-8.
// The volume, the logical volume and the file set all carry it.
std::u16string UdfVolumeLabel(const Job& job);

// Descriptor builders: each fills a zeroed sector and tags it for `location`.
void BuildRecognitionDescriptor(uint8_t* sector, std::string_view identifier);
void BuildUdfPrimaryDescriptor(Job& job, uint8_t* sector, uint32_t location);
void BuildImplementationUseDescriptor(const Job& job, uint8_t* sector, uint32_t location);
void BuildPartitionDescriptor(uint8_t* sector, uint32_t location, uint32_t start, uint32_t length);
void BuildLogicalVolumeDescriptor(const Job& job, uint8_t* sector, uint32_t location);
void BuildUnallocatedSpaceDescriptor(uint8_t* sector, uint32_t location);
void BuildTerminatingDescriptor(uint8_t* sector, uint32_t location);
void BuildIntegrityDescriptor(Job& job, uint8_t* sector);

// Appends sectors 19 to 256; the writer must stand at sector 19. Keeps the
// descriptors the patch completes in `state`. False after a message.
bool WriteUdfVolumeDescriptors(Job& job, SectorWriter& writer, UdfVolumeState& state);

// Sets partition start and length (E - P, E = job.volumeSectors), the file
// set's address, the unique id and the counts, and rewrites sectors 34/50,
// 35/51 and 64, each re-tagged. False after a message.
bool PatchUdfVolumeDescriptors(Job& job, SectorWriter& writer, UdfVolumeState& state, const UdfTotals& totals);

}  // namespace pravel
