// The scan of the selected sources into the tree listing "tm.txt".
//
// The source list holds the selected folders and files. The scan walks every
// selected folder down to its last sub-directory and writes one line per
// folder and file into the tree listing (CR LF line ends):
//   - a folder line is the folder's full path followed by one '/';
//   - a file line is the file's full path.
// First come the selected entries (a selected folder that is the parent of
// another selected folder gives no line), the generated AUTORUN.INF and the
// sub-directories found, breadth first; then the files of every folder, the
// folders taken from the last found back to the first selected.
//
// Every folder the scan lists is a directory of the disc; a selected folder
// or file stands in the disc's root. The parents of the selected folders are
// the source bases: a path is cut down to its place on the disc by removing
// its base and the '/' behind it.
#pragma once

#include <string>
#include <string_view>

#include "job/job.h"

namespace pravel {

// The batch project load: job.dvdVideoPath (when given) and then every file
// and every folder not named with a leading full stop inside job.projectPath
// become the sources, so that the project folder's contents form the root of
// the disc. A missing project folder adds nothing and succeeds; an empty
// projectPath is refused.
bool LoadProjectSources(Job& job);

// The scan: writes job.treeListPath from the source list, the alias files
// and (when job.autorunEnabled) AUTORUN.INF; sets job.sourceBases (longest
// first), job.folderCount and job.fileCount. False after a message box, or
// without one when the source list is empty.
bool BuildTreeListing(Job& job);

// The source base a path lies under: the first of job.sourceBases (longest
// first) that the path equals or continues with a '/', letters compared
// without regard to case; nullptr when there is none.
const std::string* FindSourceBase(const Job& job, std::string_view path);

// Comparisons of paths without regard to the case of the letters A to Z, as
// the listing rules compare them.
bool PathsEqualIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// "%s/%s": a folder's path and the name of one of its entries.
std::string ComposePath(const std::string& folder, const std::string& name);

// The message of a source list that has no room for another entry.
void ShowSourceListFull(Job& job);

}  // namespace pravel
