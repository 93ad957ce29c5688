#include "udf/dvd_video_zone.h"

#include <algorithm>
#include <string_view>

#include "job/runtime.h"
#include "intake/tree_scan.h"
#include "intake/utf8.h"
#include "iso/list_reader.h"
#include "platform/files.h"
#include "udf/dvd_video_tables.h"

namespace pravel {

namespace {

constexpr char kContentCaption[] = "DVD-V content file error!";
constexpr char kBuilderCaption[] = "Disc Image Builder Error!";
constexpr char kIgnoreCaption[] = "Should I ignor this and other related errors?";
constexpr char kIllegalName[] = "Content file %s is an illegal file name.";
constexpr char kCanNotOpenObject[] = "2 Can not open %s";
constexpr char kObjectTooLarge[] = "DVD-V content file %s exceeds maximum allowed file size.";
constexpr char kNotCompliant[] =
    "The VIDEO_TS directory contains a file, %s, that is not compliant with DVD version 1.0 "
    "specifications!";
constexpr char kAudioTsHoldsFiles[] =
    "The AUDIO_TS directory contains files. DVD version 1.0 specifications do not allow files "
    "within this directory!";
constexpr char kCanNotOpenListing[] = "1 Can not open %s";
constexpr char kCanNotOpenZoneFile[] = "Can not open %s";
constexpr char kMissingFile[] =
    "The DVD-Video title lacks the required file %s; it would not play.";
constexpr char kSameFile[] = "DVD-V content files %s and %s are the same DVD-Video file.";
constexpr char kTooLarge[] = "The title is too large for a DVD volume.";
constexpr char kOperationsCaption[] = "Operations error!";
constexpr char kOverlap[] =
    "The DVD-Video tables place %s at sector %lld of the zone, inside %s, which takes the sectors up to %lld.";
constexpr char kUnnamedSet[] = "The title search table of %s names no title of %s, so its place is not known.";
constexpr char kTwoStarts[] = "The title search table of %s gives %s two starts, sectors %u and %u of the zone.";

constexpr std::string_view kVideoFolder = "VIDEO_TS/";
constexpr std::string_view kAudioFolder = "AUDIO_TS/";
constexpr uint32_t kSectorBytes = 2048;

// What a name directly inside VIDEO_TS is, compared whole and without regard
// to case.
enum class NameKind {
  kManagerInformation,  // VIDEO_TS.IFO
  kManagerMenu,         // VIDEO_TS.VOB
  kManagerBackup,       // VIDEO_TS.BUP
  kSetInformation,      // VTS_nn_0.IFO
  kSetBackup,           // VTS_nn_0.BUP
  kSetObject,           // VTS_nn_i.VOB
  kIllegal,             // VTS_ with bad or missing digits, or set 00
  kNotCompliant,        // anything else
};

struct ZoneName {
  NameKind kind = NameKind::kNotCompliant;
  int set = 0;    // 1 to 99
  int index = 0;  // 0 to 9
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ZoneName ClassifyName(std::string_view name) {
  const std::string upper = AsciiUpper(name);
  if (upper == "VIDEO_TS.IFO") return {NameKind::kManagerInformation};
  if (upper == "VIDEO_TS.VOB") return {NameKind::kManagerMenu};
  if (upper == "VIDEO_TS.BUP") return {NameKind::kManagerBackup};
  if (!upper.starts_with("VTS_")) return {NameKind::kNotCompliant};
  // VTS_nn_i: the set number at 4 and 5, the object index at 7.
  if (upper.size() < 8 || !IsDigit(upper[4]) || !IsDigit(upper[5]) || !IsDigit(upper[7])) {
    return {NameKind::kIllegal};
  }
  ZoneName result{NameKind::kNotCompliant, (upper[4] - '0') * 10 + (upper[5] - '0'), upper[7] - '0'};
  if (result.set == 0) return {NameKind::kIllegal};
  if (upper.size() != 12 || upper[6] != '_' || upper[8] != '.') return result;
  const std::string_view extension = std::string_view(upper).substr(9);
  if (extension == "VOB") {
    result.kind = NameKind::kSetObject;
  } else if (result.index == 0 && extension == "IFO") {
    result.kind = NameKind::kSetInformation;
  } else if (result.index == 0 && extension == "BUP") {
    result.kind = NameKind::kSetBackup;
  }
  return result;
}

// The line's place on the disc: the path behind its source base and the '/'
// that follows the base; nullopt for a line outside every base.
std::optional<std::string_view> DiscPath(const Job& job, std::string_view line) {
  const std::string* base = FindSourceBase(job, line);
  if (base == nullptr || line.size() <= base->size()) return std::nullopt;
  return line.substr(base->size() + 1);
}

// One pass over the tree listing, filling a zone of its own; the caller
// takes the zone once the whole listing has passed.
class ZoneReader {
 public:
  explicit ZoneReader(Job& job) : job_(job) {}

  bool Read() {
    ListReader reader;
    if (!reader.Open(job_.treeListPath)) {
      ShowMessage(job_, Format(kCanNotOpenListing, job_.treeListPath.c_str()), kBuilderCaption);
      return false;
    }
    std::string line;
    while (reader.ReadListLine(line)) {
      if (!Examine(line)) return false;
    }
    if (reader.Failed()) {
      ShowMessage(job_, Format(kCanNotOpenListing, job_.treeListPath.c_str()), kBuilderCaption);
      return false;
    }
    return CheckAudioFolder() && CheckRequiredFiles();
  }

  ZoneFile managerInformation;
  ZoneFile managerMenu;
  ZoneFile managerBackup;
  std::array<TitleSet, kTitleSets> titleSets;

 private:
  bool Examine(const std::string& line) {
    std::optional<std::string_view> discPath = DiscPath(job_, line);
    if (!discPath) return true;
    if (StartsWithIgnoringCase(*discPath, kAudioFolder)) {
      ++audioLines_;
      return true;
    }
    if (!StartsWithIgnoringCase(*discPath, kVideoFolder)) return true;
    const std::string_view inside = discPath->substr(kVideoFolder.size());
    if (inside.empty()) return true;  // the folder itself
    if (inside.back() != '/') {
      videoFolder_ = line.substr(0, line.size() - inside.size());
      holdsFiles_ = true;
    }
    // A subfolder, or anything inside one, is no DVD-Video file.
    if (inside.find('/') != std::string_view::npos) return AskNotCompliant(line);
    return Take(line, ClassifyName(inside));
  }

  bool Take(const std::string& line, const ZoneName& name) {
    switch (name.kind) {
      case NameKind::kManagerInformation:
        return Claim(managerInformation, line);
      case NameKind::kManagerMenu:
        return Claim(managerMenu, line) && MeasureObject(managerMenu);
      case NameKind::kManagerBackup:
        return Claim(managerBackup, line);
      case NameKind::kSetInformation:
        return Claim(Set(name).information, line);
      case NameKind::kSetBackup:
        return Claim(Set(name).backup, line);
      case NameKind::kSetObject: {
        ZoneFile& object = Set(name).objects[static_cast<size_t>(name.index)];
        return Claim(object, line) && MeasureObject(object);
      }
      case NameKind::kIllegal:
        ShowMessage(job_, Format(kIllegalName, line.c_str()), kContentCaption);
        return false;
      case NameKind::kNotCompliant:
        return AskNotCompliant(line);
    }
    return AskNotCompliant(line);
  }

  TitleSet& Set(const ZoneName& name) { return titleSets[static_cast<size_t>(name.set - 1)]; }

  // Two paths for one DVD-Video file (names that differ in case only, or two
  // VIDEO_TS folders in the root) would leave one of them outside the zone.
  bool Claim(ZoneFile& file, const std::string& line) {
    if (!file.path.empty()) {
      ShowMessage(job_, Format(kSameFile, file.path.c_str(), line.c_str()), kContentCaption);
      return false;
    }
    file.path = line;
    return true;
  }

  bool MeasureObject(ZoneFile& object) {
    std::optional<platform::File> file = platform::File::Open(object.path, platform::File::Mode::kRead);
    std::optional<uint64_t> length = file ? file->Size() : std::nullopt;
    if (!length) {
      ShowMessage(job_, Format(kCanNotOpenObject, object.path.c_str()), kContentCaption);
      return false;
    }
    object.length = *length;
    if (object.length > kMaxVideoObjectBytes) {
      ShowMessage(job_, Format(kObjectTooLarge, object.path.c_str()), kContentCaption);
      return false;
    }
    return true;
  }

  bool AskNotCompliant(const std::string& line) {
    if (ignoring_) return true;
    if (!AskYesNo(job_, Format(kNotCompliant, line.c_str()), kIgnoreCaption)) return false;
    ignoring_ = true;
    return true;
  }

  bool CheckAudioFolder() {
    if (audioLines_ <= 1 || ignoring_) return true;
    return AskYesNo(job_, kAudioTsHoldsFiles, kIgnoreCaption);
  }

  // A VIDEO_TS holding files needs the video manager and its backup, and every
  // title set its information file and backup.
  bool CheckRequiredFiles() {
    if (!holdsFiles_) return true;
    if (managerInformation.path.empty()) return RefuseMissing("VIDEO_TS.IFO");
    if (managerBackup.path.empty()) return RefuseMissing("VIDEO_TS.BUP");
    for (int nn = 1; nn <= kTitleSets; ++nn) {
      const TitleSet& set = titleSets[static_cast<size_t>(nn - 1)];
      bool hasObjects = false;
      for (const ZoneFile& object : set.objects) hasObjects = hasObjects || !object.path.empty();
      const bool used = hasObjects || !set.information.path.empty() || !set.backup.path.empty();
      if (!used) continue;
      if (set.information.path.empty()) return RefuseMissing(Format("VTS_%02d_0.IFO", nn));
      if (set.backup.path.empty()) return RefuseMissing(Format("VTS_%02d_0.BUP", nn));
    }
    return true;
  }

  bool RefuseMissing(const std::string& name) {
    ShowMessage(job_, Format(kMissingFile, (videoFolder_ + name).c_str()), kContentCaption);
    return false;
  }

  Job& job_;
  uint32_t audioLines_ = 0;
  bool ignoring_ = false;     // the operator chose to ignore non-compliant files
  bool holdsFiles_ = false;   // a file lies somewhere inside VIDEO_TS
  std::string videoFolder_;   // the VIDEO_TS folder's path with its '/', as listed
};

// Lays the zone out from the navigation tables: every file at the sector its
// tables give, counted from the start of VIDEO_TS.IFO. Each file must begin
// at or behind the end of the file ahead of it in player order.
class ZonePlanner {
 public:
  explicit ZonePlanner(Job& job) : job_(job) {}

  bool Plan(ZoneFile& information, ZoneFile& menu, ZoneFile& backup, std::array<TitleSet, kTitleSets>& sets,
            uint32_t& zoneSectors) {
    ManagerTables manager;
    if (!ReadTables(ReadManagerTables, information.path, manager)) return false;
    if (!Measure(information) || !PlaceAt(information, 0)) return false;
    if (!menu.path.empty() && !PlaceObject(menu, manager.menuStart)) return false;
    if (!PlaceBackup(backup, manager.lastSector)) return false;
    int64_t end = int64_t{manager.lastSector} + 1;
    for (size_t i = 0; i < sets.size() && !sets[i].information.path.empty(); ++i) {
      uint32_t setStart = 0;
      if (!FindSetStart(manager, information.path, static_cast<int>(i + 1), sets[i], setStart)) return false;
      if (!PlaceSet(sets[i], setStart)) return false;
      end = previousEnd_;
    }
    if (end > kLastSector) return Refuse(kTooLarge, kOperationsCaption);
    zoneSectors = static_cast<uint32_t>(end);
    return true;
  }

 private:
  static constexpr int64_t kLastSector = 0xFFFFFFFFll;

  template <typename Tables>
  bool ReadTables(bool (*read)(const std::string&, Tables&, std::string&), const std::string& path,
                  Tables& tables) {
    std::string fault;
    if (read(path, tables, fault)) return true;
    return Refuse(fault, kContentCaption);
  }

  bool Refuse(const std::string& message, const char* caption) {
    ShowMessage(job_, message, caption);
    return false;
  }

  // An information or backup file is measured here; an object file was
  // measured (and its size checked) as the listing was read.
  bool Measure(ZoneFile& zoneFile) {
    std::optional<platform::File> file = platform::File::Open(zoneFile.path, platform::File::Mode::kRead);
    std::optional<uint64_t> length = file ? file->Size() : std::nullopt;
    if (!length) return Refuse(Format(kCanNotOpenZoneFile, zoneFile.path.c_str()), kContentCaption);
    zoneFile.length = *length;
    CountSectors(zoneFile);
    return true;
  }

  static void CountSectors(ZoneFile& zoneFile) {
    zoneFile.sectorCount = static_cast<uint32_t>((zoneFile.length + kSectorBytes - 1) / kSectorBytes);
  }

  bool PlaceObject(ZoneFile& object, int64_t start) {
    CountSectors(object);
    return PlaceAt(object, start);
  }

  // `start` counts from VIDEO_TS.IFO; a start inside the file ahead is refused.
  // An empty file takes no sector and so can overlap nothing: it lies where
  // its table says, or behind the file ahead when that is further.
  bool PlaceAt(ZoneFile& file, int64_t start) {
    if (file.sectorCount == 0) {
      file.offset = static_cast<uint32_t>(std::clamp(start, previousEnd_, kLastSector));
      return true;
    }
    if (start < previousEnd_) {
      return Refuse(Format(kOverlap, file.path.c_str(), static_cast<long long>(start), previousPath_.c_str(),
                           static_cast<long long>(previousEnd_ - 1)),
                    kContentCaption);
    }
    if (start + file.sectorCount > kLastSector) return Refuse(kTooLarge, kOperationsCaption);
    file.offset = static_cast<uint32_t>(start);
    previousEnd_ = start + file.sectorCount;
    previousPath_ = file.path;
    return true;
  }

  // The title search table gives every title's set and that set's start;
  // the titles of one set must agree on it.
  bool FindSetStart(const ManagerTables& manager, const std::string& managerPath, int set, const TitleSet& files,
                    uint32_t& start) {
    bool named = false;
    for (const TitleSearchEntry& title : manager.titles) {
      if (title.titleSet != set) continue;
      if (named && title.start != start) {
        return Refuse(Format(kTwoStarts, managerPath.c_str(), files.information.path.c_str(), start, title.start),
                      kContentCaption);
      }
      named = true;
      start = title.start;
    }
    if (named) return true;
    return Refuse(Format(kUnnamedSet, managerPath.c_str(), files.information.path.c_str()), kContentCaption);
  }

  // A set's information file at its start, the menu and title objects where
  // its table says, the title objects back to back, the backup on its last
  // sector.
  bool PlaceSet(TitleSet& set, uint32_t setStart) {
    TitleSetTables tables;
    if (!ReadTables(ReadTitleSetTables, set.information.path, tables)) return false;
    const int64_t base = setStart;
    if (!Measure(set.information) || !PlaceAt(set.information, base)) return false;
    ZoneFile& menu = set.objects[0];
    if (!menu.path.empty() && !PlaceObject(menu, base + tables.menuStart)) return false;
    int64_t next = base + tables.titleStart;
    for (size_t i = 1; i < set.objects.size() && !set.objects[i].path.empty(); ++i) {
      if (!PlaceObject(set.objects[i], next)) return false;
      next = previousEnd_;
    }
    return PlaceBackup(set.backup, base + tables.lastSector);
  }

  // A backup ends on the last sector of its set.
  bool PlaceBackup(ZoneFile& backup, int64_t lastSector) {
    return Measure(backup) && PlaceAt(backup, lastSector + 1 - int64_t{backup.sectorCount});
  }

  Job& job_;
  int64_t previousEnd_ = 0;
  std::string previousPath_;
};

}  // namespace

bool DvdVideoZone::Validate(Job& job) {
  *this = DvdVideoZone();
  ZoneReader reader(job);
  if (!reader.Read()) return false;
  managerInformation_ = std::move(reader.managerInformation);
  managerMenu_ = std::move(reader.managerMenu);
  managerBackup_ = std::move(reader.managerBackup);
  titleSets_ = std::move(reader.titleSets);
  if (managerInformation_.path.empty()) return true;
  ZonePlanner planner(job);
  return planner.Plan(managerInformation_, managerMenu_, managerBackup_, titleSets_, zoneSectors_);
}

bool DvdVideoZone::Place(Job& job, uint32_t& nextSector) {
  placed_.clear();
  if (managerInformation_.path.empty()) return true;
  const uint64_t base = nextSector;
  if (base + zoneSectors_ > 0xFFFFFFFFull) {
    ShowMessage(job, kTooLarge, kOperationsCaption);
    return false;
  }
  auto place = [&](ZoneFile& file) {
    if (file.path.empty()) return;
    file.startSector = static_cast<uint32_t>(base + file.offset);
    placed_[AsciiUpper(file.path)] = {file.startSector, file.sectorCount};
  };
  place(managerInformation_);
  place(managerMenu_);
  place(managerBackup_);
  for (TitleSet& set : titleSets_) {
    if (set.information.path.empty()) break;
    place(set.information);
    for (size_t i = 0; i < set.objects.size(); ++i) {
      if (set.objects[i].path.empty() && i > 0) break;
      place(set.objects[i]);
    }
    place(set.backup);
  }
  nextSector = static_cast<uint32_t>(base + zoneSectors_);
  return true;
}

std::optional<ZonePlacement> DvdVideoZone::Find(const std::string& path) const {
  auto it = placed_.find(AsciiUpper(path));
  if (it == placed_.end()) return std::nullopt;
  return it->second;
}

}  // namespace pravel
