#include "intake/autorun.h"

#include "job/runtime.h"
#include "intake/tree_scan.h"
#include "platform/files.h"

namespace pravel {
namespace {

constexpr char kCanNotCreate[] = "Could not create AUTORUN.INF file.";
constexpr char kDeviceCaption[] = "Virtual image device error!";

std::string AutorunText(const Job& job) {
  std::string text = "\r\n\r\n[autorun]\r\nopen=" + job.autorunProgramPath + "\r\n";
  if (!job.autorunIconPath.empty()) text += "icon=" + job.autorunIconPath + "\r\n";
  return text;
}

}  // namespace

bool WriteAutorunInf(Job& job) {
  const std::string path = job.tempDir + "AUTORUN.INF";
  std::optional<platform::File> file;
  if (CreateFileChecked(path)) file = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file) {
    ShowMessage(job, kCanNotCreate, kDeviceCaption);
    return false;
  }
  if (!job.AddSource(path)) {
    ShowSourceListFull(job);
    return false;
  }
  if (!file->WriteText(AutorunText(job)) || !file->Close()) {
    ShowMessage(job, kCanNotCreate, kDeviceCaption);
    return false;
  }
  ++job.fileCount;
  return true;
}

}  // namespace pravel
