#include "app/run_driver.h"

#include <cctype>

#include "job/runtime.h"
#include "config/format_descriptor.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace pravel {
namespace {

constexpr const char* kNoTreeMessage =
    "Could not create a directory tree. You should have received a prior error message. If not "
    "please contact the QRV at support@kestrand.example";

constexpr PanelHotArea kHotAreas[] = {
    {13, 77, 144, 164, PanelArea::kCancel},
    {80, 142, 144, 164, PanelArea::kDelete},
    {147, 208, 144, 164, PanelArea::kBuildToTape},
    {213, 271, 144, 164, PanelArea::kBuildToDisk},
    {276, 337, 144, 164, PanelArea::kEraseTape},
    {370, 625, 145, 162, PanelArea::kDescriptorField},
};

void SetTreeListPath(Job& job) { job.treeListPath = job.tempDir + "tm.txt"; }

// Tree build, then output; the error marker on any failure. A scan the
// operator stopped has said so already: no further message.
bool BuildAndDeliver(Driver& driver) {
  Job& job = driver.job;
  SetTreeListPath(job);
  job.stoppedByOperator = 0;
  if (!driver.stages.BuildTreeListing(job)) {
    if (!job.stoppedByOperator) ShowMessage(job, kNoTreeMessage, "Disc Image Builder Error!");
    MarkRunFailed(driver);
    return false;
  }
  if (!driver.stages.BuildImageAndOutput(job)) MarkRunFailed(driver);
  return true;
}

void CleanUpAfterRun(Driver& driver) {
  Job& job = driver.job;
  SetTreeListPath(job);
  platform::RemoveFile(job.treeListPath);
  driver.stages.RemoveAliasFiles(job);
  job.toTape = 0;
  SetBusyCursor(job, false);
  CloseMainWindow(driver);
}

bool ConfirmLayers(Job& job) {
  if (job.layersOption == 1) {
    if (!AskYesNo(job, "You have selected to make a single layer DVD disc.", "Is this correct?")) return false;
    job.layerCapacity = geometry::kSingleLayerCapacity;
    job.singleLayer = 1;
    return true;
  }
  if (!AskYesNo(job, "You have selected to make a dual layer DVD disc.", "Is this correct?")) return false;
  job.layerCapacity = geometry::kDualLayerCapacity;
  job.singleLayer = 0;
  return true;
}

void StartRunFromPanel(Driver& driver, int toTape) {
  Job& job = driver.job;
  if (job.sourceCount == 0) {
    ShowMessage(job, "There are no selected files to pre-master.", "Usage error");
    return;
  }
  job.toTape = toTape;
  driver.stages.RemoveAliasFiles(job);
  driver.stages.RemoveTreeListingFiles(job);
  RunPremaster(driver);
}

bool EraseTapeFromPanel(Driver& driver) {
  Job& job = driver.job;
  if (!AskYesNo(job, "Erasing tape will destroy all data. It may also take an hour or more to complete.",
                "Are you sure?"))
    return false;
  SetBusyCursor(job, true);
  driver.stages.EraseTape(job);
  SetBusyCursor(job, false);
  return true;
}

void RemoveSelectedSources(Job& job) {
  if (!job.mainWindow) return;
  std::vector<uint32_t> selected = job.mainWindow->SelectedSources();
  std::vector<bool> drop(job.sourcePaths.size(), false);
  for (uint32_t index : selected) {
    if (index < drop.size()) drop[index] = true;
  }
  std::vector<std::string> kept;
  for (size_t i = 0; i < job.sourcePaths.size(); ++i) {
    if (!drop[i]) kept.push_back(std::move(job.sourcePaths[i]));
  }
  job.sourcePaths = std::move(kept);
  job.sourceCount = static_cast<uint32_t>(job.sourcePaths.size());
  job.mainWindow->RefillSourceList(job.sourcePaths);
  job.mainWindow->ClearStatusLine();
}

// Batch start: the sources, the tape choice, the warnings and the autorun
// settings of the command line replace those of the installation.
void ApplyBatchSettings(Job& job) {
  if (job.mainWindow) job.mainWindow->RefillSourceList(job.sourcePaths);
  job.toTape = job.tapeRequested;
  if (job.noWarnings) job.noWarningMessages = 1;
  job.autorunOpen.clear();
  job.autorunIcon.clear();
  if (!job.autorunArg.empty()) {
    std::string upper = job.autorunArg;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size_t split = upper.find(';');
    AssignFieldCut(job.autorunOpen, upper.substr(0, split), capacity::kAutorun);
    if (split != std::string::npos) AssignFieldCut(job.autorunIcon, upper.substr(split + 1), capacity::kAutorun);
  }
  job.autorunProgramPath = job.autorunOpen;
  job.autorunIconPath = job.autorunIcon;
  job.autorunEnabled = job.autorunOpen.empty() ? 0 : 1;
}

void OnBatchLoadTimer(Driver& driver) {
  Job& job = driver.job;
  job.mainWindow->StopTimer(kBatchLoadTimer);
  if (!driver.stages.LoadProjectSources(job)) {
    // A caller waiting for the batch run must learn that it failed: mark it
    // and end, rather than leave a busy window open for ever.
    MarkRunFailed(driver);
    CleanUpAfterRun(driver);
    return;
  }
  ApplyBatchSettings(job);
  job.mainWindow->StartTimer(kBatchRunTimer, kBatchTimerPeriodMs);
}

void OnBatchRunTimer(Driver& driver) {
  Job& job = driver.job;
  job.mainWindow->StopTimer(kBatchRunTimer);
  if (job.requestedLayers == 2) {
    job.layerCapacity = geometry::kDualLayerCapacity;
    job.singleLayer = 0;
  }
  BuildAndDeliver(driver);
  CleanUpAfterRun(driver);
}

}  // namespace

std::span<const PanelHotArea> PanelHotAreas() { return kHotAreas; }

PanelArea HitPanelArea(int x, int y) {
  for (const PanelHotArea& hot : kHotAreas) {
    if (x >= hot.left && x <= hot.right && y >= hot.top && y <= hot.bottom) return hot.area;
  }
  return PanelArea::kNone;
}

void OnPanelClick(Driver& driver, int x, int y) {
  switch (HitPanelArea(x, y)) {
    case PanelArea::kCancel: CloseMainWindow(driver); break;
    case PanelArea::kDelete: RemoveSelectedSources(driver.job); break;
    case PanelArea::kBuildToTape: StartRunFromPanel(driver, 1); break;
    case PanelArea::kBuildToDisk: StartRunFromPanel(driver, 0); break;
    case PanelArea::kEraseTape: EraseTapeFromPanel(driver); break;
    case PanelArea::kDescriptorField: ChooseFormatDescriptor(driver.job); break;
    case PanelArea::kNone: break;
  }
}

void RunPremaster(Driver& driver) {
  Job& job = driver.job;
  if (!ConfirmLayers(job)) return;
  SetBusyCursor(job, true);
  // A run whose output failed or was stopped is not reported complete: its
  // own message has said what happened.
  if (BuildAndDeliver(driver) && !driver.runFailed) {
    ShowMessage(job,
                job.toTape == 1 ? "Your premastering session is finished. Please remove the DLT tape cartridge."
                                : "Your premastering session is finished.",
                "Premastering complete!");
  }
  CleanUpAfterRun(driver);
}

void OnBatchTimer(Driver& driver, int timerId) {
  SetBusyCursor(driver.job, true);
  if (timerId == kBatchLoadTimer) OnBatchLoadTimer(driver);
  if (timerId == kBatchRunTimer) OnBatchRunTimer(driver);
}

void EraseTapeFromCommandLine(Driver& driver) {
  Job& job = driver.job;
  RemoveErrorMarker(job);
  if (!EraseTapeFromPanel(driver)) {
    MarkRunFailed(driver);
    return;
  }
  driver.runFailed = platform::PathExists(ErrorMarkerPath(job));
}

void MarkRunFailed(Driver& driver) {
  CreateErrorMarker(driver.job);
  driver.runFailed = true;
}

void CloseMainWindow(Driver& driver) {
  Job& job = driver.job;
  driver.stages.RemoveAliasFiles(job);
  job.sourceBases.clear();
  job.sourceBaseCount = 0;
  job.ClearSources();
  if (job.mainWindow) job.mainWindow->CloseMainWindow(0);
}

}  // namespace pravel
