// The DDP 2.00 description that opens every tape: the identifier record and
// the map stream packets naming the data files on that tape, their lengths
// and their start sectors on the disc. A copy of the last description built
// is kept in DDPID.IMG beside CONTROL.IMG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/job.h"

namespace pravel {

// The identifier record (DDPID), offsets from its start.
namespace ddp_identifier {
inline constexpr size_t kLevel = 0;             // 8: "DDP 2.00"
inline constexpr size_t kDiscType = 87;         // 2: "DV"
inline constexpr size_t kSides = 89;            // 1: sides of the final disc
inline constexpr size_t kSide = 90;             // 1: side of this surface
inline constexpr size_t kLayers = 91;           // 1: layers of the final disc
inline constexpr size_t kLayer = 92;            // 1: layer carried by this tape
inline constexpr size_t kDirection = 93;        // 1: track path, 'I' or 'O'
inline constexpr size_t kDiscSize = 94;         // 1: 'B', 12 cm
inline constexpr size_t kScrambling = 95;       // 2: "00"
inline constexpr size_t kBytes = 128;
}  // namespace ddp_identifier

// A map stream packet, offsets from the packet's start.
namespace ddp_map_packet {
inline constexpr size_t kValid = 0;             // 4: "VVVM"
inline constexpr size_t kStreamType = 4;        // 2: "D2" control data, "D0" layer data
inline constexpr size_t kStreamLength = 14;     // 8: sectors, right-justified
inline constexpr size_t kStreamStart = 22;      // 8: first sector on the disc, right-justified
inline constexpr size_t kDvdMode = 38;          // 2: "DV"
inline constexpr size_t kStorageMode = 40;      // 1: '0'
inline constexpr size_t kScrambled = 41;        // 1: '0'
inline constexpr size_t kIdentifierSize = 71;   // 3: "017"
inline constexpr size_t kIdentifier = 74;       // 17: the stream's file name
inline constexpr size_t kIdentifierWidth = 17;
inline constexpr size_t kNumberWidth = 8;
inline constexpr size_t kBytes = 128;
}  // namespace ddp_map_packet

inline constexpr size_t kDdpWorkBufferBytes = 2352;
inline constexpr size_t kFirstTapeDescriptionBytes = 384;  // identifier and two packets
inline constexpr size_t kLayer2DescriptionBytes = 256;     // identifier and one packet
inline constexpr uint32_t kControlStreamStart = 0x2F200;   // 193,024: the control data's sector
inline constexpr uint32_t kLayerStreamStart = 0x30000;     // 196,608: the data area's first sector
inline constexpr uint32_t kControlStreamSectors = 16;

// The description of the first tape (layer index 0) or of the layer-2 tape
// (layer index 1): 384 or 256 bytes. Empty when a length does not fit its
// field.
std::vector<uint8_t> DdpDescription(const Job& job, int layerIndex);

// "DDPID.IMG" in the directory of CONTROL.IMG.
std::string DdpIdPath(const Job& job);

// Builds the description of the tape for `layerIndex` into `description`
// and writes it to DDPID.IMG (created afresh). False after a message.
bool BuildDdpDescription(Job& job, int layerIndex, std::vector<uint8_t>& description);

}  // namespace pravel
