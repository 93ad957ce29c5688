// The installation configuration: kestrand.ini in the installation directory
// names the temporary, template and image directories of every run. Both
// loaders prove each directory usable and fail (after their message box) at
// the first problem; start-up then ends the program.
#pragma once

#include <string>

#include "job/job.h"

namespace pravel {

// $KESTRAND_HOME, or "/etc/kestrand" when it is not set; no trailing '/'.
std::string InstallationDirectory();
// InstallationDirectory() + "/kestrand.ini"
std::string InstallConfigPath();

// Reads tempdir=, template= and autorun= into the Job and tests both
// directories by creating and deleting a file in each.
bool LoadInstallConfig(Job& job, const std::string& configPath);

// Reads imagedir=, composes the image file paths and measures the free space
// of the one or two image directories.
bool LoadImageDirectories(Job& job, const std::string& configPath);

}  // namespace pravel
