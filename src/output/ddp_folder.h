// A DDP set written as files instead of tape: a tape library whose tapes are
// folders. Each tape file becomes a disk file FOLDER/LAYER0/<name> (or
// FOLDER/LAYER1/<name> for the layer-2 tape), byte for byte the data blocks
// of that tape file; the labels and marks that frame the files are read, not
// stored. At each rewind the tape's folder gets an MD5SUMS of its files.
#pragma once

#include <memory>
#include <string>

#include "job/job.h"
#include "platform/tape_library.h"

namespace pravel {

// The first load asks before files of an earlier set in `folder` are
// written over.
std::unique_ptr<platform::TapeLibrary> MakeDdpFolderLibrary(Job& job, const std::string& folder);

}  // namespace pravel
