// The system tape driver's side of the tape library.
#pragma once

namespace pravel::platform {

// The device status that stands for a failed call of the tape driver with
// `error` (an errno value): no space is the end of the medium, a refused
// write is write protection, a missing cartridge is no medium, anything
// else a write error.
int TapeStatusFromErrno(int error);

}  // namespace pravel::platform
