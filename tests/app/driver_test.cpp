// The command line, the run driver on stage doubles, and the program as its
// callers see it: exit status and messages of whole runs of build/pravel.
#include "app/command_line.h"
#include "app/run_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using namespace testing;

CommandLineResult Read(Job& job, std::vector<std::string> arguments) { return ReadCommandLine(job, arguments); }

TEST(CommandLine, BatchModeOptionsAndFrontEndOptions) {
  Job job;
  EXPECT_TRUE(Read(job, {}).ok);
  EXPECT_EQ(job.batchMode, 0);
  job.projectPath = "/stale";
  EXPECT_TRUE(Read(job, {"whatever"}).ok) << "any argument, even an unknown one, starts batch mode";
  EXPECT_EQ(job.batchMode, 1);
  EXPECT_EQ(job.projectPath, "");
  // Names ignore case and count by prefix, values keep their case, the last occurrence wins.
  Read(job, {"-p=/first", "-P=/Title/Dir", "-DVDV=/Video/VIDEO_TS", "-A=Setup.exe;Icon.ico", "-nwhatever",
             "-TAPEDRIVE"});
  EXPECT_EQ(job.projectPath, "/Title/Dir");
  EXPECT_EQ(job.dvdVideoPath, "/Video/VIDEO_TS");
  EXPECT_EQ(job.autorunArg, "Setup.exe;Icon.ico");
  EXPECT_EQ(job.noWarnings, 1);
  EXPECT_EQ(job.tapeRequested, 1);

  CommandLineResult result = Read(job, {"--console", "--yes", "--layers=2"});
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(job.batchMode, 0) << "front-end options alone do not start batch mode";
  EXPECT_EQ(job.noWarnings, 0);
  EXPECT_TRUE(result.frontEnd.console);
  EXPECT_TRUE(result.frontEnd.yesToAll);
  EXPECT_EQ(job.requestedLayers, 2);
  // Refused: unknown and out of range; the tape's options without -tape.
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--layers=3"}, {"-tape", "--copies=0"}, {"-tape", "--copies=100"}, {"-tape", "--copies="},
           {"-tape", "--copies=2x"}, {"-tape", "--copies=99999999999"}, {"--copies=2"}, {"--ddp=/out/set"}}) {
    EXPECT_FALSE(Read(job, bad).ok) << bad.back();
  }

  // Tape copies: as asked, one when every question is answered Yes, else the operator answers.
  for (const auto& [arguments, copies] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{"-tape", "--copies=3"}, 3}, {{"-tape", "--yes", "--copies=99"}, 99}, {{"-tape", "--yes"}, 1}, {{"-tape"}, 0}}) {
    ASSERT_TRUE(Read(job, arguments).ok);
    EXPECT_EQ(job.tapeCopies, copies);
  }
  ASSERT_TRUE(Read(job, {"-tape", "--ddp=/out/set"}).ok);
  EXPECT_EQ(job.ddpFolder, "/out/set");
  ASSERT_TRUE(Read(job, {"--erase-tape"}).ok);
  EXPECT_EQ(job.eraseTapeRequested, 1);

  const std::string fits = "-p=/" + std::string(254, 'a');  // 255 characters of value
  EXPECT_TRUE(Read(job, {fits}).ok);
  EXPECT_EQ(job.projectPath.size(), 255u);
  result = Read(job, {fits + "b"});
  EXPECT_FALSE(result.ok) << "a value too long for its field is refused, not cut";
  EXPECT_TRUE(Contains(result.error, "-p="));
}

// Stage doubles: record the calls, succeed or fail as told, and leave the
// files a real scan would.
class FakeStages : public Stages {
 public:
  bool LoadProjectSources(Job& job) override {
    calls.push_back("load");
    if (!loadOk) return false;
    job.AddSource("/title/VIDEO_TS");
    return true;
  }
  bool BuildTreeListing(Job& job) override {
    calls.push_back("tree");
    testing::WriteFile(job.treeListPath, "listing\r\n");
    seenAutorunOpen = job.autorunOpen;
    seenAutorunIcon = job.autorunIcon;
    seenCapacity = job.layerCapacity;
    return treeOk;
  }
  bool BuildImageAndOutput(Job& job) override {
    calls.push_back(job.toTape ? "output-tape" : "output-images");
    return outputOk;
  }
  bool Called(const std::string& stage) const { return std::find(calls.begin(), calls.end(), stage) != calls.end(); }
  void RemoveAliasFiles(Job&) override { calls.push_back("remove-alias"); }
  void RemoveTreeListingFiles(Job&) override { calls.push_back("remove-tree"); }
  void RemoveUnfinishedImages(Job&) override { calls.push_back("remove-images"); }
  void RemoveBuilderFiles(Job&) override { calls.push_back("remove-builder"); }
  void EraseTape(Job&) override { calls.push_back("erase"); }

  bool loadOk = true, treeOk = true, outputOk = true;
  std::vector<std::string> calls;
  std::string seenAutorunOpen, seenAutorunIcon;
  uint32_t seenCapacity = 0;
};

// A driver on stage doubles (or on the production stages), its temporary
// and template directory one.
struct Rig {
  explicit Rig(std::unique_ptr<Stages> real = nullptr)
      : production(std::move(real)), driver(t.job, production ? *production : stages) {
    t.job.tempDir = dir.path() + "/";
    t.job.templateDir = dir.path();
  }
  bool MarkerExists() { return Exists(dir / "_cdferr"); }
  void ClickBuildToDisk() { OnPanelClick(driver, 240, 150); }
  void RunBatch() {
    t.job.batchMode = 1;
    t.ui.StartTimer(kBatchLoadTimer, kBatchTimerPeriodMs);
    while (auto timer = t.ui.WaitForTimer()) OnBatchTimer(driver, *timer);
  }

  TempDir dir;
  TestJob t;
  FakeStages stages;
  std::unique_ptr<Stages> production;
  Driver driver;
};

class DriverTest : public ::testing::Test, protected Rig {};

TEST(PanelAreas, ButtonsAndTheirBorders) {
  using enum PanelArea;
  const std::tuple<int, int, PanelArea> cases[] = {
      {13, 144, kCancel},       {77, 164, kCancel},  {78, 150, kNone},          {80, 150, kDelete},
      {208, 150, kBuildToTape}, {209, 150, kNone},   {213, 150, kBuildToDisk},  {337, 150, kEraseTape},
      {150, 143, kNone},        {150, 165, kNone},   {370, 145, kDescriptorField}, {625, 162, kDescriptorField},
      {500, 144, kNone},        {500, 163, kNone}};
  for (const auto& [x, y, area] : cases) EXPECT_EQ(HitPanelArea(x, y), area) << x << "," << y;
}

TEST_F(DriverTest, NoAtTheLayerQuestionKeepsTheProgramOpenAndASuccessfulRunEndsIt) {
  t.job.AddSource("/title/A");
  t.job.layersOption = 2;
  t.job.layerCapacity = 12345;
  t.ui.QueueAnswers({Answer::kNo});
  ClickBuildToDisk();
  EXPECT_EQ(t.ui.messages.back().text, "You have selected to make a dual layer DVD disc.");
  EXPECT_EQ(t.ui.messages.back().caption, "Is this correct?");
  EXPECT_EQ(t.job.layerCapacity, 12345u);
  EXPECT_FALSE(t.ui.closed);
  EXPECT_EQ(stages.calls, (std::vector<std::string>{"remove-alias", "remove-tree"}));
  EXPECT_FALSE(MarkerExists());

  // Yes: a successful run ends the program without marker or tree listing.
  t.job.layersOption = 1;
  t.ui.QueueAnswers({Answer::kYes});
  testing::WriteFile(dir / "_cdferr", "");  // left by an earlier failed run
  ClickBuildToDisk();
  EXPECT_EQ(stages.seenCapacity, geometry::kSingleLayerCapacity);
  EXPECT_EQ(t.ui.messages.back().text, "Your premastering session is finished.");
  EXPECT_TRUE(t.ui.closed);
  EXPECT_FALSE(Exists(dir / "tm.txt"));
  EXPECT_FALSE(driver.runFailed);
  EXPECT_EQ(t.job.toTape, 0);
  EXPECT_EQ(t.job.sourceCount, 0u);

  // Yes at the layer question of a dual-layer disc sets the dual-layer capacity.
  t.job.AddSource("/title/A");
  t.job.layersOption = 2;
  t.ui.QueueAnswers({Answer::kYes});
  ClickBuildToDisk();
  EXPECT_EQ(stages.seenCapacity, geometry::kDualLayerCapacity);
  EXPECT_EQ(t.job.singleLayer, 0);
}

TEST_F(DriverTest, ButtonsThatDoNotBuildKeepTheProgramOpenButCancel) {
  OnPanelClick(driver, 240, 150);  // Bld. to Disk without sources
  testing::ExpectOneMessage(t.ui, {"There are no selected files to pre-master."}, "Usage error");
  t.ui.QueueAnswers({Answer::kNo, Answer::kYes});
  OnPanelClick(driver, 300, 150);  // Erase Tape asks first
  EXPECT_TRUE(stages.calls.empty());
  EXPECT_EQ(t.ui.messages.back().caption, "Are you sure?");
  OnPanelClick(driver, 300, 150);
  EXPECT_EQ(stages.calls, (std::vector<std::string>{"erase"}));
  EXPECT_FALSE(t.ui.closed);
  OnPanelClick(driver, 20, 150);
  EXPECT_TRUE(t.ui.closed);
  EXPECT_EQ(stages.calls, (std::vector<std::string>{"erase", "remove-alias"}));
}

TEST_F(DriverTest, BatchTimersRunInOrderAndEndTheProgramWithoutQuestions) {
  t.job.layersOption = 2;  // the format options do not make a batch run dual-layer
  RunBatch();
  EXPECT_EQ(t.ui.timersStarted, (std::vector<int>{kBatchLoadTimer, kBatchRunTimer}));
  EXPECT_EQ(stages.seenCapacity, geometry::kSingleLayerCapacity);
  EXPECT_TRUE(t.ui.messages.empty());
  EXPECT_TRUE(t.ui.closed);
  EXPECT_FALSE(MarkerExists());
  EXPECT_EQ(t.ui.sourceList, (std::vector<std::string>{"/title/VIDEO_TS"}));

  // --layers=2 makes a dual-layer run; -nw silences the scan but not the summary.
  Rig r;
  r.t.job.requestedLayers = 2;
  r.t.job.noWarnings = 1;
  r.t.job.tapeRequested = 1;
  r.RunBatch();
  EXPECT_EQ(r.stages.seenCapacity, geometry::kDualLayerCapacity);
  EXPECT_EQ(r.t.job.noWarningMessages, 1);
  EXPECT_EQ(r.t.job.noWarningMessagesOutput, 0);
  EXPECT_TRUE(r.stages.Called("output-tape"));
}

TEST(BatchAutorun, TheArgumentIsUpperCasedAndSplitAtTheFirstSemicolonAndNoneTurnsAutorunOff) {
  struct Case { std::string argument, open, icon; int enabled; };
  for (const Case& c : {Case{"setup.exe;icons/app.ico;x", "SETUP.EXE", "ICONS/APP.ICO;X", 1},
                        Case{"run.exe", "RUN.EXE", "", 1}, Case{"", "", "", 0}}) {
    SCOPED_TRACE(c.argument);
    Rig r;
    r.t.job.autorunOpen = "FROM_INI.EXE";  // the installation's autorun does not serve a batch run
    r.t.job.autorunEnabled = 1;
    r.t.job.autorunArg = c.argument;
    r.RunBatch();
    EXPECT_EQ(r.stages.seenAutorunOpen, c.open);
    EXPECT_EQ(r.stages.seenAutorunIcon, c.icon);
    EXPECT_EQ(r.t.job.autorunEnabled, c.enabled);
  }
}

// A failed stage marks the run and ends the program. A failed tree build
// shows its error; a failed output stage has shown its own. Neither is
// reported complete.
TEST(DriverFailure, AFailedStageMarksTheRunAndEndsTheProgram) {
  struct Case { bool batch; const char* failing; std::string said; };
  for (const Case& c : {Case{false, "tree", "Could not create a directory tree."},
                        Case{false, "output", "You have selected to make a single layer DVD disc."},
                        Case{true, "load", ""}, Case{true, "output", ""}}) {
    SCOPED_TRACE(std::string(c.failing) + (c.batch ? " in a batch run" : ""));
    Rig r;
    const std::string failing = c.failing;
    r.stages.loadOk = failing != "load";
    r.stages.treeOk = failing != "tree";
    r.stages.outputOk = failing != "output";
    if (c.batch) {
      r.RunBatch();
    } else {
      r.t.job.AddSource("/title/A");
      r.t.ui.QueueAnswers({Answer::kYes});
      OnPanelClick(r.driver, 150, 150);  // Bld. to Tape
      EXPECT_TRUE(r.t.ui.messages.back().text.starts_with(c.said)) << r.t.ui.messages.back().text;
      EXPECT_EQ(r.t.ui.messages.back().caption, failing == "tree" ? "Disc Image Builder Error!" : "Is this correct?");
      EXPECT_EQ(r.t.job.toTape, 0);
      EXPECT_FALSE(Exists(r.dir / "tm.txt"));
    }
    EXPECT_TRUE(r.MarkerExists());
    EXPECT_TRUE(r.driver.runFailed);
    EXPECT_TRUE(r.t.ui.closed);
    EXPECT_EQ(r.stages.Called("tree"), failing != "load");
    EXPECT_EQ(r.stages.Called(c.batch ? "output-images" : "output-tape"), failing != "load" && failing != "tree");
  }
}

// A stop in the scan, in the builder's second pass or in the copy: the one
// message, the marker, no image (finished or not) and no temporary file. A
// batch run of the production stages over a small title: the folders A and
// B/C, one file in each of A, C and the root, and AUTORUN.INF. The scan lists
// 3 folders, the builder makes 4 directories in each of its 2 passes, and the
// copy writes 4 blocks (one per file), each looking at the stop request once.
TEST(StopRequest, AStopAtEachPointFailsTheRunCleanly) {
  struct Case {
    const char* where;
    int stopAfterChecks;
    const char* reached;     // a status line the stage shows
    const char* notReached;  // one of the stage after it
  };
  for (const Case& c : {Case{"scan", 1, "Building directory and file tree", " Scanning -> "},
                        Case{"builder", 3 + 4 + 1, " Adding to TOC -> ", "Add to image -> "},
                        Case{"copy", 3 + 8 + 2, "Add to image -> ", ""}}) {
    SCOPED_TRACE(c.where);
    Rig r(MakeProductionStages());
    for (const char* sub : {"tmp", "template", "images"}) testing::MakeDirs(r.dir / sub);
    testing::WriteFile(r.dir / "title/A/ONE.TXT", "one");
    testing::WriteFile(r.dir / "title/B/C/TWO.TXT", std::string(5000, '2'));
    testing::WriteFile(r.dir / "title/ROOT.TXT", "root");
    Job& job = r.t.job;
    job.tempDir = r.dir / "tmp/";
    job.templateDir = r.dir / "template";
    job.imagePath1 = r.dir / "images/CONTROL.IMG";
    job.imagePath2 = r.dir / "images/LAYER01.IMG";
    job.freeSectors1 = 4000000000u;
    job.noWarningMessagesOutput = 1;
    job.volumeId = "STOP";
    job.projectPath = r.dir / "title";
    job.autorunArg = "SETUP.EXE";
    job.noWarnings = 1;  // the temporary directory's path is in lower case
    r.t.ui.stopAfterChecks = c.stopAfterChecks;
    r.RunBatch();
    std::vector<std::string> said;
    for (const auto& message : r.t.ui.messages) said.push_back(message.caption + ": " + message.text);
    EXPECT_EQ(said, std::vector<std::string>{"Operations error!: Premastering stopped by the operator."});
    EXPECT_EQ(r.t.ui.stopChecks, c.stopAfterChecks + 1) << "the first stop ends the run";
    auto showed = [&](const std::string& prefix) {
      return std::any_of(r.t.ui.statusLines.begin(), r.t.ui.statusLines.end(),
                         [&](const std::string& line) { return line.starts_with(prefix); });
    };
    EXPECT_TRUE(showed(c.reached));
    EXPECT_FALSE(*c.notReached && showed(c.notReached));
    EXPECT_TRUE(r.driver.runFailed);
    EXPECT_TRUE(Exists(r.dir / "template/_cdferr"));
    EXPECT_TRUE(r.t.ui.closed);
    EXPECT_EQ(FilesIn(r.dir / "images"), std::vector<std::string>{});
    EXPECT_EQ(FilesIn(r.dir / "tmp"), std::vector<std::string>{}) << "tree listing, alias and builder files";
  }
}

// Whole runs: start-up that can not go on ends with status 2 (an installation
// file without tempdir= is the window's case in tests/e2e); without
// DVDFROM.INI only the volume_id default draws a warning, and a title with no
// folder fails the run with status 1 and leaves the marker.
TEST(Program, ExitStatusAndWhatARunSays) {
  struct Case { const char* what; std::string config, arguments, said; int status; };
  for (const Case& c : {Case{"no installation file", "-", "--console -p=/any", "kestrand.ini", 2},
                        Case{"overlong value", "-", "-p=/" + std::string(300, 'a'), "Usage error", 2},
                        Case{"help", "-", "--help", "-dvdv=", 0},
                        Case{"title without a folder", "", "--console -p=", "Illegal volume_id DVD-ROM", 1}}) {
    SCOPED_TRACE(c.what);
    Installation install;
    if (!c.config.empty()) std::filesystem::remove(install.Home() + "/kestrand.ini");
    testing::WriteFile(install.Title() + "/ONLY.TXT", "x");
    Outcome outcome = install.Run(c.arguments + (c.status == 1 ? install.Title() : ""));
    EXPECT_TRUE(Ended(outcome, c.status, {c.said}));
    if (c.status != 1) continue;
    EXPECT_FALSE(Contains(outcome.output, "Illegal Pre"));
    EXPECT_FALSE(Contains(outcome.output, "Illegal system"));
    EXPECT_TRUE(Exists(install.Marker()));
    EXPECT_FALSE(Exists(install.Tmp() + "/tm.txt"));
  }
}

}  // namespace
}  // namespace pravel
