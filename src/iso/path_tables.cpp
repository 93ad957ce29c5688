#include "iso/path_tables.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "job/runtime.h"
#include "intake/name_rules.h"
#include "intake/utf8.h"
#include "iso/byte_fields.h"
#include "platform/files.h"

namespace pravel {
namespace {

constexpr char kBuilderCaption[] = "Disc Image Builder Error!";
constexpr char kNoParentText[] =
    "The directory %s lies in %s, which is neither a source folder nor a directory of the title.";
constexpr char kFolderLimitText[] =
    "The maximum number of sub-directories by this release is %d. This limit has been exceed";
constexpr char kFolderLimitCaption[] = "Tool limits exceeded!";
constexpr char kEntryLimitText[] =
    "The maximum number of files supported by this tool is 100,000. Your title has %d!";
constexpr char kEntryLimitCaption[] = "Tool limiation exceeded!";

constexpr size_t kIsoIdentifierBytes = 31;
constexpr size_t kJolietIdentifierBytes = 128;         // 64 characters
constexpr size_t kRelaxedJolietIdentifierBytes = 220;  // 110 characters
constexpr size_t kRecordHeaderBytes = 8;
constexpr size_t kReadChunk = 1 << 20;

const std::vector<uint8_t> kRootIdentifier = {0x00};

std::string WithoutTrailingSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

// The path of the folder that holds `directory` (given without its trailing
// '/'); "" when it holds no '/'.
std::string ParentPath(const std::string& directory) {
  const size_t slash = directory.rfind('/');
  return slash == std::string::npos ? std::string() : directory.substr(0, slash);
}

std::vector<uint8_t> IsoIdentifier(Job& job, const std::string& directory) {
  uint8_t field[kIsoIdentifierBytes];
  FillField(field, sizeof field, FieldForm::kByte, '\0');
  const size_t length = WriteIdentifierField(job, field, directory, sizeof field, FieldForm::kByte, true);
  return std::vector<uint8_t>(field, field + length);
}

std::vector<uint8_t> JolietIdentifier(Job& job, const std::string& name) {
  std::vector<uint8_t> field(job.relaxJoliet ? kRelaxedJolietIdentifierBytes : kJolietIdentifierBytes);
  FillField(field.data(), field.size(), FieldForm::kTwoByte, '\0');
  field.resize(WriteIdentifierField(job, field.data(), name, field.size(), FieldForm::kTwoByte, false));
  return field;
}

size_t RecordBytes(size_t identifierLength) {
  return kRecordHeaderBytes + identifierLength + (identifierLength % 2);
}

const std::vector<uint8_t>& IsoIdentifierOf(const PathTableRecord& record) { return record.isoIdentifier; }
const std::vector<uint8_t>& JolietIdentifierOf(const PathTableRecord& record) { return record.jolietIdentifier; }

// A record never straddles the sectors counted here, although the table on
// the disc is written back to back.
PathTableSize SizeOfTable(const std::vector<PathTableRecord>& records,
                          const std::vector<uint8_t>& (*identifierOf)(const PathTableRecord&)) {
  PathTableSize size;
  size.sectors = 1;
  size_t used = 0;
  for (const PathTableRecord& record : records) {
    const size_t bytes = RecordBytes(identifierOf(record).size());
    size.bytes += static_cast<uint32_t>(bytes);
    if (used + bytes <= kSectorSize) {
      used += bytes;
    } else {
      ++size.sectors;
      used = bytes;
    }
  }
  return size;
}

void AppendRecord(std::vector<uint8_t>& table, const std::vector<uint8_t>& identifier, uint32_t extent,
                  uint16_t parent, bool bigEndian) {
  const size_t at = table.size();
  table.resize(at + RecordBytes(identifier.size()), 0);
  uint8_t* record = table.data() + at;
  PutU8(record, static_cast<uint8_t>(identifier.size()));
  PutU8(record + 1, 0);
  if (bigEndian) {
    PutBe32(record + 2, extent);
    PutBe16(record + 6, parent);
  } else {
    PutLe32(record + 2, extent);
    PutLe16(record + 6, parent);
  }
  std::copy(identifier.begin(), identifier.end(), record + kRecordHeaderBytes);
}

void PadToWholeSectors(std::vector<uint8_t>& data, size_t minimumSectors) {
  const size_t sectors = std::max(minimumSectors, (data.size() + kSectorSize - 1) / kSectorSize);
  data.resize(sectors * kSectorSize, 0);
}


// Reads a whole open file from its current position.
bool ReadRest(Job& job, platform::File& file, const std::string& path, std::string& text) {
  text.clear();
  for (;;) {
    const size_t at = text.size();
    text.resize(at + kReadChunk);
    std::optional<size_t> count = file.Read(text.data() + at, kReadChunk);
    if (!count) {
      ShowIoError(job, "read", path, file.LastError());
      return false;
    }
    text.resize(at + *count);
    if (*count < kReadChunk) return true;
  }
}

// The lines of a listing: up to the first LF each, a CR before it being part
// of the line end. An empty line ends the listing, as the end of the text
// does; `end` is where the listing stops.
std::vector<std::string_view> SplitListing(std::string_view text, size_t& end) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t newline = text.find('\n', pos);
    const size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
    if (newline == std::string_view::npos) newline = text.size();
    std::string_view line = text.substr(pos, newline - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    lines.push_back(line);
    pos = next;
  }
  end = pos;
  return lines;
}

// The sort key of a listing line: the entry's own name, a directory's
// trailing '/' left out, upper-cased when the disc names are.
std::string ListingKey(const Job& job, std::string_view line) {
  if (!line.empty() && line.back() == '/') line.remove_suffix(1);
  const size_t slash = line.rfind('/');
  if (slash != std::string_view::npos) line.remove_prefix(slash + 1);
  return job.upperCaseNames ? AsciiUpper(line) : std::string(line);
}

// Indices of the lines in byte order of their keys; equal keys keep the order
// in which they stand.
std::vector<size_t> SortedOrder(const Job& job, const std::vector<std::string_view>& lines) {
  std::vector<std::string> keys;
  keys.reserve(lines.size());
  for (std::string_view line : lines) keys.push_back(ListingKey(job, line));
  std::vector<size_t> order(lines.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
    const int compared = keys[a].compare(keys[b]);
    return compared != 0 ? compared < 0 : a < b;
  });
  return order;
}

// A parent's path is shorter than its child's, so following the parents
// always ends at the root, whatever order the table lists them in.
void AssignLevels(std::vector<PathTableRecord>& records) {
  for (PathTableRecord& record : records) record.level = 0;
  records[0].level = 1;
  std::vector<size_t> chain;
  for (size_t k = 1; k < records.size(); ++k) {
    size_t at = k;
    while (records[at].level == 0) {
      chain.push_back(at);
      at = records[at].parent - 1u;
    }
    uint16_t level = records[at].level;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) records[*it].level = ++level;
    chain.clear();
  }
}

// Puts the records back in the order Build made them, with their parents in
// the old numbering, so that Finalize may run more than once.
void RestoreBuildOrder(std::vector<PathTableRecord>& records) {
  for (PathTableRecord& record : records) record.parent = records[record.parent - 1u].oldNumber;
  std::sort(records.begin(), records.end(), [](const PathTableRecord& a, const PathTableRecord& b) {
    return a.oldNumber < b.oldNumber;
  });
}

// The tree is ordered one level at a time: the records of a level by their
// parent's new number, then by name, so every parent is numbered before its
// children are placed and parent numbers never decrease along the table.
void SortByLevelParentAndName(std::vector<PathTableRecord>& records, bool upperCaseNames) {
  uint16_t deepest = 1;
  for (const PathTableRecord& record : records) deepest = std::max(deepest, record.level);
  std::vector<std::vector<size_t>> byLevel(deepest + 1u);
  for (size_t k = 1; k < records.size(); ++k) byLevel[records[k].level].push_back(k);

  struct SortEntry {
    uint16_t parent;  // the parent's new number
    std::string name;
    uint16_t oldNumber;
    size_t index;
  };
  std::vector<uint16_t> newNumber(records.size() + 1, 0);  // by old number
  newNumber[records[0].oldNumber] = 1;
  std::vector<PathTableRecord> ordered;
  ordered.reserve(records.size());
  ordered.push_back(std::move(records[0]));
  std::vector<SortEntry> entries;
  for (uint16_t level = 2; level <= deepest; ++level) {
    entries.clear();
    for (size_t k : byLevel[level]) {
      const PathTableRecord& record = records[k];
      std::string name = upperCaseNames ? AsciiUpper(record.longName) : record.longName;
      entries.push_back({newNumber[record.parent], std::move(name), record.oldNumber, k});
    }
    std::sort(entries.begin(), entries.end(), [](const SortEntry& a, const SortEntry& b) {
      if (a.parent != b.parent) return a.parent < b.parent;
      const int compared = a.name.compare(b.name);
      return compared != 0 ? compared < 0 : a.oldNumber < b.oldNumber;
    });
    for (const SortEntry& entry : entries) {
      PathTableRecord& record = records[entry.index];
      record.parent = entry.parent;
      newNumber[record.oldNumber] = static_cast<uint16_t>(ordered.size() + 1);
      ordered.push_back(std::move(record));
    }
  }
  records = std::move(ordered);
}

}  // namespace

PathTableSlots MakePathTableSlots(uint32_t isoSectors, uint32_t jolietSectors) {
  const uint32_t p = isoSectors;
  const uint32_t j = jolietSectors;
  const uint32_t first = kFirstPathTableSector;
  PathTableSlots slots;
  slots.isoL = first;
  slots.isoLCopy = first + p;
  slots.isoM = first + 2 * p;
  slots.isoMCopy = first + 3 * p;
  slots.jolietM = first + 4 * p;
  slots.jolietMCopy = first + 4 * p + j;
  slots.jolietL = first + 4 * p + 2 * j;
  slots.jolietLCopy = first + 4 * p + 3 * j;
  slots.rootIsoExtent = first + 4 * p + 4 * j;
  return slots;
}

bool PathTables::Build(Job& job, DirectoryTable& table) {
  records_.clear();
  upperCaseNames_ = job.upperCaseNames != 0;
  if (table.entries.size() + 1 > limits::kMaxFolders) {
    ShowMessage(job, Format(kFolderLimitText, static_cast<int>(limits::kMaxFolders)), kFolderLimitCaption);
    return false;
  }
  table.Index();
  std::unordered_set<std::string> bases;
  for (const std::string& base : job.sourceBases) bases.insert(FoldCase(WithoutTrailingSlash(base)));

  records_.reserve(table.entries.size() + 1);
  PathTableRecord root;
  root.isoIdentifier = kRootIdentifier;
  root.jolietIdentifier = kRootIdentifier;
  records_.push_back(root);

  for (size_t i = 0; i < table.entries.size(); ++i) {
    DirectoryEntry& entry = table.entries[i];
    const std::string directory = WithoutTrailingSlash(entry.path);
    const std::string parentPath = ParentPath(directory);
    uint16_t parent = 1;
    if (bases.count(FoldCase(parentPath)) == 0) {
      const long found = table.Find(parentPath + "/");
      if (found < 0) {
        ShowMessage(job, Format(kNoParentText, directory.c_str(), parentPath.c_str()), kBuilderCaption);
        records_.clear();
        return false;
      }
      parent = static_cast<uint16_t>(found + 2);
    }
    entry.number = static_cast<uint16_t>(i + 2);
    entry.parent = parent;

    PathTableRecord record;
    record.longName = LastComponent(directory);
    record.isoIdentifier = IsoIdentifier(job, directory);
    record.jolietIdentifier = JolietIdentifier(job, record.longName);
    record.parent = parent;
    record.oldNumber = entry.number;
    records_.push_back(std::move(record));
  }
  AssignLevels(records_);
  SizeSlotsInFinalOrder();
  return true;
}

// The tables go onto the disc in their final order, and where a sector
// boundary falls depends on that order: the slots are sized from it.
void PathTables::SizeSlotsInFinalOrder() {
  std::vector<PathTableRecord> ordered = records_;
  SortByLevelParentAndName(ordered, upperCaseNames_);
  isoSize_ = SizeOfTable(ordered, IsoIdentifierOf);
  jolietSize_ = SizeOfTable(ordered, JolietIdentifierOf);
}

void PathTables::Finalize(const DirectoryTable& table) {
  if (records_.empty()) return;
  RestoreBuildOrder(records_);
  records_[0].extent = table.rootIsoExtent;
  records_[0].jolietExtent = table.rootJolietExtent;
  records_[0].parent = 1;
  for (size_t k = 1; k < records_.size() && k - 1 < table.entries.size(); ++k) {
    records_[k].extent = table.entries[k - 1].isoExtent;
    records_[k].jolietExtent = table.entries[k - 1].jolietExtent;
  }
  SortByLevelParentAndName(records_, upperCaseNames_);
}

std::vector<uint8_t> PathTables::IsoTable(bool bigEndian) const {
  std::vector<uint8_t> table;
  for (const PathTableRecord& record : records_) {
    AppendRecord(table, record.isoIdentifier, record.extent, record.parent, bigEndian);
  }
  PadToWholeSectors(table, 1);
  return table;
}

std::vector<uint8_t> PathTables::JolietTable(bool bigEndian) const {
  std::vector<uint8_t> table;
  for (const PathTableRecord& record : records_) {
    AppendRecord(table, record.jolietIdentifier, record.jolietExtent, record.parent, bigEndian);
  }
  PadToWholeSectors(table, 1);
  return table;
}

// Each form goes to its path table file, then into its slot and the slot's
// copy; a slot is as long as the size rule says, the table zero-filled to it.
bool PathTables::WriteFinal(Job& job, SectorWriter& writer, const PathTableSlots& slots) const {
  struct Form {
    bool joliet;
    bool bigEndian;
    uint32_t slot;
    uint32_t copy;
  };
  const Form forms[] = {
      {false, false, slots.isoL, slots.isoLCopy},
      {false, true, slots.isoM, slots.isoMCopy},
      {true, false, slots.jolietL, slots.jolietLCopy},
      {true, true, slots.jolietM, slots.jolietMCopy},
  };
  const std::string isoPath = job.tempDirPlain + "/_pdir.txt";
  const std::string jolietPath = job.tempDirPlain + "/_pdirX.txt";
  for (const Form& form : forms) {
    std::vector<uint8_t> table = form.joliet ? JolietTable(form.bigEndian) : IsoTable(form.bigEndian);
    if (!WriteTemporaryFile(job, form.joliet ? jolietPath : isoPath, table.data(), table.size())) return false;
    const PathTableSize size = form.joliet ? JolietSize() : IsoSize();
    table.resize(size.bytes);
    if (!writer.WriteIntoExtent(form.slot, size.sectors, table.data(), table.size())) return false;
    if (!writer.WriteIntoExtent(form.copy, size.sectors, table.data(), table.size())) return false;
  }
  return true;
}

bool SortListingFile(Job& job, const std::string& path, const std::string& displayName) {
  ShowStatus(job, Format("Sorting directory tree %s", displayName.c_str()));
  auto file = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file) {
    ShowIoError(job, "open", path, platform::LastErrorText());
    return false;
  }
  std::string text;
  if (!ReadRest(job, *file, path, text)) return false;
  size_t end = 0;
  const std::vector<std::string_view> lines = SplitListing(text, end);
  if (lines.empty()) return true;
  if (lines.size() >= kMaxDirectoryEntries) {
    ShowMessage(job, Format(kEntryLimitText, static_cast<int>(lines.size())), kEntryLimitCaption);
    return false;
  }

  // Every line gets CR LF and whatever follows the listing stays as it was,
  // so the new text covers the old one completely.
  std::string sorted;
  sorted.reserve(text.size() + 2);
  for (size_t i : SortedOrder(job, lines)) {
    sorted.append(lines[i]);
    sorted.append("\r\n");
  }
  sorted.append(text, end, std::string::npos);
  if (!file->Seek(0) || !file->WriteText(sorted)) {
    ShowIoError(job, "write to", path, file->LastError());
    return false;
  }
  if (!file->Close()) {
    ShowIoError(job, "close", path, file->LastError());
    return false;
  }
  return true;
}

}  // namespace pravel
