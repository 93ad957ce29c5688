// Reads the CR LF lines of a temporary text file, one at a time, through a
// buffer. A line ends at LF; CR characters are dropped. An empty line ends
// the list, as does the end of the file.
#pragma once

#include <memory>
#include <string>

#include "platform/files.h"

namespace pravel {

class ListReader {
 public:
  // False when the file can not be opened.
  bool Open(const std::string& path);
  // The next line into `line`; false at the end of the list or on a read
  // error (Failed() then tells which).
  bool ReadListLine(std::string& line);
  bool Failed() const { return failed_; }
  const std::string& Error() const { return file_.LastError(); }

 private:
  bool Fill();

  platform::File file_;
  std::unique_ptr<char[]> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace pravel
