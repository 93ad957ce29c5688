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

TEST(ShortNames, ValidNamesKeepThemselvesUpperCased) {
  TempDir dir;
  for (const char* name : {"README.TXT", "a", "video_ts", "x.y", "Setup.exe"})
    WriteFile(dir / name, "");
  ShortNameTable table;
  EXPECT_EQ(table.ShortName(dir / "README.TXT"), "README.TXT");
  EXPECT_EQ(table.ShortName(dir / "a"), "A");
  EXPECT_EQ(table.ShortName(dir / "video_ts"), "VIDEO_TS");
  EXPECT_EQ(table.ShortName(dir / "x.y"), "X.Y");
  EXPECT_EQ(table.ShortName(dir / "Setup.exe"), "SETUP.EXE");
}

TEST(ShortNames, OtherNamesAreConvertedToTheDSet) {
  TempDir dir;
  for (const char* name : {"my file.txt", "Long Document.html", "archive.tar.gz", ".profile",
                           "\xCE\xA9mega.txt", "name."}) {
    WriteFile(dir / name, "");
  }
  ShortNameTable table;
  EXPECT_EQ(table.ShortName(dir / "my file.txt"), "MY_FILE.TXT");
  EXPECT_EQ(table.ShortName(dir / "Long Document.html"), "LONG_D_1.HTM");
  EXPECT_EQ(table.ShortName(dir / "archive.tar.gz"), "ARCHIV_1.GZ");
  EXPECT_EQ(table.ShortName(dir / ".profile"), "_PROFILE");
  EXPECT_EQ(table.ShortName(dir / "\xCE\xA9mega.txt"), "_MEGA.TXT");
  EXPECT_EQ(table.ShortName(dir / "name."), "NAME");
}

TEST(ShortNames, SiblingsNeverShareAName) {
  TempDir dir;
  // Reserved names come first, so the made-up names step around them.
  for (const char* name :
       {"README.TXT", "readme.txt", "LONG_D_1.HTM", "Long Document.html", "Long Documents.html"}) {
    WriteFile(dir / name, "");
  }
  ShortNameTable table;
  EXPECT_EQ(table.ShortName(dir / "README.TXT"), "README.TXT");
  EXPECT_EQ(table.ShortName(dir / "readme.txt"), "README_1.TXT");
  EXPECT_EQ(table.ShortName(dir / "LONG_D_1.HTM"), "LONG_D_1.HTM");
  EXPECT_EQ(table.ShortName(dir / "Long Document.html"), "LONG_D_2.HTM");
  EXPECT_EQ(table.ShortName(dir / "Long Documents.html"), "LONG_D_3.HTM");
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
  for (int folder = 0; folder < 5; ++folder) {
    for (int file = 0; file < 20; ++file) {
      WriteFile(dir / ("folder " + std::to_string(folder) + "/file number " + std::to_string(file)),
                "");
    }
  }
  ShortNameTable table;
  for (int round = 0; round < 2; ++round) {
    for (int folder = 0; folder < 5; ++folder) {
      for (int file = 0; file < 20; ++file) {
        const std::string path =
            dir / ("folder " + std::to_string(folder) + "/file number " + std::to_string(file));
        EXPECT_FALSE(table.ShortName(path).empty());
      }
    }
  }
  EXPECT_EQ(table.ListingCount(), 5u);
}

TEST(ShortNames, MissingEntriesHaveNoShortName) {
  TempDir dir;
  WriteFile(dir / "present.txt", "");
  ShortNameTable table;
  EXPECT_EQ(table.ShortName(dir / "absent.txt"), "");
  EXPECT_EQ(table.ShortName(dir / "no such folder/file.txt"), "");
  EXPECT_EQ(table.ShortName("/"), "");
  EXPECT_EQ(table.ShortName(dir / "present.txt"), "PRESENT.TXT");
}

TEST(ShortNames, LateFilesKeepEarlierNames) {
  TempDir dir;
  WriteFile(dir / "b long name.txt", "");
  ShortNameTable table;
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
