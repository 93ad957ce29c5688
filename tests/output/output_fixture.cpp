#include "output_fixture.h"

#include <filesystem>

namespace pravel::output_test {

std::string Pattern(size_t size, uint8_t seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + seed) % 251 + 1);
  return text;
}

uint32_t SectorsOf(uint64_t bytes) { return static_cast<uint32_t>((bytes + kSector - 1) / kSector); }

uint32_t VolumeEnd(uint32_t nextFree) { return nextFree % 16 == 0 ? nextFree + 16 : (nextFree + 15) / 16 * 16; }

OutputTest::OutputTest() {
  testing::MakeDirs(dir / "tmp");
  testing::MakeDirs(dir / "template");
  testing::MakeDirs(dir / "img1");
  testing::MakeDirs(dir / "img2");
  layer1Dir = dir / "img1";
  layer2Dir = dir / "img2";
  job.tempDir = dir / "tmp/";
  job.templateDir = dir / "template";
  job.imagePath1 = layer1Dir + "/CONTROL.IMG";
  job.imagePath2 = layer1Dir + "/LAYER01.IMG";
  job.imagePath3 = layer2Dir + "/LAYER02.IMG";
  job.freeSectors1 = 4000000000u;
  job.freeSectors2 = 4000000000u;
  job.noWarningMessagesOutput = 1;
  job.folderCount = 2;
  job.fileCount = 5;
}

std::string OutputTest::AddSource(const std::string& name, size_t size) {
  std::string path = dir / ("src/" + name);
  testing::WriteFile(path, Pattern(size, static_cast<uint8_t>(name.size() * 13 + size)));
  return path;
}

Layout OutputTest::BackToBack(const std::vector<std::string>& paths, uint32_t fileDataStart) {
  Layout layout;
  layout.fileDataStart = fileDataStart;
  uint32_t next = fileDataStart;
  for (const std::string& path : paths) {
    FileDataRecord record;
    record.path = path;
    record.byteLength = std::filesystem::file_size(path);
    record.startSector = next;
    record.sectorCount = SectorsOf(record.byteLength);
    next += record.sectorCount;
    layout.records.push_back(record);
  }
  layout.volumeSectors = VolumeEnd(next);
  return layout;
}

FileSystemBuilder OutputTest::FakeBuilder(Layout layout, std::function<void()> afterBuild) {
  return [layout, afterBuild](Job& j, SectorWriter& writer) {
    for (uint32_t s = 0; s < kMetadataSectors; ++s) {
      std::vector<uint8_t> sector(kSector, MetadataByte(s));
      if (!writer.AppendImageSector(sector.data())) return false;
    }
    j.fileDataStart = layout.fileDataStart;
    j.volumeSectors = layout.volumeSectors;
    j.currentSector = layout.volumeSectors;
    j.fileDataList = layout.records;
    j.fileDataCount = static_cast<uint32_t>(layout.records.size());
    if (afterBuild) afterBuild();
    return true;
  };
}

bool OutputTest::Run(const Layout& layout, std::function<void()> afterBuild) {
  return BuildImageAndOutput(job, FakeBuilder(layout, std::move(afterBuild)));
}

std::string OutputTest::ExpectedVolume(const Layout& layout) {
  std::string volume(static_cast<size_t>(layout.volumeSectors) * kSector, '\0');
  for (uint32_t s = 0; s < kMetadataSectors; ++s) {
    volume.replace(s * kSector, kSector, kSector, static_cast<char>(MetadataByte(s)));
  }
  for (const FileDataRecord& record : layout.records) {
    std::string content = testing::ReadFile(record.path);
    volume.replace(static_cast<size_t>(record.startSector) * kSector, content.size(), content);
  }
  return volume;
}

bool OutputTest::MarkerExists() const { return testing::Exists(dir / "template/_cdferr"); }

void OutputTest::ClearOutcome() {
  t.ui.messages.clear();
  std::filesystem::remove(dir / "template/_cdferr");
}

std::vector<std::string> OutputTest::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& message : t.ui.messages) texts.push_back(message.text);
  return texts;
}

std::vector<std::string> OutputTest::Captions() const {
  std::vector<std::string> captions;
  for (const auto& message : t.ui.messages) captions.push_back(message.caption);
  return captions;
}

}  // namespace pravel::output_test
