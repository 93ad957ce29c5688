// The navigation tables of DVD-Video information files that say where the
// files of the video manager and of each title set lie. Every number is a
// big-endian sector count from the first sector of that set's information
// file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pravel {

// Offsets in the first sector of VIDEO_TS.IFO (the video manager's table).
namespace vmg_field {
inline constexpr size_t kIdentifier = 0;              // "DVDVIDEO-VMG"
inline constexpr size_t kLastSector = 12;             // last sector of the video manager
inline constexpr size_t kInformationLastSector = 28;  // last sector of VIDEO_TS.IFO
inline constexpr size_t kMenuStart = 192;             // first sector of VIDEO_TS.VOB; 0: none
inline constexpr size_t kTitleSearchTable = 196;      // sector of the title search pointer table
}  // namespace vmg_field

// The title search pointer table: a count, then one entry per title.
namespace title_search {
inline constexpr size_t kTitleCount = 0;  // 16 bits
inline constexpr size_t kFirstEntry = 8;
inline constexpr size_t kEntrySize = 12;
inline constexpr size_t kTitleSetNumber = 6;  // in an entry, 8 bits
inline constexpr size_t kTitleSetStart = 8;   // in an entry: first sector of the set, from VIDEO_TS.IFO
}  // namespace title_search

// Offsets in the first sector of VTS_nn_0.IFO (a title set's table).
namespace vts_field {
inline constexpr size_t kIdentifier = 0;              // "DVDVIDEO-VTS"
inline constexpr size_t kLastSector = 12;             // last sector of the title set
inline constexpr size_t kInformationLastSector = 28;  // last sector of VTS_nn_0.IFO
inline constexpr size_t kMenuStart = 192;             // first sector of VTS_nn_0.VOB; 0: none
inline constexpr size_t kTitleStart = 196;            // first sector of VTS_nn_1.VOB
}  // namespace vts_field

inline constexpr char kManagerIdentifier[] = "DVDVIDEO-VMG";
inline constexpr char kTitleSetIdentifier[] = "DVDVIDEO-VTS";

struct TitleSearchEntry {
  int titleSet = 0;     // 1 to 99
  uint32_t start = 0;   // the set's first sector, from VIDEO_TS.IFO
};

struct ManagerTables {
  uint32_t lastSector = 0;
  uint32_t informationLastSector = 0;
  uint32_t menuStart = 0;
  std::vector<TitleSearchEntry> titles;
};

struct TitleSetTables {
  uint32_t lastSector = 0;
  uint32_t informationLastSector = 0;
  uint32_t menuStart = 0;
  uint32_t titleStart = 0;
};

// Read the tables of an information file. False with `fault` set to a
// sentence that names the file: it can not be read, lacks its identifier,
// or is too short for a table it points to.
bool ReadManagerTables(const std::string& path, ManagerTables& tables, std::string& fault);
bool ReadTitleSetTables(const std::string& path, TitleSetTables& tables, std::string& fault);

}  // namespace pravel
