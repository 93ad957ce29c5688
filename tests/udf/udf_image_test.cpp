// Whole builds of generated titles through the scan, the builder and the UDF
// writer, read back by independent readers: udfinfo, pycdlib and 7z.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "job/runtime.h"
#include "intake/tree_scan.h"
#include "iso/builder.h"
#include "iso/byte_fields.h"
#include "platform/files.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"
#include "udf/anchor.h"
#include "udf/udf_writer.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

using testing::HaveTool;
using testing::Quoted;
using RunResult = testing::Outcome;

RunResult RunCommand(const std::string& command, const std::string& outputPath) {
  return testing::RunShell(command, outputPath);
}

// A title in a temporary folder, scanned and built in-process; the file data
// is copied behind the metadata as the output stage does (zero runs are left
// as holes, so sparse sources stay sparse) and a closing anchor ends it.
class UdfImageTest : public ::testing::Test {
 protected:
  UdfImageTest() {
    testing::PrepareBuildJob(t.job, dir);
    t.job.volumeId = "PRAVEL_UDF_TEST";
  }

  std::string Title(const std::string& relative) const { return dir / ("title/" + relative); }

  bool Scan() {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(dir / "title")) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    t.job.ClearSources();
    for (const auto& path : entries) t.job.AddSource(path.string());
    return BuildTreeListing(t.job);
  }

  // Scans and builds into `name`; false with the builder's message shown.
  bool Build(const std::string& name = "LAYER01.IMG", UdfStage* stage = nullptr) {
    if (!Scan()) return false;
    image = dir / name;
    auto file = platform::File::Open(image, platform::File::Mode::kCreate);
    if (!file) return false;
    SectorWriter writer(t.job, *file, image);
    UdfStage& udf = stage ? *stage : writer_;
    if (!BuildFileSystem(t.job, writer, udf) || !writer.FlushImageSectors()) return false;
    file->Close();
    RemoveBuilderFiles(t.job);
    CopyFileData();
    return true;
  }

  void CopyFileData() {
    std::fstream out(image, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> chunk(1 << 20), zeros(1 << 20, 0);
    for (const FileDataRecord& record : t.job.fileDataList) {
      std::ifstream in(record.path, std::ios::binary);
      uint64_t offset = uint64_t{record.startSector} * kSectorSize;
      while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        size_t got = static_cast<size_t>(in.gcount());
        if (std::memcmp(chunk.data(), zeros.data(), got) != 0) {
          out.seekp(static_cast<std::streamoff>(offset));
          out.write(chunk.data(), static_cast<std::streamsize>(got));
        }
        offset += got;
      }
    }
    out.close();
    fs::resize_file(image, uint64_t{t.job.volumeSectors} * kSectorSize);
    Sector anchor{};
    BuildAnchorPointer(anchor.data(), t.job.volumeSectors - 1);
    std::fstream end(image, std::ios::in | std::ios::out | std::ios::binary);
    end.seekp(static_cast<std::streamoff>(uint64_t{t.job.volumeSectors - 1} * kSectorSize));
    end.write(reinterpret_cast<const char*>(anchor.data()), kSectorSize);
  }

  std::string LastMessage() const { return t.ui.messages.empty() ? "" : t.ui.messages.back().text; }

  // Reads a sector of the built image.
  std::string SectorText(uint32_t sector) const {
    std::ifstream in(image, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(uint64_t{sector} * kSectorSize));
    std::string bytes(kSectorSize, '\0');
    in.read(bytes.data(), kSectorSize);
    return bytes;
  }

  void ExpectUdfinfoAgrees() {
    if (!HaveTool("udfinfo")) GTEST_SKIP() << "udfinfo is not installed";
    RunResult result = RunCommand("udfinfo '" + image + "'", dir / "udfinfo.txt");
    SCOPED_TRACE(result.output);
    EXPECT_EQ(result.status, 0);
    std::string lower = result.output;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(lower.find("warning"), std::string::npos);
    EXPECT_EQ(lower.find("error"), std::string::npos);
    EXPECT_NE(result.output.find("\nvid=" + t.job.volumeId + "\n"), std::string::npos);
    const uint32_t start = writer_.FileSet().totals.partitionStart;
    EXPECT_NE(result.output.find("\nlvid=" + t.job.volumeId + "\n"), std::string::npos);
    EXPECT_NE(result.output.find("\nfsid=Root\n"), std::string::npos);
    EXPECT_NE(result.output.find(Format("\nstart=%u, blocks=%u, type=PSPACE\n", start, t.job.volumeSectors - start)),
              std::string::npos);
    EXPECT_NE(result.output.find(Format("\nstart=%u, blocks=1, type=ANCHOR\n", t.job.volumeSectors - 1)),
              std::string::npos);
  }

  // isoinfo, osirrox, 7z (which prefers UDF) and pycdlib through ISO, Joliet
  // and UDF give the title back file for file; every file's UDF extent is
  // its Joliet one.
  void ExpectReadersGiveTheTitleBack() {
    const std::string command = "/usr/bin/python3 " + Quoted(testing::ToolPath("check_image.py")) + " " +
                                Quoted(image) + " " + Quoted(dir / "title") + " --iso-level 2 --work-dir " +
                                Quoted(dir.path());
    RunResult check = RunCommand(command, dir / "check.txt");
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_TRUE(testing::Contains(check.output, "agree in isoinfo, osirrox, 7z, pycdlib")) << check.output;
  }

  TempDir dir;
  testing::TestJob t;
  UdfWriter writer_;
  std::string image;
};

// Directories whose tree-listing order differs from the path table order
// ("Banana" lists before "apple", the path table sorts APPLE first), names
// that share a prefix, non-ASCII names, empty files and a directory whose
// identifiers fill more than one block.
void MakeMixedTitle(const std::function<std::string(const std::string&)>& at) {
  WriteFile(at("README.TXT"), "hello\n");
  WriteFile(at("EMPTY.DAT"), "");
  WriteFile(at("Banana/Yellow/deep/deeper/deepest/LEAF.TXT"), "leaf");
  WriteFile(at("Banana/B1.TXT"), std::string(2048, 'b'));
  WriteFile(at("apple/Green/G.TXT"), "green");
  WriteFile(at("apple/Red/R.TXT"), std::string(5000, 'r'));
  WriteFile(at("apple/Red/EMPTY2.TXT"), "");
  MakeDirs(at("AB"));
  WriteFile(at("ABC/X.TXT"), "x");
  WriteFile(at("Caf\xC3\xA9/na\xC3\xAFve.txt"), "latin-1 names");
  WriteFile(at("Greek/\xCE\xA9mega.txt"), "omega");
  WriteFile(at("Greek/\xC2\xA9mega.txt"), "copyright");
  for (int i = 0; i < 40; ++i)
    WriteFile(at("MANY/a_rather_long_file_name_number_" + std::to_string(i) + ".bin"), std::string(i * 100, 'm'));
}

TEST_F(UdfImageTest, MixedTitleReadsBackThroughEveryReaderAndBuildsTheSameTwice) {
  MakeMixedTitle([this](const std::string& p) { return Title(p); });
  UdfWriter first;
  ASSERT_TRUE(Build("FIRST.IMG", &first)) << LastMessage();
  const std::string firstBytes = ReadFile(image);
  ASSERT_TRUE(Build()) << LastMessage();
  EXPECT_TRUE(firstBytes == ReadFile(image)) << "two builds with the clock fixed differ";
  EXPECT_TRUE(t.ui.messages.empty()) << LastMessage();
  const UdfFileSetState& fileSet = writer_.FileSet();
  EXPECT_EQ(fileSet.totals.directories, fileSet.directories);
  EXPECT_EQ(fileSet.totals.files + fileSet.totals.directories, fileSet.fileEntries);
  EXPECT_EQ(fileSet.totals.files, t.job.fileDataList.size());
  EXPECT_GE(fileSet.reservedBlocks, fileSet.estimatedBlocks);
  ExpectUdfinfoAgrees();
  ExpectReadersGiveTheTitleBack();
}

// The root holds the parent identifier, an empty directory D and an empty
// file E: 3 x 72 bytes. Unique ids: the root 0, then the root's file (16),
// then D (17).
TEST_F(UdfImageTest, StreamLengthsAreExactAndUniqueIdsFollowTheWalk) {
  MakeDirs(Title("D"));
  WriteFile(Title("E"), "");
  ASSERT_TRUE(Build()) << LastMessage();
  const uint32_t start = writer_.FileSet().totals.partitionStart;
  const std::string rootBytes = SectorText(start + 2), dBytes = SectorText(start + 3), eBytes = SectorText(start + 4);
  const uint8_t* root = testing::BytesOf(rootBytes);
  EXPECT_TRUE(testing::TagIsValid(root, 261, 2, 284));
  // The exact stream length, not 2048; the streams follow the entries: the
  // root's at 2 + N, D's right after it.
  testing::ExpectFields(root, {{27, 1, 4}, {56, 8, 216}, {292, 4, 216}, {160, 8, 0}, {296, 4, 2 + 3}});
  testing::ExpectFields(testing::BytesOf(dBytes), {{27, 1, 4}, {56, 8, 72}, {292, 4, 72}, {160, 8, 17}, {296, 4, 2 + 3 + 1}});
  EXPECT_TRUE(testing::TagIsValid(testing::BytesOf(eBytes), 261, 4, 284));
  testing::ExpectFields(testing::BytesOf(eBytes), {{27, 1, 5}, {56, 8, 0}, {64, 8, 0}, {292, 4, 0},
                                                  {296, 4, t.job.fileDataList[0].startSector - start}, {160, 8, 16}});
  ExpectUdfinfoAgrees();
  // pycdlib reads a directory's whole recorded length: a zero tail would
  // make it refuse the image. (7z calls this title's headers broken, so
  // the full set of readers runs on the titles with file data.)
  RunResult walk = RunCommand("/usr/bin/python3 -c \"import pycdlib, sys; i = pycdlib.PyCdlib(); i.open(sys.argv[1]); "
                              "print(sorted(p for p, d, f in i.walk(udf_path='/')))\" " + Quoted(image),
                              dir / "walk.txt");
  EXPECT_EQ(walk.status, 0) << walk.output;
  EXPECT_TRUE(testing::Contains(walk.output, "['/', '/D']")) << walk.output;
}

// A stage that damages the builder's directory files before the UDF tree is
// written, to see that the writer refuses rather than writes a wrong tree.
class DamagingStage final : public UdfStage {
 public:
  DamagingStage(UdfWriter& inner, std::function<void()> damage) : inner_(inner), damage_(std::move(damage)) {}
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
  UdfWriter& inner_;
  std::function<void()> damage_;
};

TEST_F(UdfImageTest, InconsistentDirectoryFilesEndTheBuildWithAMessage) {
  WriteFile(Title("A/ONE.TXT"), "1");
  WriteFile(Title("B/TWO.TXT"), "2");
  const std::string joliet1 = dir / "tmp/_td0001X";
  struct Case {
    const char* name;
    std::function<void()> damage;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"missing", [&] { fs::remove(joliet1); }, "is missing"},
      {"subdirectory", [&] {
         // The root's first subdirectory record ("A") gets an extent no directory has.
         std::string bytes = ReadFile(dir / "tmp/_td0000X");
         bytes[68 + 2] = static_cast<char>(bytes[68 + 2] + 100);
         WriteFile(dir / "tmp/_td0000X", bytes);
       },
       "matches no directory"},
      {"file", [&] {
         std::string bytes = ReadFile(joliet1);
         bytes[68 + 10] = 9;  // ONE.TXT's data length
         WriteFile(joliet1, bytes);
       },
       "does not match its entry in the file list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    t.ui.messages.clear();
    UdfWriter inner;
    DamagingStage stage(inner, c.damage);
    EXPECT_FALSE(Build(std::string(c.name) + ".IMG", &stage));
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
    EXPECT_NE(t.ui.messages[0].text.find(c.message), std::string::npos) << t.ui.messages[0].text;
  }
}

// A sparse file of 1.5 GiB: two extents, the second at the first's end.
TEST_F(UdfImageTest, LargeSparseFileIsSplitAndReadsBackWhole) {
  WriteFile(Title("SMALL.TXT"), "small");
  const std::string big = Title("VIDEO/BIG.BIN");
  WriteFile(big, "");
  fs::resize_file(big, 3ull << 29);
  {
    std::fstream out(big, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp((1ll << 30) - 2048 - 3);
    out.write("edge!", 5);  // straddles the boundary between the two extents
  }
  ASSERT_TRUE(Build()) << LastMessage();
  ExpectUdfinfoAgrees();
  ExpectReadersGiveTheTitleBack();
  if (!HaveTool("7z")) GTEST_SKIP() << "7z is not installed";
  RunResult result =
      RunCommand("7z e -so '" + image + "' VIDEO/BIG.BIN | cmp - '" + big + "' && echo SAME", dir / "7z-big.txt");
  EXPECT_NE(result.output.find("SAME"), std::string::npos) << result.output;
}

}  // namespace
}  // namespace pravel
