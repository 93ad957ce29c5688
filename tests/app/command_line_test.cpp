#include "app/command_line.h"

#include <gtest/gtest.h>

namespace pravel {
namespace {

CommandLineResult Read(Job& job, std::vector<std::string> arguments) { return ReadCommandLine(job, arguments); }

TEST(CommandLine, AnyArgumentStartsBatchModeEvenUnrecognisedAndStartValuesAreCleared) {
  Job job;
  EXPECT_TRUE(Read(job, {}).ok);
  EXPECT_EQ(job.batchMode, 0);
  job.projectPath = "/stale";
  job.noWarnings = 1;
  EXPECT_TRUE(Read(job, {"whatever"}).ok);
  EXPECT_EQ(job.batchMode, 1);
  EXPECT_EQ(job.projectPath, "");
  EXPECT_EQ(job.noWarnings, 0);
}

TEST(CommandLine, OptionsIgnoreCaseAndCountByPrefixValuesKeepTheirCaseAndTheLastOccurrenceWins) {
  Job job;
  Read(job, {"-p=/first", "-P=/Title/Dir", "-DVDV=/Video/VIDEO_TS", "-A=Setup.exe;Icon.ico", "-nwhatever",
             "-TAPEDRIVE"});
  EXPECT_EQ(job.projectPath, "/Title/Dir");
  EXPECT_EQ(job.dvdVideoPath, "/Video/VIDEO_TS");
  EXPECT_EQ(job.autorunArg, "Setup.exe;Icon.ico");
  EXPECT_EQ(job.noWarnings, 1);
  EXPECT_EQ(job.tapeRequested, 1);
}

TEST(CommandLine, FrontEndOptionsAreTakenOutAndDoNotSetBatchMode) {
  Job job;
  CommandLineResult result = Read(job, {"--console", "--yes", "--layers=2"});
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(job.batchMode, 0);
  EXPECT_TRUE(result.frontEnd.console);
  EXPECT_TRUE(result.frontEnd.yesToAll);
  EXPECT_EQ(job.requestedLayers, 2);
  EXPECT_FALSE(Read(job, {"--bogus"}).ok);
  EXPECT_FALSE(Read(job, {"--layers=3"}).ok);
}

TEST(CommandLine, ValueTooLongForItsFieldIsRefusedNotCut) {
  Job job;
  const std::string fits = "-p=/" + std::string(254, 'a');  // 255 characters of value
  EXPECT_TRUE(Read(job, {fits}).ok);
  EXPECT_EQ(job.projectPath.size(), 255u);
  CommandLineResult result = Read(job, {fits + "b"});
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("-p="), std::string::npos);
}

}  // namespace
}  // namespace pravel
