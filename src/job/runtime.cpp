#include "job/runtime.h"

#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace pravel {

void ShowMessage(Job& job, const std::string& text, const std::string& caption) {
  if (job.mainWindow) job.mainWindow->ShowMessage(text, caption);
}

bool AskYesNo(Job& job, const std::string& text, const std::string& caption) {
  if (!job.mainWindow) return false;
  return job.mainWindow->ShowMessage(text, caption, platform::Buttons::kYesNo,
                                     platform::Icon::kQuestion) == platform::Answer::kYes;
}

void ShowAnsweredQuestion(Job& job, const std::string& text, const std::string& caption, bool yes) {
  if (job.mainWindow) job.mainWindow->ShowAnsweredQuestion(text, caption, yes ? platform::Answer::kYes : platform::Answer::kNo);
}

bool WaitForOperator(Job& job, const std::string& text, const std::string& caption) {
  if (!job.mainWindow) return false;
  return job.mainWindow->ShowMessage(text, caption, platform::Buttons::kOkWhenReady) == platform::Answer::kOk;
}

std::string CutAtCharacter(const std::string& text, size_t capacity) {
  if (capacity == 0) return {};
  if (text.size() < capacity) return text;
  size_t end = capacity - 1;
  // Back off continuation bytes so that a sequence is kept whole or not at all.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

void ShowStatus(Job& job, const std::string& text) {
  job.statusText = CutAtCharacter(text, capacity::kStatusText);
  if (job.mainWindow) job.mainWindow->ShowStatus(text);
}

void ShowMakingLabel(Job& job) {
  if (job.mainWindow) job.mainWindow->ShowMakingLabel();
}

void SetBusyCursor(Job& job, bool busy) {
  if (job.mainWindow) job.mainWindow->SetCursor(busy ? platform::Cursor::kBusy : platform::Cursor::kArrow);
}

bool StopRequestedByOperator(Job& job) {
  if (job.stoppedByOperator) return true;
  if (!job.mainWindow || !job.mainWindow->StopRequested()) return false;
  job.stoppedByOperator = 1;
  ShowMessage(job, "Premastering stopped by the operator.", "Operations error!");
  return true;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

std::string ErrorMarkerPath(const Job& job) { return job.templateDir + "/_cdferr"; }

void CreateErrorMarker(Job& job) { CreateFileChecked(ErrorMarkerPath(job)); }

void RemoveErrorMarker(Job& job) {
  const std::string marker = ErrorMarkerPath(job);
  platform::RunUninterrupted([&marker] { platform::RemoveFile(marker); });
}

bool IsCreatablePath(const std::string& path) {
  for (unsigned char c : path) {
    bool ok = c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    switch (c) {
      case '!': case '%': case '&': case '\'': case '(': case ')': case '*': case '+': case ',':
      case '-': case '.': case '/': case ':': case ';': case '<': case '=': case '>': case '?':
      case '\\': case '_': case '"':
        ok = true;
        break;
      default:
        break;
    }
    if (!ok) return false;
  }
  return true;
}

bool CreateUninterrupted(const std::string& path) {
  bool created = false;
  platform::RunUninterrupted([&] { created = CreateFileChecked(path); });
  return created;
}

bool CreateFileChecked(const std::string& path) {
  if (!IsCreatablePath(path)) return false;
  auto file = platform::File::Open(path, platform::File::Mode::kCreate);
  if (!file) return false;
  return file->Close();
}

}  // namespace pravel
