// The stage with the real scan and builder: the images it writes, single
// layer and split over two layers, are read back by independent readers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "intake/tree_scan.h"
#include "output/image_output.h"
#include "output_fixture.h"

namespace pravel::output_test {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

using testing::HaveTool;

bool RunQuiet(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Every file of `expected` is in `actual` with the same bytes.
void ExpectSameFiles(const std::string& expected, const std::string& actual) {
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(expected)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), expected).string();
    SCOPED_TRACE(relative);
    ASSERT_TRUE(fs::exists(actual + "/" + relative));
    EXPECT_TRUE(ReadFile(entry.path().string()) == ReadFile(actual + "/" + relative));
    ++files;
  }
  EXPECT_EQ(files, 6u);
}

class ImageReadersTest : public ::testing::Test {
 protected:
  ImageReadersTest() {
    WriteFile(dir / "title/a.txt", Pattern(5000, 1));
    WriteFile(dir / "title/empty.txt", "");
    WriteFile(dir / "title/big.bin", Pattern(300000, 2));
    WriteFile(dir / "title/SUB/two.bin", Pattern(2048, 3));
    WriteFile(dir / "title/SUB/one.bin", "x");
    WriteFile(dir / "title/SUB/DEEP/three.bin", Pattern(2049, 4));
  }

  // A fresh job over the title's entries, images in `images`.
  bool Premaster(testing::TestJob& t, const std::string& images, uint32_t layerCapacity) {
    Job& job = t.job;
    testing::MakeDirs(dir / (images + "/tmp"));
    testing::MakeDirs(dir / (images + "/l1"));
    testing::MakeDirs(dir / (images + "/l2"));
    job.tempDir = dir / (images + "/tmp/");
    job.templateDir = dir / (images + "/tmp");
    job.imagePath1 = dir / (images + "/l1/CONTROL.IMG");
    job.imagePath2 = dir / (images + "/l1/LAYER01.IMG");
    job.imagePath3 = dir / (images + "/l2/LAYER02.IMG");
    job.freeSectors1 = 4000000000u;
    job.freeSectors2 = 4000000000u;
    job.noWarningMessages = 1;
    job.noWarningMessagesOutput = 1;
    job.volumeId = "READERS";
    job.layerCapacity = layerCapacity;
    job.singleLayer = layerCapacity == geometry::kSingleLayerCapacity ? 1 : 0;
    for (const char* name : {"a.txt", "empty.txt", "big.bin", "SUB"}) job.AddSource(dir / ("title/" + std::string(name)));
    job.treeListPath = job.tempDir + "tm.txt";
    return BuildTreeListing(job) && BuildImageAndOutput(job);
  }

  void ExpectReadable(const std::string& image, const std::string& name) {
    EXPECT_TRUE(RunQuiet("isoinfo -d -i '" + image + "'"));
    EXPECT_TRUE(RunQuiet("isoinfo -J -l -i '" + image + "'"));
    std::string byOsirrox = dir / (name + "-osirrox");
    ASSERT_TRUE(RunQuiet("osirrox -indev '" + image + "' -extract / '" + byOsirrox + "'"));
    ExpectSameFiles(dir / "title", byOsirrox);
    std::string by7z = dir / (name + "-7z");
    ASSERT_TRUE(RunQuiet("7z x -y '-o" + by7z + "' '" + image + "'"));
    ExpectSameFiles(dir / "title", by7z);
  }

  testing::TempDir dir;
};

TEST_F(ImageReadersTest, SingleAndSplitImagesReadBackFileForFile) {
  if (!HaveTool("isoinfo") || !HaveTool("osirrox") || !HaveTool("7z")) GTEST_SKIP() << "image readers missing";

  testing::TestJob single;
  ASSERT_TRUE(Premaster(single, "single", geometry::kSingleLayerCapacity)) << single.ui.messages.at(0).text;
  std::string layer1 = ReadFile(single.job.imagePath2);
  ASSERT_EQ(layer1.size(), uint64_t{single.job.volumeSectors} * kSector);
  ExpectReadable(single.job.imagePath2, "single");

  // The layer boundary one sector into the first file placed: it straddles.
  testing::TestJob dual;
  uint32_t boundary = single.job.fileDataStart + 1;
  ASSERT_TRUE(Premaster(dual, "dual", boundary)) << dual.ui.messages.at(0).text;
  EXPECT_EQ(dual.job.dualLayer, 1);
  std::string split1 = ReadFile(dual.job.imagePath2);
  std::string split2 = ReadFile(dual.job.imagePath3);
  EXPECT_EQ(split1.size(), uint64_t{boundary} * kSector);
  EXPECT_TRUE(split1 + split2 == layer1);
  std::string joined = dir / "joined.img";
  WriteFile(joined, split1 + split2);
  ExpectReadable(joined, "joined");
}

}  // namespace
}  // namespace pravel::output_test
