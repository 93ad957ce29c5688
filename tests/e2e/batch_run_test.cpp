// Whole batch runs of build/pravel on generated title trees: the exit status,
// the error marker, the temporary directory afterwards, the image files'
// sizes, control data and closing anchor, the volume as independent readers
// (tests/tools/check_image.py) give it back, and its dates and their zone
// (tests/tools/check_dates.py).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/runtime.h"
#include "e2e/installation.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::Exists;
using testing::Outcome;
using testing::PravelBinary;
using testing::Quoted;
using testing::RunShell;
using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr uint64_t kSector = 2048;
constexpr uint64_t kSingleLayerCapacity = 2294912;
constexpr uint64_t kDualLayerLayerCapacity = 2084960;
constexpr uint64_t kDataAreaStart = 0x30000;

std::string CheckImageScript() { return testing::ToolPath("check_image.py"); }


// Bytes that differ from file to file, so that a file placed or read at the
// wrong sectors shows.
std::string Content(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

void MakeFile(const std::string& path, size_t size) {
  static uint32_t seed = 1;
  WriteFile(path, Content(size, seed++));
}

// A sparse file of `size` bytes with pseudo-random blocks at `dataOffsets`
// (each block `blockSize` bytes, cut at the end of the file).
void MakeSparseFile(const std::string& path, uint64_t size, const std::vector<uint64_t>& dataOffsets = {},
                    size_t blockSize = 4096) {
  MakeDirs(fs::path(path).parent_path().string());
  { std::ofstream create(path, std::ios::binary); }
  fs::resize_file(path, size);
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  uint32_t seed = 7;
  for (uint64_t offset : dataOffsets) {
    if (offset >= size) continue;
    std::string block = Content(static_cast<size_t>(std::min<uint64_t>(blockSize, size - offset)), seed++);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

// The generated title: deep folders, 64-character names, spaced and
// non-ASCII names, empty files and folders, files around one sector, a folder
// whose directory spans several sectors, and names whose short forms clash.
void GenerateTree(const std::string& title) {
  auto at = [&](const std::string& relative) { return title + "/" + relative; };
  MakeFile(at("README.TXT"), 1000);
  MakeFile(at("one.bin"), 1);
  MakeFile(at("b2047.bin"), 2047);
  MakeFile(at("b2048.bin"), 2048);
  MakeFile(at("b2049.bin"), 2049);
  MakeFile(at("empty.txt"), 0);
  MakeFile(at("zz empty last.txt"), 0);
  MakeFile(at("Read Me First.txt"), 3000);
  MakeFile(at("\xCE\xA9mega file.txt"), 5000);              // "Ωmega file.txt"
  MakeFile(at("caf\xC3\xA9/na\xC3\xAFve r\xC3\xA9sum\xC3\xA9.txt"), 4096);  // "café/naïve résumé.txt"
  MakeFile(at("caf\xC3\xA9/empty inside.dat"), 0);
  MakeDirs(at("Empty Folder"));
  MakeFile(at("My Documents/Report 2026.doc"), 70000);
  MakeFile(at("My Documents/Long Document Name One.html"), 2500);
  MakeFile(at("My Documents/Long Document Name Two.html"), 2600);
  MakeFile(at("Alpha.txt"), 10);
  MakeFile(at("alpha2.txt"), 20);
  MakeFile(at("_under.txt"), 30);
  MakeFile(at("0digit.txt"), 40);
  const std::string longDir(64, 'D');
  const std::string longFile = std::string(60, 'f') + ".txt";
  MakeFile(at(longDir + "/" + longFile), 6000);
  MakeFile(at(longDir + "/short.txt"), 2048 * 3);
  MakeFile(at("d1/d2/d3/d4/d5/d6/d7/leaf in the deep.txt"), 12345);
  MakeFile(at("d1/d2/d3/mid.txt"), 777);
  MakeDirs(at("d1/d2/d3/empty"));
  for (int i = 0; i < 80; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "many/file number %03d with a long name.txt", i);
    MakeFile(at(name), static_cast<size_t>((i * 977) % 5000));
  }
}

uint64_t FileSize(const std::string& path) { return static_cast<uint64_t>(fs::file_size(path)); }

std::string ReadRange(const std::string& path, uint64_t offset, size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// The last sector of `image` is an anchor volume descriptor pointer whose tag
// names `location`.
void ExpectClosingAnchor(const std::string& image, uint64_t location) {
  std::string anchor = ReadRange(image, FileSize(image) - kSector, kSector);
  ASSERT_EQ(anchor.size(), kSector);
  EXPECT_TRUE(testing::AnchorIsValid(testing::BytesOf(anchor), static_cast<uint32_t>(location)));
}

// CONTROL.IMG: the physical format sector of a volume of `totalSectors`,
// then 15 zero sectors.
void ExpectControlData(const std::string& path, uint64_t totalSectors, bool dualLayer) {
  std::string control = ReadFile(path);
  ASSERT_EQ(control.size(), 32768u);
  EXPECT_EQ(static_cast<uint8_t>(control[0]), 0x01);
  EXPECT_EQ(static_cast<uint8_t>(control[1]), 0x02);
  EXPECT_EQ(static_cast<uint8_t>(control[2]), dualLayer ? 0x31 : 0x01);
  EXPECT_EQ(static_cast<uint8_t>(control[3]), dualLayer ? 0x10 : 0x00);
  EXPECT_EQ(BigEndian32(control, 4), kDataAreaStart);
  EXPECT_EQ(BigEndian32(control, 8), totalSectors + kDataAreaStart - 1);
  EXPECT_EQ(BigEndian32(control, 12), dualLayer ? kDualLayerLayerCapacity + kDataAreaStart : 0u);
  EXPECT_EQ(control.find_first_not_of('\0', 16), std::string::npos) << "bytes behind the physical format";
}

// The temporary files a run must not leave behind.
std::vector<std::string> LeftoverTemporaryFiles(const std::string& tempDir) {
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(tempDir)) {
    std::string name = entry.path().filename().string();
    bool listing = name.rfind("tm", 0) == 0 && name.size() >= 6 && name.substr(name.size() - 4) == ".txt";
    if (listing || name.rfind("palias", 0) == 0 || name.rfind("_td", 0) == 0 || name.rfind("_pdir", 0) == 0 ||
        name == "AUTORUN.INF")
      left.push_back(name);
  }
  return left;
}

// Runs the independent readers over the images; their complaints on failure.
// `source` holds what the root of the disc should hold, the title folder
// unless given.
Outcome CheckImage(const Installation& install, const std::vector<std::string>& images,
                   const std::string& extraArguments = "", const std::string& source = "") {
  std::string command = "/usr/bin/python3 " + Quoted(CheckImageScript());
  for (const std::string& image : images) command.append(1, ' ').append(Quoted(image));
  command += " " + Quoted(source.empty() ? install.Title() : source) + " --work-dir " + Quoted(install.root.path()) +
             " " + extraArguments;
  return RunShell(command, install.root / "check.txt");
}

// Runs tests/tools/check_dates.py: every date on the volume is the local time
// of `zone` with its offset, an instant between `from` and `to` (seconds
// since 1970).
Outcome CheckDates(const Installation& install, const std::string& image, const std::string& zone, int64_t from,
                   int64_t to) {
  return RunShell("/usr/bin/python3 " + Quoted(testing::ToolPath("check_dates.py")) + " " + Quoted(image) +
                      " --zone " + zone + " --from " + std::to_string(from) + " --to " + std::to_string(to),
                  install.root / "dates.txt");
}

int64_t SecondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A folder holding, as hard links, the entries the root of the disc should
// hold when they come from several folders.
std::string ExpectedRoot(const Installation& install, const std::vector<std::string>& entries) {
  const std::string expected = install.root / "expected";
  MakeDirs(expected);
  for (const std::string& entry : entries) {
    fs::copy(entry, expected + "/" + fs::path(entry).filename().string(),
             fs::copy_options::recursive | fs::copy_options::create_hard_links);
  }
  return expected;
}

// The records of the ISO tree's root as isoinfo lists them, (identifier,
// extent) in byte order of the identifiers.
std::vector<std::pair<std::string, uint32_t>> IsoRootRecords(const Installation& install, const std::string& image) {
  Outcome listed = RunShell("isoinfo -l -i " + Quoted(image), install.root / "isoinfo.txt");
  EXPECT_EQ(listed.status, 0) << listed.output;
  std::vector<std::pair<std::string, uint32_t>> records;
  std::istringstream lines(listed.output);
  bool inRoot = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Directory listing of ", 0) == 0) inRoot = line == "Directory listing of /";
    const size_t open = line.find('['), close = line.find(']');
    if (!inRoot || open == std::string::npos || close == std::string::npos) continue;
    std::string name = line.substr(line.find_first_not_of(' ', close + 1));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name == "." || name == "..") continue;
    records.emplace_back(name, static_cast<uint32_t>(std::stoul(line.substr(open + 1))));
  }
  std::sort(records.begin(), records.end());
  return records;
}

// The folders of the root as isoinfo reads them from the path table:
// identifier -> extent.
std::map<std::string, uint32_t> PathTableRootFolders(const Installation& install, const std::string& image) {
  Outcome listed = RunShell("isoinfo -p -i " + Quoted(image), install.root / "isoinfo.txt");
  EXPECT_EQ(listed.status, 0) << listed.output;
  std::map<std::string, uint32_t> folders;
  std::istringstream lines(listed.output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    unsigned number = 0, parent = 0;
    char colon = 0;
    std::string extent, name;
    if (!(fields >> number >> colon >> parent >> extent >> name) || colon != ':') continue;
    if (number > 1 && parent == 1) folders[name] = static_cast<uint32_t>(std::stoul(extent, nullptr, 16));
  }
  return folders;
}

// The root of the image holds the identifiers `names`, no two alike; the path
// table names each root folder (an identifier without a version) as the
// root's records do; and the readers find the `entries` there.
void ExpectRootOf(const Installation& install, const std::vector<std::string>& names,
                  const std::vector<std::string>& entries) {
  const std::string layer1 = install.Images() + "/LAYER01.IMG";
  std::vector<std::string> found;
  std::map<std::string, uint32_t> folders;
  for (const auto& [name, extent] : IsoRootRecords(install, layer1)) {
    found.push_back(name);
    if (name.find(';') == std::string::npos) folders[name] = extent;
  }
  EXPECT_EQ(found, names);
  EXPECT_EQ(PathTableRootFolders(install, layer1), folders);
  Outcome check = CheckImage(install, {layer1}, "", ExpectedRoot(install, entries));
  EXPECT_EQ(check.status, 0) << check.output;
}

uint64_t FreeBytes(const std::string& path) { return static_cast<uint64_t>(fs::space(path).available); }

TEST(BatchRun, GeneratedTreeComesBackFromEveryReaderTheSameTwice) {
  Installation install;
  GenerateTree(install.Title());
  WriteFile(install.Marker(), "");
  WriteFile(install.Home() + "/DVDFROM.INI", "[cdformat]\r\nvolume_id=GENERATED_TITLE\r\n");

  Outcome run = install.RunBatch();

  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Exists(install.Marker())) << "a successful run removes the marker of an earlier one";
  EXPECT_EQ(LeftoverTemporaryFiles(install.Tmp()), std::vector<std::string>{});
  const std::string layer1 = install.Images() + "/LAYER01.IMG";
  ASSERT_TRUE(Exists(layer1));
  EXPECT_FALSE(Exists(install.Images() + "/LAYER02.IMG"));
  uint64_t size = FileSize(layer1);
  ASSERT_EQ(size % kSector, 0u) << size;
  uint64_t sectors = size / kSector;
  EXPECT_EQ(sectors % 16, 0u) << "the volume ends on a 16-sector boundary";
  ExpectClosingAnchor(layer1, sectors - 1);
  ExpectControlData(install.Images() + "/CONTROL.IMG", sectors, false);

  Outcome check = CheckImage(install, {layer1});
  EXPECT_EQ(check.status, 0) << check.output;
  // The UDF volume identifier comes from the format descriptor.
  Outcome info = RunShell("udfinfo " + Quoted(layer1), install.root / "udfinfo.txt");
  EXPECT_TRUE(Contains(info.output, "\nvid=GENERATED_TITLE\n")) << info.output;

  // A second run with the same build date gives the same bytes; the files'
  // own times play no part, every record carries the build date.
  const std::string firstLayer = ReadFile(layer1), firstControl = ReadFile(install.Images() + "/CONTROL.IMG");
  for (const auto& entry : fs::recursive_directory_iterator(install.Title()))
    fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::hours(50));
  Outcome second = install.RunBatch();
  ASSERT_EQ(second.status, 0) << second.output;
  const std::string secondLayer = ReadFile(layer1);
  ASSERT_EQ(secondLayer.size(), firstLayer.size());
  auto mismatch = std::mismatch(firstLayer.begin(), firstLayer.end(), secondLayer.begin());
  EXPECT_TRUE(mismatch.first == firstLayer.end())
      << "LAYER01.IMG differs first at byte " << (mismatch.first - firstLayer.begin());
  EXPECT_TRUE(ReadFile(install.Images() + "/CONTROL.IMG") == firstControl) << "CONTROL.IMG differs";
  EXPECT_EQ(secondLayer.substr(16 * kSector + 813, 16), "2026010100000000");  // the primary's creation date
  // The fixed build date is UTC, whatever zone the run is in.
  const int64_t epoch = std::stoll(kSourceDateEpoch);
  Outcome dates = CheckDates(install, layer1, "UTC", epoch, epoch);
  EXPECT_EQ(dates.status, 0) << dates.output;
}

// Without SOURCE_DATE_EPOCH every date on the volume is the local time of the
// run with its zone's offset from UTC.
TEST(BatchRun, DatesAreTheLocalTimeOfTheRunWithItsOffset) {
  for (const std::string zone : {"America/New_York", "Asia/Kolkata"}) {
    SCOPED_TRACE(zone);
    Installation install;
    install.environment = "env -u SOURCE_DATE_EPOCH TZ=" + zone;
    MakeFile(install.Title() + "/README.TXT", 100);
    MakeFile(install.Title() + "/SUB/DATA.BIN", 3000);

    const int64_t from = SecondsNow();
    Outcome run = install.RunBatch();
    const int64_t to = SecondsNow();

    ASSERT_EQ(run.status, 0) << run.output;
    Outcome dates = CheckDates(install, install.Images() + "/LAYER01.IMG", zone, from, to);
    EXPECT_EQ(dates.status, 0) << dates.output;
  }
}

// A DVD-Video folder is the first source, yet its folder sorts behind sixty
// 28-character folders and one of 60 characters: in the final order the
// Joliet path table needs one sector more than in the order of the scan.
TEST(BatchRun, PathTablesThatGrowInTheirFinalOrderKeepTheirNeighbours) {
  Installation install;
  for (int i = 0; i < 60; ++i) {
    const std::string folder = install.Title() + "/" + Format("F%02d", i) + std::string(25, 'a');
    MakeFile(folder + "/X.TXT", 100);
    if (i == 29) MakeFile(install.Title() + "/F29" + std::string(57, 'b') + "/Y.TXT", 100);
  }
  Outcome made = RunShell("/usr/bin/python3 " + Quoted(testing::ToolPath("make_video_ts.py")) + " " +
                              Quoted(install.Title()),
                          install.root / "made.txt");
  ASSERT_EQ(made.status, 0) << made.output;

  Outcome run = install.RunBatch("-nw -dvdv=" + Quoted(install.Title() + "/VIDEO_TS"));
  ASSERT_EQ(run.status, 0) << run.output;
  Outcome check = CheckImage(install, {install.Images() + "/LAYER01.IMG"});
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_TRUE(Contains(check.output, "62 folders")) << check.output;
}

TEST(BatchRun, AutorunOptionPutsItsFileAtTheRootAndRemovesTheTemporaryOne) {
  Installation install;
  MakeFile(install.Title() + "/SETUP.EXE", 5000);
  MakeFile(install.Title() + "/setup.ico", 300);
  MakeFile(install.Title() + "/docs/manual.txt", 4000);
  WriteFile(install.root / "autorun.expected", "\r\n\r\n[autorun]\r\nopen=SETUP.EXE\r\nicon=SETUP.ICO\r\n");

  Outcome run = install.RunBatch(Quoted("-a=setup.exe;setup.ico"));

  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(LeftoverTemporaryFiles(install.Tmp()), std::vector<std::string>{});
  Outcome check = CheckImage(install, {install.Images() + "/LAYER01.IMG"},
                             "--extra-file " + Quoted("AUTORUN.INF=" + (install.root / "autorun.expected")));
  EXPECT_EQ(check.status, 0) << check.output;
}

TEST(BatchRun, NoToTheSummaryFailsTheRun) {
  Installation install;
  MakeFile(install.Title() + "/DATA.TXT", 3000);
  MakeFile(install.Title() + "/SUB/MORE.TXT", 100);

  // -nw: no name warnings, so the summary is the only question.
  Outcome run = install.Run("--console -nw -p=" + Quoted(install.Title()), "n\n");

  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "Continue?")) << run.output;
  EXPECT_TRUE(Exists(install.Marker()));
  EXPECT_EQ(LeftoverTemporaryFiles(install.Tmp()), std::vector<std::string>{});
}

// The DVD-Video folder comes from outside the project and its long name
// shares a prefix with a folder of the project: their 8.3 names differ, and
// the path table and the root's records give each folder the same name.
TEST(BatchRun, ProjectAndDvdVideoFoldersOfOnePrefixGetDistinctRootNames) {
  Installation install;
  MakeFile(install.Title() + "/LONGFOLDERNAME_A/INSIDE.TXT", 3000);
  MakeFile(install.Title() + "/README.TXT", 100);
  const std::string video = install.root / "video/LONGFOLDERNAME_B";
  MakeFile(video + "/OTHER.TXT", 5000);

  Outcome run = install.RunBatch("-dvdv=" + Quoted(video));

  ASSERT_EQ(run.status, 0) << run.output;
  ExpectRootOf(install, {"LONGFO_1", "LONGFO_2", "README.TXT;1"},
               {install.Title() + "/LONGFOLDERNAME_A", install.Title() + "/README.TXT", video});
}

// The project holds the DVD-Video folder's parent, so that folder gives its
// contents to the root beside the project's: files of two folders with
// long names of one prefix meet there.
TEST(BatchRun, FilesOfTheProjectAndOfTheDvdVideoFoldersParentGetDistinctRootNames) {
  Installation install;
  const std::string disc = install.Title() + "/DISC";
  Outcome made = RunShell("/usr/bin/python3 " + Quoted(testing::ToolPath("make_video_ts.py")) + " " + Quoted(disc),
                          install.root / "made.txt");
  ASSERT_EQ(made.status, 0) << made.output;
  MakeFile(install.Title() + "/LONGFILENAME_A.TXT", 3000);
  MakeFile(disc + "/LONGFILENAME_B.TXT", 4000);

  Outcome run = install.RunBatch("-dvdv=" + Quoted(disc + "/VIDEO_TS"));

  ASSERT_EQ(run.status, 0) << run.output;
  ExpectRootOf(install, {"LONGFI_1.TXT;1", "LONGFI_2.TXT;1", "VIDEO_TS"},
               {install.Title() + "/LONGFILENAME_A.TXT", disc + "/LONGFILENAME_B.TXT", disc + "/VIDEO_TS"});
}

// Titles refused before file data is written (sparse sources): over the
// single-layer capacity (2 x 2.4 GB), over the dual-layer capacity with
// --layers=2 (3 x 3 GB), and a file of 4 GiB (named, before any sector).
TEST(BatchRun, OversizedTitlesAreRefusedBeforeFileDataIsWritten) {
  struct Case {
    std::vector<std::pair<std::string, uint64_t>> files;
    std::string options;
    std::vector<std::string> said;
    uint64_t layer1Below;
  };
  const std::vector<Case> cases = {
      {{{"PART1.BIN", 2400000000ull}, {"PART2.BIN", 2400000000ull}},
       "",
       {"Operations error!",
        "This DVD title exceeds the maximum size allowed on a single layer disc. You had selected to make a single "
        "layer disc.",
        "The maximum number of sectors allowed is " + std::to_string(kSingleLayerCapacity) + "."},
       64ull << 20},
      {{{"A.BIN", 3000000000ull}, {"B.BIN", 3000000000ull}, {"C.BIN", 3000000000ull}},
       "--layers=2",
       {"Insufficient DVD disc space!", "exceeds dual layer capacity of DVD."},
       64ull << 20},
      {{{"HUGE.BIN", 4294967296ull}}, "", {"HUGE.BIN"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.front().first);
    Installation install;
    for (const auto& [name, size] : c.files) MakeSparseFile(install.Title() + "/" + name, size, {0});
    MakeFile(install.Title() + "/SUB/SMALL.TXT", 100);

    Outcome run = install.RunBatch(c.options);

    EXPECT_EQ(run.status, 1) << run.output;
    for (const std::string& part : c.said) EXPECT_TRUE(Contains(run.output, part)) << run.output;
    EXPECT_TRUE(Exists(install.Marker()));
    EXPECT_EQ(LeftoverTemporaryFiles(install.Tmp()), std::vector<std::string>{});
    const std::string layer1 = install.Images() + "/LAYER01.IMG";
    if (Exists(layer1)) {
      EXPECT_LT(FileSize(layer1), c.layer1Below) << "file data was written";
    }
    EXPECT_FALSE(Exists(install.Images() + "/LAYER02.IMG"));
  }
}

// Heavy: writes a ~4.3 GB volume (LAYER01.IMG and LAYER02.IMG) for real.
TEST(BatchRunLarge, DualLayerTitleSplitsAtTheLayerCapacity) {
  constexpr uint64_t kNeeded = 12ull << 30;
  TempDir probe;
  if (FreeBytes(probe.path()) < kNeeded) GTEST_SKIP() << "needs 12 GB free in " << probe.path();

  Installation install(/*secondImageDirectory=*/true);
  MakeFile(install.Title() + "/README.TXT", 3000);
  MakeFile(install.Title() + "/docs/Notes \xC3\xA9t\xC3\xA9.txt", 2049);  // "Notes été.txt"
  // Two files of 2.14 GB put the title just over one layer; blocks of data
  // every 128 MiB, and the last 64 MiB of the second file (where the layer
  // boundary falls) all data.
  const uint64_t kPart = 2140000000ull;
  std::vector<uint64_t> markers;
  for (uint64_t offset = 0; offset < kPart; offset += 128ull << 20) markers.push_back(offset);
  markers.push_back(kPart - 4096);
  MakeSparseFile(install.Title() + "/VIDEO/PART1.VOB", kPart, markers);
  std::vector<uint64_t> tail = markers;
  for (uint64_t offset = kPart - (64ull << 20); offset < kPart; offset += 1 << 20) tail.push_back(offset);
  MakeSparseFile(install.Title() + "/VIDEO/PART2.VOB", kPart, tail, 1 << 20);

  Outcome run = install.RunBatch("--layers=2");

  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Exists(install.Marker()));
  EXPECT_EQ(LeftoverTemporaryFiles(install.Tmp()), std::vector<std::string>{});
  const std::string layer1 = install.Images() + "/LAYER01.IMG";
  const std::string layer2 = install.Images2() + "/LAYER02.IMG";
  ASSERT_TRUE(Exists(layer2)) << "LAYER02.IMG goes into the layer-2 image directory";
  EXPECT_EQ(FileSize(layer1), kDualLayerLayerCapacity * kSector);
  uint64_t size2 = FileSize(layer2);
  ASSERT_EQ(size2 % kSector, 0u);
  uint64_t total = kDualLayerLayerCapacity + size2 / kSector;
  EXPECT_EQ(total % 16, 0u);
  ExpectClosingAnchor(layer2, total - 1);
  ExpectControlData(install.Images() + "/CONTROL.IMG", total, true);

  Outcome check = CheckImage(install, {layer1, layer2});
  EXPECT_EQ(check.status, 0) << check.output;
}

}  // namespace
}  // namespace pravel
