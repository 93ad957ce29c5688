// The ISO 9660 primary volume descriptor, the Joliet supplementary volume
// descriptor and the volume descriptor set terminator.
#pragma once

#include <cstdint>

#include "job/job.h"
#include "iso/path_tables.h"
#include "platform/clock.h"

namespace pravel {

inline constexpr uint32_t kPrimaryDescriptorSector = 16;
inline constexpr uint32_t kSupplementaryDescriptorSector = 17;
inline constexpr uint32_t kTerminatorSector = 18;

// What the descriptors say about the volume, known once every file has its sectors.
struct VolumeLayout {
  uint32_t volumeSpaceSize = 0;
  PathTableSize isoPathTable;
  PathTableSize jolietPathTable;
  PathTableSlots slots;
  uint32_t rootIsoExtent = 0, rootIsoLength = 0;
  uint32_t rootJolietExtent = 0, rootJolietLength = 0;
  platform::LocalTime buildDate;
};

// Each fills a zeroed 2048-byte sector.
void BuildPrimaryVolumeDescriptor(Job& job, const VolumeLayout& layout, uint8_t* sector);
void BuildSupplementaryVolumeDescriptor(Job& job, const VolumeLayout& layout, uint8_t* sector);
void BuildVolumeDescriptorSetTerminator(uint8_t* sector);

}  // namespace pravel
