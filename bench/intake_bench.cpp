// Benchmark of the source intake: loads a project folder as a batch run does,
// scans it into the tree listing and the alias files, cuts every directory
// listing file and reads the alias files back, finding every file. Prints the
// time of each step and the counts; bench/intake.sh measures peak memory.
//
//   bench_intake <project folder> <temporary directory>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "job/job.h"
#include "intake/alias_files.h"
#include "intake/directory_listing.h"
#include "intake/tree_scan.h"
#include "platform/scripted_ui.h"

namespace {

using Clock = std::chrono::steady_clock;

// The peak resident set size so far, from the kernel's account of the process.
std::string PeakMemory() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return line.substr(6);
  }
  return " ?";
}

class Stopwatch {
 public:
  void Report(const char* step) {
    const auto now = Clock::now();
    std::printf("%-30s %8.3f s   peak memory so far %s\n", step, std::chrono::duration<double>(now - last_).count(),
                PeakMemory().c_str());
    last_ = now;
  }

 private:
  Clock::time_point last_ = Clock::now();
};

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

int Fail(const pravel::platform::ScriptedUi& ui, const char* step) {
  std::fprintf(stderr, "%s failed\n", step);
  for (const auto& message : ui.messages) std::fprintf(stderr, "  %s: %s\n", message.caption.c_str(), message.text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <project folder> <temporary directory>\n", argv[0]);
    return 2;
  }
  pravel::platform::ScriptedUi ui;
  pravel::Job job;
  job.mainWindow = &ui;
  job.projectPath = argv[1];
  job.tempDirPlain = argv[2];
  job.tempDir = job.tempDirPlain + "/";
  job.treeListPath = job.tempDir + "tm.txt";
  job.noWarningMessages = 1;
  job.autorunEnabled = 1;
  job.autorunProgramPath = "START.EXE";

  Stopwatch watch;
  pravel::RemoveAliasFiles(job);
  pravel::RemoveTreeListingFiles(job);
  watch.Report("clean-ups before the run");
  if (!pravel::LoadProjectSources(job)) return Fail(ui, "LoadProjectSources");
  watch.Report("LoadProjectSources");
  if (!pravel::BuildTreeListing(job)) return Fail(ui, "BuildTreeListing");
  watch.Report("BuildTreeListing");

  std::vector<std::string> directories;
  std::vector<std::string> files;
  for (std::string& line : ReadLines(job.treeListPath)) {
    (line.back() == '/' ? directories : files).push_back(std::move(line));
  }
  watch.Report("(reading tm.txt back)");
  if (!pravel::WriteDirectoryListings(job, directories)) return Fail(ui, "WriteDirectoryListings");
  watch.Report("WriteDirectoryListings");

  pravel::AliasTable aliases;
  if (!aliases.Load(job)) return Fail(ui, "AliasTable::Load");
  watch.Report("AliasTable::Load");
  size_t found = 0;
  for (const std::string& file : files) {
    std::optional<std::string> path = aliases.Find(pravel::AliasKey(job, file));
    if (path && *path == file) ++found;
  }
  watch.Report("AliasTable::Find, every file");

  std::printf("folders found %u, files %u, directories %zu, tree lines %zu, alias files %u\n", job.folderCount,
              job.fileCount, directories.size() + 1, directories.size() + files.size(), job.paliasCount);
  if (found != files.size()) {
    std::fprintf(stderr, "only %zu of %zu files found through the alias files\n", found, files.size());
    return 1;
  }
  pravel::RemoveAliasFiles(job);
  pravel::RemoveTreeListingFiles(job);
  watch.Report("clean-ups after the run");
  return 0;
}
