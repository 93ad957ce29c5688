// A front end for tests: records every message box, status line and timer,
// and answers Yes/No questions from a queue the test fills. A question with
// an empty queue is a test failure: it is recorded in `unexpected` and
// answered No.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace pravel::platform {

struct RecordedMessage {
  std::string text;
  std::string caption;
  Buttons buttons = Buttons::kOk;
  Icon icon = Icon::kNone;
};

class ScriptedUi final : public Ui {
 public:
  Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                     Icon icon) override;
  void ShowStatus(const std::string& text) override { statusLines.push_back(text); }
  void ShowMakingLabel() override { statusLines.push_back("Making DVD:"); }
  bool StopRequested() const override;
  void SetCursor(Cursor cursor) override { this->cursor = cursor; }
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  std::optional<std::string> ChooseFileToOpen(const FileOpenRequest& request) override;
  void RefillSourceList(const std::vector<std::string>& paths) override { sourceList = paths; }
  void ShowDescriptorPath(const std::string& path) override { shownDescriptorPath = path; }
  std::vector<uint32_t> SelectedSources() override { return selected; }
  void CloseMainWindow(int result) override;
  bool IsClosed() const override { return closed; }
  std::optional<int> WaitForTimer() override { return NextTimer(); }

  // Queues answers for the next questions, in order.
  void QueueAnswers(std::initializer_list<Answer> answers);
  // The next timer due (the one started first), nullopt when none runs or the
  // window has closed.
  std::optional<int> NextTimer() const;

  std::vector<RecordedMessage> messages;
  std::vector<std::string> statusLines;
  std::vector<std::string> unexpected;  // questions asked with no answer queued
  std::deque<Answer> answers;
  // StopRequested() answers false this many times, then true; -1: never.
  int stopAfterChecks = -1;
  mutable int stopChecks = 0;  // how often StopRequested() was asked
  std::vector<std::pair<int, int>> runningTimers;  // id, period
  std::vector<int> timersStarted;
  std::optional<std::string> fileToChoose;  // the file-open dialog's answer
  std::vector<FileOpenRequest> fileRequests;
  std::vector<std::string> sourceList;
  std::string shownDescriptorPath;
  std::vector<uint32_t> selected;
  Cursor cursor = Cursor::kArrow;
  bool closed = false;
  int closeResult = 0;
};

}  // namespace pravel::platform
