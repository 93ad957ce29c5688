// Whole runs of the stage with the real scan, builder and UDF writer: the
// images are read back by independent readers (tests/tools/check_image.py:
// isoinfo, osirrox, 7z, pycdlib, udfinfo) and udfinfo's account of the volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "intake/tree_scan.h"
#include "iso/builder.h"
#include "iso/byte_fields.h"
#include "job/runtime.h"
#include "output/image_output.h"
#include "output_fixture.h"
#include "support/descriptor_checks.h"
#include "udf/udf_writer.h"

namespace pravel::output_test {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::MakeDirs;
using testing::Quoted;
using testing::ReadFile;
using testing::WriteFile;

class ImageReadersTest : public ::testing::Test {
 protected:
  std::string Title(const std::string& relative) const { return dir / ("title/" + relative); }

  // A fresh job over the title folder's entries, its images in dir/<images>,
  // built with `udf` as the UDF stage.
  bool Premaster(testing::TestJob& t, const std::string& images, UdfStage& udf,
                 uint32_t layerCapacity = geometry::kSingleLayerCapacity) {
    Job& job = t.job;
    for (const char* sub : {"/tmp", "/l1", "/l2"}) MakeDirs(dir / (images + sub));
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
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(dir / "title")) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) job.AddSource(entry.string());
    job.treeListPath = job.tempDir + "tm.txt";
    return BuildTreeListing(job) &&
           BuildImageAndOutput(job, [&udf](Job& j, SectorWriter& writer) { return BuildFileSystem(j, writer, udf); });
  }

  // udfinfo names the volume and finds the partition and the closing anchor
  // where the volume has them.
  void ExpectUdfinfoAgrees(const Job& job, uint32_t partitionStart) {
    testing::Outcome info = testing::RunShell("udfinfo " + Quoted(job.imagePath2), dir / "udfinfo.txt");
    SCOPED_TRACE(info.output);
    EXPECT_EQ(info.status, 0);
    std::string lower = info.output;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_FALSE(Contains(lower, "warning"));
    EXPECT_FALSE(Contains(lower, "error"));
    for (const std::string& line :
         {"vid=" + job.volumeId, "lvid=" + job.volumeId, std::string("fsid=Root"),
          Format("start=%u, blocks=%u, type=PSPACE", partitionStart, job.volumeSectors - partitionStart),
          Format("start=%u, blocks=1, type=ANCHOR", job.volumeSectors - 1)}) {
      EXPECT_TRUE(Contains(info.output, "\n" + line + "\n")) << line;
    }
  }

  testing::TempDir dir;
};

// Directories whose tree-listing order differs from the path table order
// ("Banana" lists before "apple", the path table sorts APPLE first), non-ASCII
// names, a directory whose identifiers fill more than one block, files around
// a sector (the batch runs read a larger tree); single layer, then split with
// the layer boundary one sector into the first file.
TEST_F(ImageReadersTest, SingleAndSplitImagesReadBackFileForFile) {
  WriteFile(Title("README.TXT"), Pattern(5000, 1));
  WriteFile(Title("EMPTY.DAT"), "");
  WriteFile(Title("Banana/Yellow/deep/LEAF.TXT"), "leaf");
  WriteFile(Title("apple/Green/G.TXT"), Pattern(2049, 4));
  WriteFile(Title("Greek/\xCE\xA9mega.txt"), "omega");
  for (int i = 0; i < 40; ++i)
    WriteFile(Title("MANY/a_rather_long_file_name_number_" + std::to_string(i) + ".bin"), Pattern(i * 100, 5));

  testing::TestJob single;
  UdfWriter writer;
  ASSERT_TRUE(Premaster(single, "single", writer)) << single.ui.messages.at(0).text;
  const std::string layer1 = ReadFile(single.job.imagePath2);
  ASSERT_EQ(layer1.size(), uint64_t{single.job.volumeSectors} * kSector);
  const UdfFileSetState& fileSet = writer.FileSet();
  EXPECT_EQ(fileSet.totals.directories, fileSet.directories);
  EXPECT_EQ(fileSet.totals.files + fileSet.totals.directories, fileSet.fileEntries);
  EXPECT_EQ(fileSet.totals.files, 45u);
  EXPECT_GE(fileSet.reservedBlocks, fileSet.estimatedBlocks);
  ExpectUdfinfoAgrees(single.job, fileSet.totals.partitionStart);

  testing::TestJob dual;
  UdfWriter dualWriter;
  const uint32_t boundary = single.job.fileDataStart + 1;
  ASSERT_TRUE(Premaster(dual, "dual", dualWriter, boundary)) << dual.ui.messages.at(0).text;
  EXPECT_EQ(dual.job.dualLayer, 1);
  const std::string split1 = ReadFile(dual.job.imagePath2);
  EXPECT_EQ(split1.size(), uint64_t{boundary} * kSector);
  // The joined layers are the single-layer volume, so one reading serves both.
  EXPECT_TRUE(split1 + ReadFile(dual.job.imagePath3) == layer1);
  testing::Outcome check = testing::RunShell("/usr/bin/python3 " + Quoted(testing::ToolPath("check_image.py")) + " " +
                                                 Quoted(dual.job.imagePath2) + " " + Quoted(dual.job.imagePath3) + " " +
                                                 Quoted(dir / "title") + " --work-dir " + Quoted(dir.path()),
                                             dir / "check.txt");
  EXPECT_EQ(check.status, 0) << check.output;
}

// The root holds the parent identifier, an empty directory D and an empty
// file E: 3 x 72 bytes. Unique ids: the root 0, then the root's file (16),
// then D (17). The streams follow the entries: the root's at 2 + 3, D's
// right after it.
TEST_F(ImageReadersTest, StreamLengthsAreExactAndUniqueIdsFollowTheWalk) {
  MakeDirs(Title("D"));
  WriteFile(Title("E"), "");
  testing::TestJob t;
  UdfWriter writer;
  ASSERT_TRUE(Premaster(t, "small", writer)) << t.ui.messages.at(0).text;
  const uint32_t start = writer.FileSet().totals.partitionStart;
  const std::string image = ReadFile(t.job.imagePath2);
  auto entry = [&](uint32_t block) { return testing::BytesOf(image) + size_t{start + block} * kSector; };
  EXPECT_TRUE(testing::TagIsValid(entry(2), 261, 2, 284));
  testing::ExpectFields(entry(2), {{27, 1, 4}, {56, 8, 216}, {292, 4, 216}, {160, 8, 0}, {296, 4, 2 + 3}});
  testing::ExpectFields(entry(3), {{27, 1, 4}, {56, 8, 72}, {292, 4, 72}, {160, 8, 17}, {296, 4, 2 + 3 + 1}});
  EXPECT_TRUE(testing::TagIsValid(entry(4), 261, 4, 284));
  testing::ExpectFields(entry(4), {{27, 1, 5}, {56, 8, 0}, {64, 8, 0}, {292, 4, 0},
                                   {296, 4, t.job.fileDataStart - start}, {160, 8, 16}});
  ExpectUdfinfoAgrees(t.job, start);
}

// A UDF stage that damages the builder's directory files before the UDF tree
// is written: the writer refuses rather than writes a wrong tree.
class DamagingStage final : public UdfStage {
 public:
  explicit DamagingStage(std::function<void()> damage) : damage_(std::move(damage)) {}
  bool ValidateDvdVideoZone(Job& job) override { return inner_.ValidateDvdVideoZone(job); }
  bool WriteVolumeDescriptors(Job& job, SectorWriter& w) override { return inner_.WriteVolumeDescriptors(job, w); }
  bool WriteFileSet(Job& job, SectorWriter& w, const DirectoryTable& table, uint32_t& area) override {
    return inner_.WriteFileSet(job, w, table, area);
  }
  bool PlaceDvdVideoZone(Job& job, uint32_t& s) override { return inner_.PlaceDvdVideoZone(job, s); }
  std::optional<ZonePlacement> FindZoneFile(const std::string& p) const override { return inner_.FindZoneFile(p); }
  bool WriteDirectories(Job& job, SectorWriter& w, const DirectoryTable& table, const PathTables& paths) override {
    damage_();
    return inner_.WriteDirectories(job, w, table, paths);
  }
  bool PatchVolumeDescriptors(Job& job, SectorWriter& w) override { return inner_.PatchVolumeDescriptors(job, w); }

 private:
  UdfWriter inner_;
  std::function<void()> damage_;
};

TEST_F(ImageReadersTest, InconsistentDirectoryFilesEndTheBuildWithAMessage) {
  WriteFile(Title("A/ONE.TXT"), "1");
  WriteFile(Title("B/TWO.TXT"), "2");
  struct Case {
    std::string name;
    std::function<void(const std::string& tmp)> damage;
    std::string message;
  };
  auto poke = [](const std::string& path, size_t at, int by) {
    std::string bytes = ReadFile(path);
    bytes[at] = static_cast<char>(bytes[at] + by);
    WriteFile(path, bytes);
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::string& tmp) { fs::remove(tmp + "_td0001X"); }, "is missing"},
      // The root's first subdirectory record ("A") gets an extent no directory has.
      {"subdirectory", [&](const std::string& tmp) { poke(tmp + "_td0000X", 68 + 2, 100); }, "matches no directory"},
      // ONE.TXT's data length, 1 byte, becomes 9.
      {"file", [&](const std::string& tmp) { poke(tmp + "_td0001X", 68 + 10, 8); },
       "does not match its entry in the file list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TestJob t;
    DamagingStage stage([&] { c.damage(t.job.tempDir); });
    EXPECT_FALSE(Premaster(t, c.name, stage));
    ASSERT_FALSE(t.ui.messages.empty());
    EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
    EXPECT_TRUE(Contains(t.ui.messages[0].text, c.message)) << t.ui.messages[0].text;
  }
}

}  // namespace
}  // namespace pravel::output_test
