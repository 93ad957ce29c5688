#include "intake/name_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "intake/utf8.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using testing::TempDir;
using testing::TestJob;
using testing::WriteFile;

const std::string kEAcute = "\xC3\xA9";        // é
const std::string kOmega = "\xCE\xA9";         // Ω
const std::string kClef = "\xF0\x9D\x84\x9E";  // U+1D11E, beyond U+FFFF

std::string Repeat(const std::string& text, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += text;
  return out;
}

// "/" followed by 64-character folders and then `last`, `total` characters.
std::string PathOfLength(size_t total) {
  std::string path;
  while (path.size() + 65 < total) path += "/" + std::string(64, 'd');
  path += "/";
  path += std::string(total - path.size(), 'f');
  return path;
}

std::vector<uint8_t> Field(size_t size, FieldForm form, char fill) {
  std::vector<uint8_t> field(size);
  FillField(field.data(), size, form, fill);
  return field;
}

TEST(Utf8, DecodesAndRefusesWhatTheDiscCanNotCarry) {
  std::u16string out;
  EXPECT_TRUE(DecodeUtf8("A" + kEAcute + kOmega, out));
  EXPECT_EQ(out, std::u16string(u"A\u00E9\u03A9"));
  EXPECT_FALSE(DecodeUtf8("a\xFF", out));
  EXPECT_FALSE(DecodeUtf8("\xC0\xAF", out));      // overlong '/'
  EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80", out));  // a surrogate
  EXPECT_FALSE(DecodeUtf8("\xCE", out));          // truncated
  EXPECT_FALSE(DecodeUtf8("x" + kClef, out));
  EXPECT_EQ(EncodeUtf8(u"A\u00E9\u03A9"), "A" + kEAcute + kOmega);
  EXPECT_EQ(EncodeUtf8(u"\U0001D11E"), kClef);
}

TEST(Utf8, CountsCharactersAndEachInvalidByteOnce) {
  EXPECT_EQ(CharacterCount(Repeat(kEAcute, 3)), 3u);
  EXPECT_EQ(CharacterCount(kClef), 1u);
  EXPECT_EQ(CharacterCount("a\xFF\xFE"
                           "b"),
            4u);
  EXPECT_EQ(CharacterCount("\xE2\x82"), 2u);  // a truncated sequence
}

TEST(NameLength, NameLimitAndRelaxJoliet) {
  TestJob t;
  EXPECT_FALSE(IsNameTooLong(t.job, "/title/" + std::string(64, 'a')));
  EXPECT_TRUE(IsNameTooLong(t.job, "/title/" + std::string(65, 'a')));
  EXPECT_TRUE(IsNameTooLong(t.job, "/title/" + std::string(65, 'a') + "/"));
  t.job.relaxJoliet = 1;
  EXPECT_FALSE(IsNameTooLong(t.job, "/title/" + std::string(110, 'a')));
  EXPECT_TRUE(IsNameTooLong(t.job, "/title/" + std::string(111, 'a')));
}

TEST(NameLength, PathLimitAndAllowLongPaths) {
  TestJob t;
  ASSERT_EQ(PathOfLength(241).size(), 241u);
  EXPECT_FALSE(IsNameTooLong(t.job, PathOfLength(240)));
  EXPECT_TRUE(IsNameTooLong(t.job, PathOfLength(241)));
  t.job.allowLongPaths = 1;
  EXPECT_FALSE(IsNameTooLong(t.job, PathOfLength(600)));
  EXPECT_TRUE(IsNameTooLong(t.job, PathOfLength(600) + std::string(65, 'x')));
}

TEST(NameLength, CountsCharactersNotBytes) {
  TestJob t;
  EXPECT_FALSE(IsNameTooLong(t.job, "/t/" + Repeat(kEAcute, 64)));
  EXPECT_TRUE(IsNameTooLong(t.job, "/t/" + Repeat(kEAcute, 65)));
  const std::string path = "/" + Repeat(kEAcute, 60) + "/" + Repeat(kEAcute, 60) + "/" +
                           Repeat(kEAcute, 60) + "/" + Repeat(kEAcute, 56);  // 240 characters
  EXPECT_FALSE(IsNameTooLong(t.job, path));
  EXPECT_TRUE(IsNameTooLong(t.job, path + "e"));
}

TEST(PathCharacters, SetAfterUpperCasing) {
  EXPECT_TRUE(IsPathCharacters(""));
  EXPECT_TRUE(IsPathCharacters("TITLE/readme.txt"));
  EXPECT_TRUE(IsPathCharacters("VIDEO_TS/VTS_01_0.VOB"));
  for (const std::string& bad :
       std::vector<std::string>{"read-me.txt", "MY DISC", "a\\b", "a~1", "caf" + kEAcute}) {
    EXPECT_FALSE(IsPathCharacters(bad)) << bad;
  }
}

const char kQuestion[] =
    "One or more directory or file names are not in compliance with ISO or UDF standards. Ignoring "
    "this warning may result in a disc that can not be accessed by some systems and characters "
    "outside the standard ASCII set may be lost or modified.";

TEST(PathCharacters, SpaceAboveTheSelectionAsksAndYesSilencesTheRun) {
  TestJob t;
  t.ui.QueueAnswers({Answer::kYes});
  EXPECT_TRUE(CheckPathCharacters(t.job, "/MY DISC/VIDEO_TS/VTS_01_0.VOB"));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].text, kQuestion);
  EXPECT_EQ(t.ui.messages[0].caption, "Ignore this and all similar errors?");
  EXPECT_EQ(t.ui.messages[0].buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(t.job.noWarningMessages, 1);
  EXPECT_TRUE(CheckPathCharacters(t.job, "/OTHER DISC/a b c"));
  EXPECT_EQ(t.ui.messages.size(), 1u);
  EXPECT_TRUE(t.ui.unexpected.empty());
}

TEST(PathCharacters, HyphenAsksAndNoFails) {
  TestJob t;
  EXPECT_TRUE(CheckPathCharacters(t.job, "/TITLE/readme.txt"));
  EXPECT_TRUE(t.ui.messages.empty());
  t.ui.QueueAnswers({Answer::kNo});
  EXPECT_FALSE(CheckPathCharacters(t.job, "/TITLE/read-me.txt"));
  EXPECT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.job.noWarningMessages, 0);
  EXPECT_TRUE(t.ui.unexpected.empty());
}

TEST(PathCharacters, SkippedWithNoWarningMessages) {
  TestJob t;
  t.job.noWarningMessages = 1;
  EXPECT_TRUE(CheckPathCharacters(t.job, "/a b/c-d"));
  EXPECT_TRUE(t.ui.messages.empty());
}

TEST(NameEncoding, InvalidUtf8IsRefusedNamingThePath) {
  TestJob t;
  EXPECT_TRUE(CheckNameEncoding(t.job, "/title/" + kOmega + "mega.txt"));
  EXPECT_FALSE(CheckNameEncoding(t.job, "/title/caf\xE9.txt"));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Format error, aborting");
  EXPECT_NE(t.ui.messages[0].text.find("[/title/caf\xEF\xBF\xBD.txt]"), std::string::npos);
  EXPECT_FALSE(CheckNameEncoding(t.job, "/title/" + kClef));
  EXPECT_EQ(t.ui.messages.size(), 2u);
}

TEST(IdentifierField, FillForms) {
  EXPECT_EQ(Field(3, FieldForm::kByte, ' '), (std::vector<uint8_t>{0x20, 0x20, 0x20}));
  EXPECT_EQ(Field(5, FieldForm::kTwoByte, ' '),
            (std::vector<uint8_t>{0x00, 0x20, 0x00, 0x20, 0x00}));
}

TEST(IdentifierField, ByteFormCopiesAndUpperCases) {
  TestJob t;
  auto field = Field(8, FieldForm::kByte, ' ');
  EXPECT_EQ(WriteIdentifierField(t.job, field.data(), "Disc-1", 8, FieldForm::kByte, false), 6u);
  EXPECT_EQ(std::string(field.begin(), field.end()), "Disc-1  ");
  t.job.upperCaseNames = 1;
  field = Field(4, FieldForm::kByte, ' ');
  EXPECT_EQ(WriteIdentifierField(t.job, field.data(), "Disc-1", 4, FieldForm::kByte, false), 4u);
  EXPECT_EQ(std::string(field.begin(), field.end()), "DISC");
  field = Field(6, FieldForm::kByte, '\0');
  EXPECT_EQ(
      WriteIdentifierField(t.job, field.data(), "caf" + kEAcute + "!", 6, FieldForm::kByte, false),
      5u);
  EXPECT_EQ(std::string(field.begin(), field.end()), std::string("CAF_!\0", 6));
}

TEST(IdentifierField, TwoByteFormIsUcs2BigEndian) {
  TestJob t;
  auto field = Field(12, FieldForm::kTwoByte, '\0');
  EXPECT_EQ(
      WriteIdentifierField(t.job, field.data(), kOmega + "mega", 12, FieldForm::kTwoByte, false),
      10u);
  EXPECT_EQ(field, (std::vector<uint8_t>{0x03, 0xA9, 0x00, 0x6D, 0x00, 0x65, 0x00, 0x67, 0x00, 0x61,
                                         0x00, 0x00}));
  t.job.upperCaseNames = 1;
  field = Field(7, FieldForm::kTwoByte, ' ');
  EXPECT_EQ(WriteIdentifierField(t.job, field.data(), "abcd", 7, FieldForm::kTwoByte, false), 6u);
  EXPECT_EQ(field, (std::vector<uint8_t>{0x00, 'A', 0x00, 'B', 0x00, 'C', 0x00}));
  field = Field(4, FieldForm::kTwoByte, '\0');
  EXPECT_EQ(
      WriteIdentifierField(t.job, field.data(), kClef + "\xE9", 4, FieldForm::kTwoByte, false), 4u);
  EXPECT_EQ(field, (std::vector<uint8_t>{0x00, '_', 0x00, 0xE9}));
}

TEST(IdentifierField, Level2KeepsNamesThatFitAndShortensTheRest) {
  TempDir dir;
  const std::string file30 = std::string(26, 'f') + ".txt";
  const std::string file31 = std::string(27, 'g') + ".txt";
  const std::string folder31 = std::string(31, 'D');
  WriteFile(dir / file30, "");
  WriteFile(dir / file31, "");
  WriteFile(dir / (folder31 + "/x"), "");
  WriteFile(dir / (kOmega + "mega.txt"), "");
  TestJob t;
  t.job.isoLevel1Names = 0;
  auto Iso = [&](const std::string& path, size_t size) {
    auto field = Field(size, FieldForm::kByte, '\0');
    const size_t written =
        WriteIdentifierField(t.job, field.data(), path, size, FieldForm::kByte, true);
    return std::string(field.begin(), field.begin() + written);
  };
  EXPECT_EQ(Iso(dir / file30, 30), file30);
  EXPECT_EQ(Iso(dir / file31, 30), "GGGGGG_1.TXT");
  EXPECT_EQ(Iso(dir / folder31, 31), folder31);
  EXPECT_EQ(Iso(dir / (folder31 + "/"), 31), folder31);
  EXPECT_EQ(Iso(dir / (kOmega + "mega.txt"), 30), "_MEGA.TXT");
  t.job.upperCaseNames = 1;
  EXPECT_EQ(Iso(dir / file30, 30), AsciiUpper(file30));
}

TEST(IdentifierField, Level1AlwaysTakesTheShortNameAndAMissingFileNone) {
  TempDir dir;
  WriteFile(dir / "readme.txt", "");
  TestJob t;
  auto field = Field(37, FieldForm::kByte, ' ');
  EXPECT_EQ(
      WriteIdentifierField(t.job, field.data(), dir / "readme.txt", 37, FieldForm::kByte, true),
      10u);
  EXPECT_EQ(std::string(field.begin(), field.begin() + 11), "README.TXT ");
  field = Field(37, FieldForm::kByte, ' ');
  EXPECT_EQ(WriteIdentifierField(t.job, field.data(), dir / "copy.txt", 37, FieldForm::kByte, true),
            0u);
  EXPECT_EQ(field, Field(37, FieldForm::kByte, ' '));
}

TEST(IdentifierField, TwoByteFileIdentifierHoldsEighteenCharacters) {
  TempDir dir;
  const std::string name = std::string(15, 'c') + ".txt";  // 19 characters
  WriteFile(dir / name, "");
  WriteFile(dir / "short.txt", "");
  TestJob t;
  t.job.isoLevel1Names = 0;
  auto field = Field(37, FieldForm::kTwoByte, ' ');
  EXPECT_EQ(
      WriteIdentifierField(t.job, field.data(), dir / "short.txt", 37, FieldForm::kTwoByte, true),
      18u);
  EXPECT_EQ(field[1], 's');
  field = Field(37, FieldForm::kTwoByte, ' ');
  EXPECT_EQ(WriteIdentifierField(t.job, field.data(), dir / name, 37, FieldForm::kTwoByte, true),
            24u);
  char bytes[18];
  EXPECT_EQ(TwoByteToBytes(bytes, field.data(), 24), 12u);
  EXPECT_EQ(std::string(bytes, 12), "CCCCCC_1.TXT");
  EXPECT_EQ(field[36], 0x00);
  EXPECT_EQ(field[35], 0x20);
}

TEST(IdentifierField, TwoByteToBytesKeepsTheLowByte) {
  const uint8_t twoByte[] = {0x00, 'A', 0x03, 0xA9, 0x00, 'z', 0x7F};
  char target[3] = {};
  EXPECT_EQ(TwoByteToBytes(target, twoByte, sizeof twoByte), 3u);
  EXPECT_EQ(std::string(target, 3), "A\xA9z");
}

}  // namespace
}  // namespace pravel
