// The profile (INI file) layer, its held appends, and the clock.
#include "platform/clock.h"
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <optional>
#include <string>

#include "platform/console_ui.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace pravel::platform {
namespace {

using namespace testing;

std::string Get(const std::string& path, const std::string& section, const std::string& key,
                const std::string& fallback = "<default>", size_t size = 256) {
  return GetPrivateProfileString(section, key, fallback, size, path);
}

bool Put(const std::string& path, const char* section, const char* key, const char* value) {
  return WritePrivateProfileString(section, key, value, path);
}

TEST(ProfileRead, FilesAndWhatTheyGive) {
  struct Case { std::string text, section, key; size_t size; std::string expected; };
  const std::string blanks = "  [ KestRand ]  \r\n  TempDir  =  /work/tmp  \r\nquoted=\" padded \"\r\nempty=\r\n";
  const std::string notEntries = "before=0\r\n[s]\r\n; note=1\r\nplain line\r\n[t] ; comment\r\nk=2\r\n";
  for (const Case& c : {Case{"[s]\r\nk=1\r\n", "other", "k", 256, "<default>"},
                        Case{"[s]\r\nk=1\r\n", "s", "other", 256, "<default>"},
                        // names ignore case; blanks around names and values are trimmed
                        Case{blanks, "kestrand", "tempdir", 256, "/work/tmp"},
                        Case{blanks, "kestrand", "quoted", 256, " padded "},
                        Case{blanks, "kestrand", "empty", 256, ""},  // an empty value is not the default
                        // LF-only lines and a missing final line end
                        Case{"[s]\na=1\nb=2", "s", "a", 256, "1"}, Case{"[s]\na=1\nb=2", "s", "b", 256, "2"},
                        // a value is cut at the buffer size less one, the default too
                        Case{"[s]\r\nk=abcdef\r\n", "s", "k", 4, "abc"},
                        Case{"[s]\r\nk=abcdef\r\n", "s", "missing", 4, "<de"},
                        Case{"[s]\r\nk=abcdef\r\n", "s", "k", 0, ""},
                        // lines that are not entries are no keys
                        Case{notEntries, "s", "note", 256, "<default>"},
                        Case{notEntries, "s", "plain line", 256, "<default>"},
                        Case{notEntries, "", "before", 256, "<default>"}, Case{notEntries, "t", "k", 256, "2"},
                        // the first '=' still ends a key
                        Case{"[p]\r\nx=y.txt=/s\r\n", "p", "x", 256, "y.txt=/s"},
                        // duplicate keys: the first is read
                        Case{"[s]\r\nk=first\r\nk=second\r\n", "s", "k", 256, "first"}}) {
    SCOPED_TRACE(c.text + " " + c.section + "/" + c.key);
    TempDir dir;
    WriteFile(dir / "a.ini", c.text);
    EXPECT_EQ(Get(dir / "a.ini", c.section, c.key, "<default>", c.size), c.expected);
    EXPECT_EQ(Get(dir / "none.ini", c.section, c.key), "<default>");
    EXPECT_FALSE(Exists(dir / "none.ini")) << "a read creates nothing";
  }
}

TEST(ProfileWrite, CreatesReplacesInPlaceAndAppendsWithCrLfLinesKeepingEveryOtherLine) {
  struct Entry { const char *section, *key, *value; };
  struct Case {
    std::string before;  // no file when empty
    std::vector<Entry> writes;
    std::string after;
  };
  for (const Case& c :
       {Case{"", {{"cdformat", "system_id", "MS-DOS"}, {"cdformat", "volume_id", "DISC"}},
             "[cdformat]\r\nsystem_id=MS-DOS\r\nvolume_id=DISC\r\n"},
        Case{"; header comment\r\n[one]\r\nA = 1\r\nodd line\r\n\r\n[two]\r\nb=2\r\n",
             {{"ONE", "a", "changed"}},
             "; header comment\r\n[one]\r\nA =changed\r\nodd line\r\n\r\n[two]\r\nb=2\r\n"},
        Case{"[one]\nx=1\n\n[two]\ny=2", {{"one", "new1", "a"}, {"two", "new2", "b"}, {"three", "new3", "c"}},
             "[one]\r\nx=1\r\nnew1=a\r\n\r\n[two]\r\ny=2\r\nnew2=b\r\n[three]\r\nnew3=c\r\n"},
        Case{"[s]\r\na=1", {{"s", "b", "2"}}, "[s]\r\na=1\r\nb=2\r\n"},
        Case{"[s]\r\nk=first\r\nk=second\r\n", {{"s", "k", "new"}}, "[s]\r\nk=new\r\nk=second\r\n"},
        // keys that look like sections or hold equals signs are found again
        Case{"",
             {{"palias", "[Bonus]/a.txt", "/src/[Bonus]/a.txt"}, {"palias", "x=y.txt", "/src/x=y.txt"},
              {"palias", "after", "/src/after"}},
             "[palias]\r\n[Bonus]/a.txt=/src/[Bonus]/a.txt\r\nx=y.txt=/src/x=y.txt\r\nafter=/src/after\r\n"},
        // a null value removes the key, a null key the section; removing what is not there succeeds
        Case{"[a]\r\nk=1\r\nj=2\r\n[b]\r\nk=3\r\n; in b\r\n[c]\r\nk=4\r\n",
             {{"a", "K", nullptr}, {"B", nullptr, nullptr}, {"nosuch", nullptr, nullptr}, {"a", "nosuch", nullptr}},
             "[a]\r\nj=2\r\n[c]\r\nk=4\r\n"},
        Case{"", {{"a", "k", nullptr}}, ""}}) {
    SCOPED_TRACE(c.before);
    TempDir dir;
    const std::string path = dir / "a.ini";
    if (!c.before.empty()) WriteFile(path, c.before);
    for (const Entry& e : c.writes) ASSERT_TRUE(Put(path, e.section, e.key, e.value));
    EXPECT_EQ(ReadFile(path), c.after);
    EXPECT_EQ(Exists(path), !c.after.empty()) << "removing from a missing file creates nothing";
    for (const Entry& e : c.writes) {
      if (e.key) {
        EXPECT_EQ(Get(path, e.section, e.key), e.value ? e.value : "<default>");
      }
    }
  }
}

TEST(ProfileWrite, AFailedWriteSaysWhyAndCreatesNothing) {
  TempDir dir;
  testing::MakeDirs(dir / "adir.ini");
  WriteFile(dir / "afile", "a regular file, so nothing can be created below it");
  const std::string broken = "a name or value holds a line break, or the key can not be told from its value";
  struct Case { std::string path; const char *section, *key, *value; std::string reason; };
  for (const Case& c : {Case{dir / "no/such/dir/a.ini", "s", "k", "v", "No such file or directory"},
                        Case{dir / "afile/a.ini", "s", "k", "v", "Not a directory"},
                        Case{dir / "adir.ini", "s", "k", "v", "it is a folder"},
                        Case{dir / "adir.ini", "s", "k", nullptr, "it is a folder"},
                        Case{dir / "a.ini", "s", "k", "two\r\nlines", broken}, Case{dir / "a.ini", "s", "k\n", "v", broken},
                        Case{dir / "a.ini", "s]", "k", "v", broken},
                        Case{dir / "a.ini", nullptr, "k", "v", "no section is named"}}) {
    SCOPED_TRACE(c.path);
    std::string reason;
    EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, c.path, reason));
    EXPECT_EQ(reason, c.reason);
  }
  EXPECT_FALSE(Exists(dir / "a.ini"));
  WriteFile(dir / "kept.ini", "[s]\r\nk=1\r\n");
  std::string reason = "untouched";
  EXPECT_TRUE(WritePrivateProfileString("s", "k", "2", dir / "kept.ini", reason));
  EXPECT_EQ(reason, "untouched") << "a write that succeeds gives no reason";
}

TEST(ProfileCache, ChangesByOtherWritersAreSeen) {
  TempDir dir;
  std::string path = dir / "a.ini";
  ASSERT_TRUE(Put(path, "s", "k", "1"));
  EXPECT_EQ(Get(path, "s", "k"), "1");
  WriteFile(path, "[s]\r\nk=longer value\r\n");
  EXPECT_EQ(Get(path, "s", "k"), "longer value") << "a new size invalidates the cached copy";
  WriteFile(path, "[s]\r\nk=other value\r\n");
  Put(path, nullptr, nullptr, nullptr);
  EXPECT_EQ(Get(path, "s", "k"), "other value") << "the flush call drops the cached copy";
  ASSERT_TRUE(Put(path, "s", "j", "2"));
  EXPECT_EQ(ReadFile(path), "[s]\r\nk=other value\r\nj=2\r\n");

  ASSERT_TRUE(RemoveFile(path));
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  ASSERT_TRUE(Put(path, "s", "fresh", "3"));
  EXPECT_EQ(ReadFile(path), "[s]\r\nfresh=3\r\n") << "a deleted file starts again empty";
}

// Held appends: a file only this process writes gathers its new lines in
// memory and must end up byte for byte as if every write had gone to disk.
// Enough entries for several batches, a replaced value in the middle of
// them and a key looked up while its line is still held.
void WriteEntries(const std::string& path) {
  for (int i = 0; i < 6000; ++i) {
    const std::string key = "FOLDER/FILE_" + std::to_string(i) + ".DAT";
    ASSERT_TRUE(WritePrivateProfileString("palias", key.c_str(), ("/title/" + key).c_str(), path));
    if (i == 3000) {
      ASSERT_TRUE(WritePrivateProfileString("palias", "FOLDER/FILE_10.DAT", "/elsewhere", path));
    }
  }
  EXPECT_EQ(GetPrivateProfileString("palias", "folder/file_5999.dat", "", 256, path), "/title/FOLDER/FILE_5999.DAT");
  EXPECT_EQ(GetPrivateProfileString("palias", "FOLDER/FILE_10.DAT", "", 256, path), "/elsewhere");
}

// A flush that can not write says so; a folder can not be held.
TEST(HeldProfileAppends, GiveTheBytesOfWritesMadeOneByOne) {
  TempDir dir;
  const std::string direct = dir / "direct.ini";
  const std::string held = dir / "held.ini";
  WriteEntries(direct);
  ASSERT_TRUE(HoldProfileAppends(held));
  WriteEntries(held);
  EXPECT_EQ(HeldProfileLength(held), HeldProfileLength(direct));
  ASSERT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, held));
  EXPECT_GT(ReadFile(direct).size(), 256u * 1024u);
  EXPECT_EQ(ReadFile(held), ReadFile(direct));

  const std::string path = dir / "gone/held.ini";
  testing::MakeDirs(dir / "gone");
  ASSERT_TRUE(HoldProfileAppends(path));
  ASSERT_TRUE(WritePrivateProfileString("palias", "A.TXT", "/title/A.TXT", path));
  std::filesystem::remove(dir / "gone");
  EXPECT_FALSE(WritePrivateProfileString(nullptr, nullptr, nullptr, path));
  EXPECT_FALSE(PathExists(path));
  EXPECT_FALSE(HoldProfileAppends(dir.path())) << "a folder is no file";
}

// Sets an environment variable (or unsets it) for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* variable, const char* value) : name(variable) {
    if (const char* old = std::getenv(variable)) previous = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(previous ? previous->c_str() : nullptr); }
  void Apply(const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
    tzset();
  }
  const char* name;
  std::optional<std::string> previous;
};

// Writes past the cache hold the same bytes as writes through it: aligned
// blocks go straight to the disk, and a write the disk will not take that way
// (memory and length off the alignment) goes through the cache instead.
TEST(FileWrittenAroundCache, HoldsEveryByteOfAlignedAndMisalignedWrites) {
  TempDir dir;
  auto file = File::Open(dir / "image", File::Mode::kCreate);
  ASSERT_TRUE(file);
  file->WriteAroundCache();  // some file systems refuse; the bytes must not differ
  AlignedBuffer block(2 * AlignedBuffer::kAlignment);
  std::string bytes(block.size(), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 1);
  std::copy(bytes.begin(), bytes.end(), block.data());
  ASSERT_TRUE(file->Seek(AlignedBuffer::kAlignment));
  ASSERT_TRUE(file->Write(block.data(), block.size()));
  ASSERT_TRUE(file->Write(block.data() + 1, 100)) << file->LastError();
  ASSERT_TRUE(file->Write(block.data(), block.size()));
  ASSERT_TRUE(file->Sync());
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadFile(dir / "image"), std::string(AlignedBuffer::kAlignment, '\0') + bytes + bytes.substr(1, 100) + bytes);
}

// The wall-clock times are those of the zone at that date: New York keeps
// -5:00 in winter and -4:00 in summer, Kolkata +5:30 all year.
TEST(SystemClock, OffsetsFollowTheZoneAndItsSummerTime) {
  ScopedEnv noEpoch("SOURCE_DATE_EPOCH", nullptr);
  SystemClock clock;
  {
    ScopedEnv zone("TZ", "America/New_York");
    EXPECT_EQ(clock.UtcOffsetAt({2025, 1, 15, 12, 0, 0}), -300);
    EXPECT_EQ(clock.UtcOffsetAt({2025, 7, 15, 12, 0, 0}), -240);
    const int now = clock.Now().utcOffsetMinutes;
    EXPECT_TRUE(now == -300 || now == -240) << now;
  }
  ScopedEnv zone("TZ", "Asia/Kolkata");
  EXPECT_EQ(clock.UtcOffsetAt({2025, 1, 15, 12, 0, 0}), 330);
  EXPECT_EQ(clock.Now().utcOffsetMinutes, 330);
}

// A build date from the environment: whole seconds from 1970 up to the last
// day every date field of a volume can hold; anything else is no build date.
TEST(SourceDateEpoch, TakesTheSecondsEveryDateFieldCanHold) {
  for (const auto& [text, seconds] : std::vector<std::pair<const char*, std::optional<int64_t>>>{
           {"1767225600", 1767225600}, {"0", 0}, {"5869411200", 5869411200}, {"5869411201", std::nullopt},
           {"253402300800", std::nullopt}, {"-1", std::nullopt}, {"12ab", std::nullopt}, {"", std::nullopt}}) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", text);
    EXPECT_EQ(SourceDateEpoch(), seconds) << text;
  }
}

TEST(ToUtc, MovesTheInstantAcrossDaysMonthsAndYears) {
  struct Case { LocalTime local, utc; };
  for (const Case& c : {Case{{2026, 3, 4, 5, 6, 7, 8, 330}, {2026, 3, 3, 23, 36, 7, 8, 0}},
                        Case{{2025, 12, 31, 22, 0, 0, 0, -300}, {2026, 1, 1, 3, 0, 0, 0, 0}},
                        Case{{2024, 3, 1, 0, 30, 59, 99, 60}, {2024, 2, 29, 23, 30, 59, 99, 0}}}) {
    EXPECT_EQ(ToUtc(c.local), c.utc) << c.local.utcOffsetMinutes;
  }
}

}  // namespace
}  // namespace pravel::platform

namespace pravel {
namespace {

// The console's answers to a question, to the OK of a physical step and to a
// question the command line answered, with what it prints.
TEST(ConsoleUi, AnswersFromItsInputOrFromYesToAll) {
  using platform::Answer;
  using platform::Buttons;
  struct Case { bool yesToAll; const char* input; Buttons buttons; Answer answer; const char* printed; };
  const Case cases[] = {
      {false, "y\n", Buttons::kYesNo, Answer::kYes, "Q: text\n[y/n] "},
      {false, "maybe\nno\n", Buttons::kYesNo, Answer::kNo, "Q: text\n[y/n] [y/n] "},
      {false, "", Buttons::kYesNo, Answer::kNo, "Q: text\n[y/n] no\n"},
      {true, "", Buttons::kYesNo, Answer::kYes, "Q: text\n[y/n] yes\n"},
      {false, "\n", Buttons::kOkWhenReady, Answer::kOk, "Q: text\n[Enter when ready] "},
      {false, "", Buttons::kOkWhenReady, Answer::kNo, "Q: text\n[Enter when ready] (end of input)\n"},
      {true, "", Buttons::kOkWhenReady, Answer::kOk, "Q: text\n[Enter] ok\n"},
      {false, "", Buttons::kOk, Answer::kOk, "Q: text\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printed);
    char output[256] = {};
    std::string input = c.input;
    std::FILE* in = input.empty() ? std::fopen("/dev/null", "r") : fmemopen(input.data(), input.size(), "r");
    std::FILE* out = fmemopen(output, sizeof output - 1, "w");
    ASSERT_TRUE(in && out);
    {
      platform::ConsoleUi ui(c.yesToAll, out, in);
      EXPECT_EQ(ui.ShowMessage("text", "Q", c.buttons, platform::Icon::kNone), c.answer);
    }
    std::fclose(out);
    std::fclose(in);
    EXPECT_EQ(std::string(output), c.printed);
  }
  char output[128] = {};
  std::FILE* out = fmemopen(output, sizeof output - 1, "w");
  platform::ConsoleUi ui(false, out, stdin);
  ui.ShowAnsweredQuestion("Another?", "Copy", Answer::kNo);
  std::fclose(out);
  EXPECT_EQ(std::string(output), "Copy: Another?\n[y/n] no\n");
}

}  // namespace
}  // namespace pravel
