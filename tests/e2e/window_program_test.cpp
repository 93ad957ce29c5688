// The program's front ends as its callers see them: the window on an X
// server, the console when the display can not be opened, the console alone.
#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

// The window on Xvfb; the sanitizer build is told of the X libraries' leaks.
const std::string kOnXvfb =
    " env -u QT_QPA_PLATFORM LSAN_OPTIONS=suppressions=" + Quoted(testing::ToolPath("lsan.supp")) + " xvfb-run -a";

void MakeTitle(const Installation& install) {
  testing::WriteFile(install.Home() + "/DVDFROM.INI", "[cdformat]\r\nvolume_id=FRONT_ENDS\r\n");
  testing::WriteFile(install.Title() + "/DOCS/README.TXT", "front ends\r\n");
  testing::WriteFile(install.Title() + "/DATA.BIN", std::string(70000, 'd'));
}

TEST(FrontEnds, TheWindowAndTheConsoleMakeTheSameImage) {
  Installation console, window;
  MakeTitle(console);
  ASSERT_TRUE(Ended(console.RunBatch(), 0));
  MakeTitle(window);
  window.environment += kOnXvfb + " env";
  const Outcome inWindow = window.Run("--yes -p=" + Quoted(window.Title()));
  ASSERT_TRUE(Ended(inWindow, 0));
  EXPECT_FALSE(Contains(inWindow.output, "Note:")) << inWindow.output;
  for (const char* image : {"/LAYER01.IMG", "/CONTROL.IMG"})
    EXPECT_EQ(testing::ReadFile(window.Images() + image), testing::ReadFile(console.Images() + image)) << image;
}

// The window ends on a bad installation (status 2, it never waits); a display
// that can not be opened leaves the console; the console alone takes batch
// runs only.
TEST(FrontEnds, WhereTheWindowCanNotServe) {
  struct Case { std::string environment, arguments, said; int status; };
  for (const Case& c :
       {Case{kOnXvfb + " env", "--yes -p=", "", 2},
        Case{" env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97", "--yes -p=",
             "Note: the display can not be opened; Pravel runs on the console.", 0},
        Case{" env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY", "",
             "Usage error: The console takes batch runs only.", 2}}) {
    SCOPED_TRACE(c.environment);
    Installation install;
    MakeTitle(install);
    if (c.said.empty()) testing::WriteFile(install.Home() + "/kestrand.ini", "[kestrand]\r\n");
    install.environment += c.environment;
    Outcome outcome = install.Run(c.arguments + (c.arguments.empty() ? "" : Quoted(install.Title())));
    EXPECT_TRUE(Ended(outcome, c.status, {c.said}));
    EXPECT_EQ(Contains(outcome.output, "Note:"), c.status == 0);
    EXPECT_EQ(testing::Exists(install.Layer1()), c.status == 0);
  }
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
  Outcome outcome = testing::RunShell(kOnXvfb + " bash -c " + Quoted(script), install.root / "signal.txt");
  EXPECT_TRUE(Ended(outcome, 130));
  EXPECT_TRUE(testing::Exists(install.Marker())) << outcome.output;
  EXPECT_EQ(FilesIn(install.Images()), std::vector<std::string>{});
}

}  // namespace
}  // namespace pravel
