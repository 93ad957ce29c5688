#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>

#include <gtest/gtest.h>

namespace pravel::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pravel-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void MakeDirs(const std::string& path) { std::filesystem::create_directories(path); }

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

void PrepareBuildJob(Job& job, const TempDir& dir) {
  MakeDirs(dir / "tmp");
  MakeDirs(dir / "title");
  job.tempDir = dir / "tmp/";
  job.tempDirPlain = dir / "tmp";
  job.templateDir = dir / "tmp";
  job.treeListPath = dir / "tmp/tm.txt";
  job.discType = 5;
  job.isoLevel1Names = 0;
  job.noWarningMessages = 1;
}

Outcome RunShell(const std::string& command, const std::string& outputPath) {
  int raw = std::system((command + " >" + Quoted(outputPath) + " 2>&1").c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.output = ReadFile(outputPath);
  return outcome;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string PravelBinary() {
  if (const char* path = std::getenv("PRAVEL_BINARY")) return path;
  // The test programs are built beside the program.
  std::error_code ignored;
  return (std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / "pravel").string();
}

std::string ToolPath(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path().parent_path() / "tools" / name).string();
}

bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

TestJob::~TestJob() {
  for (const std::string& question : ui.unexpected) ADD_FAILURE() << "unexpected question: " << question;
}

TestJob::TestJob() : clock(platform::LocalTime{2026, 3, 4, 5, 6, 7, 8}, 123456) {
  job.mainWindow = &ui;
  job.clock = &clock;
}

void ExpectOneMessage(const platform::ScriptedUi& ui, const std::vector<std::string>& pieces,
                      const std::string& caption) {
  ASSERT_EQ(ui.messages.size(), 1u);
  for (const std::string& piece : pieces) EXPECT_TRUE(Contains(ui.messages[0].text, piece)) << piece;
  EXPECT_EQ(ui.messages[0].caption, caption);
}

}  // namespace pravel::testing
