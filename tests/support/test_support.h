// Helpers shared by the tests: a temporary directory that removes itself,
// small file writers, shell runs, and a Job wired to a scripted front end.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "job/job.h"
#include "platform/clock.h"
#include "platform/scripted_ui.h"

namespace pravel::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pravel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

inline void MakeDirs(const std::string& path) { std::filesystem::create_directories(path); }

inline void WriteFile(const std::string& path, const std::string& content) {
  MakeDirs(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A text quoted for the shell.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// What a shell command printed (standard output and error) and its exit status.
struct Outcome { int status = -1; std::string output; };

// The command ended with `status` and printed every piece; else what it printed.
inline ::testing::AssertionResult Ended(const Outcome& outcome, int status,
                                        const std::vector<std::string>& pieces = {}) {
  bool good = outcome.status == status;
  for (const std::string& piece : pieces) good = good && Contains(outcome.output, piece);
  if (good) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "exit status " << outcome.status << ", output:\n"
                                       << outcome.output;
}

// Runs a command through the shell, its output going to `outputPath`.
inline Outcome RunShell(const std::string& command, const std::string& outputPath) {
  int raw = std::system((command + " >" + Quoted(outputPath) + " 2>&1").c_str());
  return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(outputPath)};
}

// build/pravel, as CTest passes it in PRAVEL_BINARY, else the program built
// beside the test program.
inline std::string PravelBinary() {
  if (const char* path = std::getenv("PRAVEL_BINARY")) return path;
  std::error_code ignored;
  return (std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / "pravel").string();
}

// A script of tests/tools.
inline std::string ToolPath(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path().parent_path() / "tools" / name).string();
}

// A Job whose main window is a scripted front end and whose clock is fixed
// at 2026-03-04 05:06:07.08; a question the test did not answer fails it.
struct TestJob {
  TestJob() : clock(platform::LocalTime{2026, 3, 4, 5, 6, 7, 8}, 123456) {
    job.mainWindow = &ui;
    job.clock = &clock;
  }
  ~TestJob() {
    for (const std::string& question : ui.unexpected) ADD_FAILURE() << "unexpected question: " << question;
  }
  platform::ScriptedUi ui;
  platform::FixedClock clock;
  Job job;
};

// The front end showed exactly one message box; its text holds every piece
// and its caption is `caption`.
inline void ExpectOneMessage(const platform::ScriptedUi& ui, const std::vector<std::string>& pieces,
                             const std::string& caption) {
  ASSERT_EQ(ui.messages.size(), 1u);
  for (const std::string& piece : pieces) EXPECT_TRUE(Contains(ui.messages[0].text, piece)) << piece;
  EXPECT_EQ(ui.messages[0].caption, caption);
}

}  // namespace pravel::testing
