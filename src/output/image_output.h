// The output stage: creates the image files, has the builder write the
// metadata image, sizes and splits the title, checks it against the disc and
// the free disk space, writes the control data and copies every file's data
// into LAYER01.IMG (and LAYER02.IMG), closing the volume with an anchor.
#pragma once

#include <functional>

#include "job/job.h"
#include "iso/sector_writer.h"

namespace pravel {

// Writes the metadata image through the writer; see BuildFileSystem.
using FileSystemBuilder = std::function<bool(Job&, SectorWriter&)>;

bool BuildImageAndOutput(Job& job, const FileSystemBuilder& build);

// The production stage: builds with BuildFileSystem and the stage given by
// MakeUdfStage().
bool BuildImageAndOutput(Job& job);

// Removes the image files of a run that did not finish (they are written
// under unfinished names and renamed only when the whole run succeeded).
void RemoveUnfinishedImages(Job& job);

}  // namespace pravel
