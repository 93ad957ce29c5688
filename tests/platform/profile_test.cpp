#include "platform/profile.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/test_support.h"

namespace pravel::platform {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Get(const std::string& path, const std::string& section, const std::string& key,
                const std::string& fallback = "<default>", size_t size = 256) {
  return GetPrivateProfileString(section, key, fallback, size, path);
}

bool Put(const std::string& path, const char* section, const char* key, const char* value) {
  return WritePrivateProfileString(section, key, value, path);
}

// Edits made by other means than the writer: the cache is told, as callers must.
void Replace(const std::string& path, const std::string& text) {
  WriteFile(path, text);
  Put(path, nullptr, nullptr, nullptr);
}

TEST(ProfileRead, MissingFileSectionOrKeyGivesTheDefault) {
  TempDir dir;
  std::string path = dir / "a.ini";
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  WriteFile(path, "[s]\r\nk=1\r\n");
  EXPECT_EQ(Get(path, "other", "k"), "<default>");
  EXPECT_EQ(Get(path, "s", "other"), "<default>");
  EXPECT_EQ(Get(path, "s", "k"), "1");
  EXPECT_FALSE(Exists(dir / "never.ini")) << "a read creates nothing";
}

TEST(ProfileRead, NamesIgnoreCaseAndBlanksAroundNamesAndValuesAreTrimmed) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "  [ KestRand ]  \r\n  TempDir  =  /work/tmp  \r\nquoted=\" padded \"\r\nempty=\r\n");
  EXPECT_EQ(Get(path, "kestrand", "tempdir"), "/work/tmp");
  EXPECT_EQ(Get(path, "KESTRAND", "TEMPDIR"), "/work/tmp");
  EXPECT_EQ(Get(path, "kestrand", "quoted"), " padded ");
  EXPECT_EQ(Get(path, "kestrand", "empty"), "") << "an empty value is not the default";
}

TEST(ProfileRead, LfOnlyLinesAndAMissingFinalLineEndAreRead) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "[s]\na=1\nb=2");
  EXPECT_EQ(Get(path, "s", "a"), "1");
  EXPECT_EQ(Get(path, "s", "b"), "2");
}

TEST(ProfileRead, ValueIsCutAtTheBufferSizeLessOne) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "[s]\r\nk=abcdef\r\n");
  EXPECT_EQ(Get(path, "s", "k", "", 4), "abc");
  EXPECT_EQ(Get(path, "s", "missing", "xyz123", 4), "xyz");
  EXPECT_EQ(Get(path, "s", "k", "", 1), "");
  EXPECT_EQ(Get(path, "s", "k", "", 0), "");
}

TEST(ProfileRead, LinesThatAreNotEntriesAreNoKeys) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "before=0\r\n[s]\r\n; note=1\r\nplain line\r\n[t] ; comment\r\nk=2\r\n");
  EXPECT_EQ(Get(path, "s", "note"), "<default>");
  EXPECT_EQ(Get(path, "s", "plain line"), "<default>");
  EXPECT_EQ(Get(path, "", "before"), "<default>");
  EXPECT_EQ(Get(path, "t", "k"), "2");
}

TEST(ProfileRead, KeysThatLookLikeSectionsOrHoldEqualsSignsAreFound) {
  TempDir dir;
  std::string path = dir / "a.ini";
  ASSERT_TRUE(Put(path, "palias", "[Bonus]/a.txt", "/src/[Bonus]/a.txt"));
  ASSERT_TRUE(Put(path, "palias", "x=y.txt", "/src/x=y.txt"));
  ASSERT_TRUE(Put(path, "palias", "after", "/src/after"));
  EXPECT_EQ(Get(path, "palias", "[Bonus]/a.txt"), "/src/[Bonus]/a.txt");
  EXPECT_EQ(Get(path, "palias", "x=y.txt"), "/src/x=y.txt");
  EXPECT_EQ(Get(path, "palias", "after"), "/src/after") << "the bracketed key opened no section";
  EXPECT_EQ(Get(path, "palias", "x"), "y.txt=/src/x=y.txt") << "the first '=' still ends a key";
}

TEST(ProfileWrite, CreatesTheFileWithCrLfLines) {
  TempDir dir;
  std::string path = dir / "new.ini";
  ASSERT_TRUE(Put(path, "cdformat", "system_id", "MS-DOS"));
  ASSERT_TRUE(Put(path, "cdformat", "volume_id", "DISC"));
  EXPECT_EQ(ReadFile(path), "[cdformat]\r\nsystem_id=MS-DOS\r\nvolume_id=DISC\r\n");
}

TEST(ProfileWrite, ReplacesInPlaceAndKeepsEveryOtherLine) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "; header comment\r\n[one]\r\nA = 1\r\nodd line\r\n\r\n[two]\r\nb=2\r\n");
  ASSERT_TRUE(Put(path, "ONE", "a", "changed"));
  EXPECT_EQ(ReadFile(path), "; header comment\r\n[one]\r\nA =changed\r\nodd line\r\n\r\n[two]\r\nb=2\r\n");
  EXPECT_EQ(Get(path, "one", "a"), "changed");
}

TEST(ProfileWrite, NewKeyGoesToTheEndOfItsSection) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "[one]\nx=1\n\n[two]\ny=2");
  ASSERT_TRUE(Put(path, "one", "new1", "a"));
  ASSERT_TRUE(Put(path, "two", "new2", "b"));
  ASSERT_TRUE(Put(path, "three", "new3", "c"));
  EXPECT_EQ(ReadFile(path), "[one]\r\nx=1\r\nnew1=a\r\n\r\n[two]\r\ny=2\r\nnew2=b\r\n[three]\r\nnew3=c\r\n");
  EXPECT_EQ(Get(path, "one", "new1"), "a");
  EXPECT_EQ(Get(path, "two", "new2"), "b");
  EXPECT_EQ(Get(path, "three", "new3"), "c");
}

TEST(ProfileWrite, AppendToAFileWithoutFinalLineEndStartsANewLine) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "[s]\r\na=1");
  ASSERT_TRUE(Put(path, "s", "b", "2"));
  EXPECT_EQ(ReadFile(path), "[s]\r\na=1\r\nb=2\r\n");
}

TEST(ProfileWrite, NullValueRemovesTheKeyAndNullKeyTheSection) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "[a]\r\nk=1\r\nj=2\r\n[b]\r\nk=3\r\n; in b\r\n[c]\r\nk=4\r\n");
  ASSERT_TRUE(Put(path, "a", "K", nullptr));
  EXPECT_EQ(Get(path, "a", "k"), "<default>");
  ASSERT_TRUE(Put(path, "B", nullptr, nullptr));
  EXPECT_EQ(ReadFile(path), "[a]\r\nj=2\r\n[c]\r\nk=4\r\n");
  EXPECT_EQ(Get(path, "b", "k"), "<default>");
  EXPECT_EQ(Get(path, "c", "k"), "4");

  EXPECT_TRUE(Put(path, "nosuch", nullptr, nullptr));
  EXPECT_TRUE(Put(path, "a", "nosuch", nullptr));
  EXPECT_TRUE(Put(dir / "absent.ini", "a", "k", nullptr));
  EXPECT_FALSE(Exists(dir / "absent.ini")) << "removing from a missing file creates nothing";
}

TEST(ProfileWrite, DuplicateKeysReadAndReplaceTheFirst) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFile(path, "[s]\r\nk=first\r\nk=second\r\n");
  EXPECT_EQ(Get(path, "s", "k"), "first");
  ASSERT_TRUE(Put(path, "s", "k", "new"));
  EXPECT_EQ(ReadFile(path), "[s]\r\nk=new\r\nk=second\r\n");
}

TEST(ProfileWrite, RefusesWhatWouldBreakTheFile) {
  TempDir dir;
  std::string path = dir / "a.ini";
  EXPECT_FALSE(Put(path, "s", "k", "two\r\nlines"));
  EXPECT_FALSE(Put(path, "s", "k\n", "v"));
  EXPECT_FALSE(Put(path, "s]", "k", "v"));
  EXPECT_FALSE(Put(path, nullptr, "k", "v"));
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Put(dir / "no/such/dir/a.ini", "s", "k", "v"));
  testing::MakeDirs(dir / "adir.ini");
  EXPECT_FALSE(Put(dir / "adir.ini", "s", "k", "v"));
}

TEST(ProfileCache, WhatWasWrittenIsOnDiskAtOnce) {
  TempDir dir;
  std::string path = dir / "a.ini";
  ASSERT_TRUE(Put(path, "palias", "k1", "v1"));
  uint64_t before = FileLength(path).value_or(0);
  ASSERT_TRUE(Put(path, "palias", "k2", "v2"));
  EXPECT_EQ(FileLength(path).value_or(0), before + std::string("k2=v2\r\n").size());
}

TEST(ProfileCache, ChangesByOtherWritersAreSeen) {
  TempDir dir;
  std::string path = dir / "a.ini";
  ASSERT_TRUE(Put(path, "s", "k", "1"));
  EXPECT_EQ(Get(path, "s", "k"), "1");
  WriteFile(path, "[s]\r\nk=longer value\r\n");
  EXPECT_EQ(Get(path, "s", "k"), "longer value") << "a new size invalidates the cached copy";
  Replace(path, "[s]\r\nk=other value\r\n");
  EXPECT_EQ(Get(path, "s", "k"), "other value") << "the flush call drops the cached copy";
  ASSERT_TRUE(Put(path, "s", "j", "2"));
  EXPECT_EQ(ReadFile(path), "[s]\r\nk=other value\r\nj=2\r\n");

  ASSERT_TRUE(RemoveFile(path));
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  ASSERT_TRUE(Put(path, "s", "fresh", "3"));
  EXPECT_EQ(ReadFile(path), "[s]\r\nfresh=3\r\n") << "a deleted file starts again empty";
}

// The alias files of a large title: distinct keys, a new file past 65,000
// bytes, and every entry read back afterwards.
TEST(ProfileCache, HundredThousandDistinctEntriesWriteAndReadBack) {
  TempDir dir;
  constexpr int kEntries = 100000;
  std::vector<std::string> files;
  std::vector<int> fileOfEntry(kEntries);
  std::string current = dir / "palias00.ini";
  files.push_back(current);
  for (int i = 0; i < kEntries; ++i) {
    if (FileLength(current).value_or(0) > 65000) {
      current = dir / ("palias" + std::to_string(files.size()) + ".ini");
      files.push_back(current);
    }
    std::string key = "DIR" + std::to_string(i % 97) + "/FILE" + std::to_string(i) + ".DAT";
    std::string value = "/source/title/" + key;
    ASSERT_TRUE(Put(current, "palias", key.c_str(), value.c_str())) << i;
    fileOfEntry[i] = static_cast<int>(files.size() - 1);
  }
  EXPECT_GT(files.size(), 50u);
  for (int i = 0; i < kEntries; ++i) {
    std::string key = "DIR" + std::to_string(i % 97) + "/FILE" + std::to_string(i) + ".DAT";
    ASSERT_EQ(Get(files[fileOfEntry[i]], "palias", key, ""), "/source/title/" + key) << i;
  }
  EXPECT_EQ(Get(files.front(), "palias", "DIR1/FILE1.DAT", ""), "/source/title/DIR1/FILE1.DAT");
}

}  // namespace
}  // namespace pravel::platform
