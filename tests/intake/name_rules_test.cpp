// Names on the disc: UTF-8, lengths and characters, identifier fields, and
// the 8.3 short names.
#include "intake/name_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "intake/short_names.h"
#include "intake/utf8.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using namespace testing;
using Bytes = std::vector<uint8_t>;

const std::string kEAcute = "\xC3\xA9";        // é
const std::string kOmega = "\xCE\xA9";         // Ω
const std::string kClef = "\xF0\x9D\x84\x9E";  // U+1D11E, beyond U+FFFF

std::string Repeat(const std::string& text, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += text;
  return out;
}

// "/" followed by 64-character folders and then a file name, `total` characters.
std::string PathOfLength(size_t total) {
  std::string path;
  while (path.size() + 65 < total) path += "/" + std::string(64, 'd');
  path += "/";
  return path + std::string(total - path.size(), 'f');
}

Bytes Field(size_t size, FieldForm form, char fill) {
  Bytes field(size);
  FillField(field.data(), size, form, fill);
  return field;
}

TEST(Utf8, DecodesCountsAndRefusesWhatTheDiscCanNotCarry) {
  std::u16string out;
  EXPECT_TRUE(DecodeUtf8("A" + kEAcute + kOmega, out));
  EXPECT_EQ(out, std::u16string(u"A\u00E9\u03A9"));
  for (const std::string& bad : {std::string("a\xFF"), std::string("\xC0\xAF") /* overlong '/' */,
                                 std::string("\xED\xA0\x80") /* surrogate */, std::string("\xCE"), "x" + kClef}) {
    EXPECT_FALSE(DecodeUtf8(bad, out)) << bad;
  }
  EXPECT_EQ(EncodeUtf8(u"A\u00E9\u03A9"), "A" + kEAcute + kOmega);
  EXPECT_EQ(EncodeUtf8(u"\U0001D11E"), kClef);
  EXPECT_EQ(CharacterCount(Repeat(kEAcute, 3)), 3u);
  EXPECT_EQ(CharacterCount(kClef), 1u);
  EXPECT_EQ(CharacterCount(std::string("a\xFF\xFE") + "b"), 4u);  // each invalid byte once
  EXPECT_EQ(CharacterCount("\xE2\x82"), 2u);                      // a truncated sequence
}

// Characters, not bytes, count; a path of 240 characters.
TEST(NameLength, LimitsOfNamesAndPathsWithTheirOptions) {
  const std::string e = kEAcute;
  const std::string path240 = "/" + Repeat(e, 60) + "/" + Repeat(e, 60) + "/" + Repeat(e, 60) + "/" + Repeat(e, 56);
  ASSERT_EQ(PathOfLength(241).size(), 241u);
  struct Case { int relaxJoliet, allowLongPaths; std::string path; bool tooLong; };
  const std::string a64 = std::string(64, 'a'), a65 = a64 + "a";
  for (const Case& c : {Case{0, 0, "/title/" + a64, false}, Case{0, 0, "/t/" + a65, true},
                        Case{0, 0, "/t/" + a65 + "/", true}, Case{0, 0, PathOfLength(240), false},
                        Case{1, 0, "/t/" + std::string(110, 'a'), false},
                        Case{1, 0, "/t/" + std::string(111, 'a'), true},
                        Case{0, 0, PathOfLength(241), true}, Case{0, 1, PathOfLength(600), false},
                        Case{0, 1, PathOfLength(600) + std::string(65, 'x'), true},
                        Case{0, 0, "/t/" + Repeat(e, 64), false}, Case{0, 0, "/t/" + Repeat(e, 65), true},
                        Case{0, 0, path240, false}, Case{0, 0, path240 + "e", true}}) {
    SCOPED_TRACE(c.path);
    TestJob t;
    t.job.relaxJoliet = c.relaxJoliet;
    t.job.allowLongPaths = c.allowLongPaths;
    EXPECT_EQ(IsNameTooLong(t.job, c.path), c.tooLong);
  }
}

TEST(PathCharacters, SetAfterUpperCasingAndTheQuestionOfTheRun) {
  for (const char* good : {"", "TITLE/readme.txt", "VIDEO_TS/VTS_01_0.VOB"}) EXPECT_TRUE(IsPathCharacters(good)) << good;
  for (const std::string& bad : {std::string("read-me.txt"), std::string("MY DISC"), std::string("a\\b"),
                                 std::string("a~1"), "caf" + kEAcute}) {
    EXPECT_FALSE(IsPathCharacters(bad)) << bad;
  }
  // A space above the selection asks; Yes silences the run.
  TestJob t;
  t.ui.QueueAnswers({Answer::kYes});
  EXPECT_TRUE(CheckPathCharacters(t.job, "/MY DISC/VIDEO_TS/VTS_01_0.VOB"));
  testing::ExpectOneMessage(t.ui,
                            {"One or more directory or file names are not in compliance with ISO or UDF standards. "
                             "Ignoring this warning may result in a disc that can not be accessed by some systems "
                             "and characters outside the standard ASCII set may be lost or modified."},
                            "Ignore this and all similar errors?");
  EXPECT_EQ(t.ui.messages[0].buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(t.job.noWarningMessages, 1);
  EXPECT_TRUE(CheckPathCharacters(t.job, "/OTHER DISC/a b c"));
  EXPECT_EQ(t.ui.messages.size(), 1u);
}

TEST(IdentifierField, FillsAndWritesTheByteAndTwoByteForms) {
  EXPECT_EQ(Field(3, FieldForm::kByte, ' '), (Bytes{0x20, 0x20, 0x20}));
  EXPECT_EQ(Field(5, FieldForm::kTwoByte, ' '), (Bytes{0x00, 0x20, 0x00, 0x20, 0x00}));
  struct Case {
    int upperCaseNames;
    FieldForm form;
    char fill;
    size_t size;
    std::string text;
    size_t written;
    std::string bytes;
  };
  const FieldForm kByte = FieldForm::kByte, kTwo = FieldForm::kTwoByte;
  for (const Case& c : {Case{0, kByte, ' ', 8, "Disc-1", 6, "Disc-1  "}, Case{1, kByte, ' ', 4, "Disc-1", 4, "DISC"},
                        Case{1, kByte, '\0', 6, "caf" + kEAcute + "!", 5, std::string("CAF_!\0", 6)},
                        // UCS-2 big-endian
                        Case{0, kTwo, '\0', 12, kOmega + "mega", 10, std::string("\x03\xA9\0m\0e\0g\0a\0\0", 12)},
                        Case{1, kTwo, ' ', 7, "abcd", 6, std::string("\0A\0B\0C\0", 7)},
                        Case{1, kTwo, '\0', 4, kClef + "\xE9", 4, std::string("\0_\0\xE9", 4)}}) {
    SCOPED_TRACE(c.text);
    TestJob t;
    t.job.upperCaseNames = c.upperCaseNames;
    Bytes field = Field(c.size, c.form, c.fill);
    EXPECT_EQ(WriteIdentifierField(t.job, field.data(), c.text, c.size, c.form, false), c.written);
    EXPECT_EQ(std::string(field.begin(), field.end()), c.bytes);
  }
}

TEST(IdentifierField, IsoNamesKeepWhatFitsAtLevel2AndTakeTheShortNameOtherwise) {
  TempDir dir;
  const std::string file30 = std::string(26, 'f') + ".txt";
  const std::string file31 = std::string(27, 'g') + ".txt";
  const std::string folder31 = std::string(31, 'D');
  const std::string file19 = std::string(15, 'c') + ".txt";
  for (const std::string& name : {file30, file31, folder31 + "/x", kOmega + "mega.txt", file19, std::string("readme.txt")}) {
    WriteFile(dir / name, "");
  }
  struct Case {
    int level1, upper;
    FieldForm form;
    size_t size;
    std::string name, expected;  // a two-byte field read back through TwoByteToBytes
  };
  const FieldForm kByte = FieldForm::kByte, kTwo = FieldForm::kTwoByte;
  for (const Case& c : {Case{0, 0, kByte, 30, file30, file30}, Case{0, 0, kByte, 30, file31, "GGGGGG_1.TXT"},
                        Case{0, 0, kByte, 31, folder31, folder31}, Case{0, 0, kByte, 31, folder31 + "/", folder31},
                        Case{0, 0, kByte, 30, kOmega + "mega.txt", "_MEGA.TXT"},
                        Case{0, 1, kByte, 30, file30, AsciiUpper(file30)},
                        Case{1, 0, kByte, 37, "readme.txt", "README.TXT"},
                        Case{1, 0, kByte, 37, "copy.txt", ""},  // no such file, no short name
                        // a two-byte file identifier holds eighteen characters
                        Case{0, 0, kTwo, 37, "readme.txt", "readme.txt"},
                        Case{0, 0, kTwo, 37, file19, "CCCCCC_1.TXT"}}) {
    SCOPED_TRACE(c.name);
    TestJob t;
    t.job.isoLevel1Names = c.level1;
    t.job.upperCaseNames = c.upper;
    Bytes field = Field(c.size, c.form, ' ');
    const size_t written = WriteIdentifierField(t.job, field.data(), dir / c.name, c.size, c.form, true);
    std::string text(field.begin(), field.begin() + written);
    if (c.form == kTwo) {
      char bytes[37];
      text.assign(bytes, TwoByteToBytes(bytes, field.data(), written));
    }
    EXPECT_EQ(text, c.expected);
    const Bytes blank = Field(c.size, c.form, ' ');
    EXPECT_TRUE(std::equal(field.begin() + written, field.end(), blank.begin() + written)) << "the rest keeps its fill";
  }
}

// Root entries from two folders: under ISO Level 2 a name that fits is
// shown as it is, so only the short names the disc shows can clash.
TEST(IdentifierField, TheRootSettlesClashesAmongTheNamesTheDiscShows) {
  const std::string longer = "LONGFOLDERNAME_B and many more characters";
  struct Case {
    int level1;
    std::vector<std::string> lines;  // under the test folder
    std::vector<std::string> shown;
  };
  for (const Case& c : {Case{1, {"P/LONGFOLDERNAME_A/", "V/" + longer + "/"}, {"LONGFO_1", "LONGFO_2"}},
                        Case{0, {"P/LONGFOLDERNAME_A/", "V/" + longer + "/"}, {"LONGFOLDERNAME_A", "LONGFO_1"}},
                        Case{0, {"P/LONGFO_1/", "V/" + longer + "/"}, {"LONGFO_1", "LONGFO_2"}}}) {
    SCOPED_TRACE(c.lines.front() + (c.level1 ? " at Level 1" : " at Level 2"));
    TempDir dir;
    TestJob t;
    t.job.isoLevel1Names = c.level1;
    std::vector<std::string> lines;
    for (const std::string& line : c.lines) {
      MakeDirs(dir / line);
      lines.push_back(dir / line);
    }
    SetDiscRootEntries(t.job, lines);
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(IsoName(t.job, lines[i], 31, true), c.shown[i]);
    // Below the root every folder names its own entries; only the root last given is settled.
    for (const std::string& line : lines) {
      MakeDirs(line + "Inner Long Name");
      EXPECT_EQ(ShortPathName(t.job, line + "Inner Long Name"), "INNER__1");
    }
    SetDiscRootEntries(t.job, {lines[1]});
    EXPECT_EQ(IsoName(t.job, lines[1], 31, true), "LONGFO_1");
  }
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
  const std::regex kDSetShortName("[A-Z0-9_]{1,8}(\\.[A-Z0-9_]{1,3})?");
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
    EXPECT_TRUE(std::regex_match(shortName, kDSetShortName)) << name << " -> " << shortName;
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

// Folders let go to stay within the names held are listed again when asked,
// and their names come out as before.
TEST(ShortNames, FoldersListedAgainGiveTheSameNames) {
  TempDir dir;
  std::vector<std::string> paths;
  for (const char* folder : {"one", "two", "three"}) {
    for (const char* name : {"Quarterly report a.doc", "Quarterly report b.doc", "Quarterly report c.doc"}) {
      paths.push_back(dir / (std::string(folder) + "/" + name));
      WriteFile(paths.back(), "");
    }
  }
  ShortNameTable roomy;
  ShortNameTable tight(1);
  for (int round = 0; round < 2; ++round) {
    for (const std::string& path : paths) EXPECT_EQ(tight.ShortName(path), roomy.ShortName(path)) << path;
  }
  EXPECT_EQ(roomy.ListingCount(), 3u);
  EXPECT_EQ(tight.ListingCount(), 6u);
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
    for (const std::string& entry : entries) entry.back() == '/' ? MakeDirs(entry) : WriteFile(entry, "");
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

}  // namespace
}  // namespace pravel
