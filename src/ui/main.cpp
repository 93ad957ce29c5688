// Pravel: premasters a DVD title into image files or onto DLT tape.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/stages.h"
#include "app/startup.h"
#include "platform/clock.h"
#include "platform/console_ui.h"
#include "platform/interrupt.h"
#include "ui/window_program.h"

namespace {

int RunOnConsole(pravel::Driver& driver, bool yesToAll) {
  pravel::platform::ConsoleUi ui(yesToAll);
  driver.job.mainWindow = &ui;
  return pravel::RunProgram(driver);
}

}  // namespace

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
  // Interruptions are taken by one watcher thread; they must be blocked
  // before the window's threads start, which inherit the mask. Start-up
  // gives the watcher its clean-up.
  platform::OnInterrupt({}, kExitInterrupted);
  platform::SystemClock clock;
  job.clock = &clock;
  auto stages = MakeProductionStages();
  Driver driver(job, *stages);
  int status = kExitOk;
  if (!commandLine.frontEnd.console && ui::DisplayNamed()) {
    if (auto app = ui::OpenDisplay(argc, argv)) {
      status = ui::RunWindowProgram(*app, driver);
    } else {
      std::fputs("Note: the display can not be opened; Pravel runs on the console.\n", stderr);
      status = RunOnConsole(driver, commandLine.frontEnd.yesToAll);
    }
  } else {
    status = RunOnConsole(driver, commandLine.frontEnd.yesToAll);
  }
  // An interruption from here on waits for the process to end instead of
  // cleaning up after a run whose objects are going away.
  platform::EndInterruptHandling();
  return status;
}
