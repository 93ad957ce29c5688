#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel::platform {
namespace {

// A run interrupted while it writes its alias files: the clean-up removes
// them, and the run's thread, still going, must not create another behind
// the clean-up's back.
TEST(Interruption, NoProfileFileIsCreatedOnceTheCleanUpHasBegun) {
  testing::TempDir dir;
  const std::string late = dir / "late.ini";
  int began[2];
  ASSERT_EQ(::pipe(began), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OnInterrupt(
        [&began] {
          [[maybe_unused]] ssize_t ignored = ::write(began[1], "x", 1);
          ::usleep(300 * 1000);  // the run's thread goes on meanwhile
        },
        130);
    ::kill(::getpid(), SIGTERM);
    char c;
    if (::read(began[0], &c, 1) != 1) ::_exit(2);
    WritePrivateProfileString("palias", "key", "value", late);
    ::_exit(3);  // the clean-up ends the process first
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(began[0]);
  ::close(began[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_FALSE(testing::Exists(late));
}

}  // namespace
}  // namespace pravel::platform
