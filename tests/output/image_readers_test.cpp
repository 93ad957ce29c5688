// The stage with the real scan and builder: the images it writes, single
// layer and split over two layers, are read back by independent readers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "intake/tree_scan.h"
#include "output/image_output.h"
#include "output_fixture.h"

namespace pravel::output_test {
namespace {

using testing::ReadFile;
using testing::WriteFile;

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

  // isoinfo, osirrox, 7z and pycdlib (tests/tools/check_image.py) give the
  // title back file for file from the images, joined when there are two.
  void ExpectReadable(const std::vector<std::string>& images, const std::string& name) {
    std::string command = "/usr/bin/python3 " + testing::Quoted(testing::ToolPath("check_image.py"));
    for (const std::string& image : images) command.append(1, ' ').append(testing::Quoted(image));
    testing::MakeDirs(dir / name);
    command.append(1, ' ').append(testing::Quoted(dir / "title")).append(" --work-dir ").append(testing::Quoted(dir / name));
    testing::Outcome check = testing::RunShell(command, dir / (name + ".txt"));
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_TRUE(testing::Contains(check.output, "agree in isoinfo, osirrox, 7z, pycdlib")) << check.output;
  }

  testing::TempDir dir;
};

TEST_F(ImageReadersTest, SingleAndSplitImagesReadBackFileForFile) {

  testing::TestJob single;
  ASSERT_TRUE(Premaster(single, "single", geometry::kSingleLayerCapacity)) << single.ui.messages.at(0).text;
  std::string layer1 = ReadFile(single.job.imagePath2);
  ASSERT_EQ(layer1.size(), uint64_t{single.job.volumeSectors} * kSector);
  ExpectReadable({single.job.imagePath2}, "single");

  // The layer boundary one sector into the first file placed: it straddles.
  testing::TestJob dual;
  uint32_t boundary = single.job.fileDataStart + 1;
  ASSERT_TRUE(Premaster(dual, "dual", boundary)) << dual.ui.messages.at(0).text;
  EXPECT_EQ(dual.job.dualLayer, 1);
  std::string split1 = ReadFile(dual.job.imagePath2);
  std::string split2 = ReadFile(dual.job.imagePath3);
  EXPECT_EQ(split1.size(), uint64_t{boundary} * kSector);
  EXPECT_TRUE(split1 + split2 == layer1);
  ExpectReadable({dual.job.imagePath2, dual.job.imagePath3}, "dual");
}

}  // namespace
}  // namespace pravel::output_test
