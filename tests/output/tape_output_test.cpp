// Tape output: what goes on each tape, block by block, against the image
// files of the same title, through a tape library double and through the
// virtual drive (read back by other programs' AWS readers and by
// tests/tools/check_tape.py); every failing write and mark; the drive's
// questions, waits and copies; the DDP set as files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "iso/sector_writer.h"
#include "job/runtime.h"
#include "output/ddp_folder.h"
#include "output/file_data_copy.h"
#include "output/tape_device.h"
#include "output/tape_output.h"
#include "output_fixture.h"
#include "platform/tape_library.h"

namespace pravel::output_test {
namespace {

using platform::Answer;
using namespace testing;

struct Images { std::string control, layer1, layer2; };

class TapeOutputTest : public OutputStageTest {
 protected:
  TapeOutputTest() { job.tapeCopies = 1; }

  Images ImageRun(const Layout& layout) {
    job.toTape = 0;
    EXPECT_TRUE(Run(layout));
    Images images{ReadFile(job.imagePath1), ReadFile(job.imagePath2), ""};
    if (Exists(job.imagePath3)) images.layer2 = ReadFile(job.imagePath3);
    ClearOutcome();
    return images;
  }

  bool TapeRun(const Layout& layout, std::function<void()> afterBuild = {}) {
    job.toTape = 1;
    job.tapeLibrary = tape;
    return Run(layout, std::move(afterBuild));
  }

  // A fresh double; `setUp` tells it what goes wrong.
  void NewTape(const std::function<void(FaultTape&)>& setUp = {}) {
    ClearOutcome();
    tape = std::make_shared<FaultTape>();
    if (setUp) setUp(*tape);
  }

  void UseDualLayer() {
    job.layerCapacity = 64;
    job.singleLayer = 0;
  }

  std::shared_ptr<FaultTape> tape = std::make_shared<FaultTape>();
};

// Two copies of a dual-layer title through the virtual drive: the checker
// passes both tapes of each copy (the batch tape runs read a single-layer set
// with the other programs' AWS readers).
TEST_F(TapeOutputTest, VirtualTapesOfADualLayerTitleReadBackWithTheChecker) {
  const std::string tapes = dir / "tapes", want = dir / "want";
  // The title through the virtual drive, the image files of an image run of it kept in `want`.
  auto writeTapes = [&](const Layout& layout) {
    const Images images = ImageRun(layout);
    testing::WriteFile(want + "/CONTROL.IMG", images.control);
    testing::WriteFile(want + "/LAYER01.IMG", images.layer1);
    testing::WriteFile(want + "/LAYER02.IMG", images.layer2);
    std::filesystem::remove_all(tapes);
    testing::MakeDirs(tapes);
    job.toTape = 1;
    job.tapeLibrary = platform::MakeVirtualTapeLibrary(tapes, nullptr);
    EXPECT_TRUE(Run(layout));
    job.tapeLibrary.reset();
    EXPECT_FALSE(MarkerExists());
    return images;
  };
  auto check = [&](int number, const std::string& options) {
    return RunShell("/usr/bin/python3 " + Quoted(testing::ToolPath("check_tape.py")) + " " + options + " " +
                        Quoted(tapes + Format("/TAPE%04d.AWS", number)),
                    dir / "out.txt");
  };
  const std::string firstTape = "--control " + Quoted(want + "/CONTROL.IMG") + " --layer " + Quoted(want + "/LAYER01.IMG");

  // Layer 2 begins inside a file, or at a file's start.
  UseDualLayer();
  job.tapeCopies = 2;
  for (const Layout& dual :
       {StraddlingLayout(), BackToBack({AddSource("e.bin", 10 * kSector), AddSource("f.bin", 6 * kSector),
                                        AddSource("g.bin", 20 * kSector + 7)})}) {
    ASSERT_EQ(dual.volumeSectors, 96u);
    writeTapes(dual);
    // The image files of a tape run are the control data and the metadata.
    EXPECT_EQ(ReadFile(job.imagePath2).size(), size_t{kDataStart} * kSector);
    EXPECT_TRUE(Ended(check(1, firstTape), 0));
    EXPECT_TRUE(
        Ended(check(2, "--layer-capacity 64 --layer2 " + Quoted(want + "/LAYER02.IMG")), 0));
    EXPECT_EQ(ReadFile(tapes + "/TAPE0003.AWS"), ReadFile(tapes + "/TAPE0001.AWS"));
    EXPECT_EQ(ReadFile(tapes + "/TAPE0004.AWS"), ReadFile(tapes + "/TAPE0002.AWS"));
  }
}

// Two copies of a dual-layer title on a drive that mounts no tape itself.
TEST_F(TapeOutputTest, DualLayerCopiesAskForEachTapeAfterTheFirst) {
  UseDualLayer();
  job.tapeCopies = 2;
  ASSERT_TRUE(TapeRun(StraddlingLayout()));
  ASSERT_EQ(tape->cartridges.size(), 4u);  // the copies are equal: the virtual tapes' test
  // CONTROL.IMG and DDPID.IMG end as the layer-2 tape left them (its
  // description follows three labels and a mark).
  EXPECT_EQ(ReadFile(dir / "img1/DDPID.IMG"), tape->cartridges[1][4]);
  EXPECT_EQ(ReadFile(job.imagePath1).substr(4, 4), std::string("\x00\x03\x00\x40", 4));
  // Two layer-2 tapes, and the second copy's first tape.
  int mounts = 0;
  for (const auto& message : t.ui.messages) mounts += message.caption == "Select OK when ready!";
  EXPECT_EQ(mounts, 3);
}

TEST_F(TapeOutputTest, EveryFailingWriteAndMarkFailsTheRun) {
  // 48 sectors of metadata, then 4 and 3 sectors of two files: 64 sectors, one layer.
  Layout layout = BackToBack({AddSource("a.bin", 3 * kSector + 100), AddSource("b.bin", 5000)});
  ASSERT_TRUE(TapeRun(layout));
  int writes = 0, marks = 0;
  for (const std::string& entry : tape->log) {
    writes += entry.starts_with("Write");
    marks += entry.starts_with("Filemarks");
  }
  ASSERT_EQ(writes, 19);  // 13 labels, the description, the control block, 4 layer blocks
  ASSERT_EQ(marks, 10);
  for (int failing = 1; failing <= writes + marks; ++failing) {
    SCOPED_TRACE(failing);
    NewTape([&](FaultTape& f) {
      if (failing <= writes) {
        f.failingWrite = failing;
      } else {
        f.failingMark = failing - writes;
      }
    });
    EXPECT_FALSE(TapeRun(layout));
    EXPECT_TRUE(MarkerExists());
    ASSERT_FALSE(t.ui.messages.empty());
    const std::string& caption = t.ui.messages.back().caption;
    EXPECT_TRUE(caption == "Correct condition and retry operation!" || caption == "Fatal IO error!") << caption;
    EXPECT_FALSE(Exists(job.imagePath2));
  }
  // The sense message, then the failing step's own.
  struct Case {
    std::function<void(FaultTape&)> setUp;
    std::string sense, text, caption;
  };
  const std::string retry = "Correct condition and retry operation!";
  const Case cases[] = {
      {[](FaultTape& f) { f.failingWrite = 1, f.writeStatus = platform::tape_status::kWriteProtected; },
       "WRITE_PROTECTED", "Tape error writing Vol1 block.", retry},
      {[](FaultTape& f) { f.failingMark = 3; }, "WRITE_ERROR", "Tape error writing filemark.", retry},
      {[](FaultTape& f) { f.rewindStatus = platform::tape_status::kWriteError; }, "WRITE_ERROR",
       "Tape error rewinding tape.", retry},
      {[](FaultTape& f) { f.failingWrite = 17; }, "WRITE_ERROR", "Tape write error.", "Fatal IO error!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NewTape(c.setUp);
    EXPECT_FALSE(TapeRun(layout));
    const auto& messages = t.ui.messages;
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].text, c.sense);
    EXPECT_EQ(messages.back().text, c.text);
    EXPECT_EQ(messages.back().caption, c.caption);
  }
}

// Where the drive is, its loading and its readiness; the copies and tape
// changes it is asked for; an unattended run that would need a tape changed
// by hand is refused before anything is written.
TEST_F(TapeOutputTest, TheDriveAndTheTapeChangesAreAskedForOrTheRunFails) {
  struct Case {
    const char* what;
    std::function<void(FaultTape&)> setUp;
    std::vector<Answer> answers;
    bool succeeds;
    std::string last;  // the caption and text of the last message hold it
    bool dual = false;
    int copies = 1;
    bool unattended = false;
    size_t cartridges = 1;
  };
  const Case cases[] = {
      {"no drive", [](FaultTape& f) { f.deviceIndex = -1; }, {}, false, "There is no DLT2000 tape drive attached", false,
       1, false, 0},
      {"drive at index 3", [](FaultTape& f) { f.deviceIndex = 3; }, {}, true, ""},
      {"load fails", [](FaultTape& f) { f.loadStatus = 0x3A00; }, {}, false,
       "Could not mount tape and rewind to BOT position.", false, 1, false, 0},
      {"ready after one Yes", [](FaultTape& f) { f.notReadyPolls = 2; }, {Answer::kYes}, true, ""},
      {"No at the question", [](FaultTape& f) { f.notReadyPolls = 2; }, {Answer::kNo}, false, "", false, 1, false, 0},
      {"never ready", [](FaultTape& f) { f.notReadyPolls = 1'000'000; }, std::vector<Answer>(10, Answer::kYes), false,
       "The tape drive did not become ready after 10 tries.", false, 1, false, 0},
      {"nobody mounts the copy", {}, {Answer::kNo}, false, "Nobody confirmed that the next blank tape was mounted.",
       false, 2},
      {"copies asked for", {}, {Answer::kYes, Answer::kYes, Answer::kNo}, true, "Make another copy?", false, 0, false,
       3},
      {"nobody mounts layer 2", {}, {Answer::kNo}, false, "Operations error!", true},
      {"unattended, layer 2", {}, {}, false, "Operations error!", true, 1, true, 0},
      {"unattended, two copies", {}, {}, false, "Operations error!", false, 2, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NewTape(c.setUp);
    Layout layout = StraddlingLayout();
    job.singleLayer = c.dual ? 0 : 1;
    job.layerCapacity = c.dual ? 64 : geometry::kSingleLayerCapacity;
    job.tapeCopies = c.copies;
    job.unattended = c.unattended;
    for (Answer answer : c.answers) t.ui.QueueAnswers({answer});
    EXPECT_EQ(TapeRun(layout), c.succeeds);
    EXPECT_EQ(MarkerExists(), !c.succeeds);
    if (!c.succeeds && c.cartridges == 0) {
      for (const std::string& entry : tape->log) EXPECT_FALSE(entry.starts_with("Write")) << entry;
    } else {
      EXPECT_EQ(tape->cartridges.size(), c.cartridges);
    }
    if (c.cartridges == 3) {
      EXPECT_EQ(tape->cartridges[2], tape->cartridges[0]);
    }
    if (!c.last.empty()) {
      ASSERT_FALSE(t.ui.messages.empty());
      EXPECT_TRUE(Contains(t.ui.messages.back().caption + ": " + t.ui.messages.back().text, c.last));
    }
  }
}

TEST_F(TapeOutputTest, WaitsPollEveryQuarterSecondUpToTheirLimit) {
  tape->notReadyPolls = 1'000'000;
  job.tapeLibrary = tape;
  for (auto [limit, minutes] : {std::pair<uint64_t, int>{kReadyWaitMilliseconds, 10}, {kEraseWaitMilliseconds, 360}}) {
    ClearOutcome();
    const size_t pollsBefore = tape->log.size();
    EXPECT_FALSE(WaitUntilReady(job, limit));
    EXPECT_EQ(tape->log.size() - pollsBefore, limit / kReadyPollMilliseconds + 1);
    ExpectOnlyMessage("SCSI Bus/Device Error!", Format("Tape drive did not become ready within %d minutes.", minutes));
  }
}

// Sixteen sectors make a block, which every tape run reads back whole; any
// other count is no block.
TEST_F(TapeOutputTest, AnyCountButSixteenSectorsIsNoBlock) {
  job.tapeLibrary = tape;
  ASSERT_EQ(tape->Load(0), 0);
  TapeBlockWriter blocks(job);
  Sector sector{};
  ASSERT_TRUE(blocks.AppendSectorToTape(sector.data()));
  EXPECT_FALSE(blocks.WriteTapeBlock());
  ExpectOnlyMessage("Internal error!", "Illegal tape block size of 1");
  EXPECT_EQ(blocks.BufferedSectors(), 1u);
  EXPECT_TRUE(tape->cartridges[0].empty());
}

// The copy to tape looks at the stop request before each block of file data
// (here one per file): a stop before the last fails the run with its one
// message, the marker and no image file.
TEST_F(TapeOutputTest, TheCopyToTapeLooksAtTheStopRequestBeforeEachBlock) {
  Layout layout = BackToBack({AddSource("a.bin", 100), AddSource("b.bin", 5000), AddSource("c.bin", 1)});
  t.ui.stopAfterChecks = 2;
  EXPECT_FALSE(TapeRun(layout));
  EXPECT_EQ(t.ui.stopChecks, 3);
  ExpectOnlyMessage("Operations error!");
  ExpectMarkerAndNoImage();
}

TEST_F(TapeOutputTest, ASourceThatGrewIsNamedAndFailsTheRunOnTheLayer2TapeToo) {
  Layout layout = StraddlingLayout();
  UseDualLayer();
  const std::string straddle = layout.records[1].path;
  EXPECT_FALSE(TapeRun(layout, [&] { testing::WriteFile(straddle, ReadFile(straddle) + "more"); }));
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(Contains(t.ui.messages.back().text, straddle));
}

TEST_F(TapeOutputTest, ADdpSetAsFilesHoldsTheTapeFilesAndChecksumsThatMd5sumAccepts) {
  Layout layout = StraddlingLayout();
  UseDualLayer();
  Images images = ImageRun(layout);
  const std::string folder = dir / "ddp";
  job.toTape = 1;
  job.tapeLibrary = MakeDdpFolderLibrary(job, folder);
  ASSERT_TRUE(Run(layout));
  EXPECT_EQ(ReadFile(folder + "/LAYER0/LAYER0.DAT"), images.layer1);
  EXPECT_EQ(ReadFile(folder + "/LAYER0/CONTROL.DAT"), images.control);
  EXPECT_EQ(ReadFile(folder + "/LAYER1/LAYER1.DAT"), images.layer2);
  EXPECT_EQ(ReadFile(folder + "/LAYER1/DDPID"), ReadFile(dir / "img1/DDPID.IMG"));
  EXPECT_FALSE(Exists(folder + "/LAYER1/CONTROL.DAT"));
  for (const char* layer : {"LAYER0", "LAYER1"}) {
    const std::string check = "cd " + Quoted(folder + "/" + layer) + " && md5sum -c MD5SUMS";
    EXPECT_EQ(RunShell(check, dir / "md5.txt").status, 0) << ReadFile(dir / "md5.txt");
  }

  // A checksum list that can not be written, or a file of an earlier set
  // that can not be removed (a name this set does not write), fails the run;
  // a folder holding a set is written over only after Yes.
  for (const auto& [blocker, answer] : std::vector<std::pair<std::string, Answer>>{
           {"/LAYER0/MD5SUMS/x", Answer::kYes}, {"/LAYER1/CONTROL.DAT/stuck", Answer::kYes}, {"", Answer::kNo},
           {"", Answer::kYes}}) {
    SCOPED_TRACE(blocker);
    ClearOutcome();
    std::filesystem::remove_all(folder);
    testing::WriteFile(folder + "/LAYER0/LAYER0.DAT", "old");
    if (!blocker.empty()) testing::WriteFile(folder + blocker, "");
    job.tapeLibrary = MakeDdpFolderLibrary(job, folder);
    t.ui.QueueAnswers({answer});
    const bool succeeds = blocker.empty() && answer == Answer::kYes;
    EXPECT_EQ(Run(layout), succeeds);
    EXPECT_EQ(MarkerExists(), !succeeds);
    if (blocker.empty()) {
      EXPECT_EQ(ReadFile(folder + "/LAYER0/LAYER0.DAT") == "old", answer == Answer::kNo);
    }
  }
}

// A sink that only counts what it is given.
class CountingSink final : public VolumeSink {
 public:
  bool Append(const uint8_t*, size_t size) override {
    position_ += size;
    return true;
  }
  uint64_t Position() const override { return position_; }

 private:
  uint64_t position_ = 0;
};

TEST_F(TapeOutputTest, AFileBehindWhatIsWrittenIsAnInternalErrorNotAnOverlap) {
  Layout layout = BackToBack({AddSource("a.bin", 100)});
  job.fileDataList = layout.records;
  job.volumeSectors = layout.volumeSectors;
  CountingSink sink;
  ASSERT_TRUE(sink.AppendZeros(uint64_t{kDataStart + 1} * kSector));
  EXPECT_FALSE(AppendFileDataAndAnchor(job, sink));
  EXPECT_EQ(t.ui.messages.back().caption, "Internal error!");
  EXPECT_TRUE(Contains(t.ui.messages.back().text, layout.records[0].path));
}

TEST_F(TapeOutputTest, EraseLoadsErasesAndRewindsTheTape) {
  job.tapeLibrary = tape;
  ASSERT_TRUE(EraseTape(job));
  EXPECT_EQ(tape->log, (std::vector<std::string>{"TestUnitReady", "TestUnitReady", "Load", "Rewind", "TestUnitReady",
                                                  "Rewind", "TestUnitReady", "Erase 1", "TestUnitReady", "Rewind",
                                                  "TestUnitReady"}));
}

}  // namespace
}  // namespace pravel::output_test
