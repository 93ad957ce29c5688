// The directory listing files "tm%04ld.txt": one per directory of the disc,
// cut out of the tree listing "tm.txt", holding the lines of the directory's
// direct children unchanged and in their order (CR LF line ends).
//
// Directory n > 0 is the one of the (n-1)-th folder line of the tree listing.
// Its children are the lines that continue its path (letters compared without
// regard to case) with '/' and one more name, a folder line keeping its
// trailing '/'. The root, n = 0, holds every line that lies directly under a
// source base, and every line under no source base at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/job.h"
#include "platform/files.h"

namespace pravel {

// The directory of the listing files: job.tempDirPlain, or job.tempDir less
// its trailing '/' when tempDirPlain is not set yet.
std::string TempDirPlain(const Job& job);

// "<temp dir>/tm%04ld.txt"
std::string ListingFilePath(const Job& job, long n);

// True when a tree listing line belongs to the root directory of the disc.
bool IsRootListingLine(const Job& job, std::string_view line);

// Writes every directory listing file in one pass over job.treeListPath:
// tm0000.txt for the root and tm%04ld.txt with n = i + 1 for
// directoryLines[i], a folder line of the tree listing (its trailing '/' may
// be left off). False after a message box.
bool WriteDirectoryListings(Job& job, const std::vector<std::string>& directoryLines);

// Writes one directory listing file: for n > 0 the children of `directory`
// (its path, the trailing '/' may be left off), for n = 0 those of the root
// (`directory` is then ignored). False after a message box.
bool WriteDirectoryListing(Job& job, const std::string& directory, const std::string& listingPath,
                           long n);

// A temporary text file written line by line with CR LF line ends, through a
// buffer. After a failure every further call fails and Error() tells why.
class CrLfWriter {
 public:
  explicit CrLfWriter(platform::File file) : file_(std::move(file)) {}
  bool Line(std::string_view text);
  bool Close();
  const std::string& Error() const { return error_; }

 private:
  bool Flush();

  platform::File file_;
  std::string buffer_;
  std::string error_;
};

// Creates the file with the checked creation and opens it for writing;
// nullopt when either fails.
std::optional<platform::File> CreateTextFile(const std::string& path);

}  // namespace pravel
