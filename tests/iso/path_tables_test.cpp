#include "iso/path_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "job/runtime.h"
#include "iso/byte_fields.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::TestJob;
using testing::WriteFile;

// One path table record as read back from a table's bytes.
struct Parsed {
  uint32_t extent = 0;
  uint16_t parent = 0;
  std::vector<uint8_t> identifier;
};

// Reads `count` records stored back to back from the start of a table.
std::vector<Parsed> ParseTable(const std::vector<uint8_t>& table, size_t count, bool bigEndian) {
  std::vector<Parsed> records;
  size_t at = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = table.data() + at;
    Parsed parsed;
    parsed.extent = bigEndian ? GetBe32(record + 2) : GetLe32(record + 2);
    parsed.parent = bigEndian ? GetBe16(record + 6) : GetLe16(record + 6);
    parsed.identifier.assign(record + 8, record + 8 + record[0]);
    at += 8 + record[0] + record[0] % 2;
    records.push_back(parsed);
  }
  return records;
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

// Eight bytes and the identifier, padded to even (the root's one byte and the
// ISO names; UCS-2 names are even), extents and parents in the table's byte
// order; a title without subdirectories has the root record alone.
TEST_F(PathTablesTest, RecordBytesInBothByteOrders) {
  using namespace std::string_literals;
  auto sector = [](std::string bytes) {
    bytes.resize(kSectorSize, '\0');
    return bytes;
  };
  auto text = [](const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); };
  SetDirectories({});
  ASSERT_TRUE(tables.Build(job, table));
  tables.Finalize(table);
  EXPECT_EQ(tables.IsoSize().bytes, 10u);
  EXPECT_EQ(tables.IsoSize().sectors, 1u);
  EXPECT_EQ(text(tables.JolietTable(true)), sector("\x01\0\0\0\x02\x58\0\x01\0\0"s));

  SetDirectories({"/src/ABC/", "/src/ABCD/"});
  ASSERT_TRUE(tables.Build(job, table));
  tables.Finalize(table);
  EXPECT_EQ(tables.IsoSize().bytes, 34u);
  EXPECT_EQ(tables.JolietSize().bytes, 40u);
  EXPECT_EQ(text(tables.IsoTable(false)),
            sector("\x01\0\xF4\x01\0\0\x01\0\0\0" "\x03\0\xE8\x03\0\0\x01\0" "ABC\0" "\x04\0\xE9\x03\0\0\x01\0" "ABCD"s));
  EXPECT_EQ(text(tables.IsoTable(true)),
            sector("\x01\0\0\0\x01\xF4\0\x01\0\0" "\x03\0\0\0\x03\xE8\0\x01" "ABC\0" "\x04\0\0\0\x03\xE9\0\x01" "ABCD"s));
  EXPECT_EQ(text(tables.JolietTable(false)), sector("\x01\0\x58\x02\0\0\x01\0\0\0" "\x06\0\xD0\x07\0\0\x01\0\0A\0B\0C"
                                                     "\x08\0\xD1\x07\0\0\x01\0\0A\0B\0C\0D"s));
  EXPECT_EQ(text(tables.JolietTable(true)), sector("\x01\0\0\0\x02\x58\0\x01\0\0" "\x06\0\0\0\x07\xD0\0\x01\0A\0B\0C"
                                                    "\x08\0\0\0\x07\xD1\0\x01\0A\0B\0C\0D"s));

  // The slots follow both tables' sector counts (the builder test has those of one sector each).
  const PathTableSlots slots = MakePathTableSlots(3, 5);
  EXPECT_EQ(std::vector<uint32_t>({slots.isoL, slots.isoLCopy, slots.isoM, slots.isoMCopy, slots.jolietM,
                                   slots.jolietMCopy, slots.jolietL, slots.jolietLCopy, slots.rootIsoExtent}),
            std::vector<uint32_t>({450, 453, 456, 459, 462, 467, 472, 477, 482}));
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
  const Parsed last = ParseTable(joliet, 81, false).back();
  EXPECT_EQ(last.identifier, Ucs2(std::string(107, 'j') + "079"));
  EXPECT_EQ(last.extent, 2079u);
}

// Sixty 28-character folders and one of 60 characters that sorts 31st: 64-
// and 128-byte Joliet records. With an 8-character folder ahead of them the
// Joliet table takes two sectors by the size rule, with the same folder
// behind them three.
std::vector<std::string> CrowdedFolders() {
  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) {
    paths.push_back("/src/" + Format("F%02d", i) + std::string(25, 'a') + "/");
    if (i == 29) paths.push_back("/src/F29" + std::string(57, 'b') + "/");
  }
  return paths;
}

TEST_F(PathTablesTest, SlotsAreSizedInTheFinalOrderHoldTheirTablesAndNoNeighbourIsTouched) {
  struct Case {
    const char* what;
    bool extraFirstInTable;  // the build order; the final order is by name
    const char* extra;
    uint32_t jolietSectors;
  };
  const Case cases[] = {
      {"moves behind the crowd", true, "VIDEO_TS", 3},
      {"moves ahead of the crowd", false, "0_FIRST", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> paths = CrowdedFolders();
    const std::string extra = "/src/" + std::string(c.extra) + "/";
    if (c.extraFirstInTable) {
      paths.insert(paths.begin(), extra);
    } else {
      paths.push_back(extra);
    }
    SetDirectories(paths);
    ASSERT_TRUE(tables.Build(job, table));
    EXPECT_EQ(tables.JolietSize().sectors, c.jolietSectors);
    tables.Finalize(table);

    const PathTableSlots slots = MakePathTableSlots(tables.IsoSize().sectors, tables.JolietSize().sectors);
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
    EXPECT_NE(tables.IsoTable(false), tables.IsoTable(true));
    // The builder's table files hold the big-endian tables.
    EXPECT_EQ(Bytes(ReadFile(dir / "_pdir.txt")), tables.IsoTable(true));
    EXPECT_EQ(Bytes(ReadFile(dir / "_pdirX.txt")), tables.JolietTable(true));
  }

  // A table file that can not be created.
  job.tempDirPlain = dir / "gone";
  WriteImage("", [&](SectorWriter& writer) { EXPECT_FALSE(tables.WriteFinal(job, writer, MakePathTableSlots(1, 1))); });
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Fatal IO error!");
  EXPECT_TRUE(testing::Contains(t.ui.messages[0].text, dir / "gone/_pdir.txt"));
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
    const std::vector<Parsed> parsed = ParseTable(tables.IsoTable(true), records.size(), true);
    EXPECT_EQ(parsed.back().parent, c.parents.back());
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
// as found; a root listing of several bases by name; an empty listing.
TEST_F(SortListingTest, OrdersNamesByteWiseAndReportsAMissingListing) {
  const std::string longName = std::string(600, 'L');
  struct Case {
    bool upperCase;
    std::vector<std::string> lines, sorted;
  };
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
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Fatal IO error!");
}

// Lines named in reverse order of their numbers.
std::string ReversedListing(int count) {
  std::string text;
  text.reserve(static_cast<size_t>(count) * 12);
  for (int i = count - 1; i >= 0; --i) text += Format("/t/F%06d\r\n", i);
  return text;
}

TEST_F(SortListingTest, HundredThousandEntriesAreRefusedOneLessIsSorted) {
  const std::string tooMany = ReversedListing(100000);
  WriteFile(listing, tooMany);
  EXPECT_FALSE(SortListingFile(job, listing, "/t"));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].text,
            "The maximum number of files supported by this tool is 100,000. Your title has 100000!");
  EXPECT_EQ(t.ui.messages[0].caption, "Tool limiation exceeded!");
  EXPECT_EQ(ReadFile(listing), tooMany);

  WriteFile(listing, ReversedListing(99999));
  ASSERT_TRUE(SortListingFile(job, listing, "/t"));
  const std::string sorted = ReadFile(listing);
  EXPECT_EQ(sorted.size(), 99999u * 12);
  EXPECT_EQ(sorted.substr(0, 24), "/t/F000000\r\n/t/F000001\r\n");
  EXPECT_EQ(sorted.substr(sorted.size() - 12), "/t/F099998\r\n");
  EXPECT_EQ(t.ui.messages.size(), 1u);
}

}  // namespace
}  // namespace pravel
