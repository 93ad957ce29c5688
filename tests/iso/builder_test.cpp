#include "iso/builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "intake/tree_scan.h"
#include "iso/byte_fields.h"
#include "iso/directory_records.h"
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
  BuilderTest() {
    testing::PrepareBuildJob(t.job, dir);
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

  // The records of a directory extent: identifier bytes -> (extent, length, flags).
  struct Record {
    std::string identifier;
    uint32_t extent, length;
    uint8_t flags;
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
      records.push_back({std::string(reinterpret_cast<const char*>(r + 33), r[32]), GetLe32(r + 2),
                         GetLe32(r + 10), r[25]});
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

TEST_F(BuilderTest, RecordsOfBothTreesAgreeAndDotDotPointsToTheParent) {
  MakeDirs(dir / "title/TOP/SUB");
  WriteFile(dir / "title/TOP/SUB/Read Me.txt", "hello");
  ASSERT_TRUE(Scan());
  ASSERT_TRUE(Build()) << t.ui.messages.back().text;
  const uint8_t* primary = SectorAt(16);
  const uint8_t* supplementary = SectorAt(17);
  auto isoRoot = RecordsAt(GetLe32(primary + 158), GetLe32(primary + 166));
  auto jolietRoot = RecordsAt(GetLe32(supplementary + 158), GetLe32(supplementary + 166));
  ASSERT_EQ(isoRoot.size(), 3u);
  EXPECT_EQ(isoRoot[2].identifier, "TOP");
  EXPECT_EQ(isoRoot[2].flags, 2);
  EXPECT_EQ(jolietRoot[2].identifier, std::string("\0T\0O\0P", 6));
  auto isoTop = RecordsAt(isoRoot[2].extent, isoRoot[2].length);
  ASSERT_EQ(isoTop.size(), 3u);
  EXPECT_EQ(isoTop[1].extent, isoRoot[0].extent);  // ".." of TOP is the root
  auto isoSub = RecordsAt(isoTop[2].extent, isoTop[2].length);
  auto jolietTop = RecordsAt(jolietRoot[2].extent, jolietRoot[2].length);
  auto jolietSub = RecordsAt(jolietTop[2].extent, jolietTop[2].length);
  ASSERT_EQ(isoSub.size(), 3u);
  ASSERT_EQ(jolietSub.size(), 3u);
  EXPECT_EQ(isoSub[1].extent, isoRoot[2].extent);
  // "Read Me.txt": its 11 characters in UCS-2 and ";1" (26 bytes) in Joliet.
  EXPECT_EQ(jolietSub[2].identifier.size(), 26u);
  EXPECT_EQ(isoSub[2].extent, jolietSub[2].extent);
  EXPECT_EQ(isoSub[2].length, 5u);
  EXPECT_EQ(jolietSub[2].length, 5u);
}

// Folders and files selected from two parents meet in the root: the root's
// records and the path table name each folder alike, and no two alike.
TEST_F(BuilderTest, RootEntriesFromTwoParentsGetDistinctNamesInRecordsAndPathTable) {
  t.job.isoLevel1Names = 1;
  for (const char* folder : {"P/LONGFOLDERNAME_A", "V/LONGFOLDERNAME_B"}) {
    MakeDirs(dir / folder);
    t.job.AddSource(dir / folder);
  }
  for (const char* file : {"P/LONGFILENAME_A.TXT", "V/LONGFILENAME_B.TXT"}) {
    WriteFile(dir / file, file);
    t.job.AddSource(dir / file);
  }
  ASSERT_TRUE(BuildTreeListing(t.job));
  ASSERT_TRUE(Build()) << t.ui.messages.back().text;

  const uint8_t* primary = SectorAt(16);
  std::map<std::string, uint32_t> recorded;  // identifier -> extent
  for (const Record& record : RecordsAt(GetLe32(primary + 158), GetLe32(primary + 166))) {
    if (record.identifier.size() > 1) recorded[record.identifier] = record.extent;
  }
  EXPECT_EQ(recorded.size(), 4u);
  EXPECT_TRUE(recorded.contains("LONGFI_1.TXT;1") && recorded.contains("LONGFI_2.TXT;1"));
  std::map<std::string, uint32_t> tabled;
  const uint8_t* table = SectorAt(GetLe32(primary + 140));
  for (size_t at = 0; at < GetLe32(primary + 132); at += 8 + table[at] + table[at] % 2) {
    if (at > 0) tabled[std::string(reinterpret_cast<const char*>(table + at + 8), table[at])] = GetLe32(table + at + 2);
  }
  EXPECT_EQ(tabled, (std::map<std::string, uint32_t>{{"LONGFO_1", recorded["LONGFO_1"]},
                                                      {"LONGFO_2", recorded["LONGFO_2"]}}));
}

TEST(DirectoryRecords, SizesAndPadding) {
  std::vector<uint8_t> twelve(14, 'A');
  twelve[12] = ';';
  twelve[13] = '1';
  EXPECT_EQ(MakeDirectoryRecord(twelve, 0, 0, false, nullptr).size(), 48u);  // even identifier pads
  EXPECT_EQ(MakeDirectoryRecord({0x00}, 0, 0, true, nullptr).size(), 34u);
  std::vector<uint8_t> joliet(26, 0);
  EXPECT_EQ(MakeDirectoryRecord(joliet, 0, 0, false, nullptr).size(), 60u);
}

TEST(DirectoryRecords, NoRecordCrossesASectorBoundary) {
  DirectoryImage image;
  std::vector<uint8_t> record(200, 1);
  record[0] = 200;
  for (int i = 0; i < 11; ++i) image.Append(record);  // 2200 bytes would cross at 2048
  image.Finish();
  ASSERT_EQ(image.Size(), 4096u);
  EXPECT_EQ(image.Bytes()[2000], 0);  // the gap behind the tenth record is zero
  EXPECT_EQ(image.Bytes()[2048], 200);
}

TEST_F(BuilderTest, FileOfFourGibibytesIsRefusedBeforeAnySectorIsWritten) {
  MakeDirs(dir / "title/D");
  WriteFile(dir / "title/D/huge.bin", "");
  std::filesystem::resize_file(dir / "title/D/huge.bin", 4ull << 30);
  ASSERT_TRUE(Scan());
  EXPECT_FALSE(Build());
  EXPECT_NE(t.ui.messages.back().text.find("huge.bin"), std::string::npos);
  EXPECT_EQ(bytes.size(), 0u);
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
  for (const char* name : {"_pdir.txt", "_pdirX.txt", "_td0000", "_td0000X", "_td0007", "_td0007X"})
    WriteFile(dir / (std::string("tmp/") + name), "x");
  WriteFile(dir / "tmp/keep.txt", "x");
  RemoveBuilderFiles(t.job);
  for (const char* name : {"_pdir.txt", "_pdirX.txt", "_td0000", "_td0000X", "_td0007", "_td0007X"})
    EXPECT_FALSE(Exists(dir / (std::string("tmp/") + name))) << name;
  EXPECT_TRUE(Exists(dir / "tmp/keep.txt"));
}

}  // namespace
}  // namespace pravel
