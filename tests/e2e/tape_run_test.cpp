// Whole tape runs on a virtual drive: the tape a batch run writes is read
// back by an independent reader and by the tape tools, and its data is the
// image files of the same title; copies, the overwrite question, a missing
// drive, erasing, and the DDP set written as files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/installation.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

class TapeRun : public ::testing::Test {
 protected:
  TapeRun() {
    testing::WriteFile(install.Title() + "/MOVIE/PART1.BIN", std::string(300000, 'm'));
    testing::WriteFile(install.Title() + "/README.TXT", "read me\n");
    testing::MakeDirs(Tapes());
    // An image run of the same title: the tapes must carry its bytes.
    EXPECT_TRUE(Ended(install.RunBatch(), 0));
    for (const char* name : {"/CONTROL.IMG", "/LAYER01.IMG"})
      std::filesystem::copy_file(install.Images() + name, Kept(name));
    UseTapeKeys("tapedir=" + Tapes() + "\r\n");
  }

  void UseTapeKeys(const std::string& keys) { install.WriteConfig(install.Images(), keys); }
  std::string Tapes() const { return install.root / "tapes"; }
  std::string Tape(int n) const { return Tapes() + (n == 1 ? "/TAPE0001.AWS" : "/TAPE0002.AWS"); }
  std::string Kept(const std::string& image) const { return install.root.path() + image; }

  Outcome Check(const std::string& tape, const std::string& extra = "") {
    return install.Python("check_tape.py", "--expect --control " + Quoted(Kept("/CONTROL.IMG")) + " --layer " +
                                               Quoted(Kept("/LAYER01.IMG")) + " " + extra + " " + Quoted(tape));
  }
  Outcome Shell(const std::string& command) { return testing::RunShell(command, install.root / "shell.txt"); }

  Installation install;
};

TEST_F(TapeRun, ABatchRunWritesTheImageFilesBytesAsALabelledDdpSetOnTapeOrAsFiles) {
  ASSERT_TRUE(Ended(install.RunBatch("-tape"), 0));
  EXPECT_FALSE(Exists(install.Marker()));
  EXPECT_TRUE(Ended(Check(Tape(1), "--extract DDPID=" + Quoted(install.root / "ddpid.bin")), 0));
  EXPECT_EQ(ReadFile(install.root / "ddpid.bin"), ReadFile(install.Images() + "/DDPID.IMG"));

  const std::string tapes = "cd " + Quoted(Tapes()) + " && ";
  EXPECT_TRUE(
      Ended(Shell(tapes + "tapemap TAPE0001.AWS"), 0, {"File 10: Blocks=0", "End of tape."}));
  EXPECT_TRUE(Ended(Shell(tapes + "hetmap -a TAPE0001.AWS"), 0, {"'VOL1'", "'LAYER0.DAT       '"}));

  // The same set as files equals the tape and passes its checksums.
  const std::string folder = install.root / "ddp";
  ASSERT_TRUE(Ended(install.RunBatch("-tape --ddp=" + Quoted(folder)), 0));
  EXPECT_EQ(ReadFile(folder + "/LAYER0/LAYER0.DAT"), ReadFile(Kept("/LAYER01.IMG")));
  EXPECT_EQ(ReadFile(folder + "/LAYER0/CONTROL.DAT"), ReadFile(Kept("/CONTROL.IMG")));
  EXPECT_EQ(ReadFile(folder + "/LAYER0/DDPID"), ReadFile(install.root / "ddpid.bin"));
  EXPECT_TRUE(Ended(Shell("cd " + Quoted(folder + "/LAYER0") + " && md5sum -c MD5SUMS"), 0));
  EXPECT_FALSE(Exists(folder + "/LAYER1"));

  // An image run after tape runs leaves no tape description beside its images.
  ASSERT_EQ(install.RunBatch().status, 0);
  EXPECT_FALSE(Exists(install.Images() + "/DDPID.IMG"));
}

TEST_F(TapeRun, CopiesAreIdenticalAndACartridgeIsWrittenOverOnlyAfterYes) {
  ASSERT_TRUE(Ended(install.RunBatch("-tape --copies=2"), 0));
  EXPECT_EQ(ReadFile(Tape(1)), ReadFile(Tape(2)));
  EXPECT_EQ(Check(Tape(2)).status, 0);

  // Without --yes: Yes to the summary, No to writing over TAPE0001.AWS.
  testing::WriteFile(Tape(1), "earlier set");
  const std::string run = install.Command("--console -nw -tape -p=" + Quoted(install.Title()));
  EXPECT_TRUE(Ended(Shell("printf 'y\\nn\\n' | " + run), 1,
                    {"Tape " + Tape(1) + " already holds data. Overwrite it?"}));
  EXPECT_EQ(ReadFile(Tape(1)), "earlier set");
  EXPECT_TRUE(Exists(install.Marker()));
}

TEST_F(TapeRun, WithoutADriveOrWithTwoTheRunFailsAndEraseEmptiesTheCartridge) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "There is no DLT2000 tape drive attached"},
      {"tapedir=" + Tapes() + "\r\ntapedrive=st\r\n", "names both a virtual tape folder"},
      {"tapedrive=ftape\r\n", "the only one known is \"st\""},
  };
  for (const auto& [keys, message] : cases) {
    UseTapeKeys(keys);
    EXPECT_TRUE(Ended(install.RunBatch("-tape"), 1, {"Configuration error!: ", message}));
    EXPECT_TRUE(Exists(install.Marker()));
  }

  UseTapeKeys("tapedir=" + Tapes() + "\r\n");
  testing::WriteFile(Tape(1), "data");
  EXPECT_TRUE(Ended(install.Run("--console --yes --erase-tape"), 0));
  EXPECT_EQ(ReadFile(Tape(1)), "");
  EXPECT_FALSE(Exists(install.Marker()));
  EXPECT_TRUE(Ended(Shell("printf 'n\\n' | " + install.Command("--console --erase-tape")), 1));
}

}  // namespace
}  // namespace pravel
