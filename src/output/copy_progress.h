// The status line while file data is copied into the image: the file's name,
// bytes done of the total, the rate and the time left, rewritten at most ten
// times a second.
#pragma once

#include <cstdint>
#include <string>

#include "job/job.h"
#include "platform/clock.h"

namespace pravel {

// "512 bytes", "1.5 KiB", "12.0 MiB", "3.4 GiB"
std::string FormatByteSize(uint64_t bytes);

// "Add to image -> VTS_01_1.VOB  1.2 GiB of 3.4 GiB, 95 MB/s, 0:24 left";
// the rate and the time left only once time has passed and bytes were copied.
std::string FormatCopyProgress(const std::string& name, uint64_t done, uint64_t total, uint64_t elapsedMs);

class CopyProgress {
 public:
  static constexpr uint32_t kIntervalMs = 100;

  CopyProgress(Job& job, uint64_t totalBytes);
  void StartFile(const std::string& name);
  void Advance(uint64_t bytes);

 private:
  void Show();
  uint64_t Now();

  Job& job_;
  platform::SystemClock systemClock_;
  uint64_t total_;
  uint64_t done_ = 0;
  std::string name_;
  uint64_t startTick_;
  uint64_t lastShown_ = 0;
  bool shown_ = false;
};

}  // namespace pravel
