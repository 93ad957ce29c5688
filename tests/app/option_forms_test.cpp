// The option dialogs' forms: which values OK refuses, and that a refused OK
// stores nothing at all. What the dialogs show and store is proven through
// the dialogs themselves (tests/ui/option_dialogs_test.cpp).
#include "app/option_forms.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

TEST(DvdFormatForm, NumbersOutsideTheirRangeOrNoNumbersAreRefusedNamingTheField) {
  struct Case {
    const char* sides;
    const char* side;
    const char* layers;
    int refused;                    // 0: stored
    const char* message = nullptr;  // the refusal's text
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
      {"1", "2", "1", control::kThisSideNumber, "\"This Side Number\" must be from 1 to the \"Number of Sides\" (1)."},
      {"2", "0", "1", control::kThisSideNumber},
      {"1", "1", "abc", control::kNumberOfLayers, "\"Number of Layers\" must be 1 or 2."},
      {"1", "1", "2x", control::kNumberOfLayers},
      {"2", "1", "3", control::kNumberOfLayers},  // the right sides are not stored either
      {"1", "1", "0", control::kNumberOfLayers},
      {"1", "1", "+", control::kNumberOfLayers},
      {"x", "9", "abc", control::kNumberOfSides, "\"Number of Sides\" must be 1 or 2."},  // the first one at fault
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
    form.oppositeTrackPath = false;  // shown only, never stored
    const CommitResult result = CommitDvdFormatOptions(t.job, form);
    EXPECT_EQ(result.stored, c.refused == 0);
    EXPECT_EQ(result.focusControl, c.refused);
    EXPECT_EQ(t.job.formatOptions.otp, 1);
    const bool stored = c.refused == 0;
    EXPECT_EQ(t.ui.messages.size(), stored ? 0u : 1u);
    if (c.message) {
      EXPECT_EQ(t.ui.messages.at(0).text, c.message);
      EXPECT_EQ(t.ui.messages.at(0).caption, "Usage error");
    }
    // A refusal stores nothing, not even the fields that were right.
    EXPECT_EQ(t.job.formatOptions.numberOfSides, stored ? 2 : 1);
    EXPECT_EQ(t.job.formatOptions.thisSideNumber, stored ? 2 : 1);
    EXPECT_EQ(t.job.layersOption, stored ? 2 : 1);
    EXPECT_EQ(t.job.formatOptions.regions, (std::array<int32_t, 6>{0, 0, stored, 0, 0, 0}));
    EXPECT_EQ(t.job.formatOptions.copyProtected, stored ? 1 : 0);
  }
}

TEST(AutorunForm, TextsOfMoreThan127BytesAreRefusedNotCut) {
  TestJob t;
  const std::string fits(127, 'p');
  std::string twoByte;  // 64 characters, 128 bytes
  for (int i = 0; i < 64; ++i) twoByte += "\xC3\xA9";
  struct Case { std::string program; std::string icon; int refused; };
  for (const Case& c : {Case{fits, fits, 0}, Case{fits + "x", "i", control::kAutorunProgram},
                        Case{"p", twoByte, control::kAutorunIcon}}) {
    SCOPED_TRACE(c.refused);
    t.ui.messages.clear();
    const CommitResult result = CommitAutorunOptions(t.job, {true, c.program, c.icon});
    EXPECT_EQ(result.stored, c.refused == 0);
    EXPECT_EQ(result.focusControl, c.refused);
    EXPECT_EQ(t.job.autorunProgramPath, fits) << "stored once, then nothing";
    EXPECT_EQ(t.job.autorunIconPath, fits);
    EXPECT_EQ(t.ui.messages.size(), c.refused == 0 ? 0u : 1u);
  }
  EXPECT_EQ(t.ui.messages.at(0).text,
            "\"Enter path and name of icon *.ICO file.\" takes at most 127 bytes; the text given has 128.");
  EXPECT_EQ(t.ui.messages.at(0).caption, "Usage error");
  ASSERT_TRUE(CommitAutorunOptions(t.job, {false, "", ""}).stored);
  EXPECT_EQ(t.job.autorunEnabled, 0);
}

// The form shows the dates cut to 17; an over-long text is refused before
// anything is written.
TEST(DiscIdentificationForm, ShowsDatesCutAndRefusesAnOverLongText) {
  TempDir dir;
  TestJob t;
  t.job.loadedDescriptorPath = dir / "DVDFROM.INI";
  t.job.volumeId = "DISC";
  t.job.creationDate = "200102030405060012";
  DiscIdentification form = SetupDiscIdentification(t.job);
  EXPECT_EQ(form.creationDate, "20010203040506001");
  form.volumeId = std::string(32, 'V');
  const CommitResult result = CommitDiscIdentification(t.job, form);
  EXPECT_FALSE(result.stored);
  EXPECT_EQ(result.focusControl, control::kVolumeId);
  testing::ExpectOneMessage(t.ui, {"\"Volume ID\" takes at most 31 bytes"}, "Usage error");
  EXPECT_EQ(t.job.volumeId, "DISC");
  EXPECT_FALSE(testing::Exists(t.job.loadedDescriptorPath));
}

}  // namespace
}  // namespace pravel
