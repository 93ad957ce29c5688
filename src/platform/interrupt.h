// Interruption of a run (SIGINT, SIGTERM on POSIX): a watcher runs the given
// clean-up outside any signal context and then ends the process with
// `exitStatus`.
#pragma once

#include <functional>

namespace pravel::platform {

// Installs the watcher once; later calls replace the clean-up.
void OnInterrupt(std::function<void()> cleanup, int exitStatus);

// Whether a display for the desktop window is available.
bool HasDisplay();

}  // namespace pravel::platform
