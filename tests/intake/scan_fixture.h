// A scan set up in a temporary directory: sources under "src", the run's
// temporary files under "tmp".
#pragma once

#include <string>
#include <vector>

#include "app/job.h"
#include "support/test_support.h"

namespace pravel::testing {

struct ScanFixture {
  ScanFixture() {
    MakeDirs(dir / "src");
    MakeDirs(dir / "tmp");
    job.tempDir = dir / "tmp/";
    job.tempDirPlain = dir / "tmp";
    job.treeListPath = job.tempDir + "tm.txt";
    // The test directory's name holds a hyphen; only the tests of the
    // character check want its question.
    job.noWarningMessages = 1;
  }

  std::string Src(const std::string& relative) const { return dir / ("src/" + relative); }
  std::string Tmp(const std::string& relative) const { return dir / ("tmp/" + relative); }
  void Select(const std::string& relative) { job.AddSource(Src(relative)); }

  const std::vector<platform::RecordedMessage>& Messages() const { return test.ui.messages; }

  TempDir dir;
  TestJob test;
  Job& job = test.job;
};

// The CR LF lines of a file.
inline std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = ReadFile(path);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace pravel::testing
