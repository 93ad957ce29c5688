// The console front end: message boxes go to standard error with their
// caption and text; questions read y/yes or n/no from standard input (end of
// input counts as No, --yes answers Yes to all; an OK that waits for the
// operator waits for Enter); the status line is rewritten
// in place on a terminal and printed at most once a second elsewhere.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace pravel::platform {

class ConsoleUi final : public Ui {
 public:
  explicit ConsoleUi(bool yesToAll, std::FILE* out = stderr, std::FILE* in = stdin);

  Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                     Icon icon) override;
  void ShowAnsweredQuestion(const std::string& text, const std::string& caption, Answer answer) override;
  void ShowStatus(const std::string& text) override;
  void ShowMakingLabel() override { ShowStatus("Making DVD:"); }
  void SetCursor(Cursor) override {}
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  std::optional<std::string> ChooseFileToOpen(const FileOpenRequest& request) override;
  void RefillSourceList(const std::vector<std::string>&) override {}
  void ShowDescriptorPath(const std::string&) override {}
  std::vector<uint32_t> SelectedSources() override { return {}; }
  void CloseMainWindow(int result) override;
  bool IsClosed() const override { return closed_; }
  std::optional<int> WaitForTimer() override;

 private:
  void EndStatusLine();
  // The OK of a physical step: Enter on the console (end of input: kNo).
  Answer WaitForEnter();

  bool yesToAll_;
  std::FILE* out_;
  std::FILE* in_;
  bool terminal_;
  bool statusShown_ = false;  // a status line stands unfinished on the terminal
  std::chrono::steady_clock::time_point lastStatus_{};
  std::vector<std::pair<int, int>> timers_;  // id, period in ms
  bool closed_ = false;
};

}  // namespace pravel::platform
