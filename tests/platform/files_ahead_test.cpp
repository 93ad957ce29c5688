// Files created ahead on a second thread.
#include "platform/files_ahead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace pravel::platform {
namespace {

using namespace testing;

// Waits up to five seconds for a file the second thread is to create.
bool Appears(const std::string& path) {
  for (int i = 0; i < 500 && !Exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Exists(path);
}

TEST(FilesCreatedAhead, CreatesInOrderKeepsWhatExistsAndStopsAtTheFirstFailure) {
  TempDir dir;
  const std::string kept = dir / "kept", missing = dir / "no-such-folder/file";
  WriteFile(kept, "written before");
  const std::vector<std::string> before = {dir / "a", kept, dir / "b"};
  const std::vector<std::string> after = {dir / "c", dir / "d"};
  FilesCreatedAhead ahead;
  for (const std::string& path : before) ahead.Add(path);
  ahead.Add(missing);
  for (const std::string& path : after) ahead.Add(path);
  ASSERT_TRUE(Appears(before.back()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ahead.Finish();
  for (const std::string& path : before) EXPECT_TRUE(Exists(path)) << path;
  EXPECT_EQ(ReadFile(kept), "written before");
  EXPECT_EQ(ReadFile(dir / "a"), "");
  for (const std::string& path : after) EXPECT_FALSE(Exists(path)) << path;
}

// Finish stops the work: what exists then is a front part of the names, in
// order, and nothing appears afterwards. Named again, it works again.
TEST(FilesCreatedAhead, NothingAppearsAfterFinishAndItStartsAgainWhenNamed) {
  TempDir dir;
  const int count = 3000;
  auto name = [&](int i) { return dir / std::to_string(i); };
  auto created = [&] {
    int front = 0;
    while (front < count && Exists(name(front))) ++front;
    for (int i = front; i < count; ++i) EXPECT_FALSE(Exists(name(i))) << "created out of order: " << i;
    return front;
  };
  FilesCreatedAhead ahead;
  for (int i = 0; i < count; ++i) ahead.Add(name(i));
  ahead.Finish();
  const int atFinish = created();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(created(), atFinish);

  ahead.Add(dir / "later");
  EXPECT_TRUE(Appears(dir / "later"));
}

}  // namespace
}  // namespace pravel::platform
