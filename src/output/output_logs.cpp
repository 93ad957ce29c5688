#include "output/output_logs.h"

#include "job/runtime.h"
#include "iso/sector_writer.h"
#include "output/output_files.h"
#include "platform/files.h"

namespace pravel {
namespace {

using ull = unsigned long long;

uint64_t SectorsFor(uint64_t bytes) { return (bytes + kSectorSize - 1) / kSectorSize; }

std::string LogLine(uint64_t actualSize, uint64_t sizeSectors, uint64_t fsSectors, uint64_t computedSector,
                    uint64_t fsSector, const std::string& content) {
  return Format("%010llu  %08llu  %08llu  %08llu  %08llu  %s\n", static_cast<ull>(actualSize),
                static_cast<ull>(sizeSectors), static_cast<ull>(fsSectors), static_cast<ull>(computedSector),
                static_cast<ull>(fsSector), content.c_str());
}

}  // namespace

bool WriteCompareFile(Job& job) {
  ShowStatus(job, Format("Writing Compare File to %sPravelCFile.txt", job.tempDir.c_str()));
  TextOutputFile out(job);
  if (!out.Create(job.tempDir + "PravelCFile.txt")) return false;
  for (const FileDataRecord& record : job.fileDataList) {
    if (!out.Append(record.path + "\n")) return false;
  }
  return out.Close();
}

bool WriteLogFile(Job& job, uint64_t metadataLength) {
  ShowStatus(job, Format("Writing Pravel Log to %sPravelLog.txt", job.tempDir.c_str()));
  TextOutputFile out(job);
  if (!out.Create(job.tempDir + "PravelLog.txt")) return false;
  uint64_t metadataSectors = SectorsFor(metadataLength);
  bool ok = out.Append("Actual      Size in   FS        Computed  FS\n") &&
            out.Append(" size       sectors   sectors   sector #  sector #  Content\n") &&
            out.Append(LogLine(metadataLength, metadataSectors, metadataSectors, 0, 0, "File System"));
  uint64_t computedSector = metadataSectors;
  for (const FileDataRecord& record : job.fileDataList) {
    if (!ok) break;
    // Measured now: a file that has gone counts as empty here; the copy reports it.
    uint64_t length = platform::FileLength(record.path).value_or(0);
    uint64_t sectors = SectorsFor(length);
    ok = out.Append(LogLine(length, sectors, record.sectorCount, computedSector, record.startSector, record.path));
    computedSector += sectors;
  }
  return ok && out.Close();
}

}  // namespace pravel
