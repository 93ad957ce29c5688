// Batch runs of build/pravel on titles holding the synthetic VIDEO_TS of
// tests/tools/make_video_ts.py: where the DVD-Video files lie in the volume,
// what DVD readers make of the image, and how a broken VIDEO_TS is refused.
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::Outcome;
using testing::PravelBinary;
using testing::Quoted;
using testing::Exists;
using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t kSector = 2048;
constexpr const char* kSourceDateEpoch = "1767225600";  // 2026-01-01 00:00:00 UTC
constexpr const char* kContentCaption = "DVD-V content file error!";

// The zone's files in the order players expect them.
const std::vector<std::string> kZoneOrder = {"VIDEO_TS.IFO", "VIDEO_TS.VOB", "VIDEO_TS.BUP",
                                             "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_0.BUP"};

std::string Tool(const std::string& name) { return testing::ToolPath(name); }

// No run of these tests reads standard input.
Outcome RunShell(const std::string& command, const std::string& outputPath) {
  return testing::RunShell(command + " </dev/null", outputPath);
}

// Reads a volume with pycdlib and prints, for every file of the ISO tree,
// "FILE <ISO path> <ISO extent> <length>", and for the DVD-Video files
// "ZONE <name> <ISO extent> <Joliet extent> <UDF extent> <length> <same>",
// <same> telling whether the content read through UDF equals the source (a
// volume without UDF gives -1 and 0).
constexpr const char* kVolumeReport = R"(
import io, sys, pycdlib
image, sources = sys.argv[1], sys.argv[2]
iso = pycdlib.PyCdlib()
iso.open(image)
for path, dirs, files in iso.walk(iso_path='/'):
    for name in files:
        full = (path.rstrip('/') + '/' + name)
        record = iso.get_record(iso_path=full)
        print('FILE', full, record.extent_location(), record.get_data_length())
for name in sys.argv[3:]:
    record = iso.get_record(iso_path='/VIDEO_TS/' + name + ';1')
    joliet = iso.get_record(joliet_path='/VIDEO_TS/' + name + ';1')
    udf, same = -1, False
    if iso.has_udf():
        start = iso.udf_main_descs.partitions[0].part_start_location
        entry = iso.get_record(udf_path='/VIDEO_TS/' + name)
        if entry.alloc_descs:
            udf = start + entry.alloc_descs[0].log_block_num
        data = io.BytesIO()
        iso.get_file_from_iso_fp(data, udf_path='/VIDEO_TS/' + name)
        same = data.getvalue() == open(sources + '/' + name, 'rb').read()
    print('ZONE', name, record.extent_location(), joliet.extent_location(), udf,
          record.get_data_length(), int(same))
iso.close()
)";

struct ZoneFacts {
  uint32_t iso = 0;
  uint32_t joliet = 0;
  int64_t udf = -1;
  uint64_t length = 0;
  bool sameContent = false;
};

struct VolumeReport {
  std::map<std::string, uint32_t> fileExtents;  // every file of the ISO tree
  std::map<std::string, ZoneFacts> zone;
};

// An installation with its own temporary, template and image directories, a
// title folder and a DVD-Video folder holding the synthetic VIDEO_TS.
class DvdVideoImageTest : public ::testing::Test {
 protected:
  DvdVideoImageTest() {
    for (const char* sub : {"home", "tmp", "template", "images", "title", "dvd"}) MakeDirs(root_ / sub);
    WriteFile(root_ / "home/kestrand.ini", "[kestrand]\r\ntempdir=" + (root_ / "tmp") + "\r\ntemplate=" +
                                               (root_ / "template") + "\r\nimagedir=" + (root_ / "images") +
                                               "\r\n");
    WriteFile(root_ / "title/README.TXT", std::string(3000, 'r'));
    WriteFile(root_ / "title/EXTRAS/NOTES.TXT", std::string(5000, 'n'));
    Outcome made = Shell("/usr/bin/python3 " + Quoted(Tool("make_video_ts.py")) + " " + Quoted(root_ / "dvd"));
    EXPECT_EQ(made.status, 0) << made.output;
  }

  std::string VideoTs() const { return root_ / "dvd/VIDEO_TS"; }
  std::string Image() const { return root_ / "images/LAYER01.IMG"; }
  std::string Marker() const { return root_ / "template/_cdferr"; }

  Outcome Shell(const std::string& command) const { return RunShell(command, root_ / "shell.txt"); }

  // A batch run with the DVD-Video folder given on the command line.
  Outcome Premaster() const {
    return Shell("SOURCE_DATE_EPOCH=" + std::string(kSourceDateEpoch) + " KESTRAND_HOME=" +
                 Quoted(root_ / "home") + " " + Quoted(PravelBinary()) + " --console --yes -nw -dvdv=" + Quoted(VideoTs()) +
                 " -p=" + Quoted(root_ / "title"));
  }

  VolumeReport ReadVolume() const {
    WriteFile(root_ / "report.py", kVolumeReport);
    std::string command = "/usr/bin/python3 " + Quoted(root_ / "report.py") + " " + Quoted(Image()) + " " +
                          Quoted(VideoTs());
    for (const std::string& name : kZoneOrder) command += " " + name;
    Outcome read = Shell(command);
    EXPECT_EQ(read.status, 0) << read.output;
    VolumeReport report;
    std::istringstream lines(read.output);
    std::string kind;
    while (lines >> kind) {
      std::string name;
      if (kind == "FILE") {
        uint64_t length = 0;
        lines >> name >> report.fileExtents[name] >> length;
      } else if (kind == "ZONE") {
        int same = 0;
        lines >> name;
        ZoneFacts& facts = report.zone[name];
        lines >> facts.iso >> facts.joliet >> facts.udf >> facts.length >> same;
        facts.sameContent = same == 1;
      } else {
        ADD_FAILURE() << "unexpected report line: " << kind << " " << read.output;
        break;
      }
    }
    return report;
  }

  TempDir root_;
};

TEST_F(DvdVideoImageTest, ZoneLiesFirstInPlayerOrderAndReadersPlayIt) {
  Outcome run = Premaster();
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_FALSE(Exists(Marker()));
  EXPECT_FALSE(Contains(run.output, kContentCaption)) << run.output;

  VolumeReport report = ReadVolume();
  ASSERT_EQ(report.zone.size(), kZoneOrder.size());
  uint32_t expected = report.zone[kZoneOrder[0]].iso;
  EXPECT_EQ(expected % 16, 0u) << "the data area starts on a multiple of 16";
  for (const std::string& name : kZoneOrder) {
    SCOPED_TRACE(name);
    const ZoneFacts& facts = report.zone[name];
    EXPECT_EQ(facts.iso, expected);
    EXPECT_EQ(facts.joliet, facts.iso);
    EXPECT_EQ(facts.udf, static_cast<int64_t>(facts.iso));
    EXPECT_EQ(facts.length, fs::file_size(VideoTs() + "/" + name));
    EXPECT_TRUE(facts.sameContent);
    expected += static_cast<uint32_t>((facts.length + kSector - 1) / kSector);
  }
  // Every other file follows the zone.
  for (const auto& [path, extent] : report.fileExtents) {
    if (path.starts_with("/VIDEO_TS/")) continue;
    EXPECT_GE(extent, expected) << path;
  }
  EXPECT_TRUE(report.fileExtents.contains("/README.TXT;1"));
  EXPECT_TRUE(report.fileExtents.contains("/EXTRAS/NOTES.TXT;1"));

  // The image itself (read through its UDF volume) and the title as 7z
  // extracts it both open in lsdvd and copy with dvdbackup, byte for byte.
  const std::string extracted = root_ / "extracted";
  Outcome unpacked = Shell("7z x -y -o" + Quoted(extracted) + " " + Quoted(Image()));
  ASSERT_EQ(unpacked.status, 0) << unpacked.output;
  int copy = 0;
  for (const std::string& dvd : {Image(), extracted}) {
    SCOPED_TRACE(dvd);
    Outcome listed = Shell("lsdvd " + Quoted(dvd));
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_TRUE(Contains(listed.output, "Title: 01, Length: 00:00:01.000 Chapters: 01, Cells: 01")) << listed.output;
    EXPECT_TRUE(Contains(listed.output, "Longest track: 01")) << listed.output;
    EXPECT_FALSE(Contains(listed.output, "CHECK_VALUE")) << listed.output;
    EXPECT_FALSE(Contains(listed.output, "Invalid IFO")) << listed.output;

    const std::string copies = root_ / ("copies" + std::to_string(++copy));
    Outcome copied = Shell("dvdbackup -M -n SYNTHETIC -i " + Quoted(dvd) + " -o " + Quoted(copies));
    EXPECT_EQ(copied.status, 0) << copied.output;
    for (const std::string& name : kZoneOrder) {
      EXPECT_EQ(ReadFile(copies + "/SYNTHETIC/VIDEO_TS/" + name), ReadFile(VideoTs() + "/" + name)) << name;
    }
  }
}

TEST_F(DvdVideoImageTest, BrokenVideoFolderIsRefused) {
  const std::string ifo = VideoTs() + "/VIDEO_TS.IFO";
  const std::string illegal = VideoTs() + "/VTS_1_1.VOB";
  const std::string kept = ReadFile(ifo);

  // No video manager.
  fs::remove(ifo);
  Outcome run = Premaster();
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Exists(Marker()));
  EXPECT_TRUE(Contains(run.output, kContentCaption)) << run.output;
  EXPECT_TRUE(Contains(run.output, "The DVD-Video title lacks the required file " + ifo + "; it would not play."))
      << run.output;

  // A title-set name without its two digits.
  fs::remove(Marker());
  WriteFile(ifo, kept);
  WriteFile(illegal, std::string(kSector, '\0'));
  run = Premaster();
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Exists(Marker()));
  EXPECT_TRUE(Contains(run.output, kContentCaption)) << run.output;
  EXPECT_TRUE(Contains(run.output, "Content file " + illegal + " is an illegal file name.")) << run.output;
  // The sources are left as they were.
  EXPECT_EQ(ReadFile(ifo), kept);
  EXPECT_EQ(fs::file_size(illegal), kSector);
}

}  // namespace
}  // namespace pravel
