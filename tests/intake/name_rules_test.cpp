#include "intake/name_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "intake/utf8.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using testing::MakeDirs;
using testing::TempDir;
using testing::TestJob;
using testing::WriteFile;
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

TEST(NameLength, LimitsOfNamesAndPathsWithTheirOptions) {
  const std::string e = kEAcute;
  const std::string path240 = "/" + Repeat(e, 60) + "/" + Repeat(e, 60) + "/" + Repeat(e, 60) + "/" + Repeat(e, 56);
  ASSERT_EQ(PathOfLength(241).size(), 241u);
  struct Case {
    int relaxJoliet, allowLongPaths;
    std::string path;
    bool tooLong;
  };
  for (const Case& c : {Case{0, 0, "/title/" + std::string(64, 'a'), false},
                        Case{0, 0, "/title/" + std::string(65, 'a'), true},
                        Case{0, 0, "/title/" + std::string(65, 'a') + "/", true},
                        Case{1, 0, "/title/" + std::string(110, 'a'), false},
                        Case{1, 0, "/title/" + std::string(111, 'a'), true},
                        Case{0, 0, PathOfLength(240), false},
                        Case{0, 0, PathOfLength(241), true},
                        Case{0, 1, PathOfLength(600), false},
                        Case{0, 1, PathOfLength(600) + std::string(65, 'x'), true},
                        // characters, not bytes
                        Case{0, 0, "/t/" + Repeat(e, 64), false},
                        Case{0, 0, "/t/" + Repeat(e, 65), true},
                        Case{0, 0, path240, false},
                        Case{0, 0, path240 + "e", true}}) {
    SCOPED_TRACE(c.path);
    TestJob t;
    t.job.relaxJoliet = c.relaxJoliet;
    t.job.allowLongPaths = c.allowLongPaths;
    EXPECT_EQ(IsNameTooLong(t.job, c.path), c.tooLong);
  }
}

TEST(PathCharacters, SetAfterUpperCasing) {
  for (const char* good : {"", "TITLE/readme.txt", "VIDEO_TS/VTS_01_0.VOB"}) EXPECT_TRUE(IsPathCharacters(good)) << good;
  for (const std::string& bad : {std::string("read-me.txt"), std::string("MY DISC"), std::string("a\\b"),
                                 std::string("a~1"), "caf" + kEAcute}) {
    EXPECT_FALSE(IsPathCharacters(bad)) << bad;
  }
}

TEST(PathCharacters, ASpaceAboveTheSelectionAsksAndYesSilencesTheRun) {
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

TEST(NameEncoding, InvalidUtf8IsRefusedNamingThePath) {
  TestJob t;
  EXPECT_TRUE(CheckNameEncoding(t.job, "/title/" + kOmega + "mega.txt"));
  EXPECT_FALSE(CheckNameEncoding(t.job, "/title/caf\xE9.txt"));
  testing::ExpectOneMessage(t.ui, {"[/title/caf\xEF\xBF\xBD.txt]"}, "Format error, aborting");
  EXPECT_FALSE(CheckNameEncoding(t.job, "/title/" + kClef));
  EXPECT_EQ(t.ui.messages.size(), 2u);
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
  }
}

TEST(IdentifierField, TwoByteToBytesKeepsTheLowByte) {
  const uint8_t twoByte[] = {0x00, 'A', 0x03, 0xA9, 0x00, 'z', 0x7F};
  char target[3] = {};
  EXPECT_EQ(TwoByteToBytes(target, twoByte, sizeof twoByte), 3u);
  EXPECT_EQ(std::string(target, 3), "A\xA9z");
}

}  // namespace
}  // namespace pravel
