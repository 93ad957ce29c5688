// The program as its callers see it: exit status, messages and the error
// marker of whole runs of build/pravel.
#include <filesystem>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::Contains;
using testing::Exists;
using testing::Outcome;

TEST(Program, StartUpThatCanNotGoOnEndsWithStatusTwo) {
  struct Case {
    const char* what;
    std::string config, arguments, said;
    int status;
  };
  for (const Case& c : {Case{"no installation file", "", "--console -p=/any", "kestrand.ini", 2},
                        Case{"no tempdir statement", "[kestrand]\r\nimagedir=/tmp\r\n", "--console -p=/any",
                             "tempdir=", 2},
                        Case{"overlong value", "", "-p=/" + std::string(300, 'a'), "Usage error", 2},
                        Case{"help", "", "--help", "-dvdv=", 0}}) {
    SCOPED_TRACE(c.what);
    Installation install;
    std::filesystem::remove(install.Home() + "/kestrand.ini");
    if (!c.config.empty()) testing::WriteFile(install.Home() + "/kestrand.ini", c.config);
    Outcome outcome = install.Run(c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, c.said)) << outcome.output;
  }
}

// Without DVDFROM.INI only the volume_id default draws a warning; a title
// with no folder fails the run.
TEST(Program, FailedBatchRunShowsOnlyTheVolumeIdWarningLeavesTheMarkerAndExitsOne) {
  Installation install;
  testing::WriteFile(install.Title() + "/ONLY.TXT", "x");
  Outcome outcome = install.Run("--console -p=" + install.Title());
  EXPECT_EQ(outcome.status, 1) << outcome.output;
  EXPECT_TRUE(Contains(outcome.output, "Illegal volume_id DVD-ROM")) << outcome.output;
  EXPECT_FALSE(Contains(outcome.output, "Illegal Pre"));
  EXPECT_FALSE(Contains(outcome.output, "Illegal system"));
  EXPECT_TRUE(Exists(install.Marker()));
  EXPECT_FALSE(Exists(install.Tmp() + "/tm.txt"));
}

}  // namespace
}  // namespace pravel
