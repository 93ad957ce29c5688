#include "platform/files_ahead.h"

#include <system_error>

#include "platform/interrupt.h"

namespace pravel::platform {

void FilesCreatedAhead::Add(std::string path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_) return;
    waiting_.push_back(std::move(path));
  }
  named_.notify_one();
  if (thread_.joinable()) return;
  try {
    thread_ = std::thread([this] { CreateInTurn(); });
  } catch (const std::system_error&) {
    // Without a second thread the stage creates every file itself.
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    waiting_.clear();
  }
}

void FilesCreatedAhead::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    waiting_.clear();
  }
  named_.notify_one();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  stop_ = false;
}

void FilesCreatedAhead::CreateInTurn() {
  for (;;) {
    std::string path;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      named_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
      if (stop_) return;
      path = std::move(waiting_.front());
      waiting_.pop_front();
    }
    // A clean-up that removes these files never runs beside a creation.
    if (!OpenUninterrupted(path, File::Mode::kOverwrite)) return;
  }
}

}  // namespace pravel::platform
