// A fake file-system builder and a job wired to temporary image, temporary
// and template directories, so that the output stage runs without the real
// builder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
inline uint8_t MetadataByte(uint32_t s) { return static_cast<uint8_t>(0x40 + s); }

std::string Pattern(size_t size, uint8_t seed);
uint32_t SectorsOf(uint64_t bytes);
// The builder's volume end: the next multiple of 16, or 16 more on one.
uint32_t VolumeEnd(uint32_t nextFree);

class OutputTest : public ::testing::Test {
 protected:
  OutputTest();

  // Writes a source file of `size` bytes of a pattern and returns its path.
  std::string AddSource(const std::string& name, size_t size);
  // The records of `paths` back to back from fileDataStart, as the builder
  // lays them out.
  Layout BackToBack(const std::vector<std::string>& paths, uint32_t fileDataStart = kDataStart);
  // A builder that writes kMetadataSectors sectors and leaves `layout`;
  // `afterBuild` runs last (to change sources behind the builder's back).
  FileSystemBuilder FakeBuilder(Layout layout, std::function<void()> afterBuild = {});
  bool Run(const Layout& layout, std::function<void()> afterBuild = {});

  // The volume the layout should give: metadata, padding, every file's data.
  std::string ExpectedVolume(const Layout& layout);

  bool MarkerExists() const;
  // Forgets the messages and the marker of a run, for the next case.
  void ClearOutcome();
  std::vector<std::string> MessageTexts() const;
  std::vector<std::string> Captions() const;

  testing::TempDir dir;
  testing::TestJob t;
  Job& job = t.job;
  std::string layer1Dir, layer2Dir;
};

}  // namespace pravel::output_test
