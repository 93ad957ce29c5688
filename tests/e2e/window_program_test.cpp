// The program's front ends as its callers see them: the window on an X
// server, the console when the display can not be opened, the console alone.
#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::Contains;
using testing::Outcome;
using testing::Quoted;

// Leaks of the X libraries the sanitizer build would otherwise report.
std::string Suppressions() {
  return " LSAN_OPTIONS=suppressions=" + Quoted(testing::ToolPath("lsan.supp"));
}

void MakeTitle(const Installation& install) {
  testing::WriteFile(install.Home() + "/DVDFROM.INI", "[cdformat]\r\nvolume_id=FRONT_ENDS\r\n");
  testing::WriteFile(install.Title() + "/DOCS/README.TXT", "front ends\r\n");
  testing::WriteFile(install.Title() + "/DATA.BIN", std::string(70000, 'd'));
}

TEST(FrontEnds, TheWindowAndTheConsoleMakeTheSameImage) {
  Installation console;
  MakeTitle(console);
  Outcome onConsole = console.RunBatch();
  ASSERT_EQ(onConsole.status, 0) << onConsole.output;

  Installation window;
  MakeTitle(window);
  window.environment += " env -u QT_QPA_PLATFORM" + Suppressions() + " xvfb-run -a env";
  Outcome inWindow = window.Run("--yes -p=" + Quoted(window.Title()));
  ASSERT_EQ(inWindow.status, 0) << inWindow.output;
  EXPECT_FALSE(Contains(inWindow.output, "Note:")) << inWindow.output;
  EXPECT_EQ(testing::ReadFile(window.Images() + "/LAYER01.IMG"), testing::ReadFile(console.Images() + "/LAYER01.IMG"));
  EXPECT_EQ(testing::ReadFile(window.Images() + "/CONTROL.IMG"), testing::ReadFile(console.Images() + "/CONTROL.IMG"));
}

// Start-up fails on a bad installation: status 2, the window never waits.
TEST(FrontEnds, TheWindowEndsOnABadInstallation) {
  Installation install;
  testing::WriteFile(install.Home() + "/kestrand.ini", "[kestrand]\r\n");
  install.environment += " env -u QT_QPA_PLATFORM" + Suppressions() + " xvfb-run -a env";
  Outcome outcome = install.Run("--yes -p=" + Quoted(install.Title()));
  EXPECT_EQ(outcome.status, 2) << outcome.output;
}

// A window run waiting at its summary question is ended by SIGTERM: the
// marker, no image, the status of an interrupted run. The signal is sent once
// the run has written its tree listing (-nw: no name question before it),
// whatever the machine's speed.
TEST(FrontEnds, ASignalEndsAWindowRunWithTheMarker) {
  Installation install;
  MakeTitle(install);
  const std::string script =
      "KESTRAND_HOME=" + Quoted(install.Home()) + " " + Quoted(testing::PravelBinary()) + " -nw -p=" +
      Quoted(install.Title()) + " </dev/null & run=$!; for i in $(seq 600); do [ -e " +
      Quoted(install.Tmp() + "/tm.txt") + " ] && break; sleep 0.1; done; sleep 0.5; kill -TERM $run; wait $run";
  Outcome outcome = testing::RunShell(
      "env -u QT_QPA_PLATFORM" + Suppressions() + " xvfb-run -a bash -c " + Quoted(script), install.root / "signal.txt");
  EXPECT_EQ(outcome.status, 130) << outcome.output;
  EXPECT_TRUE(testing::Exists(install.Marker())) << outcome.output;
  EXPECT_FALSE(testing::Exists(install.Images() + "/LAYER01.IMG"));
  EXPECT_FALSE(testing::Exists(install.Images() + "/LAYER01.IMG.part"));
}

TEST(FrontEnds, ADisplayThatCanNotBeOpenedFallsBackToTheConsole) {
  Installation install;
  MakeTitle(install);
  install.environment += " env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97" + Suppressions();
  Outcome outcome = install.Run("--yes -p=" + Quoted(install.Title()));
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_TRUE(Contains(outcome.output, "Note: the display can not be opened; Pravel runs on the console."))
      << outcome.output;
  EXPECT_TRUE(testing::Exists(install.Images() + "/LAYER01.IMG"));
}

TEST(FrontEnds, TheConsoleAloneTakesBatchRunsOnly) {
  Installation install;
  MakeTitle(install);
  install.environment += " env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY";
  Outcome outcome = install.Run("");
  EXPECT_EQ(outcome.status, 2) << outcome.output;
  EXPECT_TRUE(Contains(outcome.output, "Usage error: The console takes batch runs only.")) << outcome.output;
  EXPECT_FALSE(Contains(outcome.output, "Note:"));
}

}  // namespace
}  // namespace pravel
