#include "app/startup.h"

#include "job/runtime.h"
#include "config/format_descriptor.h"
#include "config/install_config.h"
#include "platform/interrupt.h"
#include "platform/ui.h"

namespace pravel {
namespace {

void GiveOptionsStartValues(Job& job) {
  job.formatOptions = DvdFormatOptions{};
  job.layersOption = 1;
  job.autorunEnabled = 0;
  job.autorunProgramPath.clear();
  job.autorunIconPath.clear();
  job.statusText.clear();
  job.autorunProgramPath = job.autorunOpen;
  job.autorunIconPath = job.autorunIcon;
  job.autorunEnabled = job.autorunOpen.empty() ? 0 : 1;
}

// An interrupted run must never leave a result that looks good: mark it as
// failed and take its temporary files away before the process ends.
void ArmInterruptCleanup(Driver& driver) {
  Job snapshot;
  snapshot.tempDir = driver.job.tempDir;
  snapshot.tempDirPlain = driver.job.tempDir.substr(0, driver.job.tempDir.size() - 1);
  snapshot.templateDir = driver.job.templateDir;
  snapshot.imagePath1 = driver.job.imagePath1;
  snapshot.imagePath2 = driver.job.imagePath2;
  snapshot.imagePath3 = driver.job.imagePath3;
  Stages* stages = &driver.stages;
  platform::OnInterrupt(
      [snapshot, stages]() mutable {
        CreateErrorMarker(snapshot);
        stages->RemoveAliasFiles(snapshot);
        stages->RemoveTreeListingFiles(snapshot);
        stages->RemoveBuilderFiles(snapshot);
        stages->RemoveUnfinishedImages(snapshot);
      },
      kExitInterrupted);
}

}  // namespace

bool StartUp(Driver& driver) {
  Job& job = driver.job;
  job.paliasPath.clear();
  job.paliasCount = 0;
  job.descriptorPath = DefaultDescriptorPath();
  const std::string configPath = InstallConfigPath();
  if (!LoadInstallConfig(job, configPath) || !LoadImageDirectories(job, configPath)) {
    driver.startupFailed = true;
    job.mainWindow->CloseMainWindow(0);
    return false;
  }
  job.ClearSources();
  GiveOptionsStartValues(job);
  LoadFormatDescriptor(job);
  job.mainWindow->ShowDescriptorPath(job.descriptorPath);
  ArmInterruptCleanup(driver);
  if (job.batchMode == 1) job.mainWindow->StartTimer(kBatchLoadTimer, kBatchTimerPeriodMs);
  return true;
}

bool RunCommandLineErase(Driver& driver) {
  Job& job = driver.job;
  if (!job.eraseTapeRequested) return false;
  EraseTapeFromCommandLine(driver);
  if (!job.mainWindow->IsClosed()) job.mainWindow->CloseMainWindow(0);
  return true;
}

int ExitStatusOf(const Driver& driver) {
  if (driver.startupFailed) return kExitStartupFailed;
  return driver.runFailed ? kExitRunFailed : kExitOk;
}

int RunProgram(Driver& driver) {
  Job& job = driver.job;
  if (!StartUp(driver)) return ExitStatusOf(driver);
  if (RunCommandLineErase(driver)) return ExitStatusOf(driver);
  if (job.batchMode == 0) {
    ShowMessage(job,
                "The console takes batch runs only. Start one with -p=<project folder> (see pravel --help), "
                "or run Pravel on a display for its window.",
                "Usage error");
    return kExitStartupFailed;
  }
  while (auto timer = job.mainWindow->WaitForTimer()) OnBatchTimer(driver, *timer);
  return ExitStatusOf(driver);
}

}  // namespace pravel
