// The program as its callers see it: messages, exit status and the error
// marker of whole runs of build/pravel.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

using testing::Contains;
using testing::Exists;
using testing::Outcome;
using testing::PravelBinary;
using testing::Quoted;
using testing::RunShell;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

Outcome RunPravel(const std::string& home, const std::string& arguments, const TempDir& scratch) {
  std::string outputPath = scratch / "output.txt";
  return RunShell("KESTRAND_HOME=" + Quoted(home) + " " + Quoted(PravelBinary()) + " " + arguments + " </dev/null",
                  outputPath);
}

// An installation with its own temporary, template and image directories.
struct Installation {
  Installation() {
    for (const char* sub : {"home", "tmp", "template", "images", "title"}) testing::MakeDirs(root / sub);
    WriteFile(root / "home/kestrand.ini", "[kestrand]\r\ntempdir=" + (root / "tmp") + "\r\ntemplate=" +
                                              (root / "template") + "\r\nimagedir=" + (root / "images") +
                                              "\r\n");
  }
  std::string Home() const { return root / "home"; }
  TempDir root;
};

TEST(Program, AMissingInstallationFileOrTempdirStatementEndsStartUp) {
  TempDir home;
  Outcome outcome = RunPravel(home.path(), "--console -p=/any", home);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_TRUE(Contains(outcome.output, "Installation error?")) << outcome.output;
  EXPECT_TRUE(Contains(outcome.output, home.path() + "/kestrand.ini")) << outcome.output;

  WriteFile(home / "kestrand.ini", "[kestrand]\r\nimagedir=/tmp\r\n");
  outcome = RunPravel(home.path(), "--console -p=/any", home);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_TRUE(Contains(outcome.output, "tempdir=")) << outcome.output;
}

// Without DVDFROM.INI only the volume_id default draws a warning; a title
// with no folder fails the run.
TEST(Program, FailedBatchRunShowsOnlyTheVolumeIdWarningLeavesTheMarkerAndExitsOne) {
  Installation install;
  WriteFile(install.root / "title/ONLY.TXT", "x");
  Outcome outcome = RunPravel(install.Home(), "--console -p=" + (install.root / "title"), install.root);
  EXPECT_EQ(outcome.status, 1) << outcome.output;
  EXPECT_TRUE(Contains(outcome.output, "Illegal volume_id DVD-ROM")) << outcome.output;
  EXPECT_FALSE(Contains(outcome.output, "Illegal Pre"));
  EXPECT_FALSE(Contains(outcome.output, "Illegal system"));
  EXPECT_TRUE(Exists(install.root / "template/_cdferr"));
  EXPECT_FALSE(Exists(install.root / "tmp/tm.txt"));
}

TEST(Program, OverlongValueIsAUsageError) {
  TempDir home;
  Outcome outcome = RunPravel(home.path(), "-p=/" + std::string(300, 'a'), home);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_TRUE(Contains(outcome.output, "Usage error"));
}

TEST(Program, HelpPrintsTheUsage) {
  TempDir home;
  Outcome outcome = RunPravel(home.path(), "--help", home);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(Contains(outcome.output, "-dvdv="));
}

TEST(Program, InterruptedBatchRunLeavesTheMarkerAndNoTemporaryFiles) {
  Installation install;
  testing::MakeDirs(install.root / "title/DIR");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("KESTRAND_HOME", install.Home().c_str(), 1);
    std::string project = "-p=" + (install.root / "title");
    if (!freopen((install.root / "stderr.txt").c_str(), "w", stderr)) _exit(126);
    execl(PravelBinary().c_str(), "pravel", "--console", project.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // The descriptor warning is the last thing start-up shows; the first batch
  // timer then waits 100 ms.
  for (int i = 0; i < 500 && ReadFile(install.root / "stderr.txt").find("volume_id") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(child, SIGTERM);
  int raw = 0;
  waitpid(child, &raw, 0);
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_NE(WEXITSTATUS(raw), 0);
  EXPECT_TRUE(Exists(install.root / "template/_cdferr"));
  EXPECT_FALSE(Exists(install.root / "tmp/tm.txt"));
}

}  // namespace
}  // namespace pravel
