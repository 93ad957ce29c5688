#include "output/ddp_description.h"

#include <optional>

#include "iso/byte_fields.h"
#include "job/runtime.h"
#include "output/output_files.h"
#include "output/tape_text_fields.h"
#include "platform/files.h"

namespace pravel {

namespace {

struct MapStream {
  std::string_view type;
  uint32_t sectors;
  uint32_t start;
  std::string_view name;
};

void PutIdentifier(uint8_t* at, const Job& job, int layerIndex) {
  namespace id = ddp_identifier;
  PutText(at + id::kLevel, "DDP 2.00");
  PutText(at + id::kDiscType, "DV");
  at[id::kSides] = job.discSides == 2 ? '2' : '1';
  at[id::kSide] = '0';
  at[id::kLayers] = job.dualLayer ? '2' : '1';
  at[id::kLayer] = layerIndex == 0 ? '0' : '1';
  at[id::kDirection] = job.dualLayer && job.oppositeTrackPath ? 'O' : 'I';
  at[id::kDiscSize] = 'B';
  PutText(at + id::kScrambling, "00");
}

bool PutMapPacket(uint8_t* at, const MapStream& stream) {
  namespace packet = ddp_map_packet;
  PutText(at + packet::kValid, "VVVM");
  PutText(at + packet::kStreamType, stream.type);
  if (!PutRightJustifiedNumber(at + packet::kStreamLength, packet::kNumberWidth, stream.sectors)) return false;
  if (!PutRightJustifiedNumber(at + packet::kStreamStart, packet::kNumberWidth, stream.start)) return false;
  PutText(at + packet::kDvdMode, "DV");
  at[packet::kStorageMode] = '0';
  at[packet::kScrambled] = '0';
  PutText(at + packet::kIdentifierSize, "017");
  PutText(at + packet::kIdentifier, stream.name);
  return true;
}

std::vector<MapStream> StreamsOfTape(const Job& job, int layerIndex) {
  if (layerIndex != 0) return {{"D0", job.layer2Sectors, kLayerStreamStart, "LAYER1.DAT"}};
  return {{"D2", kControlStreamSectors, kControlStreamStart, "CONTROL.DAT"},
          {"D0", job.layer1Sectors, kLayerStreamStart, "LAYER0.DAT"}};
}

}  // namespace

std::vector<uint8_t> DdpDescription(const Job& job, int layerIndex) {
  std::vector<uint8_t> work(kDdpWorkBufferBytes, kFieldFill);
  PutIdentifier(work.data(), job, layerIndex);
  size_t offset = ddp_identifier::kBytes;
  for (const MapStream& stream : StreamsOfTape(job, layerIndex)) {
    if (!PutMapPacket(work.data() + offset, stream)) return {};
    offset += ddp_map_packet::kBytes;
  }
  work.resize(offset);
  return work;
}

std::string DdpIdPath(const Job& job) {
  const size_t slash = job.imagePath1.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : job.imagePath1.substr(0, slash + 1);
  return directory + "DDPID.IMG";
}

bool BuildDdpDescription(Job& job, int layerIndex, std::vector<uint8_t>& description) {
  description = DdpDescription(job, layerIndex);
  if (description.empty()) {
    ShowMessage(job, "Internal error: a sector count does not fit the DDP description.", "Internal error!");
    return false;
  }
  const std::string path = DdpIdPath(job);
  std::optional<platform::File> file;
  if (CreateFileChecked(path)) file = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file) {
    ShowMessage(job, Format("Can not create Disc Image file %s", path.c_str()), "Disc Image Builder Error!");
    return false;
  }
  if (!file->Write(description.data(), description.size())) {
    ShowMessage(job, Format("Can not write Disc Image file %s: %s", path.c_str(), file->LastError().c_str()),
                "Disc Image Builder Error!");
    return false;
  }
  return CloseFinishedOutputFile(job, *file, path);
}

}  // namespace pravel
