// A fake file-system builder and a job wired to temporary image, temporary
// and template directories, so that the output stage runs without the real
// builder; a tape library double that keeps what was written in memory, logs
// every command, and fails where it is told to.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job/job.h"
#include "output/image_output.h"
#include "platform/tape_library.h"
#include "support/test_support.h"

namespace pravel::output_test {

inline constexpr uint32_t kSector = 2048;
inline constexpr uint32_t kMetadataSectors = 32;  // what the fake builder writes
inline constexpr uint32_t kDataStart = 48;        // fileDataStart it reports

// What the fake builder leaves in the Job.
struct Layout { uint32_t fileDataStart = kDataStart; uint32_t volumeSectors = 0; std::vector<FileDataRecord> records; };

// The recognisable byte of metadata sector `s`.
inline char MetadataByte(uint32_t s) { return static_cast<char>(0x40 + s); }

// Bytes that differ from file to file and from sector to sector.
inline std::string Pattern(size_t size, uint8_t seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + seed) % 251 + 1);
  return text;
}

// What is on a tape: each block's bytes, and an empty string for each tape mark.
using Cartridge = std::vector<std::string>;

class FaultTape : public platform::TapeLibrary {
 public:
  // --- What goes wrong. Counts start at 1; 0 means never.
  int deviceIndex = 0;        // where the drive answers; -1: no tape drive at all
  int notReadyPolls = 0;      // the first this many TestUnitReady answer kNotReady
  int loadStatus = 0;         // what every Load answers
  int failingWrite = 0;       // the Nth WriteVariableBlock answers writeStatus and writes nothing
  int writeStatus = platform::tape_status::kWriteError;
  int failingMark = 0;        // the Nth WriteFilemarks answers kWriteError and writes nothing
  int rewindStatus = 0;       // what every Rewind answers

  // --- What was sent.
  // Commands in order: "TestUnitReady", "Load", "Rewind", "Write 80",
  // "Filemarks 1", "Erase 1"; GetDeviceType is not logged.
  std::vector<std::string> log;
  // One per successful Load, as written from its start.
  std::vector<Cartridge> cartridges;

  int GetDeviceType(int index) override {
    return index == deviceIndex ? platform::kSequentialAccessDevice : platform::kNoDevice;
  }

  int TestUnitReady(int index) override {
    Log(index, "TestUnitReady");
    if (polls_ >= notReadyPolls) return platform::tape_status::kGood;
    ++polls_;
    return platform::tape_status::kNotReady;
  }

  int Load(int index) override {
    Log(index, "Load");
    if (loadStatus != 0) return loadStatus;
    cartridges.emplace_back();
    position_ = 0;
    return platform::tape_status::kGood;
  }

  int Rewind(int index) override {
    Log(index, "Rewind");
    position_ = 0;
    return rewindStatus;
  }

  int WriteVariableBlock(int index, const uint8_t* data, size_t length) override {
    Log(index, "Write " + std::to_string(length));
    if (++writes_ == failingWrite) return writeStatus;
    return Put(std::string(reinterpret_cast<const char*>(data), length));
  }

  int WriteFilemarks(int index, int count) override {
    Log(index, "Filemarks " + std::to_string(count));
    if (++marks_ == failingMark) return platform::tape_status::kWriteError;
    for (int i = 0; i < count; ++i) Put("");
    return platform::tape_status::kGood;
  }

  int Erase(int index, int longErase) override {
    Log(index, "Erase " + std::to_string(longErase));
    if (!cartridges.empty()) cartridges.back().clear();
    position_ = 0;
    return platform::tape_status::kGood;
  }

 private:
  void Log(int index, const std::string& entry) {
    if (index != deviceIndex) ADD_FAILURE() << entry << " sent to index " << index << ", no drive there";
    log.push_back(entry);
  }

  // Writing ends the tape behind the record written.
  int Put(std::string record) {
    if (cartridges.empty()) return platform::tape_status::kNoMedium;
    Cartridge& tape = cartridges.back();
    tape.resize(position_);
    tape.push_back(std::move(record));
    ++position_;
    return platform::tape_status::kGood;
  }

  int polls_ = 0;
  int writes_ = 0;
  int marks_ = 0;
  size_t position_ = 0;
};

class OutputStageTest : public ::testing::Test {
 protected:
  OutputStageTest() {
    for (const char* sub : {"tmp", "template", "img1", "img2"}) testing::MakeDirs(dir / sub);
    job.tempDir = dir / "tmp/";
    job.templateDir = dir / "template";
    job.folderCount = 2;
    job.fileCount = 5;
    Reset();
  }

  // The settings tests change, as a single-layer run without questions has them.
  void Reset() {
    ClearOutcome();
    job.imagePath1 = dir / "img1/CONTROL.IMG";
    job.imagePath2 = dir / "img1/LAYER01.IMG";
    job.imagePath3 = dir / "img2/LAYER02.IMG";
    job.singleLayer = 1;
    job.layerCapacity = geometry::kSingleLayerCapacity;
    job.noWarningMessagesOutput = 1;
    job.toTape = 0;
    job.freeSectors1 = 4000000000u;
    job.freeSectors2 = 4000000000u;
  }

  // Files of 10, 12 (straddling sector 64), 20 and 1 sectors from 48: 91 -> 96 sectors.
  Layout StraddlingLayout() {
    return BackToBack({AddSource("a.bin", 10 * kSector), AddSource("straddle.bin", 12 * kSector - 5),
                       AddSource("c.bin", 20 * kSector), AddSource("d.bin", 1)});
  }

  // A failed run leaves the marker and no image file, finished or not.
  void ExpectMarkerAndNoImage() {
    EXPECT_TRUE(MarkerExists());
    for (const std::string& path : {job.imagePath1, job.imagePath2, job.imagePath3}) {
      EXPECT_FALSE(testing::Exists(path)) << path;
      EXPECT_FALSE(testing::Exists(path + ".part")) << path;
    }
    EXPECT_TRUE(job.fileDataList.empty());
  }

  // Writes a source file of `size` bytes of a pattern and returns its path.
  std::string AddSource(const std::string& name, size_t size) {
    std::string path = dir / ("src/" + name);
    testing::WriteFile(path, Pattern(size, static_cast<uint8_t>(name.size() * 13 + size)));
    return path;
  }

  // The records of `paths` back to back from fileDataStart, as the builder
  // lays them out; the volume ends on the next multiple of 16, or 16 more
  // on one.
  Layout BackToBack(const std::vector<std::string>& paths, uint32_t fileDataStart = kDataStart) {
    Layout layout{fileDataStart, 0, {}};
    uint32_t next = fileDataStart;
    for (const std::string& path : paths) {
      FileDataRecord record;
      record.path = path;
      record.byteLength = std::filesystem::file_size(path);
      record.startSector = next;
      record.sectorCount = static_cast<uint32_t>((record.byteLength + kSector - 1) / kSector);
      next += record.sectorCount;
      layout.records.push_back(record);
    }
    layout.volumeSectors = next / 16 * 16 + 16;
    return layout;
  }

  // The stage with a builder that writes kMetadataSectors sectors and leaves
  // `layout`; `afterBuild` runs last (to change sources behind its back).
  bool Run(const Layout& layout, std::function<void()> afterBuild = {}) {
    return BuildImageAndOutput(job, [layout, afterBuild](Job& j, SectorWriter& writer) {
      for (uint32_t s = 0; s < kMetadataSectors; ++s) {
        std::vector<uint8_t> sector(kSector, static_cast<uint8_t>(MetadataByte(s)));
        if (!writer.AppendImageSector(sector.data())) return false;
      }
      j.fileDataStart = layout.fileDataStart;
      j.volumeSectors = layout.volumeSectors;
      j.currentSector = layout.volumeSectors;
      j.fileDataList = layout.records;
      j.fileDataCount = static_cast<uint32_t>(layout.records.size());
      if (afterBuild) afterBuild();
      return true;
    });
  }

  // The volume the layout should give: metadata, zeros, every file's data.
  std::string ExpectedVolume(const Layout& layout) {
    std::string volume(size_t{layout.volumeSectors} * kSector, '\0');
    for (uint32_t s = 0; s < kMetadataSectors; ++s) volume.replace(s * kSector, kSector, kSector, MetadataByte(s));
    for (const FileDataRecord& record : layout.records) {
      std::string content = testing::ReadFile(record.path);
      volume.replace(size_t{record.startSector} * kSector, content.size(), content);
    }
    return volume;
  }

  bool MarkerExists() const { return testing::Exists(dir / "template/_cdferr"); }

  // Forgets the messages and the marker of a run, for the next case.
  void ClearOutcome() {
    t.ui.messages.clear();
    std::filesystem::remove(dir / "template/_cdferr");
  }

  // The run showed one message, with this caption (and text, when given).
  void ExpectOnlyMessage(const std::string& caption, const std::string& text = "") {
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].caption, caption);
    if (!text.empty()) {
      EXPECT_EQ(t.ui.messages[0].text, text);
    }
  }

  testing::TempDir dir;
  testing::TestJob t;
  Job& job = t.job;
};

}  // namespace pravel::output_test
