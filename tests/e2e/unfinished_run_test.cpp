// Runs that do not finish: a disk that fills during the copy, a source that
// changes after the summary, signals at the summary question and during the
// copy. None may leave an image file that looks like the result of a good
// run; each leaves the error marker. A console that goes away does not stop
// a run.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::Exists;
using testing::Outcome;
using testing::Quoted;

constexpr uint64_t kMiB = 1 << 20;

// The files of an image directory, under their own names or unfinished.
std::vector<std::string> ImageFilesIn(const std::string& directory) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(directory)) found.push_back(entry.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

// A title holds at least one folder.
void MakeTitle(const Installation& install) { testing::WriteFile(install.Title() + "/DOCS/README.TXT", "read me"); }

// Runs a shell script with bash; its output and status.
Outcome RunScript(const Installation& install, const std::string& script) {
  testing::WriteFile(install.root / "script.sh", script + "\n");
  return testing::RunShell("bash " + Quoted(install.root / "script.sh") + " </dev/null", install.root / "script.txt");
}

// The command line of a batch run that answers every question.
std::string BatchCommand(const Installation& install) {
  return install.environment + " KESTRAND_HOME=" + Quoted(install.Home()) + " " + Quoted(testing::PravelBinary()) +
         " --console --yes -p=" + Quoted(install.Title()) + " </dev/null";
}

// Runs a batch run without --yes whose standard input is a pipe: once the
// summary question shows (earlier questions are answered Yes; one reading
// of the output decides both, so the summary is never answered early),
// `atQuestion` (shell commands; $pid is the run, descriptor 3 its input)
// runs; then its input closes. The exit status of the run is printed last as "status=N".
Outcome RunWithQuestion(const Installation& install, const std::string& atQuestion) {
  const std::string fifo = install.root / "answers", output = install.root / "run.txt";
  const std::string script =
      "mkfifo " + Quoted(fifo) + "\n" + install.environment + " KESTRAND_HOME=" + Quoted(install.Home()) + " " +
      Quoted(testing::PravelBinary()) + " --console -p=" + Quoted(install.Title()) + " <" + Quoted(fifo) + " >" +
      Quoted(output) + " 2>&1 &\npid=$!\nexec 3>" + Quoted(fifo) +
      "\nanswered=0\nfor i in $(seq 400); do\n  seen=$(cat " + Quoted(output) +
      ")\n  case \"$seen\" in *Continue?*) break;; esac\n  kill -0 $pid || break\n"
      "  asked=$(printf '%s' \"$seen\" | grep -o '\\[y/n\\]' | wc -l)\n  if [ \"$asked\" -gt \"$answered\" ]; then echo y >&3; answered=$asked; fi\n  sleep 0.05\ndone\n" +
      atQuestion + "\nexec 3>&-\nwait $pid\nstatus=$?\ncat " + Quoted(output) + "\necho status=$status\n";
  return RunScript(install, script);
}

void ExpectFailedWithoutImages(const Installation& install, const Outcome& run, int status) {
  EXPECT_TRUE(Contains(run.output, "status=" + std::to_string(status))) << run.output;
  EXPECT_TRUE(Exists(install.Marker())) << run.output;
  EXPECT_EQ(ImageFilesIn(install.Images()), std::vector<std::string>{}) << run.output;
}

TEST(UnfinishedRun, SourceThatChangesAfterTheSummaryLeavesNoImage) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"shrinks", "truncate -s 100 \"$source\""},
      {"grows", "printf more >> \"$source\""},
      {"vanishes", "rm \"$source\""},
  };
  for (const auto& [what, change] : cases) {
    SCOPED_TRACE(what);
    Installation install;
    MakeTitle(install);
    const std::string source = install.Title() + "/DATA.BIN";
    testing::WriteFile(source, std::string(3 * kMiB, 'd'));
    Outcome run = RunWithQuestion(install, "source=" + Quoted(source) + "\n" + change + "\necho y >&3");
    ExpectFailedWithoutImages(install, run, 1);
    EXPECT_TRUE(Contains(run.output, source)) << run.output;
  }
}

// SIGTERM once the copy is under way; SIGHUP and SIGQUIT while the run waits
// at its question.
TEST(UnfinishedRun, SignalsEndTheRunWithTheMarkerAndNoImage) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"TERM during the copy", "echo y >&3\nsleep 0.3\nls -l \"$images\"\nkill -TERM $pid"},
      {"HUP at the question", "kill -HUP $pid"},
      {"QUIT at the question", "kill -QUIT $pid"},
  };
  for (const auto& [what, signal] : cases) {
    SCOPED_TRACE(what);
    Installation install;
    const uint64_t size = 3072 * kMiB;
    if (fs::space(install.root.path()).available < 2 * size) GTEST_SKIP() << "needs 6 GiB free";
    MakeTitle(install);
    testing::WriteFile(install.Title() + "/BIG.BIN", "start");
    fs::resize_file(install.Title() + "/BIG.BIN", size);
    Outcome run = RunWithQuestion(install, "images=" + Quoted(install.Images()) + "\n" + signal);
    ExpectFailedWithoutImages(install, run, 130);
  }
}

// The file size limit stands in for a disk that fills while file data is
// copied: the metadata fits under it, the file data does not.
TEST(UnfinishedRun, DiskThatFillsDuringTheCopyLeavesNoImage) {
  Installation install;
  MakeTitle(install);
  testing::WriteFile(install.Title() + "/DATA.BIN", std::string(24 * kMiB, 'd'));
  Outcome run = RunScript(install, BatchCommand(install) + " 2>&1; echo status=$?");
  ASSERT_TRUE(Contains(run.output, "status=0")) << run.output;
  ASSERT_TRUE(Exists(install.Images() + "/LAYER01.IMG"));

  run = RunScript(install, "ulimit -f 16384\n" + BatchCommand(install) + " 2>&1; echo status=$?");
  EXPECT_TRUE(Contains(run.output, "LAYER01.IMG.part")) << run.output;
  ExpectFailedWithoutImages(install, run, 1);
}

// A console read through `head -n 1` closes after one line; the run goes on
// and its images and exit status are those of a good run.
TEST(UnfinishedRun, ConsoleThatClosesDoesNotStopTheRun) {
  Installation install;
  MakeTitle(install);
  testing::WriteFile(install.Title() + "/DATA.BIN", std::string(kMiB, 'd'));
  Outcome run = RunScript(install, BatchCommand(install) + " 2>&1 | head -n 1; echo status=${PIPESTATUS[0]}");
  EXPECT_TRUE(Contains(run.output, "status=0")) << run.output;
  EXPECT_FALSE(Exists(install.Marker()));
  EXPECT_EQ(ImageFilesIn(install.Images()), (std::vector<std::string>{"CONTROL.IMG", "LAYER01.IMG"}));
}

}  // namespace
}  // namespace pravel
