// Empty files created on a second thread, in the order they are named, while
// the caller goes on with other work. On some file systems creating a file
// costs more than everything else done with a small one; a caller that will
// create many files soon names them here first.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace pravel::platform {

class FilesCreatedAhead {
 public:
  FilesCreatedAhead() = default;
  ~FilesCreatedAhead() { Finish(); }
  FilesCreatedAhead(const FilesCreatedAhead&) = delete;
  FilesCreatedAhead& operator=(const FilesCreatedAhead&) = delete;

  // Names one more file to create. A file that exists is left as it is
  // (never cut), so whichever thread comes first creates it and the other
  // only opens it. The first file that can not be created ends the work: the
  // caller meets the same failure when it creates that file itself and
  // reports it there. Nothing is created once an interruption's clean-up has
  // begun, nor when no second thread can be had.
  void Add(std::string path);

  // Stops creating (files named but not yet created are left alone) and
  // waits for the thread: afterwards no named file appears. Call it before
  // removing any of them.
  void Finish();

 private:
  void CreateInTurn();

  std::mutex mutex_;
  std::condition_variable named_;
  std::deque<std::string> waiting_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace pravel::platform
