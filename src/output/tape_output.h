// Tape output: every layer of the title goes to a tape of its own as an
// ANSI-labelled DDP 2.00 file set (the description DDPID, the control data
// CONTROL.DAT on the first tape, the layer data LAYER0.DAT or LAYER1.DAT),
// as many copies as the operator asks for.
#pragma once

#include "job/job.h"

namespace pravel {

// Finds, loads and rewinds the drive; sets job.tapeDevice. False after a
// message (no drive, never ready, not loaded).
bool PrepareTapeDrive(Job& job);

// Prepares the drive and erases the whole tape. False when the drive could
// not be prepared or did not come back.
bool EraseTape(Job& job);

// Writes all tapes of all copies from the finished metadata image
// (LAYER01.IMG), the control data (CONTROL.IMG) and the sorted file data
// list. False after a reported failure.
bool WriteTitleToTape(Job& job);

}  // namespace pravel
