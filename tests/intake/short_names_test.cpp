#include "intake/short_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace pravel {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

bool IsDSetShortName(const std::string& name) {
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.')) return false;
  }
  return IsShortName(name);
}

TEST(ShortNames, ValidNamesKeepThemselvesUpperCasedAndOthersAreConvertedToTheDSet) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"README.TXT", "README.TXT"},     {"a", "A"},
      {"video_ts", "VIDEO_TS"},         {"x.y", "X.Y"},
      {"Setup.exe", "SETUP.EXE"},       {"my file.txt", "MY_FILE.TXT"},
      {"Long Document.html", "LONG_D_1.HTM"}, {"archive.tar.gz", "ARCHIV_1.GZ"},
      {".profile", "_PROFILE"},         {"\xCE\xA9mega.txt", "_MEGA.TXT"},
      {"name.", "NAME"}};
  TempDir dir;
  for (const auto& [name, shortName] : cases) WriteFile(dir / name, "");
  ShortNameTable table;
  for (const auto& [name, shortName] : cases) EXPECT_EQ(table.ShortName(dir / name), shortName) << name;
}

TEST(ShortNames, SiblingsNeverShareAName) {
  TempDir dir;
  // Reserved names come first, so the made-up names step around them.
  const std::vector<std::pair<std::string, std::string>> cases = {{"README.TXT", "README.TXT"},
                                                                  {"readme.txt", "README_1.TXT"},
                                                                  {"LONG_D_1.HTM", "LONG_D_1.HTM"},
                                                                  {"Long Document.html", "LONG_D_2.HTM"},
                                                                  {"Long Documents.html", "LONG_D_3.HTM"}};
  for (const auto& [name, shortName] : cases) WriteFile(dir / name, "");
  ShortNameTable table;
  for (const auto& [name, shortName] : cases) EXPECT_EQ(table.ShortName(dir / name), shortName) << name;
}

TEST(ShortNames, CrowdedDirectoryGetsUniqueStableNames) {
  TempDir dir;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    names.push_back("Quarterly report section " + std::to_string(i) + ".document");
    WriteFile(dir / names.back(), "");
  }
  MakeDirs(dir / "Quarterly report section folder");
  names.push_back("Quarterly report section folder");

  ShortNameTable first;
  std::set<std::string> seen;
  std::vector<std::string> given;
  for (const std::string& name : names) {
    const std::string shortName = first.ShortName(dir / name);
    EXPECT_TRUE(IsDSetShortName(shortName)) << name << " -> " << shortName;
    EXPECT_TRUE(seen.insert(shortName).second) << "duplicate " << shortName;
    given.push_back(shortName);
  }
  // Asked again, and by a second table asking in another order: the same.
  ShortNameTable second;
  for (size_t i = names.size(); i-- > 0;) {
    EXPECT_EQ(second.ShortName(dir / names[i]), given[i]);
    EXPECT_EQ(first.ShortName(dir / names[i]), given[i]);
  }
  EXPECT_EQ(given[0], "QUARTE_1.DOC");
  EXPECT_EQ(first.ListingCount(), 1u);
}

TEST(ShortNames, OneListingPerDirectory) {
  TempDir dir;
  auto path = [&](int folder, int file) {
    return dir / ("folder " + std::to_string(folder) + "/file number " + std::to_string(file));
  };
  for (int folder = 0; folder < 5; ++folder) {
    for (int file = 0; file < 20; ++file) WriteFile(path(folder, file), "");
  }
  ShortNameTable table;
  for (int round = 0; round < 2; ++round) {
    for (int folder = 0; folder < 5; ++folder) {
      for (int file = 0; file < 20; ++file) EXPECT_FALSE(table.ShortName(path(folder, file)).empty());
    }
  }
  EXPECT_EQ(table.ListingCount(), 5u);
}

TEST(ShortNames, MissingEntriesHaveNoShortNameAndLateFilesKeepEarlierNames) {
  TempDir dir;
  WriteFile(dir / "b long name.txt", "");
  ShortNameTable table;
  EXPECT_EQ(table.ShortName(dir / "absent.txt"), "");
  EXPECT_EQ(table.ShortName(dir / "no such folder/file.txt"), "");
  EXPECT_EQ(table.ShortName("/"), "");
  EXPECT_EQ(table.ShortName(dir / "b long name.txt"), "B_LONG_1.TXT");
  WriteFile(dir / "a long name.txt", "");  // sorts first, yet takes the next number
  EXPECT_EQ(table.ShortName(dir / "a long name.txt"), "A_LONG_1.TXT");
  WriteFile(dir / "b long names.txt", "");
  EXPECT_EQ(table.ShortName(dir / "b long names.txt"), "B_LONG_2.TXT");
  EXPECT_EQ(table.ShortName(dir / "b long name.txt"), "B_LONG_1.TXT");
}

TEST(ShortNames, JobTableIsMadeOnFirstUse) {
  TempDir dir;
  MakeDirs(dir / "Some Folder");
  testing::TestJob t;
  EXPECT_EQ(t.job.shortNames, nullptr);
  EXPECT_EQ(ShortPathName(t.job, dir / "Some Folder/"), "SOME_F_1");
  ASSERT_NE(t.job.shortNames, nullptr);
  EXPECT_EQ(ShortPathName(t.job, dir / "Some Folder"), "SOME_F_1");
  EXPECT_EQ(t.job.shortNames->ListingCount(), 1u);
}

}  // namespace
}  // namespace pravel
