#include "iso/builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "intake/tree_scan.h"
#include "iso/byte_fields.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::Exists;
using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A build of a generated tree: the scan, then the builder into LAYER01.IMG.
class BuilderTest : public ::testing::Test {
 protected:
  // Scans dir/title, builds with dir/tmp as the temporary (and template)
  // directory, ISO Level 2 names and no name warnings.
  BuilderTest() {
    MakeDirs(dir / "tmp");
    MakeDirs(dir / "title");
    t.job.tempDir = dir / "tmp/";
    t.job.tempDirPlain = dir / "tmp";
    t.job.templateDir = dir / "tmp";
    t.job.treeListPath = dir / "tmp/tm.txt";
    t.job.discType = 5;
    t.job.isoLevel1Names = 0;
    t.job.noWarningMessages = 1;
  }

  // Scans every entry of the title folder as a selected source.
  bool Scan() {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "title")) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const auto& path : entries) t.job.AddSource(path.string());
    bool ok = BuildTreeListing(t.job);
    for (const auto& message : t.ui.messages) ADD_FAILURE() << message.caption << ": " << message.text;
    return ok;
  }

  bool Build() {
    image = dir / "LAYER01.IMG";
    auto file = platform::File::Open(image, platform::File::Mode::kCreate);
    if (!file) return false;
    SectorWriter writer(t.job, *file, image);
    NoUdfStage udf;
    bool ok = BuildFileSystem(t.job, writer, udf) && writer.FlushImageSectors();
    file->Close();
    bytes = ReadFile(image);
    return ok;
  }

  const uint8_t* SectorAt(uint32_t sector) const {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + static_cast<size_t>(sector) * kSectorSize;
  }

  // The records of a directory extent.
  struct Record {
    uint32_t extent, length;
  };
  std::vector<Record> RecordsAt(uint32_t extent, uint32_t length) const {
    std::vector<Record> records;
    const uint8_t* start = SectorAt(extent);
    size_t offset = 0;
    while (offset < length) {
      uint8_t size = start[offset];
      if (size == 0) {
        offset = (offset / kSectorSize + 1) * kSectorSize;
        continue;
      }
      const uint8_t* r = start + offset;
      records.push_back({GetLe32(r + 2), GetLe32(r + 10)});
      offset += size;
    }
    return records;
  }

  TempDir dir;
  testing::TestJob t;
  std::string image;
  std::string bytes;
};

TEST_F(BuilderTest, EmptyTreeListingGivesTheFixedSectorMap) {
  WriteFile(t.job.treeListPath, "");
  ASSERT_TRUE(Build()) << (t.ui.messages.empty() ? "" : t.ui.messages.back().text);
  // Path table slots 450-457, ISO root 458, Joliet root 459, UDF area at 460.
  const uint8_t* primary = SectorAt(16);
  const uint8_t* supplementary = SectorAt(17);
  EXPECT_EQ(GetLe32(primary + 140), 450u);
  EXPECT_EQ(GetBe32(primary + 148), 452u);
  EXPECT_EQ(GetLe32(supplementary + 140), 456u);
  EXPECT_EQ(GetBe32(supplementary + 148), 454u);
  EXPECT_EQ(GetLe32(primary + 156 + 2), 458u);
  EXPECT_EQ(GetLe32(supplementary + 156 + 2), 459u);
  EXPECT_EQ(bytes.size(), 464u * kSectorSize);  // U = 460, closed on a multiple of 16
  EXPECT_EQ(t.job.fileDataStart, 5472u);        // 464 + 5000, raised to a multiple of 16
  EXPECT_EQ(t.job.volumeSectors, 5488u);        // already a multiple of 16: 16 more
  EXPECT_EQ(GetLe32(primary + 80), 5488u);        // the volume space ends with the volume
  EXPECT_EQ(SectorAt(18)[0], 255);
  // The root holds "." and ".." only, each describing the root itself.
  auto root = RecordsAt(458, 2048);
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root[0].extent, 458u);
  EXPECT_EQ(root[1].extent, 458u);
  EXPECT_EQ(root[1].length, 2048u);
}

TEST_F(BuilderTest, FilesArePlacedInNameOrderAndEmptyFilesShareTheNextExtent) {
  MakeDirs(dir / "title/D");
  WriteFile(dir / "title/D/B.BIN", std::string(2048, 'b'));
  WriteFile(dir / "title/D/A.TXT", "");
  WriteFile(dir / "title/D/C.DAT", std::string(2049, 'c'));
  WriteFile(dir / "title/D/A", "x");
  ASSERT_TRUE(Scan());
  ASSERT_TRUE(Build()) << t.ui.messages.back().text;
  ASSERT_EQ(t.job.fileDataList.size(), 4u);
  const auto& list = t.job.fileDataList;
  // Name order: A, A.TXT, B.BIN, C.DAT.
  EXPECT_EQ(list[0].path, dir / "title/D/A");
  EXPECT_EQ(list[0].startSector, t.job.fileDataStart);
  EXPECT_EQ(list[0].sectorCount, 1u);
  EXPECT_EQ(list[1].path, dir / "title/D/A.TXT");
  EXPECT_EQ(list[1].sectorCount, 0u);
  EXPECT_EQ(list[1].startSector, list[2].startSector);
  EXPECT_EQ(list[2].sectorCount, 1u);
  EXPECT_EQ(list[3].sectorCount, 2u);
  EXPECT_EQ(list[3].byteLength, 2049u);
  EXPECT_EQ(t.job.currentSector, ((t.job.fileDataStart + 4) / 16 + 1) * 16);
  EXPECT_EQ(t.job.volumeSectors, t.job.currentSector);
}

// ".." of each directory names its parent, in both trees (the readers
// accept any directory there).
TEST_F(BuilderTest, DotDotNamesTheParentInBothTrees) {
  WriteFile(dir / "title/TOP/SUB/A.TXT", "a");
  ASSERT_TRUE(Scan());
  ASSERT_TRUE(Build()) << t.ui.messages.back().text;
  for (const uint8_t* descriptor : {SectorAt(16), SectorAt(17)}) {
    const std::vector<Record> root = RecordsAt(GetLe32(descriptor + 158), GetLe32(descriptor + 166));
    ASSERT_EQ(root.size(), 3u);
    const std::vector<Record> top = RecordsAt(root[2].extent, root[2].length);
    ASSERT_EQ(top.size(), 3u);
    const std::vector<Record> sub = RecordsAt(top[2].extent, top[2].length);
    ASSERT_EQ(sub.size(), 3u);
    EXPECT_EQ(top[1].extent, root[0].extent);
    EXPECT_EQ(sub[1].extent, root[2].extent);
  }
}

TEST_F(BuilderTest, OverlongJolietRecordIsRefusedNamingTheFile) {
  t.job.relaxJoliet = 1;
  MakeDirs(dir / "title/D");
  WriteFile(dir / "title/D/" + std::string(110, 'n'), "x");
  ASSERT_TRUE(Scan());
  EXPECT_FALSE(Build());
  EXPECT_NE(t.ui.messages.back().text.find(std::string(110, 'n')), std::string::npos);
}

TEST_F(BuilderTest, RemoveBuilderFilesTakesEveryOneGapsIncluded) {
  const std::vector<std::string> names = {"_pdir.txt", "_pdirX.txt", "_td0000", "_td0000X", "_td0007", "_td0007X"};
  for (const std::string& name : names) WriteFile(dir / ("tmp/" + name), "x");
  WriteFile(dir / "tmp/keep.txt", "x");
  RemoveBuilderFiles(t.job);
  for (const std::string& name : names) EXPECT_FALSE(Exists(dir / ("tmp/" + name))) << name;
  EXPECT_TRUE(Exists(dir / "tmp/keep.txt"));
}

}  // namespace
}  // namespace pravel
