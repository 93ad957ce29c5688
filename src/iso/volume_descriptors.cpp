#include "iso/volume_descriptors.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "job/date_text.h"
#include "job/runtime.h"
#include "intake/name_rules.h"
#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "iso/iso_dates.h"
#include "iso/sector_writer.h"

namespace pravel {
namespace {

// Offsets of the primary and supplementary volume descriptor fields.
namespace vd_field {
inline constexpr size_t kType = 0;
inline constexpr size_t kStandardIdentifier = 1;      // "CD001"
inline constexpr size_t kVersion = 6;
inline constexpr size_t kSystemId = 8;                // 32 bytes
inline constexpr size_t kVolumeId = 40;               // 32 bytes
inline constexpr size_t kVolumeSpaceSize = 80;        // both byte orders, 8 bytes
inline constexpr size_t kEscapeSequences = 88;        // supplementary only, 3 bytes used
inline constexpr size_t kVolumeSetSize = 120;         // both byte orders, 4 bytes
inline constexpr size_t kVolumeSequenceNumber = 124;  // both byte orders, 4 bytes
inline constexpr size_t kLogicalBlockSize = 128;      // both byte orders, 4 bytes
inline constexpr size_t kPathTableSize = 132;         // both byte orders, 8 bytes
inline constexpr size_t kTypeLPathTable = 140;        // little-endian
inline constexpr size_t kOptionalTypeLPathTable = 144;
inline constexpr size_t kTypeMPathTable = 148;        // big-endian
inline constexpr size_t kOptionalTypeMPathTable = 152;
inline constexpr size_t kRootDirectoryRecord = 156;   // 34 bytes
inline constexpr size_t kVolumeSetId = 190;           // 128 bytes each
inline constexpr size_t kPublisherId = 318;
inline constexpr size_t kPreparerId = 446;
inline constexpr size_t kApplicationId = 574;
inline constexpr size_t kCopyrightFileId = 702;       // 37 bytes each
inline constexpr size_t kAbstractFileId = 739;
inline constexpr size_t kBiblioFileId = 776;
inline constexpr size_t kCreationDate = 813;          // 17 bytes each
inline constexpr size_t kModificationDate = 830;
inline constexpr size_t kExpirationDate = 847;
inline constexpr size_t kEffectiveDate = 864;
inline constexpr size_t kFileStructureVersion = 881;

inline constexpr size_t kShortIdSize = 32;
inline constexpr size_t kLongIdSize = 128;
inline constexpr size_t kFileIdSize = 37;
inline constexpr size_t kDateDigits = 16;  // then one byte of zone offset
}  // namespace vd_field

constexpr uint8_t kPrimaryType = 1;
constexpr uint8_t kSupplementaryType = 2;
constexpr uint8_t kTerminatorType = 255;
constexpr std::string_view kStandardId = "CD001";
constexpr uint8_t kDescriptorVersion = 1;
constexpr uint8_t kStructureVersion = 1;
constexpr uint8_t kJolietEscape[3] = {0x25, 0x2F, 0x45};  // UCS-2 Level 3
constexpr std::string_view kNoDate = "0000000000000000";

// The fields that differ between the ISO 9660 and the Joliet descriptor.
struct TreeView {
  uint8_t type = 0;
  FieldForm form = FieldForm::kByte;
  uint32_t pathTableBytes = 0;
  uint32_t typeLLocation = 0;  // little-endian in the descriptor
  uint32_t typeMLocation = 0;  // big-endian in the descriptor
  uint32_t rootExtent = 0;
  uint32_t rootLength = 0;
};

void PutHeader(uint8_t* sector, uint8_t type) {
  PutU8(sector + vd_field::kType, type);
  PutText(sector + vd_field::kStandardIdentifier, kStandardId);
  PutU8(sector + vd_field::kVersion, kDescriptorVersion);
}

void PutIdentifier(Job& job, uint8_t* field, const std::string& text, size_t size, FieldForm form,
                   bool isPath) {
  FillField(field, size, form, ' ');
  WriteIdentifierField(job, field, text, size, form, isPath);
}

// A date of the format descriptor counts when it does not begin with '0'.
// A text of fewer than 16 characters can not name a date; it counts as not
// given, as the loader treats a short creation date.
bool IsGivenDate(const std::string& text) {
  return text.size() >= vd_field::kDateDigits && text[0] != '0';
}

// The 17-byte date form: 16 digits, then the offset from UTC in quarter hours.
void PutDate(uint8_t* field, const platform::LocalTime& time) {
  const platform::LocalTime zoned = InIsoZone(time);
  PutText(field, Format("%04d%02d%02d%02d%02d%02d%02d", zoned.year, zoned.month, zoned.day, zoned.hour, zoned.minute,
                        zoned.second, zoned.hundredths));
  PutU8(field + vd_field::kDateDigits, IsoZoneByte(zoned));
}

// Sixteen '0' digits and offset 0: no date.
void PutNoDate(uint8_t* field) {
  PutText(field, kNoDate);
  PutU8(field + vd_field::kDateDigits, 0);
}

// A date the operator gave is a wall-clock time of the local zone and takes
// the offset that zone had at that time. Its digits go in as they are (as
// UTC only when the offset can not be recorded). A text that names no date
// (letters, a 13th month, a 31st of February) would make readers refuse the
// volume: false, and the caller writes its own date instead.
constexpr int kLatestYear = 9999;

bool PutGivenDate(Job& job, uint8_t* field, const std::string& text) {
  std::optional<platform::LocalTime> wallClock = ReadDateText(text);
  if (!wallClock) return false;
  wallClock->utcOffsetMinutes = job.clock->UtcOffsetAt(*wallClock);
  // The last day of 9999 west of Greenwich is a day of 10000 in UTC.
  if (InIsoZone(*wallClock).year > kLatestYear) return false;
  PutDate(field, *wallClock);
  return true;
}

void PutDates(Job& job, const VolumeLayout& layout, uint8_t* sector) {
  using namespace vd_field;
  platform::LocalTime built = layout.buildDate;
  built.hundredths = 0;  // the build date is written to the second
  for (auto [offset, text] : {std::pair{kCreationDate, &job.creationDate},
                              std::pair{kModificationDate, &job.modificationDate},
                              std::pair{kEffectiveDate, &job.effectiveDate}}) {
    if (!IsGivenDate(*text) || !PutGivenDate(job, sector + offset, *text)) PutDate(sector + offset, built);
  }
  if (!IsGivenDate(job.expirationDate) || !PutGivenDate(job, sector + kExpirationDate, job.expirationDate))
    PutNoDate(sector + kExpirationDate);
}

void PutIdentifiers(Job& job, uint8_t* sector, FieldForm form) {
  using namespace vd_field;
  PutIdentifier(job, sector + kSystemId, job.systemId, kShortIdSize, form, false);
  PutIdentifier(job, sector + kVolumeId, job.volumeId, kShortIdSize, form, false);
  PutIdentifier(job, sector + kVolumeSetId, job.albumId, kLongIdSize, form, false);
  PutIdentifier(job, sector + kPublisherId, job.publisherId, kLongIdSize, form, false);
  PutIdentifier(job, sector + kPreparerId, job.preparerId, kLongIdSize, form, false);
  PutIdentifier(job, sector + kApplicationId, job.applicationId, kLongIdSize, form, false);
  // A file identifier that names a path takes the name rule of that file; a
  // bare name is written as it stands, since looking it up would ask the
  // directory Pravel happens to run in.
  for (auto [offset, text] : {std::pair{kCopyrightFileId, &job.copyrightFileId},
                              std::pair{kAbstractFileId, &job.abstractFileId},
                              std::pair{kBiblioFileId, &job.biblioFileId}}) {
    const bool isPath = text->find('/') != std::string::npos;
    PutIdentifier(job, sector + offset, *text, kFileIdSize, form, isPath);
  }
}

void BuildDescriptor(Job& job, const VolumeLayout& layout, const TreeView& tree, uint8_t* sector) {
  using namespace vd_field;
  PutHeader(sector, tree.type);
  PutIdentifiers(job, sector, tree.form);
  PutBoth32(sector + kVolumeSpaceSize, layout.volumeSpaceSize);
  PutBoth16(sector + kVolumeSetSize, 1);
  PutBoth16(sector + kVolumeSequenceNumber, 1);
  PutBoth16(sector + kLogicalBlockSize, static_cast<uint16_t>(kSectorSize));
  PutBoth32(sector + kPathTableSize, tree.pathTableBytes);
  PutLe32(sector + kTypeLPathTable, tree.typeLLocation);
  PutLe32(sector + kOptionalTypeLPathTable, 0);
  PutBe32(sector + kTypeMPathTable, tree.typeMLocation);
  PutBe32(sector + kOptionalTypeMPathTable, 0);
  PutRootDirectoryRecord(sector + kRootDirectoryRecord, tree.rootExtent, tree.rootLength, layout.buildDate);
  PutDates(job, layout, sector);
  PutU8(sector + kFileStructureVersion, kStructureVersion);
}

}  // namespace

void BuildPrimaryVolumeDescriptor(Job& job, const VolumeLayout& layout, uint8_t* sector) {
  TreeView iso;
  iso.type = kPrimaryType;
  iso.form = FieldForm::kByte;
  iso.pathTableBytes = layout.isoPathTable.bytes;
  iso.typeLLocation = layout.slots.isoL;
  iso.typeMLocation = layout.slots.isoM;
  iso.rootExtent = layout.rootIsoExtent;
  iso.rootLength = layout.rootIsoLength;
  BuildDescriptor(job, layout, iso, sector);
}

void BuildSupplementaryVolumeDescriptor(Job& job, const VolumeLayout& layout, uint8_t* sector) {
  TreeView joliet;
  joliet.type = kSupplementaryType;
  joliet.form = FieldForm::kTwoByte;
  joliet.pathTableBytes = layout.jolietPathTable.bytes;
  joliet.typeLLocation = layout.slots.jolietL;
  joliet.typeMLocation = layout.slots.jolietM;
  joliet.rootExtent = layout.rootJolietExtent;
  joliet.rootLength = layout.rootJolietLength;
  BuildDescriptor(job, layout, joliet, sector);
  std::copy(std::begin(kJolietEscape), std::end(kJolietEscape), sector + vd_field::kEscapeSequences);
}

void BuildVolumeDescriptorSetTerminator(uint8_t* sector) { PutHeader(sector, kTerminatorType); }

}  // namespace pravel
