// A fake file-system builder and a job wired to temporary image, temporary
// and template directories, so that the output stage runs without the real
// builder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job/job.h"
#include "output/image_output.h"
#include "support/test_support.h"

namespace pravel::output_test {

inline constexpr uint32_t kSector = 2048;
inline constexpr uint32_t kMetadataSectors = 32;  // what the fake builder writes
inline constexpr uint32_t kDataStart = 48;        // fileDataStart it reports

// What the fake builder leaves in the Job.
struct Layout {
  uint32_t fileDataStart = kDataStart;
  uint32_t volumeSectors = 0;
  std::vector<FileDataRecord> records;
};

// The recognisable byte of metadata sector `s`.
inline char MetadataByte(uint32_t s) { return static_cast<char>(0x40 + s); }

// Bytes that differ from file to file and from sector to sector.
inline std::string Pattern(size_t size, uint8_t seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + seed) % 251 + 1);
  return text;
}

class OutputStageTest : public ::testing::Test {
 protected:
  OutputStageTest() {
    for (const char* sub : {"tmp", "template", "img1", "img2"}) testing::MakeDirs(dir / sub);
    job.tempDir = dir / "tmp/";
    job.templateDir = dir / "template";
    job.imagePath1 = dir / "img1/CONTROL.IMG";
    job.imagePath2 = dir / "img1/LAYER01.IMG";
    job.imagePath3 = dir / "img2/LAYER02.IMG";
    job.folderCount = 2;
    job.fileCount = 5;
    Reset();
  }

  // The settings tests change, as a single-layer run without questions has them.
  void Reset() {
    ClearOutcome();
    job.singleLayer = 1;
    job.layerCapacity = geometry::kSingleLayerCapacity;
    job.noWarningMessagesOutput = 1;
    job.toTape = 0;
    job.freeSectors1 = 4000000000u;
    job.freeSectors2 = 4000000000u;
  }

  // An empty file before a 2048-byte one, a 2049-byte one, a larger one.
  std::vector<std::string> MixedSources() {
    return {AddSource("big.bin", 5000), AddSource("empty.bin", 0), AddSource("two.bin", 2048),
            AddSource("three.bin", 2049)};
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
