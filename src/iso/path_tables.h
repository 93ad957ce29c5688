// Directory ordering and the path tables: the sort of every directory listing
// file, the numbers and parents of the directories, and the ISO 9660 and
// Joliet path tables in their L (little-endian) and M (big-endian) forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job.h"
#include "iso/directory_table.h"
#include "iso/sector_writer.h"

namespace pravel {

inline constexpr uint32_t kFirstPathTableSector = 450;
inline constexpr size_t kMaxDirectoryEntries = 100000;  // entries of one directory, exclusive

struct PathTableSize {
  uint32_t bytes = 0;    // the Path Table Size of the volume descriptor
  uint32_t sectors = 0;  // sectors of one slot (records never straddle a slot's count)
};

// Sectors of the eight path table slots, from P (ISO) and J (Joliet).
struct PathTableSlots {
  uint32_t isoL = 0, isoLCopy = 0, isoM = 0, isoMCopy = 0;
  uint32_t jolietM = 0, jolietMCopy = 0, jolietL = 0, jolietLCopy = 0;
  uint32_t rootIsoExtent = 0;  // R, the first sector behind the slots
};
PathTableSlots MakePathTableSlots(uint32_t isoSectors, uint32_t jolietSectors);

// One directory as the path tables see it; record 0 is the root.
struct PathTableRecord {
  std::vector<uint8_t> isoIdentifier;     // ISO directory identifier; {0x00} for the root
  std::vector<uint8_t> jolietIdentifier;  // UCS-2 big-endian; {0x00} for the root
  std::string longName;                   // last component as found; "" for the root
  uint32_t extent = 0;                    // ISO extent
  uint32_t jolietExtent = 0;
  uint16_t parent = 1;                    // parent's number (in the current order)
  uint16_t oldNumber = 1;                 // number before the final ordering
  uint16_t level = 1;                     // root 1, its children 2, ...
};

class PathTables {
 public:
  // Builds the records of the root and of every directory of the table, and
  // finds each directory's parent (stored into table.entries[i].parent too).
  // False after a message when a directory's parent is not in the tree.
  bool Build(Job& job, DirectoryTable& table);

  // Sizes of the tables in their final order (the slots they are given).
  PathTableSize IsoSize() const { return isoSize_; }
  PathTableSize JolietSize() const { return jolietSize_; }

  // Takes the extents from the table, then orders the records by level, the
  // parent's new number and the name, and renumbers the parents.
  void Finalize(const DirectoryTable& table);

  // The tables in their on-disc forms, zero-filled to whole sectors.
  std::vector<uint8_t> IsoTable(bool bigEndian) const;
  std::vector<uint8_t> JolietTable(bool bigEndian) const;

  // Writes "_pdir.txt" and "_pdirX.txt" in the temporary directory and the
  // final tables into all eight slots.
  bool WriteFinal(Job& job, SectorWriter& writer, const PathTableSlots& slots) const;

  // Records in their current order (final order after Finalize).
  const std::vector<PathTableRecord>& Records() const { return records_; }

 private:
  void SizeSlotsInFinalOrder();

  std::vector<PathTableRecord> records_;
  PathTableSize isoSize_, jolietSize_;
  bool upperCaseNames_ = false;  // names are ordered upper-cased, as the disc shows them
};

// Sorts a directory listing file in place: entries in byte order of their
// names (upper-cased when upperCaseNames is set), a directory's trailing '/'
// left out of the comparison. False after a message.
bool SortListingFile(Job& job, const std::string& path, const std::string& displayName);

}  // namespace pravel
