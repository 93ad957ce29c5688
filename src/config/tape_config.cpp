#include "config/tape_config.h"

#include "job/runtime.h"
#include "platform/profile.h"
#include "platform/tape_library.h"

namespace pravel {

namespace {

constexpr const char* kSection = "kestrand";
constexpr size_t kValueBuffer = 1024;
constexpr const char* kConfigurationCaption = "Configuration error!";

std::string ReadKey(const std::string& path, const char* key) {
  return platform::GetPrivateProfileString(kSection, key, "", kValueBuffer, path);
}

}  // namespace

bool OpenTapeLibrary(Job& job, const std::string& configPath) {
  if (job.tapeLibrary) return true;
  const std::string folder = ReadKey(configPath, "tapedir");
  const std::string drive = ReadKey(configPath, "tapedrive");
  if (!folder.empty() && !drive.empty()) {
    ShowMessage(job,
                Format("%s names both a virtual tape folder (tapedir=%s) and a tape drive (tapedrive=%s). Name one "
                       "of them.",
                       configPath.c_str(), folder.c_str(), drive.c_str()),
                kConfigurationCaption);
    return false;
  }
  if (!drive.empty() && drive != "st") {
    ShowMessage(job, Format("%s names the tape drive \"%s\"; the only one known is \"st\".", configPath.c_str(),
                            drive.c_str()),
                kConfigurationCaption);
    return false;
  }
  if (!folder.empty()) {
    auto confirm = [&job](const std::string& cartridge) {
      return AskYesNo(job, Format("Tape %s already holds data. Overwrite it?", cartridge.c_str()), "Are you sure?");
    };
    job.tapeLibrary = platform::MakeVirtualTapeLibrary(folder, confirm);
  } else if (!drive.empty()) {
    job.tapeLibrary = platform::MakeSystemTapeLibrary();
  }
  return true;
}

}  // namespace pravel
