#include "app/command_line.h"

#include <strings.h>

namespace pravel {
namespace {

bool StartsWithNoCase(const std::string& argument, const char* option) {
  size_t length = std::char_traits<char>::length(option);
  return argument.size() >= length && strncasecmp(argument.c_str(), option, length) == 0;
}

bool ReadFrontEndOption(const std::string& argument, CommandLineResult& result) {
  FrontEndOptions& options = result.frontEnd;
  if (argument == "--console") {
    options.console = true;
  } else if (argument == "--yes") {
    options.yesToAll = true;
  } else if (argument == "--help") {
    options.help = true;
  } else if (argument == "--version") {
    options.version = true;
  } else if (argument.rfind("--layers=", 0) == 0) {
    std::string value = argument.substr(9);
    if (value == "1" || value == "2") {
      options.layers = value[0] - '0';
    } else {
      result.ok = false;
      result.error = "The option --layers= takes 1 or 2, not \"" + value + "\".";
    }
  } else if (argument.rfind("--copies=", 0) == 0) {
    std::string value = argument.substr(9);
    int copies = 0;
    for (char c : value) copies = (c >= '0' && c <= '9' && copies < 100) ? copies * 10 + (c - '0') : 1000;
    if (!value.empty() && copies >= 1 && copies <= kMostTapeCopies) {
      options.copies = copies;
    } else {
      result.ok = false;
      result.error = "The option --copies= takes a number from 1 to 99, not \"" + value + "\".";
    }
  } else if (argument == "--erase-tape") {
    options.eraseTape = true;
  } else if (argument.rfind("--ddp=", 0) == 0 && argument.size() > 6) {
    options.ddpFolder = argument.substr(6);
  } else {
    result.ok = false;
    result.error = "Unknown option " + argument + ".\n\n" + UsageText();
  }
  return result.ok;
}

bool TakeValue(const std::string& argument, size_t prefix, std::string& field, const char* option,
               CommandLineResult& result) {
  std::string value = argument.substr(prefix);
  if (AssignField(field, value, capacity::kCommandLineValue)) return true;
  result.ok = false;
  result.error = std::string("The value of ") + option + " is longer than " +
                 std::to_string(capacity::kCommandLineValue - 1) + " characters: " + value;
  return false;
}

}  // namespace

CommandLineResult ReadCommandLine(Job& job, const std::vector<std::string>& arguments) {
  CommandLineResult result;
  job.autorunArg.clear();
  job.dvdVideoPath.clear();
  job.projectPath.clear();
  job.batchMode = 0;
  job.noWarnings = 0;
  job.tapeRequested = 0;

  for (const std::string& argument : arguments) {
    if (argument.rfind("--", 0) == 0) {
      if (!ReadFrontEndOption(argument, result)) return result;
      continue;
    }
    job.batchMode = 1;
    // Each option is tested independently; the last occurrence wins.
    if (StartsWithNoCase(argument, "-a=") && !TakeValue(argument, 3, job.autorunArg, "-a=", result))
      return result;
    if (StartsWithNoCase(argument, "-p=") && !TakeValue(argument, 3, job.projectPath, "-p=", result))
      return result;
    if (StartsWithNoCase(argument, "-dvdv=") &&
        !TakeValue(argument, 6, job.dvdVideoPath, "-dvdv=", result))
      return result;
    if (StartsWithNoCase(argument, "-nw")) job.noWarnings = 1;
    if (StartsWithNoCase(argument, "-tape")) job.tapeRequested = 1;
  }
  if ((result.frontEnd.copies > 0 || !result.frontEnd.ddpFolder.empty()) && job.tapeRequested == 0) {
    result.ok = false;
    result.error = "The options --copies= and --ddp= belong to a tape run: add -tape.";
    return result;
  }
  job.requestedLayers = result.frontEnd.layers;
  // Copies of a tape run: as many as asked for; one when every question is
  // answered Yes (the copy question would never end otherwise); else the
  // operator answers after each copy.
  job.tapeCopies = result.frontEnd.copies > 0 ? result.frontEnd.copies : (result.frontEnd.yesToAll ? 1 : 0);
  job.eraseTapeRequested = result.frontEnd.eraseTape ? 1 : 0;
  job.unattended = result.frontEnd.yesToAll ? 1 : 0;
  job.ddpFolder = result.frontEnd.ddpFolder;
  return result;
}

std::string UsageText() {
  return "Usage: pravel [--console] [--yes] [--layers=1|2] [-p=PROJECT] [-dvdv=VIDEO_TS] "
         "[-a=PROGRAM[;ICON]] [-nw] [-tape [--copies=N] [--ddp=FOLDER]]\n"
         "       pravel [--console] [--yes] --erase-tape\n"
         "\n"
         "Without batch options the desktop window opens. With any of them Pravel premasters\n"
         "the project unattended and ends; \"_cdferr\" in the template directory marks a failed run.\n"
         "\n"
         "  -p=PROJECT      the project folder; its contents become the root of the disc\n"
         "  -dvdv=FOLDER    a DVD-Video folder, added to the root of the disc\n"
         "  -a=PROG[;ICON]  write an AUTORUN.INF that opens PROG (and shows ICON)\n"
         "  -nw             no warnings about names during the scan\n"
         "  -tape           write to DLT tape instead of image files\n"
         "  --console       use the console front end even when a display is present\n"
         "  --yes           answer Yes to every question\n"
         "  --layers=2      make a dual-layer title (batch runs are single-layer otherwise)\n"
         "  --copies=N      with -tape: make N copies of the tape set (1 to 99; --yes alone makes 1)\n"
         "  --ddp=FOLDER    with -tape: write the DDP set as files in FOLDER/LAYER0 (and LAYER1)\n"
         "                  instead of to tape, each folder with an MD5SUMS\n"
         "  --erase-tape    erase the tape in the drive (asks first) and end\n"
         "  --help          print this text\n"
         "  --version       print the version\n"
         "\n"
         "Exit status: 0 when no run failed, 1 when the run failed, 2 when start-up failed.\n"
         "KESTRAND_HOME names the installation directory (default /etc/kestrand).\n";
}

}  // namespace pravel
