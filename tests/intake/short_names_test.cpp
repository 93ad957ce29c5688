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

// Valid names keep themselves upper-cased, others are converted to the
// d-characters; siblings never share a name, and names an entry holds by
// itself come first, so made-up names step around them.
TEST(ShortNames, ValidNamesKeepThemselvesAndOthersAreConvertedWithoutClashes) {
  using Named = std::vector<std::pair<std::string, std::string>>;
  for (const Named& folder :
       {Named{{"README.TXT", "README.TXT"}, {"a", "A"}, {"video_ts", "VIDEO_TS"}, {"x.y", "X.Y"},
              {"Setup.exe", "SETUP.EXE"}, {"my file.txt", "MY_FILE.TXT"}, {"Long Document.html", "LONG_D_1.HTM"},
              {"archive.tar.gz", "ARCHIV_1.GZ"}, {".profile", "_PROFILE"}, {"\xCE\xA9mega.txt", "_MEGA.TXT"},
              {"name.", "NAME"}},
        Named{{"README.TXT", "README.TXT"}, {"readme.txt", "README_1.TXT"}, {"LONG_D_1.HTM", "LONG_D_1.HTM"},
              {"Long Document.html", "LONG_D_2.HTM"}, {"Long Documents.html", "LONG_D_3.HTM"}}}) {
    TempDir dir;
    for (const auto& [name, shortName] : folder) WriteFile(dir / name, "");
    ShortNameTable table;
    for (const auto& [name, shortName] : folder) EXPECT_EQ(table.ShortName(dir / name), shortName) << name;
  }
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

// Entries gathered into the disc's root from several source folders; a
// trailing '/' makes a folder.
TEST(ShortNames, RootEntriesFromSeveralFoldersKeepTheirFoldersNamesUnlessTheyClash) {
  using Named = std::vector<std::pair<std::string, std::string>>;  // entry -> short name
  struct Case {
    const char* what;
    std::vector<std::string> besideRoot;  // entries of the same folders that are not in the root
    Named root;
  };
  const std::vector<Case> cases = {
      {"the first in name order keeps the name", {},
       {{"P/LONGFOLDERNAME_A/", "LONGFO_1"}, {"V/LONGFOLDERNAME_B/", "LONGFO_2"}}},
      {"whatever folder it comes from", {},
       {{"P/Long Document.html", "LONG_D_2.HTM"}, {"V/Long Documents.html", "LONG_D_3.HTM"},
        {"W/Long Doc.html", "LONG_D_1.HTM"}}},
      {"an entry's own 8.3 name outranks a made-up one", {},
       {{"P/LONGFOLDERNAME_A/", "LONGFO_2"}, {"V/LONGFO_1/", "LONGFO_1"}}},
      {"a new name steps around every name of the root", {},
       {{"P/LONGFOLDERNAME_A/", "LONGFO_1"}, {"P/LONGFOLDERNAME_C/", "LONGFO_2"}, {"V/LONGFOLDERNAME_B/", "LONGFO_3"}}},
      {"names that do not clash stay as their folders gave them", {"P/LONGFOLDERNAME_0/"},
       {{"P/LONGFOLDERNAME_A/", "LONGFO_2"}, {"V/LONGFOLDERNAME_B/", "LONGFO_1"}}},
      {"converted names of files", {}, {{"P/a b.txt", "A_B.TXT"}, {"V/a+b.txt", "A_B_1.TXT"}}},
      {"own names equal but for case", {}, {{"P/readme.txt", "README_1.TXT"}, {"V/README.TXT", "README.TXT"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<std::string> entries;
    for (const auto& [entry, shortName] : c.root) entries.push_back(dir / entry);
    for (const std::string& entry : c.besideRoot) MakeDirs(dir / entry);
    for (const std::string& entry : entries) {
      if (entry.back() == '/') {
        MakeDirs(entry);
      } else {
        WriteFile(entry, "");
      }
    }

    std::vector<RootEntry> given;
    for (const std::string& entry : entries) given.push_back({entry});
    ShortNameTable table;
    table.SetRootEntries(given);
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(table.ShortName(entries[i]), c.root[i].second);
    // Given and asked in the other order, without the trailing '/': the same.
    ShortNameTable reversed;
    reversed.SetRootEntries(std::vector<RootEntry>(given.rbegin(), given.rend()));
    for (size_t i = entries.size(); i-- > 0;) {
      const std::string path = entries[i].back() == '/' ? entries[i].substr(0, entries[i].size() - 1) : entries[i];
      EXPECT_EQ(reversed.ShortName(path), c.root[i].second);
    }
  }
}

TEST(ShortNames, OnlyTheRootLastGivenIsSettled) {
  TempDir dir;
  MakeDirs(dir / "P/LONGFOLDERNAME_A/Inner Long Name");
  MakeDirs(dir / "V/LONGFOLDERNAME_B/Inner Long Name");
  testing::TestJob t;
  SetRootEntries(t.job, {{dir / "P/LONGFOLDERNAME_A"}, {dir / "V/LONGFOLDERNAME_B"}});
  EXPECT_EQ(ShortPathName(t.job, dir / "V/LONGFOLDERNAME_B"), "LONGFO_2");
  // Below the root every folder names its own entries.
  EXPECT_EQ(ShortPathName(t.job, dir / "P/LONGFOLDERNAME_A/Inner Long Name"), "INNER__1");
  EXPECT_EQ(ShortPathName(t.job, dir / "V/LONGFOLDERNAME_B/Inner Long Name"), "INNER__1");
  SetRootEntries(t.job, {{dir / "V/LONGFOLDERNAME_B"}});
  EXPECT_EQ(ShortPathName(t.job, dir / "V/LONGFOLDERNAME_B"), "LONGFO_1");
}

}  // namespace
}  // namespace pravel
