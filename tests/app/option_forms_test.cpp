// The option dialogs' forms: what they show of the Job, what OK stores, and
// that a refused OK stores nothing at all.
#include "app/option_forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using testing::TempDir;
using testing::TestJob;

TEST(DvdFormatForm, ShowsTheStartValues) {
  TestJob t;
  const DvdFormatForm form = SetupDvdFormatOptions(t.job);
  EXPECT_EQ(form.numberOfSides, "1");
  EXPECT_EQ(form.thisSideNumber, "1");
  EXPECT_EQ(form.numberOfLayers, "1");
  EXPECT_TRUE(form.oppositeTrackPath);
  EXPECT_EQ(form.regions, (std::array<bool, 6>{}));
  EXPECT_FALSE(form.copyProtected);
}

TEST(DvdFormatForm, NumbersOutsideTheirRangeOrNoNumbersAreRefusedNamingTheField) {
  struct Case {
    const char* sides;
    const char* side;
    const char* layers;
    int refused;  // 0: stored
  };
  const Case cases[] = {
      {"2", "2", "2", 0},
      {" +2\t", "02", " 2", 0},
      {" +2 ", "-0002", "1", control::kThisSideNumber},
      {"0", "1", "1", control::kNumberOfSides},
      {"3", "1", "1", control::kNumberOfSides},
      {"-1", "1", "1", control::kNumberOfSides},
      {"", "1", "1", control::kNumberOfSides},
      {"4294967297", "1", "1", control::kNumberOfSides},  // 1 once cut to 32 bits
      {"1", "2", "1", control::kThisSideNumber},
      {"2", "0", "1", control::kThisSideNumber},
      {"1", "1", "abc", control::kNumberOfLayers},
      {"1", "1", "2x", control::kNumberOfLayers},
      {"1", "1", "3", control::kNumberOfLayers},
      {"1", "1", "0", control::kNumberOfLayers},
      {"1", "1", "+", control::kNumberOfLayers},
      {"x", "9", "abc", control::kNumberOfSides},  // the first refused field is named
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sides) + "/" + c.side + "/" + c.layers);
    TestJob t;
    DvdFormatForm form = SetupDvdFormatOptions(t.job);
    form.numberOfSides = c.sides;
    form.thisSideNumber = c.side;
    form.numberOfLayers = c.layers;
    form.regions[2] = true;
    form.copyProtected = true;
    const CommitResult result = CommitDvdFormatOptions(t.job, form);
    EXPECT_EQ(result.stored, c.refused == 0);
    EXPECT_EQ(result.focusControl, c.refused);
    if (c.refused == 0) {
      EXPECT_EQ(t.job.formatOptions.numberOfSides, 2);
      EXPECT_EQ(t.job.formatOptions.thisSideNumber, 2);
      EXPECT_EQ(t.job.layersOption, 2);
      EXPECT_EQ(t.job.formatOptions.regions[2], 1);
      EXPECT_EQ(t.job.formatOptions.copyProtected, 1);
      EXPECT_TRUE(t.ui.messages.empty());
      continue;
    }
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].caption, "Usage error");
    EXPECT_NE(t.ui.messages[0].text.find(ControlLabel(c.refused)), std::string::npos);
    // Nothing stored, not even the fields that were right.
    EXPECT_EQ(t.job.formatOptions.numberOfSides, 1);
    EXPECT_EQ(t.job.layersOption, 1);
    EXPECT_EQ(t.job.formatOptions.regions[2], 0);
    EXPECT_EQ(t.job.formatOptions.copyProtected, 0);
  }
}

TEST(DvdFormatForm, RefusalTexts) {
  TestJob t;
  DvdFormatForm form = SetupDvdFormatOptions(t.job);
  form.numberOfSides = "abc";
  CommitDvdFormatOptions(t.job, form);
  form.numberOfSides = "1";
  form.thisSideNumber = "2";
  CommitDvdFormatOptions(t.job, form);
  form.thisSideNumber = "1";
  form.numberOfLayers = "abc";
  CommitDvdFormatOptions(t.job, form);
  ASSERT_EQ(t.ui.messages.size(), 3u);
  EXPECT_EQ(t.ui.messages[0].text, "\"Number of Sides\" must be 1 or 2.");
  EXPECT_EQ(t.ui.messages[1].text, "\"This Side Number\" must be from 1 to the \"Number of Sides\" (1).");
  EXPECT_EQ(t.ui.messages[2].text, "\"Number of Layers\" must be 1 or 2.");
}

TEST(DvdFormatForm, ChecksStoreOneOrZeroAndTheOppositeTrackPathIsOnlyShown) {
  TestJob t;
  DvdFormatForm form = SetupDvdFormatOptions(t.job);
  form.regions = {true, false, false, false, false, true};
  form.oppositeTrackPath = false;
  ASSERT_TRUE(CommitDvdFormatOptions(t.job, form).stored);
  EXPECT_EQ(t.job.formatOptions.regions, (std::array<int32_t, 6>{1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(t.job.formatOptions.otp, 1);
  const DvdFormatForm again = SetupDvdFormatOptions(t.job);
  EXPECT_EQ(again.regions, form.regions);
  EXPECT_TRUE(again.oppositeTrackPath);

  form.regions = {};
  ASSERT_TRUE(CommitDvdFormatOptions(t.job, form).stored);
  EXPECT_EQ(t.job.formatOptions.regions, (std::array<int32_t, 6>{}));
}

TEST(AutorunForm, TextsOfMoreThan127BytesAreRefusedNotCut) {
  TestJob t;
  t.job.autorunProgramPath = "setup.exe";
  t.job.autorunIconPath = "setup.ico";
  const AutorunForm shown = SetupAutorunOptions(t.job);
  EXPECT_FALSE(shown.enabled);
  EXPECT_EQ(shown.program, "setup.exe");
  EXPECT_EQ(shown.icon, "setup.ico");

  const std::string fits(127, 'p');
  std::string twoByte;  // 64 characters, 128 bytes
  for (int i = 0; i < 64; ++i) twoByte += "\xC3\xA9";
  struct Case {
    std::string program;
    std::string icon;
    int refused;
  };
  for (const Case& c : {Case{fits, fits, 0}, Case{fits + "x", "i", control::kAutorunProgram},
                        Case{"p", twoByte, control::kAutorunIcon}}) {
    SCOPED_TRACE(c.refused);
    t.ui.messages.clear();
    const CommitResult result = CommitAutorunOptions(t.job, {true, c.program, c.icon});
    EXPECT_EQ(result.focusControl, c.refused);
    if (c.refused == 0) {
      EXPECT_TRUE(result.stored);
      EXPECT_EQ(t.job.autorunEnabled, 1);
      EXPECT_EQ(t.job.autorunProgramPath, fits);
      continue;
    }
    EXPECT_FALSE(result.stored);
    EXPECT_EQ(t.job.autorunProgramPath, fits) << "nothing stored";
    EXPECT_EQ(t.job.autorunIconPath, fits);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].caption, "Usage error");
  }
  EXPECT_EQ(t.ui.messages[0].text,
            "\"Enter path and name of icon *.ICO file.\" takes at most 127 bytes; the text given has 128.");
  ASSERT_TRUE(CommitAutorunOptions(t.job, {false, "", ""}).stored);
  EXPECT_EQ(t.job.autorunEnabled, 0);
}

TEST(FormatOptionsForm, EachBoxSetsItsFlagsAndShowsThemAgain) {
  using Box = bool FormatOptionsForm::*;
  struct Case {
    Box box;
    std::vector<uint8_t Job::*> flags;
  };
  const Case cases[] = {
      {&FormatOptionsForm::upperCaseNames, {&Job::upperCaseNames}},
      {&FormatOptionsForm::allowLargeFiles, {&Job::allowLargeFiles}},
      {&FormatOptionsForm::relaxDvdVideo, {&Job::relaxDvdVideo}},
      {&FormatOptionsForm::relaxJoliet, {&Job::relaxJoliet}},
      {&FormatOptionsForm::allowLongPaths, {&Job::allowLongPaths}},
      {&FormatOptionsForm::noWarningMessages, {&Job::noWarningMessages, &Job::noWarningMessagesOutput}},
      {&FormatOptionsForm::writeLogFile, {&Job::writeLogFile}},
      {&FormatOptionsForm::writeCompareFile, {&Job::writeCompareFile}},
  };
  const std::vector<uint8_t Job::*> all = {&Job::upperCaseNames, &Job::allowLargeFiles, &Job::relaxDvdVideo,
                                          &Job::relaxJoliet,     &Job::allowLongPaths,  &Job::noWarningMessages,
                                          &Job::noWarningMessagesOutput, &Job::writeLogFile,
                                          &Job::writeCompareFile};
  for (const Case& c : cases) {
    TestJob t;
    FormatOptionsForm form = SetupFormatOptions(t.job);
    EXPECT_FALSE(form.*c.box) << "every box starts unchecked";
    form.*c.box = true;
    ASSERT_TRUE(CommitFormatOptions(t.job, form).stored);
    for (uint8_t Job::*flag : all) {
      const bool set = std::find(c.flags.begin(), c.flags.end(), flag) != c.flags.end();
      EXPECT_EQ(t.job.*flag, set ? 1 : 0);
    }
    EXPECT_EQ(t.job.isoLevel1Names, 1);
    EXPECT_TRUE(SetupFormatOptions(t.job).*c.box);
  }
}

class DiscIdentificationFormTest : public ::testing::Test {
 protected:
  DiscIdentificationFormTest() {
    Job& job = t.job;
    job.loadedDescriptorPath = dir / "DVDFROM.INI";
    job.systemId = "LINUX";
    job.volumeId = "DISC";
    job.creationDate = "20010203040506001";  // 17 characters show
    job.modificationDate = "200102030405060012";
    job.expirationDate = "0000000000000000";
    job.effectiveDate = "2001020304050600";
    job.volumeNumber = "1";
    job.volumeSetSize = "1";
  }
  TempDir dir;
  TestJob t;
};

TEST_F(DiscIdentificationFormTest, ShowsTheJobsTextsWithDatesCutTo17) {
  const DiscIdentification form = SetupDiscIdentification(t.job);
  EXPECT_EQ(form.systemId, "LINUX");
  EXPECT_EQ(form.creationDate, "20010203040506001");
  EXPECT_EQ(form.modificationDate, "20010203040506001");
  EXPECT_EQ(form.expirationDate, "0000000000000000");
  EXPECT_EQ(form.discsInSet, "1");
}

TEST_F(DiscIdentificationFormTest, EveryTextHasItsOwnControlAndLength) {
  std::set<int> controls;
  for (int id = 100; id < 140; ++id)
    if (DiscIdentificationText(id)) {
      controls.insert(id);
      EXPECT_EQ(DiscIdentificationControl(DiscIdentificationText(id)), id);
      EXPECT_STRNE(ControlLabel(id), "");
    }
  EXPECT_EQ(controls, (std::set<int>{101, 103, 105, 107, 109, 113, 115, 117, 119, 121, 123, 125, 128, 132, 133}));
  for (const auto& [id, longest] : {std::pair{101, 31}, {103, 31}, {105, 36}, {113, 127}, {119, 16}, {128, 127},
                                    {132, 7}, {721, 127}, {722, 127}, {700, 0}}) {
    EXPECT_EQ(LongestControlText(id), static_cast<size_t>(longest)) << id;
  }
}

TEST_F(DiscIdentificationFormTest, AnOverLongTextIsRefusedBeforeAnythingIsWritten) {
  DiscIdentification form = SetupDiscIdentification(t.job);
  form.creationDate = "2001020304050600";
  form.modificationDate = "2001020304050600";
  form.volumeId = std::string(32, 'V');
  const CommitResult result = CommitDiscIdentification(t.job, form);
  EXPECT_FALSE(result.stored);
  EXPECT_EQ(result.focusControl, control::kVolumeId);
  testing::ExpectOneMessage(t.ui, {"\"Volume ID\" takes at most 31 bytes; the text given has 32."}, "Usage error");
  EXPECT_EQ(t.job.volumeId, "DISC");
  EXPECT_FALSE(testing::Exists(t.job.loadedDescriptorPath));

  // A refused check puts the focus on the first text at fault.
  t.ui.messages.clear();
  form.volumeId = "DISC";
  form.effectiveDate = "2001";
  form.albumId = "a-b";
  t.ui.QueueAnswers({Answer::kNo});
  EXPECT_EQ(CommitDiscIdentification(t.job, form).focusControl, control::kEffectiveDate);
  EXPECT_FALSE(testing::Exists(t.job.loadedDescriptorPath));

  form.effectiveDate = "2001020304050600";
  form.albumId = "album";
  const CommitResult stored = CommitDiscIdentification(t.job, form);
  EXPECT_TRUE(stored.stored);
  EXPECT_EQ(t.job.albumId, "ALBUM");
}

}  // namespace
}  // namespace pravel
