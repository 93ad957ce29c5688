#include "udf/dvd_video_tables.h"

#include <cstring>
#include <optional>

#include "job/runtime.h"
#include "iso/byte_fields.h"
#include "platform/files.h"

namespace pravel {
namespace {

constexpr uint64_t kSectorBytes = 2048;
constexpr size_t kIdentifierLength = 12;
constexpr size_t kHeaderBytes = 200;  // the first sector up to the last field read

// An information file held open for reading its tables; every read is
// checked against the file's length first.
class InformationFile {
 public:
  bool Open(const std::string& path, std::string& fault) {
    path_ = path;
    std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
    std::optional<uint64_t> length = file ? file->Size() : std::nullopt;
    if (!length) {
      fault = Format("Can not open %s", path.c_str());
      return false;
    }
    file_ = std::move(*file);
    length_ = *length;
    return true;
  }

  // Reads `size` bytes at `offset`; `what` names the table for the message.
  bool ReadAt(uint64_t offset, uint8_t* data, size_t size, const char* what, std::string& fault) {
    if (offset + size > length_) {
      fault = Format("%s is too short for its %s: it ends at byte %llu, the table at byte %llu.", path_.c_str(), what,
                     static_cast<unsigned long long>(length_), static_cast<unsigned long long>(offset + size));
      return false;
    }
    if (!file_.Seek(offset)) return ReadFailed(fault);
    std::optional<size_t> count = file_.Read(data, size);
    if (!count || *count != size) return ReadFailed(fault);
    return true;
  }

  bool ReadHeader(uint8_t* header, const char* identifier, std::string& fault) {
    if (!ReadAt(0, header, kHeaderBytes, "header", fault)) return false;
    if (std::memcmp(header, identifier, kIdentifierLength) != 0) {
      fault = Format("%s is no DVD-Video information file: it does not begin with %s.", path_.c_str(), identifier);
      return false;
    }
    return true;
  }

 private:
  bool ReadFailed(std::string& fault) {
    fault = Format("Can not read %s: %s", path_.c_str(), file_.LastError().c_str());
    return false;
  }

  std::string path_;
  platform::File file_;
  uint64_t length_ = 0;
};

bool ReadTitleSearchTable(InformationFile& file, uint32_t sector, ManagerTables& tables, std::string& fault) {
  const uint64_t at = uint64_t{sector} * kSectorBytes;
  const char* what = "title search table";
  uint8_t count[2];
  if (!file.ReadAt(at + title_search::kTitleCount, count, sizeof count, what, fault)) return false;
  const uint16_t titles = GetBe16(count);
  for (uint16_t i = 0; i < titles; ++i) {
    uint8_t entry[title_search::kEntrySize];
    const uint64_t entryAt = at + title_search::kFirstEntry + uint64_t{i} * title_search::kEntrySize;
    if (!file.ReadAt(entryAt, entry, sizeof entry, what, fault)) return false;
    tables.titles.push_back({entry[title_search::kTitleSetNumber], GetBe32(entry + title_search::kTitleSetStart)});
  }
  return true;
}

}  // namespace

bool ReadManagerTables(const std::string& path, ManagerTables& tables, std::string& fault) {
  tables = ManagerTables{};
  InformationFile file;
  uint8_t header[kHeaderBytes];
  if (!file.Open(path, fault) || !file.ReadHeader(header, kManagerIdentifier, fault)) return false;
  tables.lastSector = GetBe32(header + vmg_field::kLastSector);
  tables.informationLastSector = GetBe32(header + vmg_field::kInformationLastSector);
  tables.menuStart = GetBe32(header + vmg_field::kMenuStart);
  return ReadTitleSearchTable(file, GetBe32(header + vmg_field::kTitleSearchTable), tables, fault);
}

bool ReadTitleSetTables(const std::string& path, TitleSetTables& tables, std::string& fault) {
  tables = TitleSetTables{};
  InformationFile file;
  uint8_t header[kHeaderBytes];
  if (!file.Open(path, fault) || !file.ReadHeader(header, kTitleSetIdentifier, fault)) return false;
  tables.lastSector = GetBe32(header + vts_field::kLastSector);
  tables.informationLastSector = GetBe32(header + vts_field::kInformationLastSector);
  tables.menuStart = GetBe32(header + vts_field::kMenuStart);
  tables.titleStart = GetBe32(header + vts_field::kTitleStart);
  return true;
}

}  // namespace pravel
