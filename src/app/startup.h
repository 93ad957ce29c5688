// Start-up of the main window and the program's message loop.
#pragma once

#include "app/run_driver.h"

namespace pravel {

enum ExitStatus : int {
  kExitOk = 0,             // the program ended without a failed run
  kExitRunFailed = 1,      // the run failed: the error marker was created
  kExitStartupFailed = 2,  // start-up failed (configuration, usage)
  kExitInterrupted = 130,  // the run was ended by SIGINT or SIGTERM
};

// The one-time start-up: installation configuration, image directories,
// option start values, the format descriptor and, in batch mode, the first
// batch timer. False when the program must end.
bool StartUp(Driver& driver);

// The command line's erase (--erase-tape), when asked for, after a
// successful start-up; it ends the program. False when there was none.
bool RunCommandLineErase(Driver& driver);

// The program's exit status once its main window has closed.
int ExitStatusOf(const Driver& driver);

// Start-up, then the message loop until the main window closes; returns the
// exit status.
int RunProgram(Driver& driver);

}  // namespace pravel
