// The same title and build date give the same image, byte for byte, from one
// version of the program to the next: work on speed or layout that changes a
// byte of the result fails here. The sums were recorded from a build whose
// images every reader agreed on; change them only for a deliberate change of
// the bytes, and say so.
#include <string>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

constexpr const char* kControlSum = "b2cac13f701f3d18da5bb4eb67d0c7fcb1de6988d64d90463494ff9212e72a6b";
constexpr const char* kLayerSum = "332167d484a73001ec849e1b18204b7bdf69e3999b9f9ccf8dcbf6d9d8aa1705";

// Names that make every tree work: long, lower-case, non-ASCII, short names
// that collide, a directory of several sectors, a deep chain, empty and
// multi-sector files, folders created out of their sorted order.
void MakeHostileTitle(const std::string& title) {
  uint32_t seed = 1;
  auto file = [&](const std::string& path, size_t size) { testing::WriteFile(title + "/" + path, Content(seed++, size)); };
  file("zeta/last.txt", 10);
  file("Alpha Folder With A Long Name/Report for the year.doc", 5000);
  file("Alpha Folder With A Long Name/Report for the year 2.doc", 2048);
  file("Alpha Folder With A Long Name/Report for the year 3.doc", 0);
  file("Caf\xc3\xa9 \xce\xa9mega/r\xc3\xa9sum\xc3\xa9.txt", 777);
  file("a/b/c/d/e/f/g/h/deep file.bin", 6145);
  for (int i = 0; i < 150; ++i) file("MANY/ENTRY" + std::to_string(i * 7 % 150) + ".DAT", 100 + i);
  file("README.TXT", 2049);
  file("setup.exe", 40000);
}

std::string Sum(const Installation& install, const std::string& image) {
  const Outcome sum = testing::RunShell("sha256sum " + Quoted(image), install.root / "sum.txt");
  EXPECT_TRUE(Ended(sum, 0));
  return sum.output.substr(0, 64);
}

TEST(ReproducibleImage, AHostileTitleKeepsItsRecordedBytes) {
  Installation install;
  MakeHostileTitle(install.Title());
  ASSERT_TRUE(Ended(install.Python("make_video_ts.py", "--sets 2 " + Quoted(install.Title())), 0));
  ASSERT_TRUE(Ended(install.RunBatch("-nw -dvdv=" + Quoted(install.Title() + "/VIDEO_TS")), 0));
  EXPECT_TRUE(Ended(install.CheckImage({install.Layer1()}), 0));
  EXPECT_EQ(Sum(install, install.Images() + "/CONTROL.IMG"), kControlSum);
  EXPECT_EQ(Sum(install, install.Layer1()), kLayerSum);
}

}  // namespace
}  // namespace pravel
