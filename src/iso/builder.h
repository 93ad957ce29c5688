// The image builder: turns the tree listing into the metadata area of the
// bridge volume and decides where every file's data lies. It copies no file
// content; it leaves job.fileDataList for the output stage.
#pragma once

#include "job/job.h"
#include "iso/sector_writer.h"
#include "iso/udf_stage.h"

namespace pravel {

// Writes sectors 0 up to the UDF area's end through `writer` (positioned at
// sector 0 of LAYER01.IMG) and sets fileDataStart, currentSector,
// volumeSectors and the file data list. False after a message.
bool BuildFileSystem(Job& job, SectorWriter& writer, UdfStage& udf);

// Deletes the builder's temporary files ("_pdir.txt", "_pdirX.txt",
// "_td%04ld", "_td%04ldX") in the temporary directory, every one of them.
void RemoveBuilderFiles(Job& job);

}  // namespace pravel
