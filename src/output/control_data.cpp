#include "output/control_data.h"

#include "iso/byte_fields.h"
#include "iso/sector_writer.h"
#include "output/output_files.h"

namespace pravel {
namespace {

constexpr uint32_t kControlZeroSectors = kControlImageSectors - 1;

}  // namespace

void BuildPhysicalFormatSector(const Job& job, uint8_t* sector) {
  bool dual = job.dualLayer != 0;
  sector[0] = 0x01;
  sector[1] = 0x02;
  if (dual) {
    sector[2] = job.oppositeTrackPath ? 0x31 : 0x21;
    sector[3] = 0x10;
  } else {
    sector[2] = 0x01;
    sector[3] = 0x00;
  }
  PutBe32(sector + 4, kDataAreaStart);
  PutBe32(sector + 8, job.totalSectors + kDataAreaStart - 1);
  if (dual) PutBe32(sector + 12, job.layerCapacity + kDataAreaStart);
}

namespace {

bool WriteControlSectors(Job& job, const Sector& sector) {
  const std::string path = UnfinishedImagePath(job.imagePath1);
  auto file = OpenOutputFile(job, path);
  if (!file) return false;
  SectorWriter writer(job, *file, path);
  if (!writer.AppendImageSector(sector.data())) return false;
  if (!writer.AppendZeroSectors(kControlZeroSectors)) return false;
  if (!writer.FlushImageSectors()) return false;
  return CloseFinishedOutputFile(job, *file, path);
}

}  // namespace

bool WriteControlImage(Job& job) {
  Sector sector{};
  BuildPhysicalFormatSector(job, sector.data());
  return WriteControlSectors(job, sector);
}

bool WriteLayer2ControlImage(Job& job, uint32_t firstLayer2Sector) {
  Sector sector{};
  BuildPhysicalFormatSector(job, sector.data());
  PutBe32(sector.data() + 4, firstLayer2Sector + kDataAreaStart);
  return WriteControlSectors(job, sector);
}

}  // namespace pravel
