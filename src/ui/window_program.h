// The program in its desktop window: the display is opened, the main window
// shown, start-up and every run go to the worker thread.
#pragma once

#include <memory>

#include "app/run_driver.h"

class QApplication;

namespace pravel::ui {

// True when the environment names a display (or a Qt platform) to open.
bool DisplayNamed();

// Opens the display; nullptr when it can not be opened (the caller falls
// back to the console). Never aborts.
std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv);

// Shows the main window, runs start-up on the worker and the window's event
// loop until the window closes; returns the program's exit status.
int RunWindowProgram(QApplication& app, Driver& driver);

}  // namespace pravel::ui
