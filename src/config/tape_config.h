// Which tape library the installation uses, read from kestrand.ini only when
// tape work starts (installations that make image files need neither key):
//   tapedir=<folder>   a virtual tape drive whose cartridges are files there
//   tapedrive=st       the system's tape driver (/dev/nst0 ...)
#pragma once

#include <string>

#include "job/job.h"

namespace pravel {

// Sets job.tapeLibrary unless one is set already. With neither key the Job
// keeps no library (the drive search then finds none). False after a message
// when the keys can not be used.
bool OpenTapeLibrary(Job& job, const std::string& configPath);

}  // namespace pravel
