// The DVD-Video zone: which files of VIDEO_TS it takes, where it places them
// by their tables, the titles it refuses with their messages; then batch runs
// of build/pravel on the synthetic VIDEO_TS of tests/tools/make_video_ts.py,
// read back by DVD readers.
#include "udf/dvd_video_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/installation.h"
#include "intake/utf8.h"
#include "job/runtime.h"
#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using platform::Answer;
using platform::Buttons;
using namespace testing;

constexpr char kContentCaption[] = "DVD-V content file error!";
constexpr char kIgnoreCaption[] = "Should I ignor this and other related errors?";
constexpr char kAudioQuestion[] =
    "The AUDIO_TS directory contains files. DVD version 1.0 specifications do not allow files "
    "within this directory!";
constexpr uint32_t kDataStart = 5024;
constexpr uint64_t kManagerBytes = 2 * 2048;  // room for the title search table in sector 1

std::string NotCompliant(const std::string& path) {
  return "The VIDEO_TS directory contains a file, " + path +
         ", that is not compliant with DVD version 1.0 specifications!";
}

// Writes bytes, or a big-endian 32-bit number, into an existing file at `offset`, keeping its length.
void Poke(const std::string& path, uint64_t offset, const std::string& bytes) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << path;
}
void Poke32(const std::string& path, uint64_t offset, uint32_t value) {
  Poke(path, offset, {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                      static_cast<char>(value)});
}

// The header of an information file: its identifier, the last sector of its
// set and of itself, the start of its menu, and at 196 the sector of the
// title search table (manager) or the start of the titles (title set).
void WriteTitleSetTables(const std::string& path, uint32_t lastSector, uint32_t informationLast, uint32_t menuStart,
                         uint32_t at196, const std::string& identifier = "DVDVIDEO-VTS") {
  Poke(path, 0, identifier);
  for (const auto& [offset, value] : {std::pair<uint64_t, uint32_t>{12, lastSector}, {28, informationLast},
                                      {192, menuStart}, {196, at196}}) {
    Poke32(path, offset, value);
  }
}

// The tables of VIDEO_TS.IFO: the title search table lies in its sector 1 and
// names one title per set start given (set 1, 2, ...).
void WriteManagerTables(const std::string& path, uint32_t lastSector, uint32_t informationLast, uint32_t menuStart,
                        const std::vector<uint32_t>& setStarts) {
  WriteTitleSetTables(path, lastSector, informationLast, menuStart, 1, "DVDVIDEO-VMG");
  Poke(path, 2048, {0, static_cast<char>(setStarts.size())});
  for (size_t i = 0; i < setStarts.size(); ++i) {
    Poke(path, 2048 + 8 + 12 * i + 6, {static_cast<char>(i + 1)});
    Poke32(path, 2048 + 8 + 12 * i + 8, setStarts[i]);
  }
}

// A source tree under "<dir>/src" (the one source base) and a tree listing
// "<dir>/tm.txt" written line by line as the scan writes it.
class DvdVideoZoneTest : public ::testing::Test {
 protected:
  DvdVideoZoneTest() {
    testing::MakeDirs(Src(""));
    job().sourceBases = {dir_ / "src"};
    job().sourceBaseCount = 1;
    job().treeListPath = dir_ / "tm.txt";
  }

  Job& job() { return test_.job; }
  std::string Src(const std::string& relative) const { return dir_ / ("src/" + relative); }

  void Folder(const std::string& relative) {
    testing::MakeDirs(Src(relative));
    lines_.push_back(Src(relative) + "/");
  }
  // A file of `length` bytes (sparse), listed.
  void File(const std::string& relative, uint64_t length = 100) {
    testing::WriteFile(Src(relative), "");
    std::filesystem::resize_file(Src(relative), length);
    lines_.push_back(Src(relative));
  }
  // Forgets the tree, its files and the messages, for the next case.
  void Restart() {
    std::filesystem::remove_all(Src(""));
    testing::MakeDirs(Src(""));
    lines_.clear();
    test_.ui.messages.clear();
  }
  // The manager files and title set 01 with one object file.
  void PlayableTitle() {
    Folder("VIDEO_TS");
    for (const char* name : {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_0.BUP", "VTS_01_1.VOB"}) {
      File("VIDEO_TS/" + std::string(name));
    }
  }

  // The listed path of a zone file, matched without regard to case; "" when
  // it is not listed.
  std::string ListedPath(const std::string& name) const {
    for (const std::string& line : lines_) {
      if (line.size() > name.size() && AsciiUpper(line.substr(line.size() - name.size() - 1)) == "/" + name) return line;
    }
    return "";
  }
  // Its sectors; an information file too short for the tables is first made `room` bytes long.
  uint32_t ListedSectors(const std::string& name, uint64_t room = 0) const {
    const std::string path = ListedPath(name);
    std::error_code error;
    if (!path.empty() && std::filesystem::file_size(path, error) < room) std::filesystem::resize_file(path, room);
    const uint64_t bytes = path.empty() ? 0 : std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<uint32_t>((bytes + 2047) / 2048);
  }

  // Tables that describe the files as they lie back to back in player order,
  // as a well-made title's tables do.
  void WriteContiguousTables() {
    const std::string manager = ListedPath("VIDEO_TS.IFO");
    if (manager.empty()) return;
    const uint32_t ifo = ListedSectors("VIDEO_TS.IFO", kManagerBytes), vob = ListedSectors("VIDEO_TS.VOB");
    uint32_t next = ifo + vob + ListedSectors("VIDEO_TS.BUP");
    const uint32_t managerLast = next - 1;
    std::vector<uint32_t> setStarts;
    for (int set = 1; !ListedPath(Format("VTS_%02d_0.IFO", set)).empty(); ++set) {
      const uint32_t start = next, setIfo = ListedSectors(Format("VTS_%02d_0.IFO", set), 2048);
      const uint32_t menu = ListedSectors(Format("VTS_%02d_0.VOB", set));
      next += setIfo + menu + ListedSectors(Format("VTS_%02d_0.BUP", set));
      for (int i = 1; i <= 9 && !ListedPath(Format("VTS_%02d_%d.VOB", set, i)).empty(); ++i) {
        next += ListedSectors(Format("VTS_%02d_%d.VOB", set, i));
      }
      WriteTitleSetTables(ListedPath(Format("VTS_%02d_0.IFO", set)), next - start - 1, setIfo - 1,
                          menu == 0 ? 0 : setIfo, setIfo + menu);
      setStarts.push_back(start);
    }
    WriteManagerTables(manager, managerLast, ifo - 1, vob == 0 ? 0 : ifo, setStarts);
  }

  bool Validate(bool contiguous = true) {
    if (contiguous) WriteContiguousTables();
    std::string text;
    for (const std::string& line : lines_) text += line + "\r\n";
    testing::WriteFile(job().treeListPath, text);
    return zone_.Validate(job());
  }

  // The listed files the zone placed, relative to the source base, in sector
  // order; checks that they follow one another without a gap from kDataStart on.
  std::vector<std::string> PlacedInOrder() {
    uint32_t next = kDataStart;
    EXPECT_TRUE(zone_.Place(job(), next));
    std::vector<std::tuple<uint32_t, uint32_t, std::string>> placed;
    for (const std::string& line : lines_) {
      std::optional<ZonePlacement> place = zone_.Find(line);
      if (place) placed.emplace_back(place->startSector, place->sectorCount, line.substr(Src("").size()));
    }
    std::sort(placed.begin(), placed.end());
    std::vector<std::string> names;
    uint32_t expected = kDataStart;
    for (const auto& [start, sectors, name] : placed) {
      EXPECT_EQ(start, expected) << name;
      expected += sectors;
      names.push_back(name);
    }
    EXPECT_EQ(next, expected);
    return names;
  }

  const std::vector<platform::RecordedMessage>& Messages() { return test_.ui.messages; }
  void ExpectOnlyMessage(const std::string& text, const std::string& caption, Buttons buttons = Buttons::kOk) {
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, text);
    EXPECT_EQ(Messages()[0].caption, caption);
    EXPECT_EQ(Messages()[0].buttons, buttons);
  }

  TempDir dir_;
  testing::TestJob test_;
  std::vector<std::string> lines_;
  DvdVideoZone zone_;
};

// A VIDEO_TS folder below the root, a file named VIDEO_TS, an empty VIDEO_TS
// folder: no zone, and no error, though the validation before found one.
TEST_F(DvdVideoZoneTest, TreeWithoutVideoFilesHasNoZone) {
  PlayableTitle();
  ASSERT_TRUE(Validate());
  for (const bool below : {true, false}) {
    Restart();
    if (below) {
      for (const char* folder : {"DATA", "DATA/VIDEO_TS"}) Folder(folder);
      for (const char* file : {"DATA/VIDEO_TS.IFO", "DATA/VIDEO_TS/VTS_1_1.VOB", "VIDEO_TS"}) File(file);
    } else {
      Folder("VIDEO_TS");
    }
    ASSERT_TRUE(Validate());
    uint32_t next = kDataStart;
    ASSERT_TRUE(zone_.Place(job(), next));
    EXPECT_EQ(next, kDataStart);
    EXPECT_FALSE(zone_.Find(Src("DATA/VIDEO_TS.IFO")));
    EXPECT_FALSE(zone_.Find(Src("VIDEO_TS/VIDEO_TS.IFO")));
    EXPECT_TRUE(Messages().empty());
  }
}

// Names and the folder's own name compare without regard to case; an empty
// AUDIO_TS folder is allowed.
TEST_F(DvdVideoZoneTest, PlacesManagerThenSetsInPlayerOrder) {
  Folder("Video_TS");
  Folder("OTHER");
  Folder("AUDIO_TS");
  const std::pair<const char*, uint64_t> files[] = {
      {"VIDEO_TS.BUP", 6000}, {"Video_Ts.Ifo", 6000},  {"VIDEO_TS.VOB", 4096},
      {"vts_01_0.bup", 2048}, {"VTS_01_0.IFO", 2049},  {"VTS_01_0.VOB", 0},
      {"Vts_01_1.Vob", 10000}, {"VTS_01_2.VOB", kMaxVideoObjectBytes} /* the largest allowed */,
      {"VTS_02_0.BUP", 3000}, {"VTS_02_0.IFO", 3000}, {"VTS_02_1.VOB", 5000}};
  for (const auto& [name, size] : files) File("Video_TS/" + std::string(name), size);
  File("OTHER/A.TXT");
  ASSERT_TRUE(Validate());
  EXPECT_EQ(PlacedInOrder(),
            (std::vector<std::string>{"Video_TS/Video_Ts.Ifo", "Video_TS/VIDEO_TS.VOB", "Video_TS/VIDEO_TS.BUP",
                                      "Video_TS/VTS_01_0.IFO", "Video_TS/VTS_01_0.VOB", "Video_TS/Vts_01_1.Vob",
                                      "Video_TS/VTS_01_2.VOB", "Video_TS/vts_01_0.bup", "Video_TS/VTS_02_0.IFO",
                                      "Video_TS/VTS_02_1.VOB", "Video_TS/VTS_02_0.BUP"}));
  std::vector<uint32_t> sectors;
  for (const char* name : {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_0.BUP", "VTS_01_0.VOB", "VTS_01_2.VOB"}) {
    sectors.push_back(zone_.Find(Src("VIDEO_TS/" + std::string(name)))->sectorCount);
  }
  EXPECT_EQ(sectors, (std::vector<uint32_t>{3, 2, 1, 0, kMaxVideoObjectBytes / 2048}));
  EXPECT_EQ(zone_.Find(Src("video_ts/vts_01_1.vob"))->startSector, kDataStart + 3 + 2 + 3 + 2);
  EXPECT_FALSE(zone_.Find(Src("OTHER/A.TXT")));
  EXPECT_TRUE(Messages().empty());
}

// A gap in a set's object numbers ends its objects; a gap in the set numbers
// ends the zone.
TEST_F(DvdVideoZoneTest, GapsEndTheObjectsAndTheSets) {
  const std::vector<std::string> first = {"VIDEO_TS/VIDEO_TS.IFO", "VIDEO_TS/VIDEO_TS.BUP", "VIDEO_TS/VTS_01_0.IFO",
                                          "VIDEO_TS/VTS_01_1.VOB", "VIDEO_TS/VTS_01_0.BUP"};
  std::vector<std::string> withSecond = first;
  withSecond.insert(withSecond.end(), {"VIDEO_TS/VTS_02_0.IFO", "VIDEO_TS/VTS_02_1.VOB", "VIDEO_TS/VTS_02_0.BUP"});
  for (const auto& [set, placed] : {std::pair{"02", withSecond}, std::pair{"03", first}}) {
    SCOPED_TRACE(set);
    Restart();
    PlayableTitle();
    const std::string prefix = std::string("VIDEO_TS/VTS_") + set;
    for (const char* suffix : {"_0.IFO", "_0.BUP", "_1.VOB", "_3.VOB"}) File(prefix + suffix);
    ASSERT_TRUE(Validate());
    EXPECT_EQ(PlacedInOrder(), placed);
    EXPECT_FALSE(zone_.Find(Src(prefix + "_3.VOB")));
  }
}

// Each change to the playable title stops the build with one message naming
// the file; a question answered No stops it too.
TEST_F(DvdVideoZoneTest, TitlesThatBreakTheRulesAreRefused) {
  struct Case {
    std::string what;
    std::function<void()> change;
    std::string text;
    std::string caption = kContentCaption;
    Buttons buttons = Buttons::kOk;
  };
  std::vector<Case> cases;
  for (const char* name : {"VTS_1_1.VOB", "VTS_AB_1.VOB", "VTS_00_1.VOB", "vts_00_0.ifo", "VTS_01_X.VOB", "VTS_01",
                           "VTS_123_1.VOB"}) {
    const std::string path = "VIDEO_TS/" + std::string(name);
    cases.push_back({path, [=, this] { File(path); }, "Content file " + Src(path) + " is an illegal file name."});
  }
  for (const char* name : {"VIDEO_TS/VTS_01_2.VOB", "VIDEO_TS/VIDEO_TS.VOB"}) {
    cases.push_back({std::string(name) + " too large", [=, this] { File(name, kMaxVideoObjectBytes + 1); },
                     "DVD-V content file " + Src(name) + " exceeds maximum allowed file size."});
  }
  const std::vector<std::pair<std::string, std::string>> missing = {
      {"-VIDEO_TS.IFO", "VIDEO_TS.IFO"}, {"-VIDEO_TS.BUP", "VIDEO_TS.BUP"}, {"-VTS_01_0.BUP", "VTS_01_0.BUP"},
      {"-VTS_01_0.IFO", "VTS_01_0.IFO"}, {"+VTS_02_1.VOB", "VTS_02_0.IFO"}, {"+VTS_02_0.BUP", "VTS_02_0.IFO"}};
  for (const auto& [change, named] : missing) {
    const std::string path = "VIDEO_TS/" + change.substr(1);
    const bool leaveOut = change[0] == '-';
    auto change_title = [=, this] {
      if (leaveOut) {
        std::erase(lines_, Src(path));
      } else {
        File(path);
      }
    };
    cases.push_back({change, change_title, "The DVD-Video title lacks the required file " + Src("VIDEO_TS/" + named) +
                                               "; it would not play."});
  }
  cases.push_back({"one file twice", [this] { File("VIDEO_TS/vts_01_1.vob"); },
                   "DVD-V content files " + Src("VIDEO_TS/VTS_01_1.VOB") + " and " + Src("VIDEO_TS/vts_01_1.vob") +
                       " are the same DVD-Video file."});
  cases.push_back({"object gone since the scan", [this] { lines_.push_back(Src("VIDEO_TS/VTS_01_2.VOB")); },
                   "2 Can not open " + Src("VIDEO_TS/VTS_01_2.VOB")});
  cases.push_back({"backup gone since the scan", [this] { std::filesystem::remove(Src("VIDEO_TS/VTS_01_0.BUP")); },
                   "Can not open " + Src("VIDEO_TS/VTS_01_0.BUP")});
  cases.push_back({"audio file",
                   [this] {
                     Folder("AUDIO_TS");
                     File("AUDIO_TS/AUDIO_TS.IFO");
                   },
                   kAudioQuestion, kIgnoreCaption, Buttons::kYesNo});
  cases.push_back({"folder in VIDEO_TS", [this] { Folder("VIDEO_TS/EXTRA"); }, NotCompliant(Src("VIDEO_TS/EXTRA/")),
                   kIgnoreCaption, Buttons::kYesNo});
  // Names are matched whole.
  for (const char* name : {"VIDEO_TS/VTS_01_1.TXT", "VIDEO_TS/VTS_01_1.IFO", "VIDEO_TS/VTS_01-1.VOB",
                           "VIDEO_TS/EXTRA/NOTES.TXT", "VIDEO_TS/VIDEO_TS.IFO.BAK", "VIDEO_TS/VTS_01_1.VOB.OLD"}) {
    cases.push_back({name, [=, this] { lines_.push_back(Src(name)); }, NotCompliant(Src(name)), kIgnoreCaption,
                     Buttons::kYesNo});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    PlayableTitle();
    c.change();
    if (c.buttons == Buttons::kYesNo) test_.ui.QueueAnswers({Answer::kNo});
    EXPECT_FALSE(Validate());
    ExpectOnlyMessage(c.text, c.caption, c.buttons);
  }
}

TEST_F(DvdVideoZoneTest, YesLetsThisAndEveryLaterNonCompliantEntryPass) {
  PlayableTitle();
  Folder("VIDEO_TS/EXTRA");
  File("VIDEO_TS/EXTRA/NOTES.TXT");
  File("VIDEO_TS/VTS_01_1.TXT");
  Folder("AUDIO_TS");
  File("AUDIO_TS/A.TXT");
  test_.ui.QueueAnswers({Answer::kYes});
  EXPECT_TRUE(Validate());
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(zone_.TitleSets()[0].objects[1].path.ends_with("VTS_01_1.VOB"));
  EXPECT_FALSE(zone_.Find(Src("VIDEO_TS/VTS_01_1.TXT")));

  // Only non-compliant files: they pass, the title still lacks its manager.
  Restart();
  Folder("VIDEO_TS");
  File("VIDEO_TS/README.TXT");
  test_.ui.QueueAnswers({Answer::kYes});
  EXPECT_FALSE(Validate());
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1].caption, kContentCaption);
}

TEST_F(DvdVideoZoneTest, UnreadableListingStopsTheBuild) {
  job().treeListPath = dir_ / "missing/tm.txt";
  EXPECT_FALSE(zone_.Validate(job()));
  ExpectOnlyMessage("1 Can not open " + job().treeListPath, "Disc Image Builder Error!");
}

// A manager declared to end at sector 31 while its IFO and BUP take three
// sectors each, and two title sets whose backups end behind declared gaps
// (the image tests read such a title back where its tables say).
TEST_F(DvdVideoZoneTest, DeclaredTablesThatCanNotBePlacedAreRefused) {
  auto gappedTitle = [this] {
    Folder("VIDEO_TS");
    const std::pair<const char*, uint64_t> files[] = {
        {"VIDEO_TS.IFO", 3 * 2048}, {"VIDEO_TS.BUP", 3 * 2048}, {"VTS_01_0.IFO", 2 * 2048},
        {"VTS_01_1.VOB", 10 * 2048}, {"VTS_01_2.VOB", 4 * 2048 - 100}, {"VTS_01_0.BUP", 2 * 2048},
        {"VTS_02_0.IFO", 1 * 2048}, {"VTS_02_0.VOB", 3 * 2048}, {"VTS_02_1.VOB", 5 * 2048}, {"VTS_02_0.BUP", 1 * 2048}};
    for (const auto& [name, size] : files) File("VIDEO_TS/" + std::string(name), size);
    WriteManagerTables(Src("VIDEO_TS/VIDEO_TS.IFO"), 31, 2, 0, {32, 70});
    // Set 1: IFO 0-1, titles from 2 (2-11, 12-15), a gap, BUP 20-21.
    WriteTitleSetTables(Src("VIDEO_TS/VTS_01_0.IFO"), 21, 1, 0, 2);
    // Set 2: IFO 0, a gap, menu 4-6, titles 7-11, BUP 12.
    WriteTitleSetTables(Src("VIDEO_TS/VTS_02_0.IFO"), 12, 0, 4, 7);
  };
  struct Case {
    const char* what;
    std::function<void()> breakTables;
    std::string message;
  };
  const std::string ifo = Src("VIDEO_TS/VIDEO_TS.IFO");
  const std::string vts1 = Src("VIDEO_TS/VTS_01_0.IFO");
  const std::string vts2 = Src("VIDEO_TS/VTS_02_0.IFO");
  const std::vector<Case> cases = {
      {"title objects inside the IFO",
       [&] { WriteTitleSetTables(vts1, 21, 1, 0, 1); },
       "The DVD-Video tables place " + Src("VIDEO_TS/VTS_01_1.VOB") + " at sector 33 of the zone, inside " + vts1 +
           ", which takes the sectors up to 33."},
      {"sets out of order", [&] { WriteManagerTables(ifo, 31, 2, 0, {32, 50}); },
       "The DVD-Video tables place " + vts2 + " at sector 50 of the zone, inside " + Src("VIDEO_TS/VTS_01_0.BUP") +
           ", which takes the sectors up to 53."},
      {"a backup larger than its manager", [&] { WriteManagerTables(ifo, 4, 2, 0, {32, 70}); },
       "The DVD-Video tables place " + Src("VIDEO_TS/VIDEO_TS.BUP") + " at sector 2 of the zone, inside " + ifo +
           ", which takes the sectors up to 2."},
      {"a set without a title", [&] { WriteManagerTables(ifo, 31, 2, 0, {32}); },
       "The title search table of " + ifo + " names no title of " + vts2 + ", so its place is not known."},
      {"two starts for one set",
       [&] {
         WriteManagerTables(ifo, 31, 2, 0, {32, 70, 71});
         Poke(ifo, 2048 + 8 + 24 + 6, "\x02");
       },
       "The title search table of " + ifo + " gives " + vts2 + " two starts, sectors 70 and 71 of the zone."},
      {"no identifier", [&] { Poke(vts2, 0, "X"); },
       vts2 + " is no DVD-Video information file: it does not begin with DVDVIDEO-VTS."},
      {"a title search table beyond the end", [&] { Poke32(ifo, 196, 3); },
       ifo + " is too short for its title search table: it ends at byte 6144, the table at byte 6146."},
      {"a header beyond the end",
       [&] { std::filesystem::resize_file(vts1, 199); },
       vts1 + " is too short for its header: it ends at byte 199, the table at byte 200."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    gappedTitle();
    c.breakTables();
    const std::string before = testing::ReadFile(ifo) + testing::ReadFile(vts1) + testing::ReadFile(vts2);
    EXPECT_FALSE(Validate(false));
    ExpectOnlyMessage(c.message, kContentCaption);
    EXPECT_EQ(testing::ReadFile(ifo) + testing::ReadFile(vts1) + testing::ReadFile(vts2), before);
  }
}

// An installation whose title folder holds two files, and a DVD-Video folder
// holding the synthetic VIDEO_TS.
class DvdVideoImageTest : public ::testing::Test {
 protected:
  DvdVideoImageTest() {
    testing::WriteFile(in_.Title() + "/README.TXT", std::string(3000, 'r'));
    testing::WriteFile(in_.Title() + "/EXTRAS/NOTES.TXT", std::string(5000, 'n'));
  }

  std::string VideoTs() const { return in_.root / "dvd/VIDEO_TS"; }
  std::string Image() const { return in_.Images() + "/LAYER01.IMG"; }
  // No run of these tests reads standard input.
  Outcome Shell(const std::string& command) const {
    return testing::RunShell(command + " </dev/null", in_.root / "shell.txt");
  }
  // Makes the DVD-Video folder with make_video_ts.py and its arguments, or with `tool`.
  Outcome MakeVideoTs(const std::string& arguments, const std::string& tool = "") const {
    return tool.empty() ? in_.Python("make_video_ts.py", Quoted(in_.root / "dvd") + " " + arguments)
                        : Shell(tool + " " + Quoted(in_.root / "dvd"));
  }

  // Every reader gives the disc's root back: the title's entries beside
  // VIDEO_TS. The zone read back through the image's own tables, every
  // reader's extent compared with them; then lsdvd lists and dvdbackup copies
  // the image.
  void ExpectPlayableAsItsTablesSay(int titles, const std::string& name) {
    const std::string root = in_.root / ("root-" + name);
    fs::copy(in_.Title(), root, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    fs::copy(VideoTs(), root + "/VIDEO_TS", fs::copy_options::recursive | fs::copy_options::create_hard_links);
    EXPECT_TRUE(Ended(in_.CheckImage({Image()}, "", root), 0));
    const std::string layout = Quoted(Image()) + " " + Quoted(VideoTs());
    EXPECT_TRUE(Ended(in_.Python("check_dvd_layout.py", layout), 0, {"zone as its tables say"}));
    const Outcome listed = Shell("lsdvd " + Quoted(Image()));
    EXPECT_TRUE(Ended(listed, 0, {Format("Title: %02d,", titles)}));
    EXPECT_FALSE(Contains(listed.output, "CHECK_VALUE")) << listed.output;
    const std::string copies = in_.root / "copies";
    const std::string dvdbackup =
        "dvdbackup -M -n " + name + " -i " + Quoted(Image()) + " -o " + Quoted(copies);
    EXPECT_TRUE(Ended(Shell(dvdbackup), 0));
    for (const auto& entry : fs::directory_iterator(VideoTs())) {
      const std::string file = entry.path().filename().string();
      EXPECT_EQ(ReadFile(copies + "/" + name + "/VIDEO_TS/" + file), ReadFile(entry.path().string())) << file;
    }
  }

  Installation in_;
};

// The synthetic title, whose tables lay its files back to back in player
// order; one whose video manager is declared to end at sector 31 with its
// BUP behind a gap, and two title sets whose backups lie behind gaps of
// their own; two title sets authored from encoded clips by a DVD authoring
// tool (exit status 77: the tools are not installed). Tables that put a file
// where it can not lie are refused by the zone tests, and the batch runs show
// that such a refusal leaves the marker and no image.
TEST_F(DvdVideoImageTest, EveryFileLiesAtItsTableSectorAndReadersPlayIt) {
  struct Case { std::string name, arguments, tool; int titles; };
  for (const Case& c : {Case{"SYNTHETIC", "", "", 1}, Case{"GAPS", "--sets 2 --manager-last 31 --set-gap 4", "", 2},
                        Case{"AUTHORED", "", "bash " + Quoted(testing::ToolPath("make_real_dvd.sh")), 2}}) {
    SCOPED_TRACE(c.name);
    fs::remove_all(in_.root / "dvd");
    const Outcome made = MakeVideoTs(c.arguments, c.tool);
    if (made.status == 77) continue;
    ASSERT_TRUE(Ended(made, 0));
    const Outcome run = in_.RunBatch("-nw -dvdv=" + Quoted(VideoTs()));
    ASSERT_TRUE(Ended(run, 0));
    ASSERT_FALSE(testing::Exists(in_.Marker()));
    EXPECT_FALSE(Contains(run.output, kContentCaption)) << run.output;
    ExpectPlayableAsItsTablesSay(c.titles, c.name);
  }
}

}  // namespace
}  // namespace pravel
