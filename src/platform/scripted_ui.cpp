#include "platform/scripted_ui.h"

#include <algorithm>

namespace pravel::platform {

Answer ScriptedUi::ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                               Icon icon) {
  messages.push_back({text, caption, buttons, icon});
  if (buttons == Buttons::kOk) return Answer::kOk;
  // The OK of a physical step takes a queued answer when there is one.
  if (buttons == Buttons::kOkWhenReady && answers.empty()) return Answer::kOk;
  if (answers.empty()) {
    unexpected.push_back(caption + ": " + text);
    return Answer::kNo;
  }
  Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ScriptedUi::StopRequested() const {
  const int asked = stopChecks++;
  return stopAfterChecks >= 0 && asked >= stopAfterChecks;
}

void ScriptedUi::StartTimer(int id, int periodMs) {
  StopTimer(id);
  runningTimers.emplace_back(id, periodMs);
  timersStarted.push_back(id);
}

void ScriptedUi::StopTimer(int id) {
  std::erase_if(runningTimers, [id](const auto& timer) { return timer.first == id; });
}

std::optional<std::string> ScriptedUi::ChooseFileToOpen(const FileOpenRequest& request) {
  fileRequests.push_back(request);
  return fileToChoose;
}

void ScriptedUi::CloseMainWindow(int result) {
  closed = true;
  closeResult = result;
}

void ScriptedUi::QueueAnswers(std::initializer_list<Answer> list) {
  answers.insert(answers.end(), list.begin(), list.end());
}

std::optional<int> ScriptedUi::NextTimer() const {
  if (closed || runningTimers.empty()) return std::nullopt;
  return runningTimers.front().first;
}

}  // namespace pravel::platform
