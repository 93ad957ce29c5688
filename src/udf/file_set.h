// The UDF partition's contents: the file set descriptor and its terminator
// (blocks 0 and 1), a File Entry for every directory (block 2 + k, k the
// directory's path table number from 0) and every file (from block 2 + D),
// and the directories' File Identifier streams (from block 2 + N). The tree
// is derived from the Joliet directory files the builder has written; file
// data is shared with the ISO and Joliet trees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job.h"
#include "iso/directory_table.h"
#include "iso/path_tables.h"
#include "iso/sector_writer.h"
#include "udf/udf_fields.h"
#include "udf/volume_structures.h"

namespace pravel {

inline constexpr uint32_t kFileSetBlock = 0;
inline constexpr uint32_t kRootEntryBlock = 2;
inline constexpr uint16_t kFileEntryFixedBytes = 176;
inline constexpr uint16_t kExtendedAttributeBytes = 116;
inline constexpr size_t kFileIdentifierFixedBytes = 38;
inline constexpr size_t kFileIdentifierUseBytes = 32;
inline constexpr size_t kParentIdentifierBytes = 72;  // 38 + 32, padded to 4

// File characteristics of a File Identifier Descriptor.
namespace fid_characteristics {
inline constexpr uint8_t kFile = 0x00;
inline constexpr uint8_t kDirectory = 0x02;
inline constexpr uint8_t kParent = 0x0A;
}  // namespace fid_characteristics

// One record of a directory file, "." and ".." left out.
struct DirectoryFileRecord {
  uint32_t extent = 0;
  uint32_t dataLength = 0;
  bool isDirectory = false;
  std::vector<uint8_t> identifier;  // as recorded: 8-bit (ISO) or UCS-2 big-endian (Joliet)
};

// Reads the records of a directory file sector by sector (a length byte of 0
// ends a sector) and leaves out the first two. False when a record runs past
// its sector or is shorter than a record can be; `badOffset` tells where.
bool ParseDirectoryRecords(const std::vector<uint8_t>& bytes, std::vector<DirectoryFileRecord>& records,
                           size_t& badOffset);

// The UDF name of a Joliet record: its UCS-2 characters, a file's ";1"
// version suffix left off.
std::u16string UdfNameOf(const DirectoryFileRecord& jolietRecord);

// The bytes of a File Identifier Descriptor whose name takes `nameBytes`
// bytes of CS0, padded to a multiple of 4.
size_t FileIdentifierLength(size_t nameBytes);

// Appends a File Identifier Descriptor at the end of `stream` (padded to a
// multiple of 4), its tag located in the block holding its first byte;
// `streamBlock` is the stream's first block.
void AppendFileIdentifier(std::vector<uint8_t>& stream, uint32_t streamBlock, uint8_t characteristics,
                          const std::vector<uint8_t>& cs0Name, uint32_t entryBlock);

// The File Set Descriptor (block 0).
void BuildFileSetDescriptor(Job& job, uint8_t* sector);

struct FileEntryFacts {
  uint32_t block = 0;
  bool isDirectory = false;
  uint64_t informationLength = 0;
  std::vector<ShortAd> extents;
  uint64_t uniqueId = 0;
};
// Most allocation descriptors one File Entry block holds.
inline constexpr size_t kMaxExtentsPerEntry =
    (kSectorSize - kFileEntryFixedBytes - kExtendedAttributeBytes) / kShortAdSize;

// A File Entry with its extended attribute space, in a zeroed sector.
void BuildFileEntry(Job& job, uint8_t* sector, const FileEntryFacts& facts);

// Sizing and counters of one build's UDF area.
struct UdfFileSetState {
  uint32_t directories = 0;    // D
  uint32_t fileEntries = 0;    // N, directories and files
  uint32_t reservedBlocks = 0; // R, for the identifier streams
  uint32_t estimatedBlocks = 0;
  std::vector<uint32_t> filesBefore;  // by directory file number: file records in those before it
  UdfTotals totals;
};

// The identifier space reserved by the estimate over both trees' directory
// files: per file 72 bytes, per record its name length + 70 (less 2 for a
// file) rounded up to 4, the total rounded up to 2048 after each file.
uint32_t EstimateIdentifierBytes(const std::vector<std::vector<DirectoryFileRecord>>& directoryFiles,
                                 uint32_t runningTotal);

// At the partition start P (writer.NextSector()): appends the file set
// descriptor and its terminator, sizes the UDF area from the directory files
// of the scanning pass and returns its sectors from P (2 + N + R). False
// after a message.
bool WriteUdfFileSet(Job& job, SectorWriter& writer, const DirectoryTable& table, UdfFileSetState& state,
                     uint32_t& areaSectors);

// Writes every File Entry and identifier stream in place once the Joliet
// directory files hold their final extents. False after a message.
bool WriteUdfDirectories(Job& job, SectorWriter& writer, const DirectoryTable& table, const PathTables& pathTables,
                         UdfFileSetState& state);

}  // namespace pravel
