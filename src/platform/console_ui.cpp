#include "platform/console_ui.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace pravel::platform {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

ConsoleUi::ConsoleUi(bool yesToAll, std::FILE* out, std::FILE* in)
    : yesToAll_(yesToAll), out_(out), in_(in), terminal_(::isatty(::fileno(out)) != 0) {}

void ConsoleUi::EndStatusLine() {
  if (!statusShown_) return;
  std::fputc('\n', out_);
  statusShown_ = false;
}

Answer ConsoleUi::ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                              Icon) {
  EndStatusLine();
  std::fprintf(out_, "%s: %s\n", caption.c_str(), text.c_str());
  if (buttons == Buttons::kOk) {
    std::fflush(out_);
    return Answer::kOk;
  }
  if (buttons == Buttons::kOkWhenReady) return WaitForEnter();
  if (yesToAll_) {
    std::fprintf(out_, "[y/n] yes\n");
    std::fflush(out_);
    return Answer::kYes;
  }
  for (;;) {
    std::fprintf(out_, "[y/n] ");
    std::fflush(out_);
    char line[256];
    if (std::fgets(line, sizeof line, in_) == nullptr) {
      std::fprintf(out_, "no\n");
      return Answer::kNo;
    }
    std::string reply = Lower(Trim(line));
    if (reply == "y" || reply == "yes") return Answer::kYes;
    if (reply == "n" || reply == "no") return Answer::kNo;
  }
}

Answer ConsoleUi::WaitForEnter() {
  if (yesToAll_) {
    std::fprintf(out_, "[Enter] ok\n");
    std::fflush(out_);
    return Answer::kOk;
  }
  std::fprintf(out_, "[Enter when ready] ");
  std::fflush(out_);
  char line[256];
  if (std::fgets(line, sizeof line, in_) != nullptr) return Answer::kOk;
  std::fprintf(out_, "(end of input)\n");
  return Answer::kNo;
}

void ConsoleUi::ShowAnsweredQuestion(const std::string& text, const std::string& caption, Answer answer) {
  EndStatusLine();
  std::fprintf(out_, "%s: %s\n[y/n] %s\n", caption.c_str(), text.c_str(), answer == Answer::kYes ? "yes" : "no");
  std::fflush(out_);
}

void ConsoleUi::ShowStatus(const std::string& text) {
  auto now = std::chrono::steady_clock::now();
  auto interval = terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
  if (now - lastStatus_ < interval) return;
  lastStatus_ = now;
  if (terminal_) {
    std::fprintf(out_, "\r\033[K%s", text.c_str());
    statusShown_ = true;
  } else {
    std::fprintf(out_, "%s\n", text.c_str());
  }
  std::fflush(out_);
}

void ConsoleUi::StartTimer(int id, int periodMs) {
  StopTimer(id);
  timers_.emplace_back(id, periodMs);
}

void ConsoleUi::StopTimer(int id) {
  std::erase_if(timers_, [id](const auto& timer) { return timer.first == id; });
}

std::optional<std::string> ConsoleUi::ChooseFileToOpen(const FileOpenRequest&) { return std::nullopt; }

void ConsoleUi::CloseMainWindow(int) {
  EndStatusLine();
  std::fflush(out_);
  closed_ = true;
}

// A window's timer gives it time to draw itself before the batch run takes
// the message loop; the console has nothing to draw, so the tick is due at
// once.
std::optional<int> ConsoleUi::WaitForTimer() {
  if (closed_ || timers_.empty()) return std::nullopt;
  return timers_.front().first;
}

}  // namespace pravel::platform
