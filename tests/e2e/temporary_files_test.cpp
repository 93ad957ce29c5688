// The listing and directory files of a run are created ahead of the stage
// that fills them; a run refused before or by that stage leaves none behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::Exists;
using testing::MakeDirs;
using testing::WriteFile;
using Strings = std::vector<std::string>;

Strings RunFilesIn(const std::string& tempDir) {
  Strings left;
  for (const auto& entry : fs::directory_iterator(tempDir)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("tm") || name.starts_with("_td") || name.starts_with("_pdir")) left.push_back(name);
  }
  return left;
}

TEST(RefusedRun, LeavesNoListingOrDirectoryFile) {
  struct Case {
    std::string what;
    Strings files, folders;
    std::string said;
  };
  const std::vector<Case> cases = {
      {"names equal but for case, found deep in the walk",
       {"A/B/C/one.txt", "Z/Y/README", "Z/Y/readme"}, {}, "readme"},
      {"an image file that can not be created", {"A/B/one.txt", "Z/two.txt"}, {"LAYER01.IMG.part"}, "LAYER01.IMG"},
      {"a DVD-Video title the builder refuses", {"VIDEO_TS/VIDEO_TS.IFO", "A/B/one.txt"}, {}, "DVD-V content"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation install;
    for (const std::string& file : c.files) {
      MakeDirs(fs::path(install.Title() + "/" + file).parent_path());
      WriteFile(install.Title() + "/" + file, "content of " + file);
    }
    for (const std::string& folder : c.folders) MakeDirs(install.Images() + "/" + folder);

    testing::Outcome run = install.RunBatch();

    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, c.said)) << run.output;
    EXPECT_TRUE(Exists(install.Marker()));
    EXPECT_EQ(RunFilesIn(install.Tmp()), Strings{}) << run.output;
  }
}

}  // namespace
}  // namespace pravel
