// How the builder calls on the UDF volume and the DVD-Video zone. The UDF
// writer implements it; NoUdfStage stands in where no UDF is made: it leaves
// sectors 19 to 256 zero, an empty UDF area and no DVD-Video file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "job/job.h"
#include "iso/directory_table.h"
#include "iso/path_tables.h"
#include "iso/sector_writer.h"

namespace pravel {

inline constexpr uint32_t kUdfFirstSector = 19;
inline constexpr uint32_t kUdfAnchorSector = 256;

// A DVD-Video file's place, decided before the other files are placed.
struct ZonePlacement {
  uint32_t startSector = 0;
  uint32_t sectorCount = 0;
};

class UdfStage {
 public:
  virtual ~UdfStage() = default;
  // Checks the DVD-Video zone of the tree listing; false ends the build.
  virtual bool ValidateDvdVideoZone(Job& job) = 0;
  // Appends sectors 19 to 256.
  virtual bool WriteVolumeDescriptors(Job& job, SectorWriter& writer) = 0;
  // Appends the file set at U (writer.NextSector()) and says how many sectors
  // the UDF area takes from U on.
  virtual bool WriteFileSet(Job& job, SectorWriter& writer, const DirectoryTable& table,
                            uint32_t& areaSectors) = 0;
  // Gives the DVD-Video files their sectors from `currentSector` on.
  virtual bool PlaceDvdVideoZone(Job& job, uint32_t& currentSector) = 0;
  // The place of a DVD-Video file, when the path is one.
  virtual std::optional<ZonePlacement> FindZoneFile(const std::string& path) const = 0;
  // Writes the UDF directories and file entries once every extent is known.
  virtual bool WriteDirectories(Job& job, SectorWriter& writer, const DirectoryTable& table,
                                const PathTables& pathTables) = 0;
  // Completes the descriptors that depend on the volume's end.
  virtual bool PatchVolumeDescriptors(Job& job, SectorWriter& writer) = 0;
};

class NoUdfStage final : public UdfStage {
 public:
  bool ValidateDvdVideoZone(Job&) override { return true; }
  bool WriteVolumeDescriptors(Job&, SectorWriter& writer) override {
    return writer.AppendZeroSectors(kUdfAnchorSector + 1 - kUdfFirstSector);
  }
  bool WriteFileSet(Job&, SectorWriter&, const DirectoryTable&, uint32_t& areaSectors) override {
    areaSectors = 0;
    return true;
  }
  bool PlaceDvdVideoZone(Job&, uint32_t&) override { return true; }
  std::optional<ZonePlacement> FindZoneFile(const std::string&) const override { return std::nullopt; }
  bool WriteDirectories(Job&, SectorWriter&, const DirectoryTable&, const PathTables&) override { return true; }
  bool PatchVolumeDescriptors(Job&, SectorWriter&) override { return true; }
};

}  // namespace pravel
