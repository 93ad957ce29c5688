// Pravel: premasters a DVD title into image files or onto DLT tape.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/stages.h"
#include "app/startup.h"
#include "platform/clock.h"
#include "platform/console_ui.h"
#include "platform/interrupt.h"

int main(int argc, char** argv) {
  using namespace pravel;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  Job job;
  CommandLineResult commandLine = ReadCommandLine(job, arguments);
  if (!commandLine.ok) {
    std::fprintf(stderr, "Usage error: %s\n", commandLine.error.c_str());
    return kExitStartupFailed;
  }
  if (commandLine.frontEnd.help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitOk;
  }
  if (commandLine.frontEnd.version) {
    std::puts("Pravel " PRAVEL_VERSION);
    return kExitOk;
  }
  // The desktop window is not part of this build: every front end is the console.
  platform::ConsoleUi ui(commandLine.frontEnd.yesToAll);
  platform::SystemClock clock;
  job.mainWindow = &ui;
  job.clock = &clock;
  auto stages = MakeProductionStages();
  Driver driver(job, *stages);
  const int status = RunProgram(driver);
  // An interruption from here on waits for the process to end instead of
  // cleaning up after a run whose objects are going away.
  platform::EndInterruptHandling();
  return status;
}
