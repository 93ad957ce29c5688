// Batch runs of build/pravel on titles holding the synthetic VIDEO_TS of
// tests/tools/make_video_ts.py: where the DVD-Video files lie in the volume,
// what DVD readers make of the image, and how broken tables are refused.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/runtime.h"
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

// No run of these tests reads standard input.
Outcome RunShell(const std::string& command, const std::string& outputPath) {
  return testing::RunShell(command + " </dev/null", outputPath);
}

// Reads the volume with pycdlib: the zone's files (named in order on the
// command line) lie contiguous from a multiple of 16, with one extent in
// ISO, Joliet and UDF, and read through UDF as their sources; every other
// file lies behind them. Prints "zone first; N other files".
constexpr const char* kZoneCheck = R"(
import io, sys, pycdlib
image, sources, names = sys.argv[1], sys.argv[2], sys.argv[3:]
iso = pycdlib.PyCdlib()
iso.open(image)
start = iso.udf_main_descs.partitions[0].part_start_location
expected = iso.get_record(iso_path='/VIDEO_TS/' + names[0] + ';1').extent_location()
assert expected % 16 == 0, ('data area start', expected)
for name in names:
    path = '/VIDEO_TS/' + name
    source = open(sources + '/' + name, 'rb').read()
    record = iso.get_record(iso_path=path + ';1')
    udf = iso.get_record(udf_path=path)
    facts = (record.extent_location(), iso.get_record(joliet_path=path + ';1').extent_location(),
             start + udf.alloc_descs[0].log_block_num, record.get_data_length())
    assert facts == (expected, expected, expected, len(source)), (name, facts, expected)
    data = io.BytesIO()
    iso.get_file_from_iso_fp(data, udf_path=path)
    assert data.getvalue() == source, name
    expected += (len(source) + 2047) // 2048
others = 0
for path, dirs, files in iso.walk(iso_path='/'):
    for name in files if not path.startswith('/VIDEO_TS') else []:
        assert iso.get_record(iso_path=path.rstrip('/') + '/' + name).extent_location() >= expected, (path, name)
        others += 1
print('zone first; %d other files' % others)
)";

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
    Outcome made = Shell("/usr/bin/python3 " + Quoted(testing::ToolPath("make_video_ts.py")) + " " + Quoted(root_ / "dvd"));
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

  // Replaces the synthetic VIDEO_TS with one made by `tool` and its arguments.
  Outcome Remake(const std::string& tool, const std::string& arguments) const {
    fs::remove_all(root_ / "dvd");
    return Shell(tool + " " + Quoted(root_ / "dvd") + " " + arguments);
  }

  // The zone read back through the image's own tables, every reader's extent
  // compared with them; then lsdvd lists and dvdbackup copies the image.
  void ExpectPlayableAsItsTablesSay(int titles, const std::string& name) {
    Outcome layout = Shell("/usr/bin/python3 " + Quoted(testing::ToolPath("check_dvd_layout.py")) + " " +
                           Quoted(Image()) + " " + Quoted(VideoTs()));
    EXPECT_EQ(layout.status, 0) << layout.output;
    EXPECT_TRUE(Contains(layout.output, "zone as its tables say")) << layout.output;
    Outcome listed = Shell("lsdvd " + Quoted(Image()));
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_TRUE(Contains(listed.output, Format("Title: %02d,", titles))) << listed.output;
    EXPECT_FALSE(Contains(listed.output, "CHECK_VALUE")) << listed.output;
    const std::string copies = root_ / "copies";
    Outcome copied = Shell("dvdbackup -M -n " + name + " -i " + Quoted(Image()) + " -o " + Quoted(copies));
    EXPECT_EQ(copied.status, 0) << copied.output;
    for (const auto& entry : fs::directory_iterator(VideoTs())) {
      const std::string file = entry.path().filename().string();
      EXPECT_EQ(ReadFile(copies + "/" + name + "/VIDEO_TS/" + file), ReadFile(entry.path().string())) << file;
    }
  }

  TempDir root_;
};

TEST_F(DvdVideoImageTest, ZoneLiesFirstInPlayerOrderAndReadersPlayIt) {
  Outcome run = Premaster();
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_FALSE(Exists(Marker()));
  EXPECT_FALSE(Contains(run.output, kContentCaption)) << run.output;

  WriteFile(root_ / "zone.py", kZoneCheck);
  std::string command = "/usr/bin/python3 " + Quoted(root_ / "zone.py") + " " + Quoted(Image()) + " " + Quoted(VideoTs());
  for (const std::string& name : kZoneOrder) command += " " + name;
  Outcome zone = Shell(command);
  EXPECT_EQ(zone.status, 0) << zone.output;
  EXPECT_TRUE(Contains(zone.output, "zone first; 2 other files")) << zone.output;  // README.TXT, EXTRAS/NOTES.TXT

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

// A video manager declared to end at sector 31 with its BUP behind a gap,
// two title sets whose backups lie behind gaps of their own.
TEST_F(DvdVideoImageTest, DeclaredGapsAreKeptAndEveryFileLiesAtItsTableSector) {
  Outcome made = Remake("/usr/bin/python3 " + Quoted(testing::ToolPath("make_video_ts.py")),
                        "--sets 2 --manager-last 31 --set-gap 4");
  ASSERT_EQ(made.status, 0) << made.output;
  Outcome run = Premaster();
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectPlayableAsItsTablesSay(2, "GAPS");
}

// Two title sets authored from encoded clips by a DVD authoring tool.
TEST_F(DvdVideoImageTest, TitleOfAnAuthoringToolPlaysFromItsTableSectors) {
  Outcome made = Remake("bash " + Quoted(testing::ToolPath("make_real_dvd.sh")), "");
  if (made.status == 77) GTEST_SKIP() << "the encoder or the authoring tool is not installed";
  ASSERT_EQ(made.status, 0) << made.output;
  Outcome run = Premaster();
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectPlayableAsItsTablesSay(2, "AUTHORED");
}

// Tables that put a file where it can not lie stop the run before any file
// data is written, naming the file; the sources stay as they were.
TEST_F(DvdVideoImageTest, TablesThatCanNotBePlacedAreRefused) {
  // One fault of a title set's tables, one of the manager's; the zone tests
  // refuse every other kind with its message.
  const std::vector<std::pair<std::string, std::string>> cases = {{"overlap", "VTS_01_1.VOB"},
                                                                  {"short", "VIDEO_TS.IFO"}};
  for (const auto& [fault, named] : cases) {
    SCOPED_TRACE(fault);
    Outcome made = Remake("/usr/bin/python3 " + Quoted(testing::ToolPath("make_video_ts.py")),
                          "--sets 2 --break " + fault);
    ASSERT_EQ(made.status, 0) << made.output;
    std::string before;
    for (const auto& entry : fs::directory_iterator(VideoTs())) before += ReadFile(entry.path().string());
    fs::remove(Marker());
    Outcome run = Premaster();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Exists(Marker()));
    EXPECT_TRUE(Contains(run.output, std::string(kContentCaption) + ": ")) << run.output;
    EXPECT_TRUE(Contains(run.output, VideoTs() + "/" + named)) << run.output;
    std::string after;
    for (const auto& entry : fs::directory_iterator(VideoTs())) after += ReadFile(entry.path().string());
    EXPECT_EQ(after, before);
  }
}

}  // namespace
}  // namespace pravel
