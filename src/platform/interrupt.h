// Interruption of a run (SIGINT, SIGTERM, SIGHUP and SIGQUIT on POSIX): a
// watcher runs the given clean-up outside any signal context and then ends
// the process with `exitStatus`. A closed console (SIGPIPE) and a file size
// limit (SIGXFSZ) do not end the process: the write that meets them fails.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/files.h"

namespace pravel::platform {

// Installs the watcher once; later calls replace the clean-up.
void OnInterrupt(std::function<void()> cleanup, int exitStatus);

// Runs `action` unless the process is being interrupted; an interruption
// that arrives meanwhile waits until it is done. So a step that must not
// race the clean-up (removing the error marker of a run that went well)
// either happens before it or not at all. False when it did not run.
bool RunUninterrupted(const std::function<void()>& action);

// File::Open for a run's temporary file, unless an interruption's clean-up
// has begun: that clean-up would not see a file created behind it, so none
// is (nullopt).
std::optional<File> OpenUninterrupted(const std::string& path, File::Mode mode);

// Called once the program is about to end: a clean-up already running is
// waited for (it ends the process); no clean-up starts afterwards.
void EndInterruptHandling();

}  // namespace pravel::platform
