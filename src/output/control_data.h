// The control data image CONTROL.IMG: the physical format sector of the
// layout decided (single or dual layer) followed by 15 zero sectors.
#pragma once

#include <cstdint>

#include "job/job.h"

namespace pravel {

inline constexpr uint32_t kControlImageSectors = 16;  // CONTROL.IMG: one block
inline constexpr uint32_t kDataAreaStart = 0x30000;  // first physical sector of the data area

// Fills a zeroed 2048-byte sector from dualLayer, totalSectors,
// layerCapacity and oppositeTrackPath.
void BuildPhysicalFormatSector(const Job& job, uint8_t* sector);

// Writes CONTROL.IMG (imagePath1), 32,768 bytes.
bool WriteControlImage(Job& job);

// Writes CONTROL.IMG as the layer-2 tape's control data: the dual-layer
// physical format sector whose data area starts at the physical number of
// `firstLayer2Sector`, then 15 zero sectors.
bool WriteLayer2ControlImage(Job& job, uint32_t firstLayer2Sector);

}  // namespace pravel
