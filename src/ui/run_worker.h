// The one thread that runs stage code in the windowed program: start-up, the
// panel's actions, the batch timers. Tasks run one at a time, in the order
// they were posted; the window hears when each has ended.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace pravel::ui {

class RunWorker {
 public:
  RunWorker();
  ~RunWorker();  // finishes the posted tasks, then joins
  RunWorker(const RunWorker&) = delete;
  RunWorker& operator=(const RunWorker&) = delete;

  // Runs `task` on the worker, then `done` (also on the worker; a window
  // marshals it to its own thread).
  void Post(std::function<void()> task, std::function<void()> done);
  // True while a task waits or runs.
  bool Busy() const;

 private:
  struct Item {
    std::function<void()> task;
    std::function<void()> done;
  };
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Item> items_;
  bool running_ = false;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace pravel::ui
