#include "platform/interrupt.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <thread>

namespace pravel::platform {
namespace {

std::mutex gMutex;
// Shared by uninterrupted steps (they may run side by side), held alone and
// for good by the clean-up.
std::shared_mutex gExclusive;
bool gInterrupted = false;
std::function<void()> gCleanup;
int gExitStatus = 130;
bool gInstalled = false;

void Watch(sigset_t set) {
  int signal = 0;
  if (sigwait(&set, &signal) != 0) return;
  // Never released: the process ends while holding it.
  gExclusive.lock();
  gInterrupted = true;
  std::function<void()> cleanup;
  int status;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    cleanup = gCleanup;
    status = gExitStatus;
  }
  if (cleanup) cleanup();
  _exit(status);
}

}  // namespace

void OnInterrupt(std::function<void()> cleanup, int exitStatus) {
  std::lock_guard<std::mutex> lock(gMutex);
  gCleanup = std::move(cleanup);
  gExitStatus = exitStatus;
  if (gInstalled) return;
  gInstalled = true;
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, signal);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A console that went away loses its text and a file that outgrows its
  // limit fails its write: the run goes on and reports the truth by its exit
  // status and its marker, not by dying of the signal.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  try {
    std::thread(Watch, set).detach();
  } catch (const std::system_error&) {
    // No watcher can be had: the signals end the process as they would
    // without one, rather than not at all.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    gInstalled = false;
  }
}

bool RunUninterrupted(const std::function<void()>& action) {
  std::shared_lock<std::shared_mutex> lock(gExclusive);
  if (gInterrupted) return false;
  action();
  return true;
}

std::optional<File> OpenUninterrupted(const std::string& path, File::Mode mode) {
  std::optional<File> file;
  RunUninterrupted([&] { file = File::Open(path, mode); });
  return file;
}

void EndInterruptHandling() {
  // Never released: the process ends while holding it.
  gExclusive.lock();
}

}  // namespace pravel::platform
