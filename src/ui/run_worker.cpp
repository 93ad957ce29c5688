#include "ui/run_worker.h"

namespace pravel::ui {

RunWorker::RunWorker() : thread_([this] { Loop(); }) {}

RunWorker::~RunWorker() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void RunWorker::Post(std::function<void()> task, std::function<void()> done) {
  {
    std::lock_guard lock(mutex_);
    items_.push_back({std::move(task), std::move(done)});
  }
  wake_.notify_all();
}

bool RunWorker::Busy() const {
  std::lock_guard lock(mutex_);
  return running_ || !items_.empty();
}

void RunWorker::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || !items_.empty(); });
    if (items_.empty()) return;
    Item item = std::move(items_.front());
    items_.pop_front();
    running_ = true;
    lock.unlock();
    item.task();
    if (item.done) item.done();
    lock.lock();
    running_ = false;
  }
}

}  // namespace pravel::ui
