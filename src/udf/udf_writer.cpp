#include "udf/udf_writer.h"

namespace pravel {

bool UdfWriter::ValidateDvdVideoZone(Job& job) {
  zone_ = DvdVideoZone{};
  return zone_.Validate(job);
}

bool UdfWriter::WriteVolumeDescriptors(Job& job, SectorWriter& writer) {
  fileSet_ = UdfFileSetState{};
  return WriteUdfVolumeDescriptors(job, writer, volume_);
}

bool UdfWriter::WriteFileSet(Job& job, SectorWriter& writer, const DirectoryTable& table, uint32_t& areaSectors) {
  return WriteUdfFileSet(job, writer, table, fileSet_, areaSectors);
}

bool UdfWriter::PlaceDvdVideoZone(Job& job, uint32_t& currentSector) { return zone_.Place(job, currentSector); }

std::optional<ZonePlacement> UdfWriter::FindZoneFile(const std::string& path) const { return zone_.Find(path); }

bool UdfWriter::WriteDirectories(Job& job, SectorWriter& writer, const DirectoryTable& table,
                                 const PathTables& pathTables) {
  return WriteUdfDirectories(job, writer, table, pathTables, fileSet_);
}

bool UdfWriter::PatchVolumeDescriptors(Job& job, SectorWriter& writer) {
  return PatchUdfVolumeDescriptors(job, writer, volume_, fileSet_.totals);
}

}  // namespace pravel
