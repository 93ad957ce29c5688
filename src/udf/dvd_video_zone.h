// The DVD-Video zone: the VIDEO_TS files of a title, checked against the
// DVD-Video naming and size rules and placed first in the data area, in the
// order players expect.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "job/job.h"
#include "iso/udf_stage.h"

namespace pravel {

inline constexpr uint64_t kMaxVideoObjectBytes = 1073739776;  // 2048 bytes less than 1 GiB
inline constexpr int kTitleSets = 99;
inline constexpr int kObjectsPerSet = 10;

struct ZoneFile {
  std::string path;  // as in the tree listing; empty when absent
  uint64_t length = 0;
  uint32_t offset = 0;       // first sector, counted from the start of the zone
  uint32_t startSector = 0;  // first sector in the volume, once placed
  uint32_t sectorCount = 0;
};

struct TitleSet {
  ZoneFile information;                           // VTS_nn_0.IFO
  ZoneFile backup;                                // VTS_nn_0.BUP
  std::array<ZoneFile, kObjectsPerSet> objects;   // VTS_nn_0.VOB .. VTS_nn_9.VOB
};

class DvdVideoZone {
 public:
  // Reads the tree listing and fills the zone, then lays the zone out where
  // the navigation tables of its information files say each file lies.
  // False (after a message or a refused question) stops the build.
  bool Validate(Job& job);
  // Gives the zone's files their sectors from `nextSector` on (the start of
  // VIDEO_TS.IFO) and advances it past the zone's declared end. Sectors the
  // tables leave between files belong to no file. False after a message.
  bool Place(Job& job, uint32_t& nextSector);
  // The placement of a zone file, by path compared without regard to case.
  std::optional<ZonePlacement> Find(const std::string& path) const;

  const ZoneFile& ManagerInformation() const { return managerInformation_; }
  const ZoneFile& ManagerMenu() const { return managerMenu_; }
  const ZoneFile& ManagerBackup() const { return managerBackup_; }
  const std::array<TitleSet, kTitleSets>& TitleSets() const { return titleSets_; }

 private:
  ZoneFile managerInformation_;  // VIDEO_TS.IFO
  ZoneFile managerMenu_;         // VIDEO_TS.VOB
  ZoneFile managerBackup_;       // VIDEO_TS.BUP
  std::array<TitleSet, kTitleSets> titleSets_;
  uint32_t zoneSectors_ = 0;  // up to the last title set's last sector, inclusive
  std::unordered_map<std::string, ZonePlacement> placed_;  // folded path -> placement
};

}  // namespace pravel
