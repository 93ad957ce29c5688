// What the main window does with the Job: placing the frame, reading drops.
// Drops that are taken are proven through the window (tests/ui).
#include "app/main_window_actions.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

TEST(FramePlacement, CentredOnTheDesktopOrAtItsEdge) {
  struct Case { int right, bottom, left, top; };
  for (const Case& c : {Case{640, 480, 0, 2}, Case{1920, 1080, 640, 302}, Case{641, 476, 0, 0},
                        Case{642, 477, 1, 1}, Case{320, 200, 0, 0}}) {
    FramePlacement place = PlaceFrame(c.right, c.bottom);
    EXPECT_EQ(place.left, c.left) << c.right << "x" << c.bottom;
    EXPECT_EQ(place.top, c.top) << c.right << "x" << c.bottom;
    EXPECT_EQ(place.width, 640);
    EXPECT_EQ(place.height, 240);
  }
}

TEST(DroppedUriList, LocalFileUrlsBecomeTheirBytes) {
  struct Case { std::string uriList; std::vector<std::string> paths; std::string refused; };
  const std::vector<Case> cases = {
      {"file:///a/b\r\nfile:///c\r\n", {"/a/b", "/c"}, ""},
      {"# a comment\r\nFILE://localhost/x%20y/\r\n", {"/x y"}, ""},
      // A name in Latin-1, not UTF-8: its bytes arrive unchanged.
      {"file:///t/caf%E9", {"/t/caf\xE9"}, ""},
      {"file:///t/%C3%A9t%C3%A9\n", {"/t/\xC3\xA9t\xC3\xA9"}, ""},
      {"file:///a\r\nhttp://example.com/x\r\nfile:///b\r\n", {}, "http://example.com/x"},
      {"file://otherhost/share", {}, "file://otherhost/share"},
      {"file:///bad%2", {}, "file:///bad%2"},
      {"file:///nul%00byte", {}, "file:///nul%00byte"},
      {"file://LOCALHOST/up", {"/up"}, ""},
      {"file:///a?b", {}, "file:///a?b"},
      {"file:///film#2", {}, "file:///film#2"},
      {"file:///film%232", {"/film#2"}, ""},
  };
  for (const Case& c : cases) {
    DroppedPaths dropped = ReadDroppedUriList(c.uriList);
    EXPECT_EQ(dropped.paths, c.paths) << c.uriList;
    EXPECT_EQ(dropped.refused, c.refused) << c.uriList;
  }
}

TEST(DroppedSources, ADropWithOneBadEntryIsRefusedWhole) {
  TempDir dir;
  testing::MakeDirs(dir / "one");
  const std::string one = "file://" + (dir / "one") + "\r\n", missing = dir / "missing";
  const std::pair<std::string, std::string> cases[] = {
      {one + "file://" + missing + "\r\n",
       "Only existing files and folders can be added to the title. " + missing + " is not one."},
      {"# nothing but a comment\r\n", ""}};
  for (const auto& [uriList, said] : cases) {
    TestJob t;
    EXPECT_FALSE(AddDroppedUriList(t.job, uriList));
    EXPECT_TRUE(t.job.sourcePaths.empty());
    testing::ExpectOneMessage(t.ui, {said}, "Usage error");
  }
}

TEST(DroppedSources, ADropPastTheListsRoomIsRefusedWhole) {
  TempDir dir;
  testing::MakeDirs(dir / "a");
  TestJob t;
  for (uint32_t i = 0; i + 1 < limits::kSourceEntries; ++i) t.job.AddSource("/x");
  EXPECT_FALSE(AddDroppedSources(t.job, {dir / "a", dir / "a"}));
  EXPECT_EQ(t.job.sourceCount, limits::kSourceEntries - 1);
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Tool limits exceeded!");
  EXPECT_TRUE(AddDroppedSources(t.job, {dir / "a"})) << "the last entry still fits";
  EXPECT_EQ(t.job.sourceCount, limits::kSourceEntries);
}

}  // namespace
}  // namespace pravel
