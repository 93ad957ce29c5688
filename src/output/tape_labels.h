// ANSI tape labels: the 80-byte VOL1, HDR1, HDR2, EOF1 and EOF2 records that
// frame each file of a DDP tape. Each is filled with spaces, then its fields
// are written as ASCII text; numbers have leading zeros.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pravel {

inline constexpr size_t kLabelBytes = 80;
using TapeLabel = std::array<uint8_t, kLabelBytes>;

namespace vol1_label {
inline constexpr size_t kIdentifier = 0;        // 4: "VOL1"
inline constexpr size_t kVolumeIdentifier = 4;  // 6
inline constexpr size_t kVolumeIdentifierWidth = 6;
inline constexpr size_t kLabelVersion = 79;     // 1: '4'
}  // namespace vol1_label

// HDR1 and EOF1.
namespace file_label1 {
inline constexpr size_t kIdentifier = 0;            // 4: "HDR1" or "EOF1"
inline constexpr size_t kFileIdentifier = 4;        // 17
inline constexpr size_t kFileIdentifierWidth = 17;
inline constexpr size_t kFileSetIdentifier = 21;    // 6: "DVD   "
inline constexpr size_t kFileSetIdentifierWidth = 6;
inline constexpr size_t kFileSection = 27;          // 4: "0001"
inline constexpr size_t kFileSequence = 31;         // 4
inline constexpr size_t kGeneration = 35;           // 4: "0001"
inline constexpr size_t kGenerationVersion = 39;    // 2: "01" in HDR1, "00" in EOF1
inline constexpr size_t kCreationDate = 41;         // 6: "000000"
inline constexpr size_t kExpirationDate = 47;       // 6: "000000"
inline constexpr size_t kAccessibility = 53;        // 1: space
inline constexpr size_t kBlockCount = 54;           // 6
inline constexpr size_t kSequenceWidth = 4;
inline constexpr size_t kDateWidth = 6;
inline constexpr size_t kBlockCountWidth = 6;
}  // namespace file_label1

// HDR2 and EOF2.
namespace file_label2 {
inline constexpr size_t kIdentifier = 0;         // 4: "HDR2" or "EOF2"
inline constexpr size_t kRecordFormat = 4;       // 1: 'F', fixed-length records
inline constexpr size_t kBlockLength = 5;        // 5
inline constexpr size_t kRecordLength = 10;      // 5
inline constexpr size_t kBufferOffset = 50;      // 2: "00"
inline constexpr size_t kLengthWidth = 5;
}  // namespace file_label2

// What the file labels of one tape file say about it.
struct TapeFileFacts {
  std::string identifier;   // HDR1's file identifier
  uint32_t sequence = 0;    // file sequence number
  uint64_t blockCount = 0;
  uint32_t blockLength = 0;
  uint32_t recordLength = 0;
};

// EOF1's file identifier, whatever the file's name.
inline constexpr const char* kEndLabelFileIdentifier = "DVDMOVIE";

TapeLabel VolumeLabel(const std::string& volumeIdentifier);
// HDR1 (`end` false) or EOF1 (`end` true); nullopt when a number does not
// fit its field.
std::optional<TapeLabel> FileLabel1(const TapeFileFacts& file, bool end);
// HDR2 or EOF2.
std::optional<TapeLabel> FileLabel2(const TapeFileFacts& file, bool end);

}  // namespace pravel
