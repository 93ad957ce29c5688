// Helpers shared by the tests: a temporary directory that removes itself,
// small file writers, and a Job wired to a scripted front end.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "job/job.h"
#include "platform/clock.h"
#include "platform/scripted_ui.h"

namespace pravel::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
bool Exists(const std::string& path);

// A Job ready to scan dir/title and build with dir/tmp as its temporary
// (and template) directory, ISO Level 2 names and no name warnings (the
// temporary directory's own path is no disc name).
void PrepareBuildJob(Job& job, const TempDir& dir);

// What a shell command printed (standard output and error) and its exit status.
struct Outcome {
  int status = -1;
  std::string output;
};

// Runs a command through the shell, its output going to `outputPath`.
Outcome RunShell(const std::string& command, const std::string& outputPath);
// A text quoted for the shell.
std::string Quoted(const std::string& text);
bool Contains(const std::string& text, const std::string& part);
// build/pravel, as CTest passes it in PRAVEL_BINARY.
std::string PravelBinary();
// A script of tests/tools.
std::string ToolPath(const std::string& name);
// Whether a command is on the PATH.
bool HaveTool(const std::string& name);

// A Job whose main window is a scripted front end and whose clock is fixed
// at 2026-03-04 05:06:07.08.
struct TestJob {
  TestJob();
  // A question the test did not answer is a failure of the test.
  ~TestJob();
  platform::ScriptedUi ui;
  platform::FixedClock clock;
  Job job;
};

// The front end showed exactly one message box; its text holds every piece
// and its caption is `caption`.
void ExpectOneMessage(const platform::ScriptedUi& ui, const std::vector<std::string>& pieces,
                      const std::string& caption);

}  // namespace pravel::testing
