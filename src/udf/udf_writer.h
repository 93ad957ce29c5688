// The UDF stage of the image builder: the UDF 1.02 volume structures, the
// file set with every File Entry and identifier stream, and the DVD-Video
// zone whose files are placed first in the data area.
#pragma once

#include <optional>
#include <string>

#include "iso/udf_stage.h"
#include "udf/dvd_video_zone.h"
#include "udf/file_set.h"
#include "udf/volume_structures.h"

namespace pravel {

class UdfWriter final : public UdfStage {
 public:
  bool ValidateDvdVideoZone(Job& job) override;
  bool WriteVolumeDescriptors(Job& job, SectorWriter& writer) override;
  bool WriteFileSet(Job& job, SectorWriter& writer, const DirectoryTable& table, uint32_t& areaSectors) override;
  bool PlaceDvdVideoZone(Job& job, uint32_t& currentSector) override;
  std::optional<ZonePlacement> FindZoneFile(const std::string& path) const override;
  bool WriteDirectories(Job& job, SectorWriter& writer, const DirectoryTable& table,
                        const PathTables& pathTables) override;
  bool PatchVolumeDescriptors(Job& job, SectorWriter& writer) override;

  const DvdVideoZone& Zone() const { return zone_; }
  const UdfFileSetState& FileSet() const { return fileSet_; }

 private:
  DvdVideoZone zone_;
  UdfVolumeState volume_;
  UdfFileSetState fileSet_;
};

}  // namespace pravel
