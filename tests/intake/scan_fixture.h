// A scan set up in a temporary directory: sources under "src", the run's
// temporary files under "tmp".
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/job.h"
#include "support/test_support.h"

namespace pravel::testing {

struct ScanFixture {
  ScanFixture() {
    MakeDirs(dir / "src");
    MakeDirs(dir / "tmp");
    job.tempDir = dir / "tmp/";
    job.tempDirPlain = dir / "tmp";
    job.treeListPath = job.tempDir + "tm.txt";
    job.imagePath1 = dir / "CONTROL.IMG";
    // The test directory's name holds a hyphen; only the tests of the
    // character check want its question.
    job.noWarningMessages = 1;
  }

  std::string Src(const std::string& relative) const { return dir / ("src/" + relative); }
  std::string Tmp(const std::string& relative) const { return dir / ("tmp/" + relative); }
  void Select(const std::string& relative) { job.AddSource(Src(relative)); }

  // Builds sources from lines "<kind> <path under src>": d a folder, f a file,
  // p a pipe, s a selection, P the project folder, l "<link> -> <target>" a
  // symbolic link, I the image directory, T the temporary directory, "a"
  // autorun on.
  void Make(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      const std::string path = line.size() > 2 ? line.substr(2) : "";
      switch (line[0]) {
        case 'd': MakeDirs(Src(path)); break;
        case 'f': WriteFile(Src(path), path); break;
        case 's': Select(path); break;
        case 'P': job.projectPath = Src(path); break;
        case 'a': job.autorunEnabled = 1; break;
        case 'I': job.imagePath1 = Src(path) + "/CONTROL.IMG"; break;
        case 'T': job.tempDir = Src(path) + "/"; break;
        case 'p':
          MakeDirs(std::filesystem::path(Src(path)).parent_path());
          ASSERT_EQ(::mkfifo(Src(path).c_str(), 0600), 0) << path;
          break;
        case 'l': {
          const size_t arrow = path.find(" -> ");
          MakeDirs(std::filesystem::path(Src(path.substr(0, arrow))).parent_path());
          std::filesystem::create_symlink(path.substr(arrow + 4), Src(path.substr(0, arrow)));
          break;
        }
        default: FAIL() << "unknown source line " << line;
      }
    }
  }
  // A text with "src/" and "tmp/" standing for this fixture's folders.
  std::string Expand(const std::string& text) const {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      const std::string place = text.substr(i, 4);
      const bool folder = place == "src/" || place == "tmp/";
      out += folder ? dir / place : text.substr(i, 1);
      i += folder ? 3 : 0;
    }
    return out;
  }
  const std::vector<platform::RecordedMessage>& Messages() const { return test.ui.messages; }
  void ExpectOneMessage(const std::vector<std::string>& pieces, const std::string& caption) const {
    testing::ExpectOneMessage(test.ui, pieces, caption);
  }

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
