// The ISO 9660 and Joliet volume: the builder's sector map, file placement
// and directory records over a scanned tree, the volume descriptors and
// recording dates against the tables of the standard, the path tables and
// the sorting of directory listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "intake/tree_scan.h"
#include "job/runtime.h"
#include "iso/builder.h"
#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "iso/path_tables.h"
#include "iso/volume_descriptors.h"
#include "platform/files.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

// A build of a generated tree: the scan of dir/title, then the builder into
// LAYER01.IMG, with dir/tmp as the temporary (and template) directory, ISO
// Level 2 names and no name warnings.
class BuilderTest : public ::testing::Test {
 protected:
  BuilderTest() {
    MakeDirs(dir / "tmp");
    MakeDirs(dir / "title");
    t.job.tempDir = dir / "tmp/";
    t.job.tempDirPlain = t.job.templateDir = dir / "tmp";
    t.job.treeListPath = dir / "tmp/tm.txt";
    t.job.discType = 5;
    t.job.isoLevel1Names = 0;
    t.job.noWarningMessages = 1;
  }

  // Scans every entry of the title folder as a selected source, then builds.
  bool ScanAndBuild() {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "title")) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const auto& path : entries) t.job.AddSource(path.string());
    EXPECT_TRUE(BuildTreeListing(t.job));
    for (const auto& message : t.ui.messages) ADD_FAILURE() << message.caption << ": " << message.text;
    return Build();
  }

  bool Build() {
    image = dir / "LAYER01.IMG";
    auto file = platform::File::Open(image, platform::File::Mode::kCreate);
    if (!file) return false;
    SectorWriter writer(t.job, *file, image);
    NoUdfStage udf;
    bool ok = BuildFileSystem(t.job, writer, udf) && writer.FlushImageSectors();
    file->Close();
    bytes = ReadFile(image);
    return ok;
  }

  const uint8_t* SectorAt(uint32_t sector) const {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + static_cast<size_t>(sector) * kSectorSize;
  }

  // The extents and lengths of the records of a directory extent.
  std::vector<std::pair<uint32_t, uint32_t>> RecordsAt(uint32_t extent, uint32_t length) const {
    std::vector<std::pair<uint32_t, uint32_t>> records;
    for (size_t offset = 0; offset < length;) {
      const uint8_t* r = SectorAt(extent) + offset;
      if (r[0] == 0) {
        offset = (offset / kSectorSize + 1) * kSectorSize;
      } else {
        records.emplace_back(GetLe32(r + 2), GetLe32(r + 10));
        offset += r[0];
      }
    }
    return records;
  }

  TempDir dir;
  testing::TestJob t;
  std::string image;
  std::string bytes;
};

// Path table slots 450-457, ISO root 458, Joliet root 459, UDF area at 460,
// closed on a multiple of 16; file data 5000 sectors on, raised to a
// multiple of 16; the volume 16 sectors more. The root holds "." and ".."
// only, each describing the root itself.
TEST_F(BuilderTest, EmptyTreeListingGivesTheFixedSectorMap) {
  WriteFile(t.job.treeListPath, "");
  ASSERT_TRUE(Build()) << (t.ui.messages.empty() ? "" : t.ui.messages.back().text);
  const uint8_t* primary = SectorAt(16);
  const uint8_t* supplementary = SectorAt(17);
  EXPECT_EQ((std::vector<uint32_t>{GetLe32(primary + 140), GetBe32(primary + 148), GetLe32(supplementary + 140),
                                   GetBe32(supplementary + 148), GetLe32(primary + 158), GetLe32(supplementary + 158),
                                   GetLe32(primary + 80), SectorAt(18)[0]}),
            (std::vector<uint32_t>{450, 452, 456, 454, 458, 459, 5488, 255}));
  EXPECT_EQ(bytes.size(), 464u * kSectorSize);
  EXPECT_EQ(t.job.fileDataStart, 5472u);
  EXPECT_EQ(t.job.volumeSectors, 5488u);
  EXPECT_EQ(RecordsAt(458, 2048), (std::vector<std::pair<uint32_t, uint32_t>>{{458, 2048}, {458, 2048}}));
}

// Name order A, A.TXT, B.BIN, C.DAT; the empty A.TXT shares B.BIN's extent.
// ".." of each directory names its parent, in both trees (the readers
// accept any directory there).
TEST_F(BuilderTest, FilesArePlacedInNameOrderAndDotDotNamesTheParent) {
  const std::pair<const char*, size_t> files[] = {
      {"D/B.BIN", 2048}, {"D/A.TXT", 0}, {"D/C.DAT", 2049}, {"D/A", 1}, {"D/SUB/Z.TXT", 1}};
  for (const auto& [name, size] : files) WriteFile(dir / ("title/" + std::string(name)), std::string(size, 'x'));
  ASSERT_TRUE(ScanAndBuild()) << t.ui.messages.back().text;
  const auto& list = t.job.fileDataList;
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0].path, dir / "title/D/A");
  EXPECT_EQ(list[1].path, dir / "title/D/A.TXT");
  const uint32_t start = t.job.fileDataStart;
  EXPECT_EQ((std::vector<uint32_t>{list[0].startSector, list[0].sectorCount, list[1].startSector, list[1].sectorCount,
                                   list[2].startSector, list[2].sectorCount, list[3].sectorCount}),
            (std::vector<uint32_t>{start, 1, start + 1, 0, start + 1, 1, 2}));
  EXPECT_EQ(list[3].byteLength, 2049u);
  EXPECT_EQ(t.job.currentSector, ((start + 5) / 16 + 1) * 16);
  EXPECT_EQ(t.job.volumeSectors, t.job.currentSector);
  for (const uint8_t* descriptor : {SectorAt(16), SectorAt(17)}) {
    const auto root = RecordsAt(GetLe32(descriptor + 158), GetLe32(descriptor + 166));
    ASSERT_EQ(root.size(), 3u);
    const auto d = RecordsAt(root[2].first, root[2].second);
    ASSERT_EQ(d.size(), 7u);
    const auto sub = RecordsAt(d[6].first, d[6].second);
    ASSERT_EQ(sub.size(), 3u);
    EXPECT_EQ(d[1].first, root[0].first);
    EXPECT_EQ(sub[1].first, root[2].first);
  }
}

TEST_F(BuilderTest, OverlongJolietRecordIsRefusedNamingTheFile) {
  t.job.relaxJoliet = 1;
  WriteFile(dir / "title/D/" + std::string(110, 'n'), "x");
  EXPECT_FALSE(ScanAndBuild());
  EXPECT_NE(t.ui.messages.back().text.find(std::string(110, 'n')), std::string::npos);
}

TEST_F(BuilderTest, RemoveBuilderFilesTakesEveryOneGapsIncluded) {
  const std::vector<std::string> names = {"_pdir.txt", "_pdirX.txt", "_td0000", "_td0000X", "_td0007", "_td0007X"};
  for (const std::string& name : names) WriteFile(dir / ("tmp/" + name), "x");
  WriteFile(dir / "tmp/keep.txt", "x");
  RemoveBuilderFiles(t.job);
  for (const std::string& name : names) EXPECT_FALSE(Exists(dir / ("tmp/" + name))) << name;
  EXPECT_TRUE(Exists(dir / "tmp/keep.txt"));
}

// A UCS-2 big-endian field: the text, then 0x00 0x20 pairs, and a last 0x00
// when the size is odd.
std::string JolietField(const std::string& text, size_t size) {
  std::string field;
  for (char c : text) field += std::string{'\0', c};
  while (field.size() + 1 < size) field += std::string("\0 ", 2);
  field.resize(size, '\0');
  return field;
}

std::string Padded(const std::string& text, size_t size) { return text + std::string(size - text.size(), ' '); }

class VolumeDescriptors : public ::testing::Test {
 protected:
  VolumeDescriptors() {
    Job& job = test.job;
    job.systemId = "PRAVEL SYSTEM";
    job.volumeId = "A_VOLUME_OF_TWENTY_SIX_CHARS";
    job.albumId = "ALBUM SET";
    job.publisherId = "PUBLISHER";
    job.preparerId = "PREPARER";
    job.applicationId = "APPLICATION";
    SetDates({"2001020304050600", "2002030405060700", "2030010100000000", "2003040506070800"});
    // Path table slots 450 to 457; the build date 2026-03-04 05:06:07.
    layout = {123456, {10, 1}, {14, 1}, MakePathTableSlots(1, 1), 458, 2048, 459, 4096, test.clock.Now()};
  }

  // Creation, modification, expiration and effective date.
  void SetDates(const std::vector<std::string>& dates) {
    test.job.creationDate = dates[0];
    test.job.modificationDate = dates[1];
    test.job.expirationDate = dates[2];
    test.job.effectiveDate = dates[3];
  }

  std::vector<uint8_t> Build(void (*build)(Job&, const VolumeLayout&, uint8_t*)) {
    std::vector<uint8_t> sector(2048, 0);
    build(test.job, layout, sector.data());
    return sector;
  }
  std::vector<uint8_t> Primary() { return Build(BuildPrimaryVolumeDescriptor); }
  std::vector<uint8_t> Supplementary() { return Build(BuildSupplementaryVolumeDescriptor); }

  TestJob test;
  VolumeLayout layout;
};

// The four 17-byte dates: their digits and zone bytes, in the order creation,
// modification, expiration, effective.
void ExpectDates(const std::vector<uint8_t>& sector, const std::vector<std::string>& dates,
                 const std::array<uint8_t, 4>& zones = {}) {
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Text(sector.data() + 813 + 17 * i, 16), dates[i]) << i;
    EXPECT_EQ(sector[829 + 17 * i], zones[i]) << "zone byte " << i;
  }
}

// The supplementary holds the Joliet escape sequence and UCS-2 identifiers,
// cut to their fields (the name rules' tests cut and upper-case identifier
// fields); the root record is dated with the build date.
TEST_F(VolumeDescriptors, PrimaryAndSupplementaryFieldsFollowTheirTables) {
  for (const bool joliet : {false, true}) {
    SCOPED_TRACE(joliet ? "supplementary" : "primary");
    const std::vector<uint8_t> sector = joliet ? Supplementary() : Primary();
    auto id = [&](const std::string& text, size_t size) {
      return joliet ? JolietField(text, size) : Padded(text, size);
    };
    ExpectFields(sector.data(), {{0, 1, joliet ? 2u : 1u}, {1, "CD001"}, {6, 1, 1}, {7, 1, 0},
                                 {8, id("PRAVEL SYSTEM", 32)},
                                 {40, id(joliet ? "A_VOLUME_OF_TWEN" : "A_VOLUME_OF_TWENTY_SIX_CHARS", 32)},
                                 {72, std::string(8, '\0')}, BothOrders(80, 4, 123456),
                                 {88, joliet ? "\x25\x2F\x45" : std::string(3, '\0')}, {91, std::string(29, '\0')},
                                 BothOrders(120, 2, 1), BothOrders(124, 2, 1), BothOrders(128, 2, 2048),
                                 BothOrders(132, 4, joliet ? 14 : 10), {140, 4, joliet ? 456u : 450u},
                                 {144, 4, 0}, {148, BeBytes(joliet ? 454 : 452, 4)}, {152, 4, 0},
                                 {190, id("ALBUM SET", 128)}, {318, id("PUBLISHER", 128)}, {446, id("PREPARER", 128)},
                                 {574, id("APPLICATION", 128)}, {702, id("", 37) + id("", 37) + id("", 37)},
                                 {881, 1, 1}, ZerosFrom(882)});
    ExpectFields(sector.data() + 156,
                 {{0, 1, 34}, {1, 1, 0}, BothOrders(2, 4, joliet ? 459 : 458), BothOrders(10, 4, joliet ? 4096 : 2048),
                  {18, std::string("\x7E\3\4\5\6\7\0", 7)}, {25, 1, 2}, {26, 2, 0}, BothOrders(28, 2, 1), {32, 1, 1},
                  {33, 1, 0}});
    ExpectDates(sector, {"2001020304050600", "2002030405060700", "2030010100000000", "2003040506070800"});
  }
}

// Dates beginning with zero take the build date (expiration stays zero);
// date texts too short to be dates count as not given, long ones are cut to
// their 16 characters and do not run into the next field. A text that names
// no date (letters, a 13th month, a 31st of February) counts as not given:
// readers refuse a volume that carries one.
TEST_F(VolumeDescriptors, DatesTakeTheBuildDateOrStayWithinTheirFields) {
  const std::string zeros = "0000000000000000", built = "2026030405060700";
  struct Case { std::vector<std::string> given, written; };
  for (const Case& c : {Case{{zeros, zeros, zeros, "0999999999999999"}, {built, built, zeros, built}},
                        Case{{"", "2026", "2031", "20050607080910111213"}, {built, built, zeros, "2005060708091011"}},
                        Case{{"2002133104050600", "2002023104050600", "2030ABCD00000000", "2004022923595999"},
                             {built, built, zeros, "2004022923595999"}},
                        Case{{"2002-02-03 04:05", "2002020324000000", "2030020300006000", "1900022912000000"},
                             {built, built, zeros, built}}}) {
    SCOPED_TRACE(c.given[3]);
    SetDates(c.given);
    for (const std::vector<uint8_t>& sector : {Primary(), Supplementary()}) {
      ExpectDates(sector, c.written);
      EXPECT_EQ(sector[881], 1);
    }
  }
}

// The offset from UTC in quarter hours (ECMA-119 8.4.26.1): the build date
// carries the clock's, a date of the format descriptor the one its zone had
// then (the test clock's zone keeps one offset); the build date and a given
// date go to UTC when the offset lies beyond +52. No date keeps offset 0; a
// text that is no date gives way to the build date and its offset.
TEST_F(VolumeDescriptors, DatesCarryTheirOffsetFromUtc) {
  struct Case { int offsetMinutes; std::string built, given; uint8_t zone; };
  for (const Case& c : {Case{-300, "2026030405060700", "2002030405060700", 0xEC},
                        Case{330, "2026030405060700", "2002030405060700", 22},
                        Case{840, "2026030315060700", "2002030315060700", 0},
                        Case{-780, "2026030418060700", "2002030418060700", 0}}) {
    SCOPED_TRACE(c.offsetMinutes);
    test.clock.Set({2026, 3, 4, 5, 6, 7, 8, c.offsetMinutes});
    layout.buildDate = test.clock.Now();
    // The last moment of 9999 stays in 9999 only where its offset can be
    // recorded; in UTC it would be a day of 10000, which no date field holds.
    SetDates({"0000000000000000", "2002030405060700", "9999123123595999", "2003AB0506070800"});
    const bool beyond = c.offsetMinutes < -12 * 60;
    for (const std::vector<uint8_t>& sector : {Primary(), Supplementary()}) {
      const std::string last = c.offsetMinutes > 13 * 60 ? "9999123109595999" : "9999123123595999";
      ExpectDates(sector, {c.built, c.given, beyond ? "0000000000000000" : last, c.built},
                  {c.zone, c.zone, static_cast<uint8_t>(beyond ? 0 : c.zone), c.zone});
      EXPECT_EQ(sector[156 + 18 + 6], c.zone) << "the root record's zone byte";
    }
  }
}

// Each identifier that names a file takes that file's name by the name rule
// (the name rules' tests hold its cases): at Level 2 the last component whole
// when it fits (37 characters in the primary, 18 in the supplementary), else
// the short name. A bare name is no path to look up.
TEST_F(VolumeDescriptors, FileIdentifiersFollowTheFileIdentifierRule) {
  TempDir dir;
  WriteFile(dir / "notes/Copyright Notice.txt", "c");
  WriteFile(dir / "notes/abstract.txt", "a");
  test.job.copyrightFileId = dir / "notes/Copyright Notice.txt";
  test.job.abstractFileId = dir / "notes/abstract.txt";
  test.job.biblioFileId = dir / "notes/missing.txt";
  test.job.isoLevel1Names = 0;
  test.job.upperCaseNames = 1;
  const std::vector<uint8_t> primary = Primary(), joliet = Supplementary();
  const std::string names[] = {"COPYRIGHT NOTICE.TXT", "ABSTRACT.TXT", "MISSING.TXT"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Text(primary.data() + 702 + 37 * i, 37), Padded(names[i], 37)) << i;
    EXPECT_EQ(Text(joliet.data() + 702 + 37 * i, 37),
              JolietField(i ? names[i] : "COPYRI_1.TXT", 37))
        << i;
  }
  // A bare identifier is written as it stands, whatever the working directory holds.
  test.job.copyrightFileId = "COPYRIGH.TXT";
  test.job.isoLevel1Names = 1;
  WriteFile(dir / "COPYRIGH.TXT", "c");
  const std::vector<uint8_t> elsewhere = Primary();
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const std::vector<uint8_t> here = Primary();
  std::filesystem::current_path(previous);
  EXPECT_EQ(Text(here.data() + 702, 37), Padded("COPYRIGH.TXT", 37));
  EXPECT_EQ(here, elsewhere);
}

// The 7-byte recording date of directory records: the local time and its
// offset from UTC in quarter hours, a signed byte from -48 to +52
// (ECMA-119 9.1.5); a time whose offset has no such form is recorded as UTC.
TEST(RecordingDate, LocalTimeWithItsOffsetInQuarterHours) {
  using Bytes = std::array<uint8_t, 7>;
  struct Case { platform::LocalTime time; Bytes written; };
  const Case cases[] = {
      {{2026, 3, 4, 5, 6, 7, 8, 0}, {126, 3, 4, 5, 6, 7, 0}},
      {{2026, 3, 4, 5, 6, 7, 8, 330}, {126, 3, 4, 5, 6, 7, 22}},     // +5:30
      {{2026, 3, 4, 5, 6, 7, 8, -300}, {126, 3, 4, 5, 6, 7, 0xEC}},  // -5:00, -20
      {{2026, 3, 4, 5, 6, 7, 8, -720}, {126, 3, 4, 5, 6, 7, 0xD0}},  // -12:00, -48
      {{2026, 3, 4, 5, 6, 7, 8, 780}, {126, 3, 4, 5, 6, 7, 52}},     // +13:00
      // +14:00 and +13:45 lie beyond +52, -4:56 is no whole number of
      // quarter hours: the same instant in UTC.
      {{2026, 1, 1, 5, 6, 7, 8, 840}, {125, 12, 31, 15, 6, 7, 0}},
      {{2026, 3, 4, 5, 6, 7, 8, 825}, {126, 3, 3, 15, 21, 7, 0}},
      {{2026, 12, 31, 20, 0, 7, 8, -296}, {127, 1, 1, 0, 56, 7, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time.utcOffsetMinutes);
    Bytes field;
    field.fill(0xEE);
    PutRecordingDate(field.data(), c.time, true);
    EXPECT_EQ(field, c.written);
  }
  Bytes withoutSecond;
  PutRecordingDate(withoutSecond.data(), cases[2].time, false);
  EXPECT_EQ(withoutSecond, (Bytes{126, 3, 4, 5, 6, 0, 0xEC}));
}

// --- path tables ---------------------------------------------------------

// The last of `count` path table records stored back to back from the start of a table.
struct Parsed { uint32_t extent = 0; uint16_t parent = 0; std::vector<uint8_t> identifier; };
Parsed LastRecord(const std::vector<uint8_t>& table, size_t count, bool bigEndian) {
  const uint8_t* record = table.data();
  for (size_t i = 1; i < count; ++i) record += 8 + record[0] + record[0] % 2;
  return {bigEndian ? GetBe32(record + 2) : GetLe32(record + 2), bigEndian ? GetBe16(record + 6) : GetLe16(record + 6),
          std::vector<uint8_t>(record + 8, record + 8 + record[0])};
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Ucs2(const std::string& ascii) {
  std::vector<uint8_t> out;
  for (char c : ascii) out.insert(out.end(), {0, static_cast<uint8_t>(c)});
  return out;
}

class PathTablesTest : public ::testing::Test {
 protected:
  PathTablesTest() {
    job.isoLevel1Names = 0;
    job.tempDirPlain = dir.path();
    job.tempDir = dir.path() + "/";
    job.sourceBases = {"/src"};
    job.sourceBaseCount = 1;
  }

  // A directory table of the given directory lines; entry i gets extents
  // 1000 + i (ISO) and 2000 + i (Joliet), the root 500 and 600.
  void SetDirectories(const std::vector<std::string>& paths) {
    table = DirectoryTable{};
    for (size_t i = 0; i < paths.size(); ++i) {
      DirectoryEntry entry;
      entry.path = paths[i];
      entry.isoExtent = static_cast<uint32_t>(1000 + i);
      entry.jolietExtent = static_cast<uint32_t>(2000 + i);
      table.entries.push_back(entry);
    }
    table.rootIsoExtent = 500;
    table.rootJolietExtent = 600;
    table.Index();
  }

  // One field of every path table record, in the table's order.
  template <typename T>
  std::vector<T> Column(T PathTableRecord::*field) const {
    std::vector<T> column;
    for (const PathTableRecord& record : tables.Records()) column.push_back(record.*field);
    return column;
  }

  // An image that held `before`, after `write` wrote into it.
  std::string WriteImage(const std::string& before, const std::function<void(SectorWriter&)>& write) {
    const std::string imagePath = dir / "image";
    WriteFile(imagePath, before);
    auto image = platform::File::Open(imagePath, platform::File::Mode::kReadWrite);
    EXPECT_TRUE(image);
    if (!image) return "";
    SectorWriter writer(job, *image, imagePath);
    write(writer);
    EXPECT_TRUE(image->Close());
    return ReadFile(imagePath);
  }

  TempDir dir;
  TestJob t;
  Job& job = t.job;
  DirectoryTable table;
  PathTables tables;
};

// Stretches written once leave the cache while the writing goes on: the
// image holds them all the same, and a sector rewritten inside one of them
// afterwards lands on top of it.
TEST_F(PathTablesTest, SectorsWrittenOnceStayInTheImageAfterTheCacheLetsThemGo) {
  constexpr uint64_t kFirst = 20, kBatch = 125, kBatches = 40;  // 10 MB: more than the cache keeps
  std::string expected(kFirst * kSectorSize, '\0');
  std::vector<uint8_t> batch(kBatch * kSectorSize);
  const std::string written = WriteImage("", [&](SectorWriter& writer) {
    for (uint64_t b = 0; b < kBatches; ++b) {
      for (uint64_t i = 0; i < batch.size(); ++i) batch[i] = static_cast<uint8_t>(b * 31 + i / kSectorSize);
      ASSERT_TRUE(writer.WriteSectorsOnceAt(kFirst + b * kBatch, batch.data(), kBatch));
      expected.append(batch.begin(), batch.end());
    }
    const std::vector<uint8_t> patch(kSectorSize, 0xA5);
    ASSERT_TRUE(writer.WriteSectorsAt(kFirst + 3, patch.data(), 1));
    expected.replace((kFirst + 3) * kSectorSize, kSectorSize, std::string(kSectorSize, '\xA5'));
  });
  EXPECT_TRUE(written == expected) << written.size() << " bytes written, " << expected.size() << " expected";
}

TEST_F(PathTablesTest, RecordsCrossSectorsWhileTheSlotFollowsTheSizeRule) {
  // 40-byte records (31 characters and a padding byte) behind the 10-byte
  // root: 50 of them fill 2010 bytes of the first sector, the 51st opens a
  // second.
  std::vector<std::string> paths;
  for (int i = 0; i < 51; ++i) paths.push_back("/src/" + std::string(28, 'D') + Format("%03d", i) + "/");
  SetDirectories(std::vector<std::string>(paths.begin(), paths.begin() + 50));
  ASSERT_TRUE(tables.Build(job, table));
  EXPECT_EQ(tables.IsoSize().bytes, 2010u);
  EXPECT_EQ(tables.IsoSize().sectors, 1u);
  SetDirectories(paths);
  ASSERT_TRUE(tables.Build(job, table));
  EXPECT_EQ(tables.IsoSize().bytes, 2050u);
  EXPECT_EQ(tables.IsoSize().sectors, 2u);

  // Relaxed Joliet names of 110 characters make 228-byte records: 8 fit in a
  // sector, so 80 of them take 10 sectors by the rule although their 18,250
  // bytes fill only 9.
  job.relaxJoliet = 1;
  paths.clear();
  for (int i = 0; i < 80; ++i) paths.push_back("/src/" + std::string(107, 'j') + Format("%03d", i) + "/");
  SetDirectories(paths);
  ASSERT_TRUE(tables.Build(job, table));
  EXPECT_EQ(tables.JolietSize().bytes, 18250u);
  EXPECT_EQ(tables.JolietSize().sectors, 10u);
  tables.Finalize(table);
  const std::vector<uint8_t> joliet = tables.JolietTable(false);
  EXPECT_EQ(joliet.size(), 9u * kSectorSize);
  const Parsed last = LastRecord(joliet, 81, false);
  EXPECT_EQ(last.identifier, Ucs2(std::string(107, 'j') + "079"));
  EXPECT_EQ(last.extent, 2079u);
}

// Sixty 28-character folders and one of 60 characters that sorts 31st (64-
// and 128-byte Joliet records), then an 8-character folder that the final
// order puts ahead of them: there the Joliet table takes two sectors by the
// size rule, behind them three. (A batch run has a folder that moves behind.)
// A table file that can not be created, and data longer than its extent, are
// refused.
TEST_F(PathTablesTest, SlotsAreSizedInTheFinalOrderHoldTheirTablesAndNoNeighbourIsTouched) {
  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) {
    paths.push_back("/src/" + Format("F%02d", i) + std::string(25, 'a') + "/");
    if (i == 29) paths.push_back("/src/F29" + std::string(57, 'b') + "/");
  }
  paths.push_back("/src/0_FIRST/");
  SetDirectories(paths);
  ASSERT_TRUE(tables.Build(job, table));
  EXPECT_EQ(tables.JolietSize().sectors, 2u);
  tables.Finalize(table);

  const PathTableSlots slots = MakePathTableSlots(tables.IsoSize().sectors, tables.JolietSize().sectors);
  // Each table twice; those of one sector each are the builder test's.
  const PathTableSlots wider = MakePathTableSlots(3, 5);
  EXPECT_EQ(std::vector<uint32_t>({wider.isoL, wider.isoLCopy, wider.isoM, wider.isoMCopy,
                                   wider.jolietM, wider.jolietMCopy, wider.jolietL,
                                   wider.jolietLCopy, wider.rootIsoExtent}),
            std::vector<uint32_t>({450, 453, 456, 459, 462, 467, 472, 477, 482}));
  const std::string written = WriteImage(std::string(600 * kSectorSize, '\xEE'), [&](SectorWriter& writer) {
    EXPECT_TRUE(tables.WriteFinal(job, writer, slots));
  });
  // Every slot holds its table and zeros to its end; nothing else changed.
  EXPECT_EQ(written.substr(0, size_t{kFirstPathTableSector} * kSectorSize),
            std::string(size_t{kFirstPathTableSector} * kSectorSize, '\xEE'));
  EXPECT_EQ(written.substr(size_t{slots.rootIsoExtent} * kSectorSize),
            std::string((600 - size_t{slots.rootIsoExtent}) * kSectorSize, '\xEE'));
  const uint32_t p = tables.IsoSize().sectors, j = tables.JolietSize().sectors;
  const std::vector<std::tuple<uint32_t, uint32_t, std::vector<uint8_t>>> placed = {
      {slots.isoL, p, tables.IsoTable(false)},       {slots.isoLCopy, p, tables.IsoTable(false)},
      {slots.isoM, p, tables.IsoTable(true)},        {slots.isoMCopy, p, tables.IsoTable(true)},
      {slots.jolietM, j, tables.JolietTable(true)},  {slots.jolietMCopy, j, tables.JolietTable(true)},
      {slots.jolietL, j, tables.JolietTable(false)}, {slots.jolietLCopy, j, tables.JolietTable(false)}};
  for (const auto& [slot, sectors, bytes] : placed) {
    std::string expected(bytes.begin(), bytes.end());
    expected.resize(size_t{sectors} * kSectorSize, '\0');
    EXPECT_EQ(written.substr(size_t{slot} * kSectorSize, size_t{sectors} * kSectorSize), expected) << slot;
  }
  // The builder's table files hold the big-endian tables.
  EXPECT_EQ(Bytes(ReadFile(dir / "_pdir.txt")), tables.IsoTable(true));
  EXPECT_EQ(Bytes(ReadFile(dir / "_pdirX.txt")), tables.JolietTable(true));

  // A table file that can not be created.
  job.tempDirPlain = dir / "gone";
  const PathTableSlots one = MakePathTableSlots(1, 1);
  WriteImage("", [&](SectorWriter& writer) { EXPECT_FALSE(tables.WriteFinal(job, writer, one)); });
  ExpectOneMessage(t.ui, {dir / "gone/_pdir.txt"}, "Fatal IO error!");

  // The guard behind the slots: data longer than its extent is refused whole;
  // data that fits is written with zeros to the extent's end.
  t.ui.messages.clear();
  const std::vector<uint8_t> data(kSectorSize + 1, 0x11);
  const std::string guarded =
      WriteImage(std::string(4 * kSectorSize, '\xEE'), [&](SectorWriter& writer) {
        EXPECT_FALSE(writer.WriteIntoExtent(1, 1, data.data(), data.size()));
        EXPECT_TRUE(writer.WriteIntoExtent(1, 2, data.data(), data.size()));
      });
  ExpectOneMessage(t.ui, {}, "Disc Image Builder Error!");
  EXPECT_EQ(guarded.substr(kSectorSize, kSectorSize + 1), std::string(kSectorSize + 1, '\x11'));
  const std::string rest = std::string(kSectorSize - 1, '\0') + std::string(kSectorSize, '\xEE');
  EXPECT_EQ(guarded.substr(2 * kSectorSize + 1), rest);
}

TEST_F(PathTablesTest, ParentsComeFromWholePathsAndEverySourceBaseOrTheTreeIsRefused) {
  job.sourceBases = {"/media/disc two", "/src"};
  job.sourceBaseCount = 2;
  SetDirectories({"/src/A/", "/src/AB/", "/media/disc two/C/", "/src/ab/X/", "/src/A/Y/", "/src/A/Y/Z/",
                  "/src/A/Y/Z/W/", "/SRC/Q/"});
  ASSERT_TRUE(tables.Build(job, table));
  std::vector<uint16_t> parents;
  std::vector<uint16_t> numbers;
  for (const DirectoryEntry& entry : table.entries) {
    parents.push_back(entry.parent);
    numbers.push_back(entry.number);
  }
  EXPECT_EQ(parents, std::vector<uint16_t>({1, 1, 1, 3, 2, 6, 7, 1}));
  EXPECT_EQ(numbers, std::vector<uint16_t>({2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(Column(&PathTableRecord::parent), std::vector<uint16_t>({1, 1, 1, 1, 3, 2, 6, 7, 1}));
  EXPECT_EQ(Column(&PathTableRecord::level), std::vector<uint16_t>({1, 2, 2, 2, 3, 3, 4, 5, 2}));
  EXPECT_EQ(tables.Records()[6].longName, "Z");
  EXPECT_EQ(tables.Records()[6].isoIdentifier, Bytes("Z"));

  // A directory whose parent is not in the tree.
  SetDirectories({"/src/A/", "/src/B/C/"});
  EXPECT_FALSE(tables.Build(job, table));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
  EXPECT_TRUE(testing::Contains(t.ui.messages[0].text, "/src/B/C"));
}

// The final order is level, the parent's new number, then name. A child
// listed before its parent; a listing in name order; a scan of B before A
// (ordering by old parent numbers would put X, under B, before Y, under A,
// and make the parents decrease); upper-casing, which moves "_" behind the
// letters.
TEST_F(PathTablesTest, FinalOrderIsLevelNewParentAndName) {
  struct Case {
    std::vector<std::string> directories;
    bool upperCase;
    std::vector<std::string> names;
    std::vector<uint16_t> parents;
  };
  const std::vector<Case> cases = {
      {{"/src/P/Q/", "/src/P/"}, false, {"", "P", "Q"}, {1, 1, 2}},
      {{"/src/A/", "/src/B/", "/src/A/X/", "/src/B/Y/"}, false, {"", "A", "B", "X", "Y"}, {1, 1, 1, 2, 3}},
      {{"/src/B/", "/src/A/", "/src/B/X/", "/src/A/Y/", "/src/A/Y/K/", "/src/B/X/J/"}, false,
       {"", "A", "B", "Y", "X", "K", "J"}, {1, 1, 1, 2, 3, 4, 5}},
      {{"/src/_x/", "/src/a/"}, false, {"", "_x", "a"}, {1, 1, 1}},
      {{"/src/_x/", "/src/a/"}, true, {"", "a", "_x"}, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directories.front() + (c.upperCase ? " upper-cased" : ""));
    job.upperCaseNames = c.upperCase;
    SetDirectories(c.directories);
    ASSERT_TRUE(tables.Build(job, table));
    tables.Finalize(table);
    EXPECT_EQ(Column(&PathTableRecord::longName), c.names);
    EXPECT_EQ(Column(&PathTableRecord::parent), c.parents);
    // Every record keeps its directory's extent.
    const auto& records = tables.Records();
    for (size_t k = 1; k < records.size(); ++k) {
      EXPECT_EQ(records[k].extent, table.entries[records[k].oldNumber - 2].isoExtent);
    }
    // The big-endian table carries the same order; a second Finalize changes nothing.
    EXPECT_EQ(LastRecord(tables.IsoTable(true), records.size(), true).parent, c.parents.back());
    const std::vector<uint8_t> once = tables.JolietTable(false);
    tables.Finalize(table);
    EXPECT_EQ(tables.JolietTable(false), once);
  }
  EXPECT_EQ(tables.Records()[1].isoIdentifier, Bytes("A"));
  EXPECT_EQ(tables.Records()[2].jolietIdentifier, Ucs2("_X"));
}

TEST_F(PathTablesTest, Level1NamesUseShortNamesOrStayEmptyWithoutOne) {
  job.isoLevel1Names = 1;
  const std::string base = dir / "src";
  MakeDirs(base + "/Long Directory Name");
  job.sourceBases = {base};
  SetDirectories({base + "/Long Directory Name/", base + "/Missing/"});
  ASSERT_TRUE(tables.Build(job, table));
  EXPECT_EQ(tables.Records()[0].isoIdentifier, std::vector<uint8_t>{0});
  EXPECT_EQ(tables.Records()[1].isoIdentifier, Bytes("LONG_D_1"));
  EXPECT_EQ(tables.Records()[1].jolietIdentifier, Ucs2("Long Directory Name"));
  EXPECT_TRUE(tables.Records()[2].isoIdentifier.empty());
  EXPECT_EQ(tables.IsoSize().bytes, 10u + 16u + 8u);
}

// --- sorting of directory listing files ---------------------------------

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class SortListingTest : public PathTablesTest {
 protected:
  std::string Sort(const std::vector<std::string>& lines) {
    WriteFile(listing, CrLf(lines));
    EXPECT_TRUE(SortListingFile(job, listing, "ROOT"));
    return ReadFile(listing);
  }
  std::string listing = dir / "tm0000.txt";
};

// Byte-wise with directories mixed in; upper-cased sort keys, lines written
// as found; a root listing of several bases by name; an empty listing. A
// missing listing, and one of more entries than the builder takes, are refused.
TEST_F(SortListingTest, OrdersNamesByteWiseAndRefusesAMissingOrOverfullListing) {
  const std::string longName = std::string(600, 'L');
  struct Case { bool upperCase; std::vector<std::string> lines, sorted; };
  const std::vector<Case> cases = {
      {false,
       {"/t/A1", "/t/a", "/t/_u", "/t/A.TXT", "/t/B/", "/t/A", "/t/9", "/t/.hidden", "/t/" + longName, "/t/A-/", "/t/A/"},
       {"/t/.hidden", "/t/9", "/t/A", "/t/A/", "/t/A-/", "/t/A.TXT", "/t/A1", "/t/B/", "/t/" + longName, "/t/_u", "/t/a"}},
      {true, {"/t/b", "/t/_c", "/t/A", "/t/a", "/t/B1/"}, {"/t/A", "/t/a", "/t/b", "/t/B1/", "/t/_c"}},
      {false, {"/zz/base/B", "/a/C/", "/m/A", "/zz/base/AUTORUN.INF"}, {"/m/A", "/zz/base/AUTORUN.INF", "/zz/base/B", "/a/C/"}},
      {false, {}, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.size());
    job.upperCaseNames = c.upperCase;
    EXPECT_EQ(Sort(c.lines), CrLf(c.sorted));
  }
  EXPECT_TRUE(t.ui.messages.empty());
  ASSERT_EQ(t.ui.statusLines.size(), 4u);
  EXPECT_EQ(t.ui.statusLines[0], "Sorting directory tree ROOT");

  EXPECT_FALSE(SortListingFile(job, dir / "nothing.txt", "X"));
  ExpectOneMessage(t.ui, {}, "Fatal IO error!");

  // A listing of 100,000 entries is refused and left as it was; one less is sorted.
  t.ui.messages.clear();
  std::string reversed;
  for (int i = 99999; i >= 0; --i) reversed += Format("/t/F%06d\r\n", i);
  WriteFile(listing, reversed);
  EXPECT_FALSE(SortListingFile(job, listing, "/t"));
  ExpectOneMessage(t.ui, {}, "Tool limiation exceeded!");
  EXPECT_EQ(t.ui.messages[0].text,
            "The maximum number of files supported by this tool is 100,000. Your title has 100000!");
  EXPECT_EQ(ReadFile(listing), reversed);
  WriteFile(listing, reversed.substr(12));
  ASSERT_TRUE(SortListingFile(job, listing, "/t"));
  const std::string sorted = ReadFile(listing);
  EXPECT_EQ(sorted.size(), 99999u * 12);
  EXPECT_EQ(sorted.substr(0, 24), "/t/F000000\r\n/t/F000001\r\n");
  EXPECT_EQ(sorted.substr(sorted.size() - 12), "/t/F099998\r\n");
}

}  // namespace
}  // namespace pravel
