#include "intake/tree_scan.h"

#include <algorithm>
#include <new>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "job/runtime.h"
#include "intake/alias_files.h"
#include "intake/autorun.h"
#include "intake/directory_listing.h"
#include "intake/name_rules.h"
#include "intake/utf8.h"
#include "platform/files.h"
#include "platform/files_ahead.h"

namespace pravel {
namespace {

using platform::EntryKind;

constexpr char kFormatCaption[] = "Format error, aborting";
constexpr char kLimitsCaption[] = "Tool limits exceeded!";
constexpr char kListingCaption[] = "Directory listing device error!";
constexpr char kSourceReadCaption[] = "Fatal IO error!";
constexpr char kBatchUsageCaption[] = "Usage error";

constexpr char kNameTooLong[] =
    "The file/directory name [%s] exceeds the maximum file name length accepted by this tool and "
    "the DVD file systems.";
constexpr char kProjectNameTooLong[] =
    "The file name or file name plus path [%s] exceeds the maximum length accepted by this tool and "
    "the DVD file systems. File names are limited to 64 characters maximum. Total path lenght is "
    "limited to 240 characters maximum.";
constexpr char kFolderLimit[] =
    "The maximum number of sub-directories by this release is %d. This limit has been exceed";
constexpr char kNoMemory[] = "Can not acquire memory. Free or increase system memory before use.";
constexpr char kNoMemoryCaption[] = "System resource error!";
constexpr char kCanNotCreate[] = "Could not create temporary file.";
constexpr char kCanNotWrite[] = "Could not write the temporary file %s (%s).";
constexpr char kNoSubDirectories[] =
    "There are no sub-directories in the file list. This tool expects there to be at least 1 "
    "sub-directory in the file list, even if its empty.";
constexpr char kNoSubDirectoriesCaption[] = "Usage error!";

constexpr char kSourceListFull[] =
    "The source list of this release holds at most %u files and directories. This limit has been "
    "exceeded.";
constexpr char kNoProject[] =
    "No project folder was given. A batch run needs -p= with the folder whose contents become the "
    "root of the disc.";
constexpr char kNotFullPath[] = "The source [%s] is not a full path; a source path begins with /.";
constexpr char kUnreadableFolder[] = "The folder [%s] can not be read (%s). The scan has stopped.";
constexpr char kUnexaminable[] =
    "The file or folder [%s] can not be examined: it does not exist, it is a link that leads "
    "nowhere, or its attributes can not be read. The scan has stopped.";
constexpr char kSpecialFile[] =
    "[%s] is a device, pipe or socket, not a file or folder; it can not be put on the disc.";
constexpr char kWorkFolderInTitle[] =
    "The folder [%s] is where Pravel writes its images or temporary files; it can not be part of the "
    "title. Choose image, temporary and template directories outside the title.";
constexpr char kLinkLoop[] =
    "The link [%s] leads to the folder [%s], which contains the link itself; the folder would be "
    "listed without end. Remove the link or leave its folder out.";
constexpr char kNamesClash[] =
    "[%s] and [%s] would stand in the same directory of the disc under names that differ at most "
    "in letter case, so one would hide the other. Rename or leave out one of them.";
constexpr char kAwkwardName[] =
    "The file/directory name [%s] begins or ends with a space or holds a control character, which "
    "the temporary listing files can not carry.";
constexpr char kNestedSelection[] =
    "The selected folder [%s] lies inside the selected folder [%s], more than one level down; the "
    "folders between them would not be on the disc. Select one of the two only.";
constexpr char kLostFile[] =
    "The selected file [%s] lies below [%s], the folder of other selected items, in a folder that "
    "is not part of the title; it would not be on the disc. Select its folder instead.";

// A path as a message shows it: invalid bytes and control characters replaced.
std::string Shown(const std::string& path) {
  std::string text = DisplayableUtf8(path);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The upper-case letter of a character, for the scripts whose names differ by
// case: Latin, Greek, Cyrillic and the full-width Latin letters.
uint32_t UpperCodePoint(uint32_t c) {
  if (c < 0x80) return static_cast<unsigned char>(Upper(static_cast<char>(c)));
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131) return 'I';
    if (c == 0x17F) return 'S';
    const bool oddIsLower = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
    if (oddIsLower) return (c & 1) ? c - 1 : c;
    return (c & 1) ? c : c - 1;  // 0x139..0x148 and 0x179..0x17E: even is lower
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
  if (c == 0x3C2) return 0x3A3;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
  return c;
}

// A name as the disc's directories compare it: letter case left out. Only a
// key for comparisons; invalid bytes stand for themselves.
std::string FoldedName(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (size_t pos = 0; pos < name.size();) {
    const Utf8Char c = ReadUtf8Char(name, pos);
    if (!c.valid || c.codePoint < 0x80) {
      folded.push_back(c.valid ? Upper(name[pos]) : name[pos]);
    } else {
      const uint32_t upper = UpperCodePoint(c.codePoint);
      folded.push_back('\x01');  // keeps these apart from invalid bytes
      folded.push_back(static_cast<char>(upper >> 16));
      folded.push_back(static_cast<char>((upper >> 8) & 0xFF));
      folded.push_back(static_cast<char>(upper & 0xFF));
    }
    pos += c.length;
  }
  return folded;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// True when `ancestor` is `path` or one of the folders above it.
bool IsSameOrAbove(const std::string& ancestor, const std::string& path) {
  if (!path.starts_with(ancestor)) return false;
  return path.size() == ancestor.size() || ancestor == "/" || path[ancestor.size()] == '/';
}

bool ShowNameTooLong(Job& job, const std::string& path) {
  ShowMessage(job, Format(kNameTooLong, Shown(path).c_str()), kFormatCaption);
  return false;
}

// Names the listing files and the alias files can carry: no control
// character anywhere, no space at either end (the profile files trim it).
bool CheckNameCarried(Job& job, std::string_view name, const std::string& path) {
  bool carried = !name.empty() && name.front() != ' ' && name.back() != ' ';
  for (unsigned char c : name) carried = carried && c >= 0x20 && c != 0x7F;
  if (carried) return true;
  ShowMessage(job, Format(kAwkwardName, Shown(path).c_str()), kFormatCaption);
  return false;
}

// Every check a composed or selected path must pass before it is listed.
bool CheckNewPath(Job& job, std::string_view name, const std::string& path) {
  if (IsNameTooLong(job, path)) return ShowNameTooLong(job, path);
  return CheckNameEncoding(job, path) && CheckNameCarried(job, name, path);
}

// The names of one directory of the disc, letter case left out.
class DiscDirectory {
 public:
  // False when another path already has the name.
  bool Add(std::string_view name, const std::string& path, const std::string** other) {
    auto [it, added] = paths_.emplace(FoldedName(name), path);
    if (added || it->second == path) return true;
    *other = &it->second;
    return false;
  }

 private:
  std::unordered_map<std::string, std::string> paths_;
};

struct SourceEntry {
  bool isFolder = false;
  bool duplicate = false;  // a selected path selected once before: taken once
  int64_t parent = -1;     // the folder entry it was found in; -1 when selected
  std::string canonical;   // folders: the link-free path, to see link loops
  std::vector<std::string> files;  // folders: the files found, in listing order
};

class TreeScan {
 public:
  explicit TreeScan(Job& job) : job_(job) {}

  bool Run() {
    if (Scan()) return true;
    // The listing files created ahead belong to a run that will not build.
    listingsAhead_.Finish();
    RemoveDirectoryListingFiles(job_);
    return false;
  }

 private:
  bool Scan() {
    if (!Reserve()) return false;
    CollectWorkFolders();
    if (job_.autorunEnabled && !WriteAutorunInf(job_)) return false;
    selectedCount_ = job_.sourceCount;
    if (!ExamineSelection() || !CollectBases() || !MeasureSelection() || !PlaceSelectionInRoot()) return false;
    NameSelectedListingFiles();
    if (!ExpandFolders() || !CheckSelectedFilesPlaced() || !BuildDirectoryList()) return false;
    StartAliasFiles(job_);
    return WriteTreeListing();
  }

  bool Reserve() {
    try {
      directoryList_.reserve(limits::kDirectoryList);
      job_.sourceBases.reserve(limits::kSourceBases);
      entries_.reserve(job_.sourceCount + 1);
    } catch (const std::bad_alloc&) {
      ShowMessage(job_, kNoMemory, kNoMemoryCaption);
      return false;
    }
    return true;
  }

  bool IsBase(const std::string& path) const { return foldedBases_.contains(AsciiUpper(path)); }

  // Kinds of the selected entries; a path selected twice is taken once.
  bool ExamineSelection() {
    entries_.resize(selectedCount_);
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      std::string& path = job_.sourcePaths[i];
      path = WithoutTrailingSlashes(path);
      if (path.empty() || path.front() != '/') {
        ShowMessage(job_, Format(kNotFullPath, Shown(path).c_str()), kBatchUsageCaption);
        return false;
      }
      const EntryKind kind = platform::KindOf(path);
      if (!CheckKind(kind, path)) return false;
      if (!CheckNameEncoding(job_, path) || !CheckNameCarried(job_, LastComponent(path), path)) return false;
      SourceEntry& entry = entries_[i];
      entry.isFolder = kind == EntryKind::kDirectory;
      entry.duplicate = !selectedPaths_.insert(path).second;
      if (entry.isFolder) entry.canonical = platform::CanonicalPath(path).value_or(path);
      if (entry.isFolder && !CheckNotWorkFolder(entry.canonical, path)) return false;
    }
    return true;
  }

  // The folders a run writes into: a title holding one of them would carry
  // the images and temporary files of the run itself (emptied as the run
  // begins).
  void CollectWorkFolders() {
    auto add = [this](const std::string& path) {
      if (path.empty()) return;
      if (auto canonical = platform::CanonicalPath(path)) workFolders_.insert(*canonical);
    };
    for (const std::string* image : {&job_.imagePath1, &job_.imagePath3}) {
      if (!image->empty()) add(image->substr(0, image->rfind('/')));
    }
    add(job_.tempDir);
    add(job_.templateDir);
  }

  bool CheckNotWorkFolder(const std::string& canonical, const std::string& path) {
    if (!workFolders_.contains(canonical)) return true;
    ShowMessage(job_, Format(kWorkFolderInTitle, Shown(path).c_str()), kBatchUsageCaption);
    return false;
  }

  bool CheckKind(EntryKind kind, const std::string& path) {
    if (kind == EntryKind::kSpecial) {
      ShowMessage(job_, Format(kSpecialFile, Shown(path).c_str()), kFormatCaption);
      return false;
    }
    if (kind == EntryKind::kBroken) {
      ShowMessage(job_, Format(kUnexaminable, Shown(path).c_str()), kSourceReadCaption);
      return false;
    }
    return true;
  }

  // The parents of the selected folders, longest first.
  bool CollectBases() {
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      if (!entries_[i].isFolder || entries_[i].duplicate) continue;
      std::string base = ParentOf(job_.sourcePaths[i]);
      if (!foldedBases_.insert(AsciiUpper(base)).second) continue;
      if (job_.sourceBases.size() == limits::kSourceBases) return ShowFolderLimit();
      job_.sourceBases.push_back(std::move(base));
    }
    std::stable_sort(job_.sourceBases.begin(), job_.sourceBases.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    job_.sourceBaseCount = static_cast<uint32_t>(job_.sourceBases.size());
    return true;
  }

  // A selected entry's name reaches the disc as every name the walk finds
  // does, and is measured the same way; a selected folder that is a source
  // base puts only its contents on the disc.
  bool MeasureSelection() {
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      const std::string& path = job_.sourcePaths[i];
      if (entries_[i].duplicate || (entries_[i].isFolder && IsBase(path))) continue;
      if (IsNameTooLong(job_, path)) return ShowNameTooLong(job_, path);
    }
    return true;
  }

  // The root of the disc holds the selected entries, except that a selected
  // folder which is a source base gives its contents instead.
  bool PlaceSelectionInRoot() {
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      const std::string& path = job_.sourcePaths[i];
      if (entries_[i].duplicate || (entries_[i].isFolder && IsBase(path))) continue;
      if (!IsRootListingLine(job_, path)) continue;  // a file inside a listed folder
      if (!AddName(root_, LastComponent(path), path)) return false;
    }
    return true;
  }

  // The builder cuts one listing file per directory of the disc out of the
  // tree listing: the root's, then one per folder line in the order of the
  // listing. They are created, empty, while the folders are walked.
  void NameListingFile() {
    // Past the folder limit the scan fails; no listing file goes beyond it.
    if (listingsNamed_ > static_cast<long>(limits::kMaxFolders)) return;
    std::string path = ListingFilePath(job_, listingsNamed_++);
    if (IsCreatablePath(path)) listingsAhead_.Add(std::move(path));
  }

  void NameSelectedListingFiles() {
    NameListingFile();
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      if (entries_[i].isFolder && !entries_[i].duplicate && !IsBase(job_.sourcePaths[i])) NameListingFile();
    }
  }

  bool AddName(DiscDirectory& directory, std::string_view name, const std::string& path) {
    const std::string* other = nullptr;
    if (directory.Add(name, path, &other)) return true;
    ShowMessage(job_, Format(kNamesClash, Shown(*other).c_str(), Shown(path).c_str()), kFormatCaption);
    return false;
  }

  // Every folder of the source list is listed; the folders found are
  // appended, so that they are listed in turn (breadth first).
  bool ExpandFolders() {
    for (uint32_t i = 0; i < job_.sourceCount; ++i) {
      if (entries_[i].isFolder && !entries_[i].duplicate && !ExpandFolder(i)) return false;
    }
    return true;
  }

  bool ExpandFolder(uint32_t index) {
    if (StopRequestedByOperator(job_)) return false;
    const std::string folder = job_.sourcePaths[index];
    std::vector<platform::DirEntry> items;
    std::string error;
    if (!platform::ListDirectory(folder, items, error)) {
      ShowMessage(job_, Format(kUnreadableFolder, Shown(folder).c_str(), error.c_str()), kSourceReadCaption);
      return false;
    }
    DiscDirectory ownNames;
    const bool inRoot = entries_[index].parent < 0 && IsBase(folder);
    DiscDirectory& names = inRoot ? root_ : ownNames;
    std::vector<std::string> files;
    for (const platform::DirEntry& item : items) {
      if (item.kind == EntryKind::kDirectory && item.name.front() == '.') continue;
      const std::string path = ComposePath(folder, item.name);
      if (!CheckKind(item.kind, path) || !AddName(names, item.name, path)) return false;
      if (selectedPaths_.contains(path)) continue;  // listed with the selection
      if (item.kind == EntryKind::kFile) {
        files.push_back(item.name);
      } else if (!AddFoundFolder(index, path, item)) {
        return false;
      }
    }
    entries_[index].files = std::move(files);
    return true;
  }

  bool AddFoundFolder(uint32_t parent, const std::string& path, const platform::DirEntry& item) {
    if (IsBase(path)) return ShowNestedSelection(parent, path);
    ++job_.folderCount;
    if (!CheckNewPath(job_, item.name, path)) return false;
    SourceEntry entry;
    entry.isFolder = true;
    entry.parent = parent;
    if (item.isLink) {
      auto target = platform::CanonicalPath(path);
      if (!target) return CheckKind(EntryKind::kBroken, path);
      if (LeadsBackUp(parent, *target)) {
        ShowMessage(job_, Format(kLinkLoop, Shown(path).c_str(), Shown(*target).c_str()), kFormatCaption);
        return false;
      }
      entry.canonical = *target;
    } else {
      entry.canonical = ComposePath(entries_[parent].canonical, item.name);
    }
    if (!CheckNotWorkFolder(entry.canonical, path)) return false;
    if (!job_.AddSource(path)) {
      ShowSourceListFull(job_);
      return false;
    }
    entries_.push_back(std::move(entry));
    NameListingFile();
    return true;
  }

  // True when `target` is a folder the scan came through to reach the folder
  // entry `index`, or one above such a folder.
  bool LeadsBackUp(uint32_t index, const std::string& target) const {
    for (int64_t at = index; at >= 0; at = entries_[at].parent) {
      if (IsSameOrAbove(target, entries_[at].canonical)) return true;
    }
    return false;
  }

  // A folder found inside a selected folder is itself the parent of a
  // selected folder: it would give no directory of its own.
  bool ShowNestedSelection(uint32_t parent, const std::string& path) {
    int64_t top = parent;
    while (entries_[top].parent >= 0) top = entries_[top].parent;
    std::string inner = path;
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      if (PathsEqualIgnoringCase(ParentOf(job_.sourcePaths[i]), path)) inner = job_.sourcePaths[i];
    }
    ShowMessage(job_, Format(kNestedSelection, Shown(inner).c_str(), Shown(job_.sourcePaths[top]).c_str()),
                kBatchUsageCaption);
    return false;
  }

  // A selected file that is not in the root must stand in a folder of the
  // title, or it would be on the disc nowhere.
  bool CheckSelectedFilesPlaced() {
    std::optional<std::unordered_set<std::string>> listed;
    for (uint32_t i = 0; i < selectedCount_; ++i) {
      const std::string& path = job_.sourcePaths[i];
      if (entries_[i].isFolder || entries_[i].duplicate || IsRootListingLine(job_, path)) continue;
      if (!listed) listed = ListedFolders();
      if (listed->contains(ParentOf(path))) continue;
      ShowMessage(job_, Format(kLostFile, Shown(path).c_str(), Shown(*FindSourceBase(job_, path)).c_str()),
                  kBatchUsageCaption);
      return false;
    }
    return true;
  }

  // The folders that give a directory line.
  std::unordered_set<std::string> ListedFolders() const {
    std::unordered_set<std::string> folders;
    for (uint32_t i = 0; i < job_.sourceCount; ++i) {
      const std::string& path = job_.sourcePaths[i];
      if (entries_[i].isFolder && !entries_[i].duplicate && !IsBase(path)) folders.insert(path);
    }
    return folders;
  }

  bool ShowFolderLimit() {
    ShowMessage(job_, Format(kFolderLimit, static_cast<int>(limits::kMaxFolders)), kLimitsCaption);
    return false;
  }

  bool BuildDirectoryList() {
    for (uint32_t i = 0; i < job_.sourceCount; ++i) {
      if (!entries_[i].isFolder || entries_[i].duplicate) continue;
      directoryList_.push_back(i);
      if (directoryList_.size() == limits::kMaxFolders) return ShowFolderLimit();
      if (!CheckPathCharacters(job_, job_.sourcePaths[i])) return false;
    }
    return true;
  }

  bool WriteTreeListing() {
    auto file = CreateTextFile(job_.treeListPath);
    if (!file) {
      ShowMessage(job_, kCanNotCreate, kListingCaption);
      return false;
    }
    CrLfWriter out(std::move(*file));
    NameNextAliasFile();
    const bool written = WriteSelection(out) && WriteFolderFiles(out);
    const bool aliasesWritten = FinishAliasFiles(job_);
    RemoveUnusedAliasFile();
    if (!out.Close() || !written || !aliasesWritten) {
      if (!out.Error().empty()) {
        ShowMessage(job_, Format(kCanNotWrite, job_.treeListPath.c_str(), out.Error().c_str()), kListingCaption);
      }
      return false;
    }
    return true;
  }

  // The alias files fill one after another; the next one is created while
  // the current one fills.
  void NameNextAliasFile() {
    if (job_.paliasCount <= aliasFilesNamed_) return;
    aliasFilesNamed_ = job_.paliasCount;
    std::string path = AliasFilePath(job_, aliasFilesNamed_);
    if (IsCreatablePath(path)) listingsAhead_.Add(std::move(path));
  }

  // The alias file created ahead that no entry reached.
  void RemoveUnusedAliasFile() {
    if (aliasFilesNamed_ < job_.paliasCount) return;
    listingsAhead_.Finish();
    platform::RemoveFile(AliasFilePath(job_, aliasFilesNamed_));
  }

  // First section: the selected entries, AUTORUN.INF and the folders found.
  bool WriteSelection(CrLfWriter& out) {
    for (uint32_t i = 0; i < job_.sourceCount; ++i) {
      if (entries_[i].duplicate) continue;
      const std::string& path = job_.sourcePaths[i];
      if (entries_[i].isFolder) {
        if (!IsBase(path) && !out.Line(path + "/")) return false;
        continue;
      }
      if (!out.Line(path) || !CheckPathCharacters(job_, path)) return false;
      WriteAliasEntry(job_, path, false);
      NameNextAliasFile();
    }
    if (directoryList_.empty()) {
      ShowMessage(job_, kNoSubDirectories, kNoSubDirectoriesCaption);
      return false;
    }
    return true;
  }

  // Second section: the files of every folder, from the last folder back.
  bool WriteFolderFiles(CrLfWriter& out) {
    for (auto it = directoryList_.rbegin(); it != directoryList_.rend(); ++it) {
      const std::string& folder = job_.sourcePaths[*it];
      std::vector<std::string> files = std::move(entries_[*it].files);
      for (const std::string& name : files) {
        ++job_.fileCount;
        const std::string path = ComposePath(folder, name);
        if (!CheckNewPath(job_, name, path)) return false;
        if (!out.Line(path) || !CheckPathCharacters(job_, path)) return false;
        WriteAliasEntry(job_, path, true);
        NameNextAliasFile();
      }
    }
    return true;
  }

  Job& job_;
  uint32_t selectedCount_ = 0;
  std::vector<SourceEntry> entries_;  // one per entry of the source list
  std::unordered_set<std::string> selectedPaths_;
  std::unordered_set<std::string> workFolders_;  // link-free paths of the run's own folders
  std::unordered_set<std::string> foldedBases_;  // upper-cased
  DiscDirectory root_;
  std::vector<uint32_t> directoryList_;
  long listingsNamed_ = 0;
  uint32_t aliasFilesNamed_ = 0;
  // The listing files and the next alias file, created ahead. Declared last:
  // stopped before anything else of the scan goes.
  platform::FilesCreatedAhead listingsAhead_;
};

}  // namespace

bool PathsEqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

const std::string* FindSourceBase(const Job& job, std::string_view path) {
  for (const std::string& base : job.sourceBases) {
    if (path.size() < base.size()) continue;
    if (path.size() > base.size() && path[base.size()] != '/') continue;
    if (StartsWithIgnoringCase(path, base)) return &base;
  }
  return nullptr;
}

std::string ComposePath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

void ShowSourceListFull(Job& job) {
  ShowMessage(job, Format(kSourceListFull, limits::kSourceEntries), kLimitsCaption);
}

bool LoadProjectSources(Job& job) {
  if (job.projectPath.empty()) {
    ShowMessage(job, kNoProject, kBatchUsageCaption);
    return false;
  }
  std::string project = WithoutTrailingSlashes(job.projectPath);
  if (project.front() != '/') project = platform::CanonicalPath(project).value_or(project);
  std::string dvdVideo = WithoutTrailingSlashes(job.dvdVideoPath);
  if (!dvdVideo.empty() && dvdVideo.front() != '/') dvdVideo = platform::CanonicalPath(dvdVideo).value_or(dvdVideo);
  if (!dvdVideo.empty() && !job.AddSource(dvdVideo)) {
    ShowSourceListFull(job);
    return false;
  }

  std::vector<platform::DirEntry> items;
  std::string error;
  if (!platform::ListDirectory(project, items, error)) {
    if (!platform::PathExists(project)) return true;
    ShowMessage(job, Format(kUnreadableFolder, Shown(project).c_str(), error.c_str()), kSourceReadCaption);
    return false;
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const platform::DirEntry& item = items[i];
    const bool isFolder = item.kind == EntryKind::kDirectory;
    if (isFolder && item.name.front() == '.') continue;
    const std::string path = ComposePath(project, item.name);
    if (IsNameTooLong(job, path)) {
      // The top of the file system lists a folder first.
      const bool topFolder = i == 0 && isFolder && project == "/";
      ShowMessage(job, Format(topFolder ? kProjectNameTooLong : kNameTooLong, Shown(path).c_str()), kFormatCaption);
      return false;
    }
    if (!CheckNameEncoding(job, path)) return false;
    if (path == dvdVideo) continue;  // already the first source
    if (!job.AddSource(path)) {
      ShowSourceListFull(job);
      return false;
    }
  }
  return true;
}

bool BuildTreeListing(Job& job) {
  job.folderCount = 0;
  job.fileCount = 0;
  ShowStatus(job, "Building directory and file tree");
  job.sourceBases.clear();
  job.sourceBaseCount = 0;
  if (job.sourceCount == 0) return false;
  TreeScan scan(job);
  return scan.Run();
}

}  // namespace pravel
