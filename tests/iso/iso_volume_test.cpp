// The ISO 9660 and Joliet volume: the builder's sector map, file placement
// and directory records over a scanned tree, and the volume descriptors and
// recording dates against the tables of the standard.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/tree_scan.h"
#include "iso/builder.h"
#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "iso/volume_descriptors.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::BeBytes;
using testing::BothOrders;
using testing::Exists;
using testing::ExpectFields;
using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::TestJob;
using testing::WriteFile;
using testing::ZerosFrom;

// A build of a generated tree: the scan, then the builder into LAYER01.IMG.
class BuilderTest : public ::testing::Test {
 protected:
  // Scans dir/title, builds with dir/tmp as the temporary (and template)
  // directory, ISO Level 2 names and no name warnings.
  BuilderTest() {
    MakeDirs(dir / "tmp");
    MakeDirs(dir / "title");
    t.job.tempDir = dir / "tmp/";
    t.job.tempDirPlain = dir / "tmp";
    t.job.templateDir = dir / "tmp";
    t.job.treeListPath = dir / "tmp/tm.txt";
    t.job.discType = 5;
    t.job.isoLevel1Names = 0;
    t.job.noWarningMessages = 1;
  }

  // Scans every entry of the title folder as a selected source.
  bool Scan() {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "title")) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const auto& path : entries) t.job.AddSource(path.string());
    bool ok = BuildTreeListing(t.job);
    for (const auto& message : t.ui.messages) ADD_FAILURE() << message.caption << ": " << message.text;
    return ok;
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

  // The records of a directory extent.
  struct Record {
    uint32_t extent, length;
  };
  std::vector<Record> RecordsAt(uint32_t extent, uint32_t length) const {
    std::vector<Record> records;
    const uint8_t* start = SectorAt(extent);
    size_t offset = 0;
    while (offset < length) {
      uint8_t size = start[offset];
      if (size == 0) {
        offset = (offset / kSectorSize + 1) * kSectorSize;
        continue;
      }
      const uint8_t* r = start + offset;
      records.push_back({GetLe32(r + 2), GetLe32(r + 10)});
      offset += size;
    }
    return records;
  }

  TempDir dir;
  testing::TestJob t;
  std::string image;
  std::string bytes;
};

TEST_F(BuilderTest, EmptyTreeListingGivesTheFixedSectorMap) {
  WriteFile(t.job.treeListPath, "");
  ASSERT_TRUE(Build()) << (t.ui.messages.empty() ? "" : t.ui.messages.back().text);
  // Path table slots 450-457, ISO root 458, Joliet root 459, UDF area at 460.
  const uint8_t* primary = SectorAt(16);
  const uint8_t* supplementary = SectorAt(17);
  EXPECT_EQ(GetLe32(primary + 140), 450u);
  EXPECT_EQ(GetBe32(primary + 148), 452u);
  EXPECT_EQ(GetLe32(supplementary + 140), 456u);
  EXPECT_EQ(GetBe32(supplementary + 148), 454u);
  EXPECT_EQ(GetLe32(primary + 156 + 2), 458u);
  EXPECT_EQ(GetLe32(supplementary + 156 + 2), 459u);
  EXPECT_EQ(bytes.size(), 464u * kSectorSize);  // U = 460, closed on a multiple of 16
  EXPECT_EQ(t.job.fileDataStart, 5472u);        // 464 + 5000, raised to a multiple of 16
  EXPECT_EQ(t.job.volumeSectors, 5488u);        // already a multiple of 16: 16 more
  EXPECT_EQ(GetLe32(primary + 80), 5488u);        // the volume space ends with the volume
  EXPECT_EQ(SectorAt(18)[0], 255);
  // The root holds "." and ".." only, each describing the root itself.
  auto root = RecordsAt(458, 2048);
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root[0].extent, 458u);
  EXPECT_EQ(root[1].extent, 458u);
  EXPECT_EQ(root[1].length, 2048u);
}

TEST_F(BuilderTest, FilesArePlacedInNameOrderAndEmptyFilesShareTheNextExtent) {
  MakeDirs(dir / "title/D");
  WriteFile(dir / "title/D/B.BIN", std::string(2048, 'b'));
  WriteFile(dir / "title/D/A.TXT", "");
  WriteFile(dir / "title/D/C.DAT", std::string(2049, 'c'));
  WriteFile(dir / "title/D/A", "x");
  ASSERT_TRUE(Scan());
  ASSERT_TRUE(Build()) << t.ui.messages.back().text;
  ASSERT_EQ(t.job.fileDataList.size(), 4u);
  const auto& list = t.job.fileDataList;
  // Name order: A, A.TXT, B.BIN, C.DAT.
  EXPECT_EQ(list[0].path, dir / "title/D/A");
  EXPECT_EQ(list[0].startSector, t.job.fileDataStart);
  EXPECT_EQ(list[0].sectorCount, 1u);
  EXPECT_EQ(list[1].path, dir / "title/D/A.TXT");
  EXPECT_EQ(list[1].sectorCount, 0u);
  EXPECT_EQ(list[1].startSector, list[2].startSector);
  EXPECT_EQ(list[2].sectorCount, 1u);
  EXPECT_EQ(list[3].sectorCount, 2u);
  EXPECT_EQ(list[3].byteLength, 2049u);
  EXPECT_EQ(t.job.currentSector, ((t.job.fileDataStart + 4) / 16 + 1) * 16);
  EXPECT_EQ(t.job.volumeSectors, t.job.currentSector);
}

// ".." of each directory names its parent, in both trees (the readers
// accept any directory there).
TEST_F(BuilderTest, DotDotNamesTheParentInBothTrees) {
  WriteFile(dir / "title/TOP/SUB/A.TXT", "a");
  ASSERT_TRUE(Scan());
  ASSERT_TRUE(Build()) << t.ui.messages.back().text;
  for (const uint8_t* descriptor : {SectorAt(16), SectorAt(17)}) {
    const std::vector<Record> root = RecordsAt(GetLe32(descriptor + 158), GetLe32(descriptor + 166));
    ASSERT_EQ(root.size(), 3u);
    const std::vector<Record> top = RecordsAt(root[2].extent, root[2].length);
    ASSERT_EQ(top.size(), 3u);
    const std::vector<Record> sub = RecordsAt(top[2].extent, top[2].length);
    ASSERT_EQ(sub.size(), 3u);
    EXPECT_EQ(top[1].extent, root[0].extent);
    EXPECT_EQ(sub[1].extent, root[2].extent);
  }
}

TEST_F(BuilderTest, OverlongJolietRecordIsRefusedNamingTheFile) {
  t.job.relaxJoliet = 1;
  MakeDirs(dir / "title/D");
  WriteFile(dir / "title/D/" + std::string(110, 'n'), "x");
  ASSERT_TRUE(Scan());
  EXPECT_FALSE(Build());
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

std::string Text(const std::vector<uint8_t>& sector, size_t offset, size_t size) {
  return std::string(sector.begin() + offset, sector.begin() + offset + size);
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
    layout.volumeSpaceSize = 123456;
    layout.isoPathTable = {10, 1};
    layout.jolietPathTable = {14, 1};
    layout.slots = MakePathTableSlots(1, 1);  // 450 to 457
    layout.rootIsoExtent = 458;
    layout.rootIsoLength = 2048;
    layout.rootJolietExtent = 459;
    layout.rootJolietLength = 4096;
    layout.buildDate = test.clock.Now();  // 2026-03-04 05:06:07
  }

  // Creation, modification, expiration and effective date.
  void SetDates(const std::vector<std::string>& dates) {
    test.job.creationDate = dates[0];
    test.job.modificationDate = dates[1];
    test.job.expirationDate = dates[2];
    test.job.effectiveDate = dates[3];
  }

  std::vector<uint8_t> Primary() {
    std::vector<uint8_t> sector(2048, 0);
    BuildPrimaryVolumeDescriptor(test.job, layout, sector.data());
    return sector;
  }

  std::vector<uint8_t> Supplementary() {
    std::vector<uint8_t> sector(2048, 0);
    BuildSupplementaryVolumeDescriptor(test.job, layout, sector.data());
    return sector;
  }

  TestJob test;
  VolumeLayout layout;
};

// The root record and the fields both descriptors share, apart from the
// identifiers.
void ExpectCommonFields(const std::vector<uint8_t>& sector, uint32_t rootExtent, uint32_t rootLength) {
  ExpectFields(sector.data(), {{1, "CD001"}, {6, 1, 1}, {7, 1, 0}, {72, std::string(8, '\0')},
                               BothOrders(80, 4, 123456), {91, std::string(29, '\0')}, BothOrders(120, 2, 1),
                               BothOrders(124, 2, 1), BothOrders(128, 2, 2048), {144, 4, 0}, {152, 4, 0}, {881, 1, 1},
                               ZerosFrom(882)});
  // The root record, dated with the build date.
  ExpectFields(sector.data() + 156, {{0, 1, 34}, {1, 1, 0}, BothOrders(2, 4, rootExtent),
                                     BothOrders(10, 4, rootLength), {18, std::string("\x7E\3\4\5\6\7\0", 7)},
                                     {25, 1, 2}, {26, 2, 0}, BothOrders(28, 2, 1), {32, 1, 1}, {33, 1, 0}});
}

// The four 17-byte dates: their digits and zone bytes, in the order creation,
// modification, expiration, effective.
void ExpectDates(const std::vector<uint8_t>& sector, const std::vector<std::string>& dates,
                 const std::array<uint8_t, 4>& zones = {}) {
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Text(sector, 813 + 17 * i, 16), dates[i]) << i;
    EXPECT_EQ(sector[829 + 17 * i], zones[i]) << "zone byte " << i;
  }
}

TEST_F(VolumeDescriptors, PrimaryAndSupplementaryFieldsFollowTheirTables) {
  std::vector<uint8_t> sector = Primary();
  ExpectCommonFields(sector, 458, 2048);
  // No escape sequence in the primary; three empty file identifiers.
  ExpectFields(sector.data(), {{0, 1, 1}, {8, Padded("PRAVEL SYSTEM", 32)}, {40, Padded("A_VOLUME_OF_TWENTY_SIX_CHARS", 32)},
                               {88, std::string(3, '\0')}, BothOrders(132, 4, 10), {140, 4, 450}, {148, BeBytes(452, 4)},
                               {190, Padded("ALBUM SET", 128)}, {318, Padded("PUBLISHER", 128)},
                               {446, Padded("PREPARER", 128)}, {574, Padded("APPLICATION", 128)},
                               {702, std::string(111, ' ')}});
  ExpectDates(sector, {"2001020304050600", "2002030405060700", "2030010100000000", "2003040506070800"});

  sector = Supplementary();
  ExpectCommonFields(sector, 459, 4096);
  ExpectFields(sector.data(), {{0, 1, 2}, {88, "\x25\x2F\x45"}, BothOrders(132, 4, 14), {140, 4, 456},
                               {148, BeBytes(454, 4)}});
  ExpectFields(sector.data(), {{8, JolietField("PRAVEL SYSTEM", 32)}, {40, JolietField("A_VOLUME_OF_TWEN", 32)},
                               {190, JolietField("ALBUM SET", 128)}, {318, JolietField("PUBLISHER", 128)},
                               {446, JolietField("PREPARER", 128)}, {574, JolietField("APPLICATION", 128)},
                               {702, JolietField("", 37) + JolietField("", 37) + JolietField("", 37)}});
  ExpectDates(sector, {"2001020304050600", "2002030405060700", "2030010100000000", "2003040506070800"});
}

// Identifiers are cut to their fields (16 UCS-2 characters of 32 bytes in
// the supplementary) and upper-cased only on request.
TEST_F(VolumeDescriptors, IdentifiersAreCutToTheirFieldsAndUpperCasedOnRequest) {
  struct Case {
    std::string* field;
    std::string given;
    int upperCase;
    size_t offset, size;
    std::string primary, joliet;
  };
  Job& job = test.job;
  const Case cases[] = {
      {&job.volumeId, std::string(31, 'V'), 0, 40, 32, std::string(31, 'V'), std::string(16, 'V')},
      {&job.publisherId, std::string(127, 'P'), 0, 318, 128, std::string(127, 'P'), std::string(64, 'P')},
      {&job.systemId, "linux", 1, 8, 32, "LINUX", "LINUX"},
      {&job.volumeId, "My Volume", 1, 40, 32, "MY VOLUME", "MY VOLUME"},
      {&job.applicationId, "an application", 1, 574, 128, "AN APPLICATION", "AN APPLICATION"},
      {&job.volumeId, "My Volume", 0, 40, 32, "My Volume", "My Volume"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    *c.field = c.given;
    job.upperCaseNames = c.upperCase;
    EXPECT_EQ(Text(Primary(), c.offset, c.size), Padded(c.primary, c.size));
    EXPECT_EQ(Text(Supplementary(), c.offset, c.size), JolietField(c.joliet, c.size));
  }
}

// Dates beginning with zero take the build date (expiration stays zero);
// date texts too short to be dates count as not given, long ones are cut to
// their 16 characters and do not run into the next field.
TEST_F(VolumeDescriptors, DatesTakeTheBuildDateOrStayWithinTheirFields) {
  const std::string zeros = "0000000000000000", built = "2026030405060700";
  struct Case {
    std::vector<std::string> given, written;
  };
  for (const Case& c : {Case{{zeros, zeros, zeros, "0999999999999999"}, {built, built, zeros, built}},
                        Case{{"", "2026", "2031", "20050607080910111213"}, {built, built, zeros, "2005060708091011"}}}) {
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
// date go to UTC when the offset lies beyond +52. No date, and a text that is
// no date, keep offset 0.
TEST_F(VolumeDescriptors, DatesCarryTheirOffsetFromUtc) {
  struct Case {
    int offsetMinutes;
    std::string built, given;
    uint8_t zone;
  };
  for (const Case& c : {Case{-300, "2026030405060700", "2002030405060700", 0xEC},
                        Case{330, "2026030405060700", "2002030405060700", 22},
                        Case{840, "2026030315060700", "2002030315060700", 0}}) {
    SCOPED_TRACE(c.offsetMinutes);
    test.clock.Set({2026, 3, 4, 5, 6, 7, 8, c.offsetMinutes});
    layout.buildDate = test.clock.Now();
    SetDates({"0000000000000000", "2002030405060700", "0000000000000000", "2003AB0506070800"});
    for (const std::vector<uint8_t>& sector : {Primary(), Supplementary()}) {
      ExpectDates(sector, {c.built, c.given, "0000000000000000", "2003AB0506070800"}, {c.zone, c.zone, 0, 0});
      EXPECT_EQ(sector[156 + 18 + 6], c.zone) << "the root record's zone byte";
    }
  }
}

// Level 1: every identifier takes the short name of its file, empty when
// the file does not exist. Level 2: the last component whole when it fits
// (37 characters in the primary, 18 in the supplementary), else the short
// name.
TEST_F(VolumeDescriptors, FileIdentifiersFollowTheFileIdentifierRule) {
  TempDir dir;
  WriteFile(dir / "notes/Copyright Notice.txt", "c");
  WriteFile(dir / "notes/abstract.txt", "a");
  test.job.copyrightFileId = dir / "notes/Copyright Notice.txt";
  test.job.abstractFileId = dir / "notes/abstract.txt";
  test.job.biblioFileId = dir / "notes/missing.txt";
  struct Case {
    int level1;
    std::vector<std::string> primary, joliet;
  };
  for (const Case& c : {Case{1, {"COPYRI_1.TXT", "ABSTRACT.TXT", ""}, {"COPYRI_1.TXT", "ABSTRACT.TXT", ""}},
                        Case{0, {"COPYRIGHT NOTICE.TXT", "ABSTRACT.TXT", "MISSING.TXT"},
                             {"COPYRI_1.TXT", "ABSTRACT.TXT", "MISSING.TXT"}}}) {
    test.job.isoLevel1Names = c.level1;
    test.job.upperCaseNames = 1;
    const std::vector<uint8_t> primary = Primary(), joliet = Supplementary();
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(Text(primary, 702 + 37 * i, 37), Padded(c.primary[i], 37)) << i;
      EXPECT_EQ(Text(joliet, 702 + 37 * i, 37), JolietField(c.joliet[i], 37)) << i;
    }
  }
}

TEST_F(VolumeDescriptors, ABareFileIdentifierIsWrittenAsItStandsWhereverPravelRuns) {
  test.job.copyrightFileId = "COPYRIGH.TXT";
  test.job.isoLevel1Names = 1;
  TempDir dir;
  WriteFile(dir / "COPYRIGH.TXT", "c");  // a file of that name in the working directory changes nothing
  std::vector<uint8_t> elsewhere = Primary();
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::vector<uint8_t> here = Primary();
  std::filesystem::current_path(previous);
  EXPECT_EQ(Text(here, 702, 37), Padded("COPYRIGH.TXT", 37));
  EXPECT_EQ(here, elsewhere);
}

// The 7-byte recording date of directory records: the local time and its
// offset from UTC in quarter hours, a signed byte from -48 to +52
// (ECMA-119 9.1.5); a time whose offset has no such form is recorded as UTC.
TEST(RecordingDate, LocalTimeWithItsOffsetInQuarterHours) {
  using Bytes = std::array<uint8_t, 7>;
  struct Case {
    platform::LocalTime time;
    Bytes written;
  };
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

}  // namespace
}  // namespace pravel
