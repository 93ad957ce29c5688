// An installation of the program for whole runs: its own temporary, template
// and image directories and a title folder, in a temporary directory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace pravel {

inline constexpr const char* kSourceDateEpoch = "1767225600";  // 2026-01-01 00:00:00 UTC

// Bytes that depend only on the seed (a small linear congruential stream), so
// that a file placed or read at the wrong sectors shows.
inline std::string Content(uint32_t seed, size_t size) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

// The names in a folder, sorted.
inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class Installation {
 public:
  explicit Installation(bool secondImageDirectory = false) {
    for (const char* sub : {"home", "tmp", "template", "images", "images2", "title"}) testing::MakeDirs(root / sub);
    WriteConfig(secondImageDirectory ? Images() + ";" + Images2() : Images());
  }

  // kestrand.ini with these image directories and further statements.
  void WriteConfig(const std::string& imageDirs, const std::string& more = "") const {
    testing::WriteFile(Home() + "/kestrand.ini", "[kestrand]\r\ntempdir=" + Tmp() + "\r\ntemplate=" + Template() +
                                                     "\r\nimagedir=" + imageDirs + "\r\n" + more);
  }

  std::string Home() const { return root / "home"; }
  std::string Tmp() const { return root / "tmp"; }
  std::string Template() const { return root / "template"; }
  std::string Images() const { return root / "images"; }
  std::string Images2() const { return root / "images2"; }
  std::string Layer1() const { return Images() + "/LAYER01.IMG"; }
  std::string Title() const { return root / "title"; }
  std::string Marker() const { return root / "template/_cdferr"; }

  // The shell command that runs the program in `environment`.
  std::string Command(const std::string& arguments) const {
    return environment + " KESTRAND_HOME=" + testing::Quoted(Home()) + " " +
           testing::Quoted(testing::PravelBinary()) + " " + arguments;
  }

  // Runs the program with nothing to read.
  testing::Outcome Run(const std::string& arguments) const {
    return testing::RunShell(Command(arguments) + " </dev/null", root / "output.txt");
  }

  testing::Outcome RunBatch(const std::string& extra = "") const {
    return Run("--console --yes " + extra + (extra.empty() ? "" : " ") + "-p=" + testing::Quoted(Title()));
  }

  // A script of tests/tools run by the system's Python.
  testing::Outcome Python(const std::string& script, const std::string& arguments) const {
    return testing::RunShell("/usr/bin/python3 " + testing::Quoted(testing::ToolPath(script)) + " " + arguments,
                             root / "python.txt");
  }

  // The independent readers over the images; `source` (the title folder
  // unless given) holds what the root of the disc should hold.
  testing::Outcome CheckImage(const std::vector<std::string>& images, const std::string& extra = "",
                              const std::string& source = "") const {
    std::string arguments;
    for (const std::string& image : images) arguments += testing::Quoted(image) + " ";
    arguments += testing::Quoted(source.empty() ? Title() : source) + " --work-dir " + testing::Quoted(root.path());
    return Python("check_image.py", arguments + " " + extra);
  }

  testing::TempDir root;
  // Variables the program runs with: the build date fixed, unless a test
  // says otherwise.
  std::string environment = "SOURCE_DATE_EPOCH=" + std::string(kSourceDateEpoch);
};

}  // namespace pravel
