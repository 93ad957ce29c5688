// The run driver: takes a run from a click on the status panel (or from the
// batch timers) through the tree build and the output stage to the closing
// message and the clean-up. Every run ends the program.
#pragma once

#include <span>

#include "job/job.h"
#include "app/stages.h"

namespace pravel {

inline constexpr int kBatchLoadTimer = 23;
inline constexpr int kBatchRunTimer = 24;
inline constexpr int kBatchTimerPeriodMs = 100;

// What the program knows beyond the Job: the stages it calls and how the run
// ended, for the exit status.
struct Driver {
  Driver(Job& job, Stages& stages) : job(job), stages(stages) {}
  Job& job;
  Stages& stages;
  bool runFailed = false;      // the error marker was created for this run
  bool startupFailed = false;  // the installation could not be loaded
};

enum class PanelArea {
  kNone,
  kCancel,
  kDelete,
  kBuildToTape,
  kBuildToDisk,
  kEraseTape,
  kDescriptorField,
};

// A hot area of the status panel, in client coordinates, bounds inclusive.
struct PanelHotArea {
  int left, right, top, bottom;
  PanelArea area;
};

// Every hot area, from left to right: the five buttons, then the descriptor
// field.
std::span<const PanelHotArea> PanelHotAreas();

// Which hot area of the status panel a client point falls in.
PanelArea HitPanelArea(int x, int y);

void OnPanelClick(Driver& driver, int x, int y);
void RunPremaster(Driver& driver);
void OnBatchTimer(Driver& driver, int timerId);
// --erase-tape: the panel's erase, its question included; the run fails when
// the operator says No or the erase fails.
void EraseTapeFromCommandLine(Driver& driver);

// Creates the error marker and notes that the run failed.
void MarkRunFailed(Driver& driver);
// The main window's close: alias clean-up, sources freed, window closed.
void CloseMainWindow(Driver& driver);

}  // namespace pravel
