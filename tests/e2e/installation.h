// An installation of the program for whole runs: its own temporary, template
// and image directories and a title folder, in a temporary directory.
#pragma once

#include <string>

#include "support/test_support.h"

namespace pravel {

inline constexpr const char* kSourceDateEpoch = "1767225600";  // 2026-01-01 00:00:00 UTC

class Installation {
 public:
  explicit Installation(bool secondImageDirectory = false) {
    for (const char* sub : {"home", "tmp", "template", "images", "images2", "title"}) testing::MakeDirs(root / sub);
    std::string imageDirs = Images();
    if (secondImageDirectory) imageDirs.append(1, ';').append(Images2());
    testing::WriteFile(root / "home/kestrand.ini", "[kestrand]\r\ntempdir=" + Tmp() + "\r\ntemplate=" + Template() +
                                                       "\r\nimagedir=" + imageDirs + "\r\n");
  }

  std::string Home() const { return root / "home"; }
  std::string Tmp() const { return root / "tmp"; }
  std::string Template() const { return root / "template"; }
  std::string Images() const { return root / "images"; }
  std::string Images2() const { return root / "images2"; }
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

  testing::TempDir root;
  // Variables the program runs with: the build date fixed, unless a test
  // says otherwise.
  std::string environment = "SOURCE_DATE_EPOCH=" + std::string(kSourceDateEpoch);
};

}  // namespace pravel
