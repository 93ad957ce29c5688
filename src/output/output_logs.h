// The operator's log and compare files, written into the temporary directory
// from the sorted file data list.
#pragma once

#include <cstdint>

#include "job/job.h"

namespace pravel {

// "PravelCFile.txt": every record's path on a line of its own, in list order.
bool WriteCompareFile(Job& job);

// "PravelLog.txt": where every file would lie packed back to back after the
// metadata image of `metadataLength` bytes, beside where the file system
// places it.
bool WriteLogFile(Job& job, uint64_t metadataLength);

}  // namespace pravel
