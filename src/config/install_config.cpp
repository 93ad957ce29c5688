#include "config/install_config.h"

#include <cctype>
#include <cstdlib>
#include <limits>

#include "job/runtime.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace pravel {
namespace {

constexpr const char* kSection = "kestrand";
constexpr size_t kValueBuffer = 128;
constexpr size_t kImageDirBuffer = 1024;
// Room left in an image path for the 12-character file name after the directory.
constexpr size_t kLongestImageDir = capacity::kImagePath - 13;
constexpr uint64_t kSectorBytes = 2048;

constexpr const char* kInstallationCaption = "Installation error?";
constexpr const char* kInstallationErrorCaption = "Installation Error!";
constexpr const char* kConfigurationCaption = "Configuration error!";

std::string ReadKey(const std::string& path, const char* key, const char* fallback, size_t buffer) {
  return platform::GetPrivateProfileString(kSection, key, fallback, buffer, path);
}

bool StartsWithNone(const std::string& value) { return value.compare(0, 4, "none") == 0; }

bool StartsWithNoneAnyCase(const std::string& value) {
  if (value.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(value[i])) != "none"[i]) return false;
  return true;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Creates and deletes a file to prove that a directory takes new files.
bool CanCreateIn(const std::string& testFile) {
  if (!CreateFileChecked(testFile)) return false;
  platform::RemoveFile(testFile);
  return true;
}

void RemoveStaleTools(const std::string& installDir) {
  for (const char* name : {"/xmorel.exe", "/dos4gw.exe", "/xm.pif"}) platform::RemoveFile(installDir + name);
}

bool LoadTempDir(Job& job, const std::string& file) {
  std::string value = ReadKey(file, "tempdir", "none", kValueBuffer);
  // An empty value would make the file system root the temporary directory.
  if (StartsWithNone(value) || value.empty()) {
    ShowMessage(job, "The tempdir= statement is missing in KESTRAND.INI file.", kInstallationCaption);
    return false;
  }
  std::string tempDir = WithoutTrailingSlashes(value) + "/";
  if (!AssignField(job.tempDir, tempDir, capacity::kTempDir) || !CanCreateIn(job.tempDir + "test")) {
    ShowMessage(job, "The tempdir= path is not valid in KESTRAND.INI file.", kInstallationErrorCaption);
    return false;
  }
  return true;
}

bool LoadTemplateDir(Job& job, const std::string& file) {
  std::string value = ReadKey(file, "template", "none", kValueBuffer);
  if (StartsWithNone(value) || value.empty()) value = job.tempDir;
  std::string templateDir = WithoutTrailingSlashes(value);
  if (!AssignField(job.templateDir, templateDir, capacity::kTemplateDir) ||
      !CanCreateIn(job.templateDir + "/stest")) {
    ShowMessage(job, "The template= path is not valid in KESTRAND.INI file.", kInstallationErrorCaption);
    return false;
  }
  return true;
}

void LoadAutorun(Job& job, const std::string& file) {
  job.autorunOpen.clear();
  job.autorunIcon.clear();
  std::string value = UpperCase(ReadKey(file, "autorun", "", kValueBuffer));
  if (value.empty()) return;
  size_t semicolon = value.find(';');
  job.autorunOpen = value.substr(0, semicolon);
  if (semicolon != std::string::npos) job.autorunIcon = value.substr(semicolon + 1);
}

void ShowNoAccess(Job& job, const std::string& directory) {
  ShowMessage(job, Format("Can not access directory %s/", directory.c_str()), kConfigurationCaption);
}

// Creates, reopens for writing and deletes "tval.img" in an image directory.
bool TestImageDirectory(Job& job, const std::string& directory) {
  std::string testFile = directory + "/tval.img";
  bool usable = CreateFileChecked(testFile);
  if (usable) {
    auto reopened = platform::File::Open(testFile, platform::File::Mode::kReadWrite);
    usable = reopened && reopened->Close();
    platform::RemoveFile(testFile);
  }
  if (!usable) ShowNoAccess(job, directory);
  return usable;
}

bool MeasureFreeSectors(Job& job, const std::string& directory, uint32_t& sectors) {
  auto bytes = platform::FreeBytes(directory);
  if (!bytes) {
    ShowMessage(job,
                Format("Can not acquire free space from drive %s. Check the imagedir= settings in "
                       "C:\\KESTRAND\\KESTRAND.INI.",
                       directory.c_str()),
                kConfigurationCaption);
    return false;
  }
  uint64_t count = *bytes / kSectorBytes;
  sectors = count > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                          : static_cast<uint32_t>(count);
  return true;
}

// The layer-1 directory, and the layer-2 text after the first semicolon.
struct ImageDirectories {
  std::string layer1;
  std::string layer2;
  bool hasLayer2 = false;
};

ImageDirectories SplitImageDirectories(const std::string& value) {
  ImageDirectories dirs;
  size_t semicolon = value.find(';');
  dirs.layer1 = value.substr(0, semicolon);
  if (semicolon != std::string::npos) {
    dirs.hasLayer2 = true;
    dirs.layer2 = value.substr(semicolon + 1);
  }
  return dirs;
}

// The layer-2 directory agrees with the layer-1 directory when it equals, in
// any case, the start of the layer-1 directory (an empty one always does).
bool SameImageDirectory(const ImageDirectories& dirs) {
  if (dirs.layer2.size() > dirs.layer1.size()) return false;
  for (size_t i = 0; i < dirs.layer2.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(dirs.layer1[i])) !=
        std::tolower(static_cast<unsigned char>(dirs.layer2[i])))
      return false;
  }
  return true;
}

}  // namespace

std::string InstallationDirectory() {
  const char* home = std::getenv("KESTRAND_HOME");
  if (home == nullptr || *home == '\0') return "/etc/kestrand";
  return WithoutTrailingSlashes(home);
}

std::string InstallConfigPath() { return InstallationDirectory() + "/kestrand.ini"; }

bool LoadInstallConfig(Job& job, const std::string& configPath) {
  job.installDir.clear();
  job.templateDir.clear();
  job.tempDir.clear();

  size_t slash = configPath.rfind('/');
  std::string installDir = slash == std::string::npos ? "" : configPath.substr(0, slash);
  std::string file = installDir + "/kestrand.ini";
  if (!AssignField(job.installDir, installDir, capacity::kInstallDir)) {
    ShowMessage(job,
                Format("The installation directory %s is longer than %zu characters. Please check your "
                       "installation.",
                       installDir.c_str(), capacity::kInstallDir - 1),
                kInstallationCaption);
    return false;
  }
  if (platform::KindOf(file) != platform::EntryKind::kFile) {
    ShowMessage(job, Format("Can not locate the %s file. Please check your installation.", file.c_str()),
                kInstallationCaption);
    return false;
  }
  RemoveStaleTools(job.installDir);
  if (!LoadTempDir(job, file) || !LoadTemplateDir(job, file)) return false;
  LoadAutorun(job, file);
  return true;
}

bool LoadImageDirectories(Job& job, const std::string& configPath) {
  std::string value = ReadKey(configPath, "imagedir", "none", kImageDirBuffer);
  ImageDirectories dirs = SplitImageDirectories(value);
  // Without a layer-1 directory the image files would land in the root directory.
  if (value.empty() || StartsWithNoneAnyCase(value) || dirs.layer1.empty()) {
    ShowMessage(job, "Missing imagedir= statement in C:\\KESTRAND\\KESTRAND.INI file!", "Configuration error");
    return false;
  }
  job.freeSectors1 = 0;
  job.freeSectors2 = 0;
  job.imagePath1.clear();
  job.imagePath2.clear();
  job.imagePath3.clear();

  for (const std::string* dir : {&dirs.layer1, &dirs.layer2}) {
    if (dir->size() > kLongestImageDir) {
      ShowNoAccess(job, *dir);
      return false;
    }
  }
  job.imagePath1 = dirs.layer1;
  job.imagePath2 = dirs.layer1;
  if (dirs.hasLayer2) job.imagePath3 = dirs.layer2;

  if (dirs.hasLayer2 && SameImageDirectory(dirs)) {
    ShowMessage(job,
                Format("Layer 1 and Layer 2 directory pointers can not be the same. You have each set to: %s/",
                       dirs.layer1.c_str()),
                kConfigurationCaption);
    return false;
  }
  if (!TestImageDirectory(job, dirs.layer1)) return false;
  if (dirs.hasLayer2 && !TestImageDirectory(job, dirs.layer2)) return false;

  if (!MeasureFreeSectors(job, dirs.layer1, job.freeSectors1)) return false;
  job.imagePath1 += "/CONTROL.IMG";
  job.imagePath2 += "/LAYER01.IMG";
  if (!dirs.hasLayer2) return true;
  if (!MeasureFreeSectors(job, dirs.layer2, job.freeSectors2)) return false;
  job.imagePath3 += "/LAYER02.IMG";
  return true;
}

}  // namespace pravel
