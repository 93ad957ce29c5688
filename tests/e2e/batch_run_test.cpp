// Whole batch runs of build/pravel on generated title trees: the exit status,
// the error marker, the temporary directory afterwards, the image files, the
// volume as independent readers give it back (check_image.py) and its dates
// (check_dates.py). Runs that do not finish (a disk that fills, a source that
// changes after the summary, signals) leave the marker and no image that looks
// like a good run's; a console that goes away does not stop a run.
#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "job/runtime.h"
#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using Strings = std::vector<std::string>;

constexpr uint64_t kSector = 2048;
constexpr uint64_t kDualLayerLayerCapacity = 2084960;

void MakeFile(const std::string& path, size_t size) {
  static uint32_t seed = 1;
  WriteFile(path, Content(seed++, size));
}

// A sparse file of `size` bytes with blocks of data at `dataOffsets`.
void MakeSparseFile(const std::string& path, uint64_t size, const std::vector<uint64_t>& dataOffsets,
                    size_t blockSize = 4096) {
  WriteFile(path, "");
  fs::resize_file(path, size);
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  uint32_t seed = 7;
  for (uint64_t offset : dataOffsets) {
    std::string block = Content(seed++, static_cast<size_t>(std::min<uint64_t>(blockSize, size - offset)));
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

// Deep folders, 64-character names, spaced and non-ASCII names, empty files
// and folders, files around one sector, a directory of several sectors, and
// names whose short forms clash.
void GenerateTree(const std::string& title) {
  const std::vector<std::pair<std::string, size_t>> files = {
      {"README.TXT", 1000}, {"one.bin", 1}, {"b2047.bin", 2047}, {"b2048.bin", 2048}, {"b2049.bin", 2049},
      {"empty.txt", 0}, {"zz empty last.txt", 0}, {"Read Me First.txt", 3000},
      {"\xCE\xA9mega file.txt", 5000},                           // "Ωmega file.txt"
      {"caf\xC3\xA9/na\xC3\xAFve r\xC3\xA9sum\xC3\xA9.txt", 4096},  // "café/naïve résumé.txt"
      {"caf\xC3\xA9/empty inside.dat", 0}, {"My Documents/Report 2026.doc", 70000},
      {"My Documents/Long Document Name One.html", 2500}, {"My Documents/Long Document Name Two.html", 2600},
      {"Alpha.txt", 10}, {"alpha2.txt", 20}, {"_under.txt", 30}, {"0digit.txt", 40},
      {std::string(64, 'D') + "/" + std::string(60, 'f') + ".txt", 6000},
      {std::string(64, 'D') + "/short.txt", 2048 * 3}, {"d1/d2/d3/d4/d5/d6/d7/leaf in the deep.txt", 12345},
      {"d1/d2/d3/mid.txt", 777}};
  for (const auto& [name, size] : files) MakeFile(title + "/" + name, size);
  MakeDirs(title + "/Empty Folder");
  MakeDirs(title + "/d1/d2/d3/empty");
  for (size_t i = 0; i < 80; ++i) {
    MakeFile(title + Format("/many/file number %03zu with a long name.txt", i), (i * 977) % 5000);
  }
}

uint64_t FileSize(const std::string& path) { return static_cast<uint64_t>(fs::file_size(path)); }

// Every date on the volume is the local time of `zone` with its offset, an
// instant between `from` and `to` (seconds since 1970).
Outcome CheckDates(const Installation& install, const std::string& zone, int64_t from, int64_t to) {
  return install.Python("check_dates.py", Quoted(install.Layer1()) + " --zone " + zone + " --from " +
                                              std::to_string(from) + " --to " + std::to_string(to));
}

Outcome MakeVideoTs(const Installation& install, const std::string& folder) {
  return install.Python("make_video_ts.py", Quoted(folder));
}

// The root of the image holds the identifiers `names` (isoinfo -f), and the
// readers find `entries` there.
void ExpectRootOf(const Installation& install, const Strings& names, const Strings& entries) {
  Outcome listed = RunShell("isoinfo -f -i " + Quoted(install.Layer1()), install.root / "isoinfo.txt");
  Strings found;
  std::istringstream lines(listed.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind('/') == 0) found.push_back(line.substr(1));
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, names) << listed.output;
  const std::string expected = install.root / "expected";
  MakeDirs(expected);
  for (const std::string& entry : entries)
    fs::copy(entry, expected + "/" + fs::path(entry).filename().string(),
             fs::copy_options::recursive | fs::copy_options::create_hard_links);
  EXPECT_TRUE(Ended(install.CheckImage({install.Layer1()}, "", expected), 0));
}

// The generated tree, the AUTORUN.INF of the -a option at its root. The
// descriptor's dates name no day (written by hand, or kept by Yes to the
// question): they give way to the build date and no expiration.
TEST(BatchRun, GeneratedTreeComesBackFromEveryReader) {
  Installation install;
  install.environment += " TZ=Asia/Kolkata";
  GenerateTree(install.Title());
  WriteFile(install.Marker(), "");
  WriteFile(install.Home() + "/DVDFROM.INI",
            "[cdformat]\r\nvolume_id=GENERATED_TITLE\r\ncreation=2002-02-03 04:05\r\nmodification=2002133104050600"
            "\r\neffective=2002023104050600\r\nexpiration=2030ABCD00000000\r\n");
  MakeFile(install.Title() + "/setup.ico", 300);
  WriteFile(install.root / "autorun.expected", "\r\n\r\n[autorun]\r\nopen=SETUP.EXE\r\nicon=SETUP.ICO\r\n");

  ASSERT_TRUE(Ended(install.RunBatch(Quoted("-a=setup.exe;setup.ico")), 0));
  EXPECT_FALSE(Exists(install.Marker())) << "a successful run removes the marker of an earlier one";
  EXPECT_EQ(FilesIn(install.Tmp()), Strings{});
  EXPECT_FALSE(Exists(install.Images() + "/LAYER02.IMG"));
  EXPECT_EQ(FileSize(install.Layer1()) % (16 * kSector), 0u) << "the volume ends on a 16-sector boundary";
  const std::string autorun =
      "--extra-file " + Quoted("AUTORUN.INF=" + (install.root / "autorun.expected"));
  EXPECT_TRUE(Ended(install.CheckImage({install.Layer1()}, autorun), 0));
  const std::string udfinfo = "udfinfo " + Quoted(install.Layer1());
  EXPECT_TRUE(
      Ended(RunShell(udfinfo, install.root / "udfinfo.txt"), 0, {"\nvid=GENERATED_TITLE\n"}));

  // The build date is UTC whatever the zone; that the files' own times play
  // no part shows in the recorded bytes of ReproducibleImage.
  const int64_t epoch = std::stoll(kSourceDateEpoch);
  EXPECT_TRUE(Ended(CheckDates(install, "UTC", epoch, epoch), 0));
}

// Without SOURCE_DATE_EPOCH every date is the local time of the run with its
// zone's offset from UTC (a zone of half hours).
TEST(BatchRun, DatesAreTheLocalTimeOfTheRunWithItsOffset) {
  Installation install;
  install.environment = "env -u SOURCE_DATE_EPOCH TZ=Asia/Kolkata";
  MakeFile(install.Title() + "/SUB/DATA.BIN", 3000);
  const int64_t from = std::time(nullptr);
  ASSERT_TRUE(Ended(install.RunBatch(), 0));
  EXPECT_TRUE(Ended(CheckDates(install, "Asia/Kolkata", from, std::time(nullptr)), 0));
}

// A DVD-Video folder is the first source, yet sorts behind sixty 28-character
// folders and one of 60: in the final order the Joliet path table needs one
// sector more than in the order of the scan.
TEST(BatchRun, PathTablesThatGrowInTheirFinalOrderKeepTheirNeighbours) {
  Installation install;
  for (int i = 0; i < 60; ++i) MakeFile(install.Title() + Format("/F%02d", i) + std::string(25, 'a') + "/X.TXT", 100);
  MakeFile(install.Title() + "/F29" + std::string(57, 'b') + "/Y.TXT", 100);
  ASSERT_TRUE(Ended(MakeVideoTs(install, install.Title()), 0));
  ASSERT_TRUE(Ended(install.RunBatch("-nw -dvdv=" + Quoted(install.Title() + "/VIDEO_TS")), 0));
  EXPECT_TRUE(Ended(install.CheckImage({install.Layer1()}), 0, {"62 folders"}));
}

// Root entries of the project and of the DVD-Video folder (or its parent)
// whose long names share a prefix: their 8.3 names differ.
TEST(BatchRun, ProjectAndDvdVideoEntriesOfOnePrefixGetDistinctRootNames) {
  struct Case {
    const char* what;
    std::function<Strings(const Installation&)> make;  // the -dvdv= folder, then the root's entries
    Strings names;
  };
  const std::vector<Case> cases = {
      {"folders",
       [](const Installation& in) {
         const std::string video = in.root / "video/LONGFOLDERNAME_B";
         MakeFile(in.Title() + "/LONGFOLDERNAME_A/INSIDE.TXT", 3000);
         MakeFile(in.Title() + "/README.TXT", 100);
         MakeFile(video + "/OTHER.TXT", 5000);
         return Strings{video, in.Title() + "/LONGFOLDERNAME_A", in.Title() + "/README.TXT", video};
       },
       {"LONGFO_1", "LONGFO_2", "README.TXT;1"}},
      {"files beside the DVD-Video folder inside the project",
       [](const Installation& in) {
         const std::string disc = in.Title() + "/DISC";
         EXPECT_TRUE(Ended(MakeVideoTs(in, disc), 0));
         MakeFile(in.Title() + "/LONGFILENAME_A.TXT", 3000);
         MakeFile(disc + "/LONGFILENAME_B.TXT", 4000);
         return Strings{disc + "/VIDEO_TS", in.Title() + "/LONGFILENAME_A.TXT", disc + "/LONGFILENAME_B.TXT",
                        disc + "/VIDEO_TS"};
       },
       {"LONGFI_1.TXT;1", "LONGFI_2.TXT;1", "VIDEO_TS"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation install;
    const Strings made = c.make(install);
    ASSERT_TRUE(Ended(install.RunBatch("-dvdv=" + Quoted(made[0])), 0));
    ExpectRootOf(install, c.names, Strings(made.begin() + 1, made.end()));
  }
}

// Runs refused before file data is written: titles over the single-layer
// capacity, over the dual-layer capacity with --layers=2, and a file of 4 GiB
// (sparse sources); names equal but for case deep in the walk, an image file
// that can not be created, a DVD-Video title the builder refuses. The listing
// and directory files are created ahead of the stage that fills them; none of
// them is left behind.
TEST(BatchRun, RefusedRunsLeaveTheMarkerAndNoListingDirectoryFileOrFileData) {
  struct Case {
    Strings files;
    uint64_t size;  // of each file, sparse; or 100 bytes of data
    std::string options, said;
    Strings imageFolders = {};
  };
  const std::vector<Case> cases = {
      {{"PART1.BIN", "PART2.BIN", "SUB/SMALL.TXT"}, 2400000000ull, "", "Operations error!"},
      {{"A.BIN", "B.BIN", "C.BIN", "SUB/SMALL.TXT"},
       3000000000ull,
       "--layers=2",
       "Insufficient DVD disc space!"},
      {{"HUGE.BIN", "SUB/SMALL.TXT"}, 4294967296ull, "", "HUGE.BIN"},
      {{"A/B/C/one.txt", "Z/Y/README", "Z/Y/readme"}, 100, "", "readme"},
      {{"A/B/one.txt", "Z/two.txt"}, 100, "", "LAYER01.IMG", {"LAYER01.IMG.part"}},
      {{"VIDEO_TS/VIDEO_TS.IFO", "A/B/one.txt"}, 100, "", "DVD-V content"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.front());
    Installation install;
    for (const std::string& name : c.files) {
      const std::string path = install.Title() + "/" + name;
      c.size > 100 && !name.starts_with("SUB/") ? MakeSparseFile(path, c.size, {0})
                                                : MakeFile(path, 100);
    }
    for (const std::string& folder : c.imageFolders) MakeDirs(install.Images() + "/" + folder);
    EXPECT_TRUE(Ended(install.RunBatch(c.options), 1, {c.said}));
    EXPECT_TRUE(Exists(install.Marker()));
    EXPECT_EQ(FilesIn(install.Tmp()), Strings{});
    const uint64_t written = Exists(install.Layer1()) ? FileSize(install.Layer1()) : 0;
    EXPECT_LT(written, 64ull << 20) << "file data was written";
    EXPECT_FALSE(Exists(install.Images() + "/LAYER02.IMG"));
  }
}

// Heavy: writes a ~4.3 GB volume (LAYER01.IMG and LAYER02.IMG) for real.
TEST(BatchRunLarge, DualLayerTitleSplitsAtTheLayerCapacity) {
  testing::TempDir probe;
  if (fs::space(probe.path()).available < (12ull << 30)) GTEST_SKIP() << "needs 12 GB free in " << probe.path();

  Installation install(/*secondImageDirectory=*/true);
  MakeFile(install.Title() + "/README.TXT", 3000);
  MakeFile(install.Title() + "/docs/Notes \xC3\xA9t\xC3\xA9.txt", 2049);  // "Notes été.txt"
  // Two files of 2.14 GB put the title just over one layer; data every 128
  // MiB, and the last 64 MiB of the second file (where the layer boundary
  // falls) all data.
  const uint64_t kPart = 2140000000ull;
  std::vector<uint64_t> markers;
  for (uint64_t offset = 0; offset < kPart; offset += 128ull << 20) markers.push_back(offset);
  markers.push_back(kPart - 4096);
  MakeSparseFile(install.Title() + "/VIDEO/PART1.VOB", kPart, markers);
  for (uint64_t offset = kPart - (64ull << 20); offset < kPart; offset += 1 << 20) markers.push_back(offset);
  MakeSparseFile(install.Title() + "/VIDEO/PART2.VOB", kPart, markers, 1 << 20);

  ASSERT_TRUE(Ended(install.RunBatch("--layers=2"), 0));
  EXPECT_FALSE(Exists(install.Marker()));
  EXPECT_EQ(FilesIn(install.Tmp()), Strings{});
  const std::string layer1 = install.Layer1(), layer2 = install.Images2() + "/LAYER02.IMG";
  ASSERT_TRUE(Exists(layer2)) << "LAYER02.IMG goes into the layer-2 image directory";
  EXPECT_EQ(FileSize(layer1), kDualLayerLayerCapacity * kSector);
  EXPECT_EQ((FileSize(layer1) + FileSize(layer2)) % (16 * kSector), 0u);
  EXPECT_TRUE(Ended(install.CheckImage({layer1, layer2}), 0));

  // The same title to a virtual tape: two cartridges, the first layer's data
  // on the first (with the control data), the rest on the second.
  if (fs::space(probe.path()).available < (5ull << 30)) GTEST_SKIP() << "no room left for the tapes";
  const std::string tapes = install.root / "tapes";
  MakeDirs(tapes);
  install.WriteConfig(install.Images() + ";" + install.Images2(), "tapedir=" + tapes + "\r\n");
  for (const std::string& image : {layer1, layer2, install.Images() + "/CONTROL.IMG"}) {
    fs::rename(image, install.root / fs::path(image).filename());
  }
  ASSERT_TRUE(Ended(install.RunBatch("--layers=2 -tape"), 0));
  const std::string first = "--control " + Quoted(install.root / "CONTROL.IMG") + " --layer " +
                            Quoted(install.root / "LAYER01.IMG") + " " +
                            Quoted(tapes + "/TAPE0001.AWS");
  EXPECT_TRUE(Ended(install.Python("check_tape.py", "--expect " + first), 0));
  const std::string second = "--layer-capacity 2084960 --layer2 " +
                             Quoted(install.root / "LAYER02.IMG") + " " +
                             Quoted(tapes + "/TAPE0002.AWS");
  EXPECT_TRUE(Ended(install.Python("check_tape.py", "--expect " + second), 0));
}

constexpr uint64_t kMiB = 1 << 20;

// Runs a shell script with bash; its output and status.
Outcome RunScript(const Installation& install, const std::string& script) {
  WriteFile(install.root / "script.sh", script + "\n");
  return RunShell("bash " + Quoted(install.root / "script.sh") + " </dev/null", install.root / "script.txt");
}

// The command line of a batch run that answers every question.
std::string BatchCommand(const Installation& install) {
  return install.Command("--console --yes -p=" + Quoted(install.Title())) + " </dev/null";
}

// Runs a batch run without --yes whose standard input is a pipe: once the
// summary question shows (earlier questions are answered Yes; one reading
// of the output decides both, so the summary is never answered early),
// `atQuestion` (shell commands; $pid is the run, descriptor 3 its input)
// runs; then its input closes. The exit status of the run is printed last as "status=N".
Outcome RunWithQuestion(const Installation& install, const std::string& atQuestion) {
  const std::string fifo = install.root / "answers", output = install.root / "run.txt";
  const std::string script =
      "mkfifo " + Quoted(fifo) + "\n" + install.Command("--console -p=" + Quoted(install.Title())) + " <" +
      Quoted(fifo) + " >" + Quoted(output) + " 2>&1 &\npid=$!\nexec 3>" + Quoted(fifo) +
      "\nanswered=0\nfor i in $(seq 400); do\n  seen=$(cat " + Quoted(output) +
      ")\n  case \"$seen\" in *Continue?*) break;; esac\n  kill -0 $pid || break\n"
      "  asked=$(printf '%s' \"$seen\" | grep -o '\\[y/n\\]' | wc -l)\n  if [ \"$asked\" -gt \"$answered\" ]; then echo y >&3; answered=$asked; fi\n  sleep 0.05\ndone\n" +
      atQuestion + "\nexec 3>&-\nwait $pid\nstatus=$?\ncat " + Quoted(output) + "\necho status=$status\n";
  return RunScript(install, script);
}

void ExpectFailedWithoutImages(const Installation& install, const Outcome& run, int status) {
  EXPECT_TRUE(Contains(run.output, "status=" + std::to_string(status))) << run.output;
  EXPECT_TRUE(Exists(install.Marker())) << run.output;
  EXPECT_EQ(FilesIn(install.Images()), Strings{}) << run.output;
}

// A source that grows after the summary (the output stage's own tests cover
// one that shrinks or vanishes); SIGTERM once the copy is under way; SIGHUP
// and SIGQUIT while the run waits at its question. The run's input stays open
// until it has ended, so that the signal, not the end of its input, ends it.
TEST(UnfinishedRun, ASourceThatGrowsOrASignalLeavesTheMarkerAndNoImage) {
  const std::string untilEnded = "\nfor i in $(seq 400); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done";
  struct Case {
    const char* what;
    uint64_t size;
    std::string atQuestion;
    int status;
  };
  const Case cases[] = {
      {"a source that grows", 3 * kMiB, "printf more >> \"$source\"\necho y >&3", 1},
      {"TERM during the copy", 3072 * kMiB,
       "echo y >&3\nsleep 0.3\nls -l \"$images\"\nkill -TERM $pid", 130},
      {"HUP at the question", 3072 * kMiB, "kill -HUP $pid", 130},
      {"QUIT at the question", 3072 * kMiB, "kill -QUIT $pid", 130},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation install;
    if (fs::space(install.root.path()).available < 2 * c.size) GTEST_SKIP() << "needs 6 GiB free";
    const std::string source = install.Title() + "/DOCS/DATA.BIN";
    WriteFile(source, "start");
    fs::resize_file(source, c.size);
    const std::string names =
        "images=" + Quoted(install.Images()) + "\nsource=" + Quoted(source) + "\n";
    Outcome run = RunWithQuestion(install, names + c.atQuestion + untilEnded);
    ExpectFailedWithoutImages(install, run, c.status);
    if (c.status == 1) {
      EXPECT_TRUE(Contains(run.output, source)) << run.output;
    }
  }
}

// SIGTERM while the builder cuts its listings and writes its directory files:
// the clean-up takes every temporary file, and no thread of the run creates
// one behind it.
TEST(UnfinishedRun, SignalDuringTheBuildLeavesNoTemporaryFile) {
  Installation install;
  for (int i = 0; i < 1500; ++i) MakeFile(install.Title() + Format("/F%02d/G%04d/a.txt", i % 30, i), 10);
  const std::string tmp = Quoted(install.Tmp());
  Outcome run = RunScript(install, BatchCommand(install) + " >/dev/null 2>&1 &\npid=$!\n" +
                                       "for i in $(seq 5000); do ls " + tmp +
                                       " | grep -q '^_td' && break; sleep 0.002; done\nkill -TERM $pid\n"
                                       "wait $pid\necho status=$?");
  EXPECT_TRUE(Contains(run.output, "status=130")) << run.output;
  EXPECT_TRUE(Exists(install.Marker()));
  EXPECT_EQ(FilesIn(install.Tmp()), Strings{});
}

// A console read through `head -n 1` closes after one line; the run goes on
// and its images and exit status are those of a good run. Then the file size
// limit stands in for a disk that fills while file data is copied: the
// metadata fits under it, the file data does not.
TEST(UnfinishedRun, ConsoleThatClosesDoesNotStopTheRunButADiskThatFillsLeavesNoImage) {
  Installation install;
  WriteFile(install.Title() + "/DOCS/DATA.BIN", std::string(24 * kMiB, 'd'));
  Outcome run = RunScript(install, BatchCommand(install) + " 2>&1 | head -n 1; echo status=${PIPESTATUS[0]}");
  EXPECT_TRUE(Contains(run.output, "status=0")) << run.output;
  EXPECT_FALSE(Exists(install.Marker()));
  ASSERT_EQ(FilesIn(install.Images()), (Strings{"CONTROL.IMG", "LAYER01.IMG"}));

  run = RunScript(install, "ulimit -f 16384\n" + BatchCommand(install) + " 2>&1; echo status=$?");
  EXPECT_TRUE(Contains(run.output, "LAYER01.IMG.part")) << run.output;
  ExpectFailedWithoutImages(install, run, 1);
}

}  // namespace
}  // namespace pravel
