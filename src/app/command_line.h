// The command line: front-end options ("--console", "--yes", "--help",
// "--version", "--layers=N", "--copies=N", "--erase-tape", "--ddp=FOLDER")
// are taken out first; every other argument is
// read as the batch command line (-a=, -p=, -dvdv=, -nw, -tape).
#pragma once

#include <string>
#include <vector>

#include "job/job.h"

namespace pravel {

inline constexpr int kMostTapeCopies = 99;

struct FrontEndOptions {
  bool console = false;
  bool yesToAll = false;
  bool help = false;
  bool version = false;
  int layers = 1;
  int copies = 0;  // --copies=N; 0 when not given
  bool eraseTape = false;
  std::string ddpFolder;
};

struct CommandLineResult {
  bool ok = true;
  std::string error;  // the "Usage error" text when !ok
  FrontEndOptions frontEnd;
};

// Reads the arguments after the program name into the Job's command-line
// fields. A value too long for its field is refused, not cut: a cut path
// would name another folder.
CommandLineResult ReadCommandLine(Job& job, const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace pravel
