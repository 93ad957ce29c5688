#include "iso/list_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace pravel {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  testing::TempDir dir;
  testing::WriteFile(dir / "list.txt", text);
  ListReader reader;
  EXPECT_TRUE(reader.Open(dir / "list.txt"));
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadListLine(line)) lines.push_back(line);
  EXPECT_FALSE(reader.Failed());
  return lines;
}

TEST(ListReader, CutsLinesAtLfDropsEveryCrAndStopsAtTheFirstEmptyLine) {
  // The reader fills 64 KiB at a time: these lines end, and a CR lies, on
  // both sides of that boundary.
  const std::string longLine(65533, 'a');
  const std::string beyond(70000, 'b');
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"one\r\ntwo\r\n", {"one", "two"}},
      {"last without an end", {"last without an end"}},
      {"a\rb\r\n\r\nafter the empty line\r\n", {"ab"}},
      {longLine + "\r\nnext\r\n", {longLine, "next"}},
      {longLine + "x\r\nnext\r\n", {longLine + "x", "next"}},
      {longLine + "xy\r\nnext\r\n", {longLine + "xy", "next"}},
      {beyond + "\r\n" + beyond, {beyond, beyond}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf(c.text), c.lines) << c.text.substr(0, 40);
}

}  // namespace
}  // namespace pravel
