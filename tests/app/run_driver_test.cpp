#include "app/run_driver.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using testing::Exists;
using testing::TempDir;
using testing::TestJob;

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
  void RemoveAliasFiles(Job&) override { calls.push_back("remove-alias"); }
  void RemoveTreeListingFiles(Job&) override { calls.push_back("remove-tree"); }
  void EraseTape(Job&) override { calls.push_back("erase"); }

  bool loadOk = true, treeOk = true, outputOk = true;
  std::vector<std::string> calls;
  std::string seenAutorunOpen, seenAutorunIcon;
  uint32_t seenCapacity = 0;
};

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() : driver(t.job, stages) {
    t.job.tempDir = dir.path() + "/";
    t.job.templateDir = dir.path();
  }
  bool MarkerExists() { return Exists(dir / "_cdferr"); }
  void ClickBuildToDisk() { OnPanelClick(driver, 240, 150); }

  TempDir dir;
  TestJob t;
  FakeStages stages;
  Driver driver;
};

TEST(PanelAreas, ButtonsAndTheirBorders) {
  EXPECT_EQ(HitPanelArea(13, 144), PanelArea::kCancel);
  EXPECT_EQ(HitPanelArea(77, 164), PanelArea::kCancel);
  EXPECT_EQ(HitPanelArea(78, 150), PanelArea::kNone);
  EXPECT_EQ(HitPanelArea(80, 150), PanelArea::kDelete);
  EXPECT_EQ(HitPanelArea(208, 150), PanelArea::kBuildToTape);
  EXPECT_EQ(HitPanelArea(209, 150), PanelArea::kNone);
  EXPECT_EQ(HitPanelArea(213, 150), PanelArea::kBuildToDisk);
  EXPECT_EQ(HitPanelArea(337, 150), PanelArea::kEraseTape);
  EXPECT_EQ(HitPanelArea(150, 143), PanelArea::kNone);
  EXPECT_EQ(HitPanelArea(150, 165), PanelArea::kNone);
  EXPECT_EQ(HitPanelArea(370, 145), PanelArea::kDescriptorField);
  EXPECT_EQ(HitPanelArea(625, 162), PanelArea::kDescriptorField);
  EXPECT_EQ(HitPanelArea(500, 144), PanelArea::kNone);
  EXPECT_EQ(HitPanelArea(500, 163), PanelArea::kNone);
}

TEST_F(DriverTest, MakeButtonWithNoSourcesIsAUsageErrorAndChangesNothing) {
  ClickBuildToDisk();
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].text, "There are no selected files to pre-master.");
  EXPECT_EQ(t.ui.messages[0].caption, "Usage error");
  EXPECT_TRUE(stages.calls.empty());
  EXPECT_FALSE(t.ui.closed);
}

TEST_F(DriverTest, NoAtTheLayerQuestionKeepsTheProgramOpenAndTheCapacity) {
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
}

TEST_F(DriverTest, SuccessfulRunEndsTheProgramWithoutMarkerOrTreeListing) {
  t.job.AddSource("/title/A");
  t.ui.QueueAnswers({Answer::kYes});
  testing::WriteFile(dir / "_cdferr", "");  // left by an earlier failed run
  ClickBuildToDisk();
  EXPECT_EQ(stages.seenCapacity, geometry::kSingleLayerCapacity);
  EXPECT_EQ(t.ui.messages.back().text, "Your premastering session is finished.");
  EXPECT_EQ(t.ui.messages.back().caption, "Premastering complete!");
  EXPECT_TRUE(t.ui.closed);
  EXPECT_FALSE(Exists(dir / "tm.txt"));
  EXPECT_FALSE(driver.runFailed);
  EXPECT_EQ(t.job.toTape, 0);
  EXPECT_EQ(t.job.sourceCount, 0u);
}

TEST_F(DriverTest, DualLayerChoiceSetsTheDualLayerCapacity) {
  t.job.AddSource("/title/A");
  t.job.layersOption = 2;
  t.ui.QueueAnswers({Answer::kYes});
  ClickBuildToDisk();
  EXPECT_EQ(stages.seenCapacity, geometry::kDualLayerCapacity);
  EXPECT_EQ(t.job.singleLayer, 0);
}

TEST_F(DriverTest, FailedTreeBuildMarksTheRunAndShowsNoClosingMessage) {
  t.job.AddSource("/title/A");
  stages.treeOk = false;
  t.ui.QueueAnswers({Answer::kYes});
  ClickBuildToDisk();
  EXPECT_EQ(t.ui.messages.back().caption, "Disc Image Builder Error!");
  EXPECT_EQ(t.ui.messages.back().text.rfind("Could not create a directory tree.", 0), 0u);
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(driver.runFailed);
  EXPECT_TRUE(t.ui.closed);
  EXPECT_FALSE(Exists(dir / "tm.txt"));
}

TEST_F(DriverTest, FailedOutputMarksTheRunButStillSaysComplete) {
  t.job.AddSource("/title/A");
  stages.outputOk = false;
  t.ui.QueueAnswers({Answer::kYes});
  OnPanelClick(driver, 150, 150);  // Bld. to Tape
  EXPECT_EQ(t.ui.messages.back().text,
            "Your premastering session is finished. Please remove the DLT tape cartridge.");
  EXPECT_TRUE(MarkerExists());
  EXPECT_EQ(t.job.toTape, 0);
  EXPECT_NE(std::find(stages.calls.begin(), stages.calls.end(), "output-tape"), stages.calls.end());
}

TEST_F(DriverTest, EraseTapeAsksFirstAndStaysOpen) {
  t.ui.QueueAnswers({Answer::kNo, Answer::kYes});
  OnPanelClick(driver, 300, 150);
  EXPECT_TRUE(stages.calls.empty());
  OnPanelClick(driver, 300, 150);
  EXPECT_EQ(stages.calls, (std::vector<std::string>{"erase"}));
  EXPECT_EQ(t.ui.messages[0].caption, "Are you sure?");
  EXPECT_FALSE(t.ui.closed);
}

TEST_F(DriverTest, DeleteRemovesTheSelectedEntries) {
  t.job.AddSource("/a");
  t.job.AddSource("/b");
  t.job.AddSource("/c");
  t.ui.selected = {0, 2};
  OnPanelClick(driver, 100, 150);
  EXPECT_EQ(t.job.sourcePaths, (std::vector<std::string>{"/b"}));
  EXPECT_EQ(t.job.sourceCount, 1u);
}

TEST_F(DriverTest, CancelClosesTheWindow) {
  OnPanelClick(driver, 20, 150);
  EXPECT_TRUE(t.ui.closed);
  EXPECT_EQ(stages.calls, (std::vector<std::string>{"remove-alias"}));
}

class BatchTest : public DriverTest {
 protected:
  void RunBatch() {
    t.job.batchMode = 1;
    t.ui.StartTimer(kBatchLoadTimer, kBatchTimerPeriodMs);
    while (auto timer = t.ui.WaitForTimer()) OnBatchTimer(driver, *timer);
  }
};

TEST_F(BatchTest, TimersRunInOrderAndEndTheProgramWithoutQuestions) {
  t.job.layersOption = 2;  // the format options do not make a batch run dual-layer
  RunBatch();
  EXPECT_EQ(t.ui.timersStarted, (std::vector<int>{kBatchLoadTimer, kBatchRunTimer}));
  EXPECT_EQ(stages.seenCapacity, geometry::kSingleLayerCapacity);
  EXPECT_TRUE(t.ui.messages.empty());
  EXPECT_TRUE(t.ui.closed);
  EXPECT_FALSE(MarkerExists());
  EXPECT_EQ(t.ui.sourceList, (std::vector<std::string>{"/title/VIDEO_TS"}));
}

TEST_F(BatchTest, LayersOptionMakesADualLayerBatchRun) {
  t.job.requestedLayers = 2;
  RunBatch();
  EXPECT_EQ(stages.seenCapacity, geometry::kDualLayerCapacity);
}

TEST_F(BatchTest, AutorunArgumentIsUpperCasedAndSplitAtTheFirstSemicolon) {
  t.job.autorunArg = "setup.exe;icons/app.ico;x";
  RunBatch();
  EXPECT_EQ(stages.seenAutorunOpen, "SETUP.EXE");
  EXPECT_EQ(stages.seenAutorunIcon, "ICONS/APP.ICO;X");
  EXPECT_EQ(t.job.autorunEnabled, 1);
}

TEST_F(BatchTest, AutorunWithoutIconAndWithoutArgument) {
  t.job.autorunArg = "run.exe";
  RunBatch();
  EXPECT_EQ(stages.seenAutorunOpen, "RUN.EXE");
  EXPECT_EQ(stages.seenAutorunIcon, "");

  TestJob other;
  other.job.tempDir = dir.path() + "/";
  other.job.templateDir = dir.path();
  other.job.autorunOpen = "FROM_INI.EXE";
  other.job.autorunEnabled = 1;
  FakeStages otherStages;
  Driver otherDriver(other.job, otherStages);
  other.ui.StartTimer(kBatchLoadTimer, kBatchTimerPeriodMs);
  while (auto timer = other.ui.WaitForTimer()) OnBatchTimer(otherDriver, *timer);
  EXPECT_EQ(otherStages.seenAutorunOpen, "");
  EXPECT_EQ(other.job.autorunEnabled, 0);
}

TEST_F(BatchTest, NoWarningsSilencesTheScanButNotTheSummary) {
  t.job.noWarnings = 1;
  t.job.tapeRequested = 1;
  RunBatch();
  EXPECT_EQ(t.job.noWarningMessages, 1);
  EXPECT_EQ(t.job.noWarningMessagesOutput, 0);
  EXPECT_NE(std::find(stages.calls.begin(), stages.calls.end(), "output-tape"), stages.calls.end());
}

TEST_F(BatchTest, FailedProjectLoadMarksTheRunAndEndsTheProgram) {
  stages.loadOk = false;
  RunBatch();
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(driver.runFailed);
  EXPECT_TRUE(t.ui.closed);
  EXPECT_EQ(std::count(stages.calls.begin(), stages.calls.end(), "tree"), 0);
}

TEST_F(BatchTest, FailedOutputLeavesTheMarker) {
  stages.outputOk = false;
  RunBatch();
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(driver.runFailed);
}

}  // namespace
}  // namespace pravel
