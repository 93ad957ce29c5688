// The tape library: the few commands the tape output sends to a sequential
// device. Every command names the device by its index (0 to 15). A write
// returns 0 or the device status, the additional sense code times 256 plus
// its qualifier (0x2700: write protected); the other commands return 0 for
// success and anything else for failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pravel::platform {

namespace tape_status {
inline constexpr int kGood = 0;
inline constexpr int kEndOfMedium = 0x0002;    // END_OF_PARTITION_MEDIUM_DETECTED
inline constexpr int kNotReady = 0x0400;       // LOGICAL_UNIT_NOT_READY_CAUSE_NOT_REPORTABLE
inline constexpr int kWriteError = 0x0C00;     // WRITE_ERROR
inline constexpr int kInvalidField = 0x2400;   // INVALID_FIELD_IN_CDB: a block too long for the device
inline constexpr int kWriteProtected = 0x2700; // WRITE_PROTECTED
inline constexpr int kNoMedium = 0x3A00;       // MEDIUM_NOT_PRESENT
}  // namespace tape_status

inline constexpr int kSequentialAccessDevice = 1;  // peripheral device type of a tape drive
inline constexpr int kNoDevice = 0x1F;             // peripheral device type where nothing answers

class TapeLibrary {
 public:
  virtual ~TapeLibrary() = default;
  // The peripheral device type at `index`: kSequentialAccessDevice or kNoDevice (or another type).
  virtual int GetDeviceType(int index) = 0;
  virtual int TestUnitReady(int index) = 0;
  virtual int Load(int index) = 0;
  virtual int Rewind(int index) = 0;
  // Writes one block of exactly `length` bytes.
  virtual int WriteVariableBlock(int index, const uint8_t* data, size_t length) = 0;
  virtual int WriteFilemarks(int index, int count) = 0;
  // `longErase` 1 erases the whole tape.
  virtual int Erase(int index, int longErase) = 0;
  // True when a load after a written cartridge mounts a fresh one without
  // anybody at the drive (a virtual drive does).
  virtual bool MountsNextCartridgeItself() const { return false; }
};

// Asked before a cartridge that already holds data is written over; true
// lets it be overwritten.
using ConfirmOverwrite = std::function<bool(const std::string& cartridge)>;

// A virtual tape drive at index 0 whose cartridges are files in `folder`
// (TAPE0001.AWS, TAPE0002.AWS, ...), each in the AWS tape format. The first
// Load mounts TAPE0001.AWS; a Load after the mounted cartridge was written
// mounts the next one. A cartridge that already holds data is mounted only
// when `confirm` allows it.
//
// Blocks are gathered into writes of about 1 MiB. A block shorter than
// 4,096 bytes (a label, a description) goes to disk at once with everything
// gathered before it, and so does a filemark; Rewind, Erase, Load and the
// end of the library also flush, and Rewind syncs the file to disk. A failed
// write to the file answers tape_status::kWriteError from the command that
// made it and from every write and filemark after it, until the next Rewind
// or Load (which answer it once more; such a Load mounts nothing) or Erase.
// A 32,768-byte data block may
// thus answer 0 and fail later: its failure is told by the next label, mark
// or rewind at the latest. A failure while the library itself ends can not
// be told.
std::unique_ptr<TapeLibrary> MakeVirtualTapeLibrary(const std::string& folder, ConfirmOverwrite confirm);

// The system's tape driver: index i is the no-rewind device /dev/nst<i>.
std::unique_ptr<TapeLibrary> MakeSystemTapeLibrary();

}  // namespace pravel::platform
