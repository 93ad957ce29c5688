// Tape output through a tape library double: what goes on each tape, block
// by block, against the image files of the same title; every failing write
// and mark; the drive's questions, waits and copies; the DDP set as files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "job/runtime.h"
#include "output/ddp_folder.h"
#include "output/file_data_copy.h"
#include "iso/sector_writer.h"
#include "output/tape_device.h"
#include "output/tape_output.h"
#include "output_fixture.h"
#include "support/fault_tape.h"

namespace pravel::output_test {
namespace {

using platform::Answer;
using testing::Cartridge;
using testing::Exists;
using testing::FaultTape;
using testing::ReadFile;

// The tape files of a cartridge: the blocks between marks.
std::vector<std::vector<std::string>> TapeFiles(const Cartridge& tape) {
  std::vector<std::vector<std::string>> files(1);
  for (const testing::TapeRecord& record : tape) {
    if (record.mark) {
      files.emplace_back();
    } else {
      files.back().push_back(record.bytes);
    }
  }
  return files;
}

std::string Joined(const std::vector<std::string>& blocks) {
  std::string all;
  for (const std::string& block : blocks) all += block;
  return all;
}

std::string Blocks(int count) {
  std::string shape;
  for (int i = 0; i < count; ++i) shape += "32768 ";
  return shape;
}

// The tape files' places on a first tape and on a layer-2 tape.
enum FirstTapeFile { kVolumeAndDdpHeaders = 0, kDdp = 1, kControl = 4, kLayer0Headers = 6, kLayer0 = 7 };
enum Layer2TapeFile { kLayer1Headers = 3, kLayer1 = 4 };

struct Images {
  std::string control, layer1, layer2;
};

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

  void UseDualLayer(uint32_t layerCapacity) {
    job.layerCapacity = layerCapacity;
    job.singleLayer = 0;
  }

  // Files of 10, 12 (straddling sector 64), 20 and 1 sectors from 48: 96 sectors.
  Layout StraddlingLayout() {
    return BackToBack({AddSource("a.bin", 10 * kSector), AddSource("straddle.bin", 12 * kSector - 5),
                       AddSource("c.bin", 20 * kSector), AddSource("d.bin", 1)});
  }

  std::shared_ptr<FaultTape> tape = std::make_shared<FaultTape>();
};

TEST_F(TapeOutputTest, ASingleLayerTitleIsOneLabelledTapeWithTheImageFilesBytes) {
  Layout layout = BackToBack({AddSource("a.bin", 3 * kSector + 100), AddSource("b.bin", 5000)});
  ASSERT_EQ(layout.volumeSectors, 64u);
  Images images = ImageRun(layout);
  ASSERT_TRUE(TapeRun(layout));
  EXPECT_FALSE(MarkerExists());

  ASSERT_EQ(tape->cartridges.size(), 1u);
  const Cartridge& cartridge = tape->cartridges[0];
  EXPECT_EQ(testing::Shape(cartridge), "80 80 80 * 384 * 80 80 * 80 80 * 32768 * 80 80 * 80 80 * " + Blocks(4) +
                                           "* 80 80 * *");
  auto files = TapeFiles(cartridge);
  EXPECT_EQ(files[kControl][0], images.control);
  EXPECT_EQ(Joined(files[kLayer0]), images.layer1);
  EXPECT_EQ(files[kDdp][0], ReadFile(dir / "img1/DDPID.IMG"));
  EXPECT_EQ(files[kLayer0Headers][0].substr(54, 6), "000004");
  // The image files of a tape run are the control data and the metadata.
  EXPECT_EQ(ReadFile(job.imagePath1), images.control);
  EXPECT_EQ(ReadFile(job.imagePath2).size(), size_t{kDataStart} * kSector);
}

TEST_F(TapeOutputTest, DualLayerTitlesSwapTapesAtTheBoundaryInsideAFileOrAtItsStart) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, size_t>> files;
  };
  const Case cases[] = {
      {"inside a file", {{"a.bin", 10 * kSector}, {"straddle.bin", 12 * kSector - 5}, {"c.bin", 20 * kSector}}},
      {"at a file's start", {{"a.bin", 10 * kSector}, {"b.bin", 6 * kSector}, {"c.bin", 20 * kSector + 7}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tape = std::make_shared<FaultTape>();
    std::vector<std::string> sources;
    for (const auto& [name, size] : c.files) sources.push_back(AddSource(name, size));
    Layout layout = BackToBack(sources);
    ASSERT_EQ(layout.volumeSectors, 96u);
    UseDualLayer(64);
    Images images = ImageRun(layout);
    job.tapeCopies = 2;
    ASSERT_TRUE(TapeRun(layout));

    ASSERT_EQ(tape->cartridges.size(), 4u);
    auto first = TapeFiles(tape->cartridges[0]);
    auto second = TapeFiles(tape->cartridges[1]);
    EXPECT_EQ(testing::Shape(tape->cartridges[1]),
              "80 80 80 * 256 * 80 80 * 80 80 * " + Blocks(2) + "* 80 80 * *");
    EXPECT_EQ(Joined(first[kLayer0]), images.layer1);
    EXPECT_EQ(Joined(second[kLayer1]), images.layer2);
    EXPECT_EQ(first[kControl][0], images.control);
    // Both tapes carry the whole title's block count.
    EXPECT_EQ(first[kLayer0Headers][0].substr(54, 6), "000006");
    EXPECT_EQ(second[kLayer1Headers][0].substr(54, 6), "000006");
    EXPECT_EQ(second[kLayer1Headers][0].substr(31, 4), "0003");
    // The second copy is the first again, control data of the first layer included.
    EXPECT_EQ(tape->cartridges[2], tape->cartridges[0]);
    EXPECT_EQ(tape->cartridges[3], tape->cartridges[1]);
    // CONTROL.IMG and DDPID.IMG end as the layer-2 tape left them.
    EXPECT_EQ(ReadFile(dir / "img1/DDPID.IMG"), second[kDdp][0]);
    EXPECT_EQ(ReadFile(job.imagePath1).substr(4, 4), std::string("\x00\x03\x00\x40", 4));
    // Two layer-2 tapes, and the second copy's first tape: the drive mounts none itself.
    int mounts = 0;
    for (const auto& message : t.ui.messages) mounts += message.caption == "Select OK when ready!";
    EXPECT_EQ(mounts, 3);
    ClearOutcome();
  }
}

TEST_F(TapeOutputTest, EveryFailingWriteAndMarkFailsTheRun) {
  Layout layout = BackToBack({AddSource("a.bin", 3 * kSector + 100), AddSource("b.bin", 5000)});
  ASSERT_TRUE(TapeRun(layout));
  int writes = 0, marks = 0;
  for (const std::string& entry : tape->log) {
    writes += entry.rfind("Write", 0) == 0;
    marks += entry.rfind("Filemarks", 0) == 0;
  }
  ASSERT_EQ(writes, 19);  // 13 labels, the description, the control block, 4 layer blocks
  ASSERT_EQ(marks, 10);
  for (int failing = 1; failing <= writes + marks; ++failing) {
    SCOPED_TRACE(failing);
    ClearOutcome();
    tape = std::make_shared<FaultTape>();
    if (failing <= writes) {
      tape->failingWrite = failing;
    } else {
      tape->failingMark = failing - writes;
    }
    EXPECT_FALSE(TapeRun(layout));
    EXPECT_TRUE(MarkerExists());
    ASSERT_FALSE(t.ui.messages.empty());
    const std::string& caption = t.ui.messages.back().caption;
    EXPECT_TRUE(caption == "Correct condition and retry operation!" || caption == "Fatal IO error!") << caption;
    EXPECT_FALSE(Exists(job.imagePath2));
  }
  // A write-protected tape says so before the label's own message.
  ClearOutcome();
  tape = std::make_shared<FaultTape>();
  tape->failingWrite = 1;
  tape->writeStatus = platform::tape_status::kWriteProtected;
  EXPECT_FALSE(TapeRun(layout));
  ASSERT_EQ(t.ui.messages.size(), 2u);
  EXPECT_EQ(t.ui.messages[0].text, "WRITE_PROTECTED");
  EXPECT_EQ(t.ui.messages[1].text, "Tape error writing Vol1 block.");
  // A failing mark, and a drive that can not end the tape at its rewind: the sense message first.
  const std::pair<std::function<void(FaultTape&)>, const char*> endings[] = {
      {[](FaultTape& f) { f.failingMark = 3; }, "Tape error writing filemark."},
      {[](FaultTape& f) { f.rewindStatus = platform::tape_status::kWriteError; }, "Tape error rewinding tape."},
  };
  for (const auto& [setUp, text] : endings) {
    ClearOutcome();
    tape = std::make_shared<FaultTape>();
    setUp(*tape);
    EXPECT_FALSE(TapeRun(layout)) << text;
    ASSERT_GE(t.ui.messages.size(), 2u);
    EXPECT_EQ(t.ui.messages[t.ui.messages.size() - 2].text, "WRITE_ERROR") << text;
    EXPECT_EQ(t.ui.messages.back().text, text);
  }
  // A failing data block: the sense message, then the block writer's.
  ClearOutcome();
  tape = std::make_shared<FaultTape>();
  tape->failingWrite = 17;
  EXPECT_FALSE(TapeRun(layout));
  ASSERT_EQ(t.ui.messages.size(), 2u);
  EXPECT_EQ(t.ui.messages[1].text, "Tape write error.");
  EXPECT_EQ(t.ui.messages[1].caption, "Fatal IO error!");
}

TEST_F(TapeOutputTest, TheDriveIsFoundLoadedAndWaitedForOrTheRunFails) {
  Layout layout = BackToBack({AddSource("a.bin", 100)});
  struct Case {
    const char* what;
    std::function<void(FaultTape&)> setUp;
    std::vector<Answer> answers;
    bool succeeds;
    std::string lastMessage;
  };
  const Case cases[] = {
      {"no drive", [](FaultTape& f) { f.deviceIndex = -1; }, {}, false, "There is no DLT2000 tape drive attached"},
      {"drive at index 3", [](FaultTape& f) { f.deviceIndex = 3; }, {}, true, ""},
      {"load fails", [](FaultTape& f) { f.loadStatus = 0x3A00; }, {}, false,
       "Could not mount tape and rewind to BOT position."},
      {"ready after one Yes", [](FaultTape& f) { f.notReadyPolls = 2; }, {Answer::kYes}, true, ""},
      {"No at the question", [](FaultTape& f) { f.notReadyPolls = 2; }, {Answer::kNo}, false, ""},
      {"never ready", [](FaultTape& f) { f.notReadyPolls = 1'000'000; }, std::vector<Answer>(10, Answer::kYes), false,
       "The tape drive did not become ready after 10 tries."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearOutcome();
    tape = std::make_shared<FaultTape>();
    c.setUp(*tape);
    for (Answer answer : c.answers) t.ui.QueueAnswers({answer});
    EXPECT_EQ(TapeRun(layout), c.succeeds);
    EXPECT_EQ(MarkerExists(), !c.succeeds);
    if (!c.lastMessage.empty()) {
      ASSERT_FALSE(t.ui.messages.empty());
      EXPECT_EQ(t.ui.messages.back().text, c.lastMessage);
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

TEST_F(TapeOutputTest, CopiesOnADriveThatMountsNothingWaitForTheNextTape) {
  Layout layout = BackToBack({AddSource("a.bin", 100)});
  job.tapeCopies = 2;
  t.ui.QueueAnswers({Answer::kNo});  // nobody answers "Select OK when ready!"
  EXPECT_FALSE(TapeRun(layout));
  EXPECT_EQ(tape->cartridges.size(), 1u);
  EXPECT_TRUE(MarkerExists());
  EXPECT_EQ(t.ui.messages.back().text, "Nobody confirmed that the next blank tape was mounted.");
}

TEST_F(TapeOutputTest, TheOperatorAsksForEachFurtherCopy) {
  Layout layout = BackToBack({AddSource("a.bin", 100)});
  job.tapeCopies = 0;
  t.ui.QueueAnswers({Answer::kYes, Answer::kYes, Answer::kNo});
  ASSERT_TRUE(TapeRun(layout));
  ASSERT_EQ(tape->cartridges.size(), 3u);
  EXPECT_EQ(tape->cartridges[2], tape->cartridges[0]);
  EXPECT_EQ(t.ui.messages.back().caption, "Make another copy?");
}

TEST_F(TapeOutputTest, NobodyToMountTheLayer2TapeFailsTheRunAfterTheFirstTape) {
  Layout layout = StraddlingLayout();
  UseDualLayer(64);
  t.ui.QueueAnswers({Answer::kNo});
  EXPECT_FALSE(TapeRun(layout));
  EXPECT_TRUE(MarkerExists());
  EXPECT_EQ(tape->cartridges.size(), 1u);
  EXPECT_EQ(t.ui.messages.back().caption, "Operations error!");
}

TEST_F(TapeOutputTest, SixteenSectorsMakeABlockAndAnyOtherCountIsNoBlock) {
  job.tapeLibrary = tape;
  ASSERT_EQ(tape->Load(0), 0);
  TapeBlockWriter blocks(job);
  Sector sector{};
  for (int i = 0; i < 17; ++i) {
    sector[0] = static_cast<uint8_t>(i);
    ASSERT_TRUE(blocks.AppendSectorToTape(sector.data()));
  }
  EXPECT_EQ(blocks.BufferedSectors(), 1u);
  ASSERT_EQ(tape->cartridges[0].size(), 1u);
  EXPECT_EQ(tape->cartridges[0][0].bytes.size(), kTapeBlockBytes);
  EXPECT_EQ(tape->cartridges[0][0].bytes[15 * kSectorSize], 15);
  EXPECT_FALSE(blocks.WriteTapeBlock());
  ExpectOnlyMessage("Internal error!", "Illegal tape block size of 1");
  EXPECT_EQ(blocks.BufferedSectors(), 1u);
}

TEST_F(TapeOutputTest, AnUnattendedRunNeedingATapeChangeOnARealDriveIsRefusedBeforeWriting) {
  for (bool dual : {true, false}) {
    SCOPED_TRACE(dual);
    ClearOutcome();
    tape = std::make_shared<FaultTape>();
    Layout layout = StraddlingLayout();
    if (dual) UseDualLayer(64);
    job.tapeCopies = dual ? 1 : 2;
    job.unattended = 1;
    EXPECT_FALSE(TapeRun(layout));
    EXPECT_TRUE(MarkerExists());
    for (const std::string& entry : tape->log) EXPECT_NE(entry.rfind("Write", 0), 0u) << entry;
    EXPECT_EQ(t.ui.messages.back().caption, "Operations error!");
  }
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
  UseDualLayer(64);
  const std::string straddle = layout.records[1].path;
  EXPECT_FALSE(TapeRun(layout, [&] { testing::WriteFile(straddle, ReadFile(straddle) + "more"); }));
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(testing::Contains(t.ui.messages.back().text, straddle));
}

TEST_F(TapeOutputTest, ADdpSetAsFilesHoldsTheTapeFilesAndChecksumsThatMd5sumAccepts) {
  Layout layout = StraddlingLayout();
  UseDualLayer(64);
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
    const std::string check = "cd " + testing::Quoted(folder + "/" + layer) + " && md5sum -c MD5SUMS";
    EXPECT_EQ(testing::RunShell(check, dir / "md5.txt").status, 0) << ReadFile(dir / "md5.txt");
  }

  // A checksum list that can not be written fails the run.
  ClearOutcome();
  std::filesystem::remove_all(folder);
  testing::MakeDirs(folder + "/LAYER0/MD5SUMS");
  job.tapeLibrary = MakeDdpFolderLibrary(job, folder);
  t.ui.QueueAnswers({Answer::kYes});
  EXPECT_FALSE(Run(layout));
  EXPECT_TRUE(MarkerExists());
  std::filesystem::remove_all(folder + "/LAYER0/MD5SUMS");

  // So does a file of an earlier set that can not be removed.
  ClearOutcome();
  testing::WriteFile(folder + "/LAYER1/CONTROL.DAT/stuck", "");  // a name this set does not write
  job.tapeLibrary = MakeDdpFolderLibrary(job, folder);
  t.ui.QueueAnswers({Answer::kYes});
  EXPECT_FALSE(Run(layout));
  EXPECT_TRUE(MarkerExists());
  std::filesystem::remove_all(folder + "/LAYER1/CONTROL.DAT");

  // A folder holding a set is written over only after Yes.
  for (Answer answer : {Answer::kNo, Answer::kYes}) {
    ClearOutcome();
    testing::WriteFile(folder + "/LAYER0/LAYER0.DAT", "old");
    job.tapeLibrary = MakeDdpFolderLibrary(job, folder);
    t.ui.QueueAnswers({answer});
    EXPECT_EQ(Run(layout), answer == Answer::kYes);
    EXPECT_EQ(ReadFile(folder + "/LAYER0/LAYER0.DAT") == "old", answer == Answer::kNo);
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
  EXPECT_TRUE(testing::Contains(t.ui.messages.back().text, layout.records[0].path));
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
