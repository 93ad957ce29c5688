// The generated AUTORUN.INF: written into the temporary directory by the scan
// when autorun is on, and added to the sources so that it lands in the root
// of the disc.
#pragma once

#include "job/job.h"

namespace pravel {

// Writes "<tempDir>AUTORUN.INF" (two empty lines, "[autorun]", "open=" with
// job.autorunProgramPath and, when job.autorunIconPath is not empty, "icon="
// with it; CR LF line ends), appends its path to the source list and counts
// it in job.fileCount. False after a message box.
bool WriteAutorunInf(Job& job);

}  // namespace pravel
