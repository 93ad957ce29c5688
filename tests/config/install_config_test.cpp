#include "config/install_config.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::Exists;
using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

// An installation directory with its kestrand.ini and a few usable directories.
class InstallConfigTest : public ::testing::Test {
 protected:
  InstallConfigTest() {
    for (const char* sub : {"home", "tmp", "template", "img", "img2"}) MakeDirs(root / sub);
    WriteFile(root / "afile", "a regular file, so nothing can be created below it");
  }

  std::string Home() const { return root / "home"; }
  std::string ConfigPath() const { return Home() + "/kestrand.ini"; }

  void WriteConfig(const std::string& lines) {
    WriteFile(ConfigPath(), "[kestrand]\r\n" + lines);
    platform::WritePrivateProfileString(nullptr, nullptr, nullptr, ConfigPath());
  }

  bool Load() { return LoadInstallConfig(t.job, ConfigPath()); }
  bool LoadImages() { return LoadImageDirectories(t.job, ConfigPath()); }

  void ExpectOnlyMessage(const std::string& text, const std::string& caption) {
    testing::ExpectOneMessage(t.ui, {text}, caption);
    t.ui.messages.clear();
  }
  bool IsEmptyDir(const std::string& dir) { return std::filesystem::is_empty(dir); }

  TempDir root;
  testing::TestJob t;
};

TEST(InstallationDirectory, ComesFromKestrandHomeWithoutTrailingSlash) {
  const char* saved = std::getenv("KESTRAND_HOME");
  const std::string previous = saved ? saved : "";
  unsetenv("KESTRAND_HOME");
  EXPECT_EQ(InstallConfigPath(), "/etc/kestrand/kestrand.ini");
  setenv("KESTRAND_HOME", "/opt/kestrand/", 1);
  EXPECT_EQ(InstallationDirectory(), "/opt/kestrand");
  EXPECT_EQ(InstallConfigPath(), "/opt/kestrand/kestrand.ini");
  saved ? setenv("KESTRAND_HOME", previous.c_str(), 1) : unsetenv("KESTRAND_HOME");
}

TEST_F(InstallConfigTest, MissingFileStopsWithItsPath) {
  EXPECT_FALSE(Load());
  ExpectOnlyMessage("Can not locate the " + ConfigPath() + " file. Please check your installation.",
                    "Installation error?");
  EXPECT_EQ(t.job.installDir, Home());
}

TEST_F(InstallConfigTest, FullConfigurationFillsTheJobAndLeavesNoTestFiles) {
  for (const char* stale : {"xmorel.exe", "dos4gw.exe", "xm.pif"}) WriteFile(Home() + "/" + stale, "old");
  WriteConfig("tempdir=" + (root / "tmp") + "\r\ntemplate=" + (root / "template/") +
              "\r\nautorun=setup.exe;setup.ico\r\nimagedir=" + (root / "img") + ";" + (root / "img2") + "\r\n");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(LoadImages());
  EXPECT_TRUE(t.ui.messages.empty());
  EXPECT_EQ(t.job.installDir, Home());
  EXPECT_EQ(t.job.tempDir, root / "tmp/");
  EXPECT_EQ(t.job.templateDir, root / "template");
  EXPECT_EQ(t.job.autorunOpen, "SETUP.EXE");
  EXPECT_EQ(t.job.autorunIcon, "SETUP.ICO");
  EXPECT_EQ(t.job.imagePath1, root / "img/CONTROL.IMG");
  EXPECT_EQ(t.job.imagePath2, root / "img/LAYER01.IMG");
  EXPECT_EQ(t.job.imagePath3, root / "img2/LAYER02.IMG");
  EXPECT_GT(t.job.freeSectors1, 0u);
  EXPECT_GT(t.job.freeSectors2, 0u);
  for (const char* dir : {"tmp", "template", "img", "img2"}) EXPECT_TRUE(IsEmptyDir(root / dir)) << dir;
  for (const char* stale : {"xmorel.exe", "dos4gw.exe", "xm.pif"}) EXPECT_FALSE(Exists(Home() + "/" + stale));
}

TEST_F(InstallConfigTest, TempDirEndsInOneSlashAndTemplateDefaultsToIt) {
  for (const std::string& value : {root / "tmp", root / "tmp/", root / "tmp//"}) {
    WriteConfig("tempdir=" + value + "\r\n");
    ASSERT_TRUE(Load()) << value;
    EXPECT_EQ(t.job.tempDir, root / "tmp/") << value;
    EXPECT_EQ(t.job.templateDir, root / "tmp") << value;
  }
  WriteConfig("tempdir=" + (root / "tmp") + "\r\ntemplate=nonesuch\r\n");
  ASSERT_TRUE(Load());
  EXPECT_EQ(t.job.templateDir, root / "tmp") << "a template value beginning with none counts as absent";
  EXPECT_TRUE(IsEmptyDir(root / "tmp"));
  EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(InstallConfigTest, TempDirAbsentNoneOrEmptyIsAMissingStatement) {
  for (const std::string& lines : {std::string("other=1\r\n"), std::string("tempdir=none\r\n"),
                                   std::string("tempdir=nonexistent\r\n"), std::string("tempdir=\r\n")}) {
    WriteConfig(lines);
    EXPECT_FALSE(Load()) << lines;
    ExpectOnlyMessage("The tempdir= statement is missing in KESTRAND.INI file.", "Installation error?");
  }
}

TEST_F(InstallConfigTest, UnusableOrOverlongTempDirIsNotValid) {
  std::string padded = root / std::string(62 - root.path().size() - 1, 'd');
  ASSERT_EQ(padded.size(), 62u);
  MakeDirs(padded);
  MakeDirs(padded + "x");
  for (const std::string& value : {root / "afile/sub", root / "missing", std::string("None") + root.path(),
                                   padded + "x"}) {
    WriteConfig("tempdir=" + value + "\r\n");
    EXPECT_FALSE(Load()) << value;
    ExpectOnlyMessage("The tempdir= path is not valid in KESTRAND.INI file.", "Installation Error!");
  }
  WriteConfig("tempdir=" + padded + "/\r\n");
  EXPECT_TRUE(Load()) << "62 characters and the slash fill the field";
  EXPECT_EQ(t.job.tempDir, padded + "/");
}

TEST_F(InstallConfigTest, UnusableOrOverlongTemplateIsNotValid) {
  std::string padded = root / std::string(63 - root.path().size() - 1, 't');
  MakeDirs(padded);
  MakeDirs(padded + "x");
  for (const std::string& value : {root / "afile/sub", padded + "x"}) {
    WriteConfig("tempdir=" + (root / "tmp") + "\r\ntemplate=" + value + "\r\n");
    EXPECT_FALSE(Load()) << value;
    ExpectOnlyMessage("The template= path is not valid in KESTRAND.INI file.", "Installation Error!");
    EXPECT_TRUE(IsEmptyDir(root / "tmp")) << "the temporary directory's test file is gone";
  }
  WriteConfig("tempdir=" + (root / "tmp") + "\r\ntemplate=" + padded + "/\r\n");
  EXPECT_TRUE(Load());
  EXPECT_EQ(t.job.templateDir, padded);
}

TEST_F(InstallConfigTest, AutorunIsUpperCasedAndSplitAtTheFirstSemicolon) {
  struct Case {
    std::string value, open, icon;
  };
  for (const Case& c : {Case{"setup.exe", "SETUP.EXE", ""}, Case{"run.exe;a.ico;b", "RUN.EXE", "A.ICO;B"},
                        Case{"", "", ""}}) {
    t.job.autorunOpen = "stale";
    t.job.autorunIcon = "stale";
    WriteConfig("tempdir=" + (root / "tmp") + "\r\nautorun=" + c.value + "\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(t.job.autorunOpen, c.open) << c.value;
    EXPECT_EQ(t.job.autorunIcon, c.icon) << c.value;
  }
}

TEST_F(InstallConfigTest, OneImageDirectoryGivesTwoPathsAndNoLayerTwo) {
  t.job.freeSectors2 = 7;
  t.job.imagePath3 = "stale";
  WriteConfig("imagedir=" + (root / "img") + "\r\n");
  ASSERT_TRUE(LoadImages());
  EXPECT_EQ(t.job.imagePath1, root / "img/CONTROL.IMG");
  EXPECT_EQ(t.job.imagePath2, root / "img/LAYER01.IMG");
  EXPECT_EQ(t.job.imagePath3, "");
  EXPECT_EQ(t.job.freeSectors2, 0u);
  uint64_t expected = platform::FreeBytes(root / "img").value_or(0) / 2048;
  EXPECT_NEAR(static_cast<double>(t.job.freeSectors1), static_cast<double>(expected), 4096.0);
  EXPECT_TRUE(IsEmptyDir(root / "img"));
}

TEST_F(InstallConfigTest, ImageDirAbsentNoneOrEmptyIsMissing) {
  for (const std::string& lines :
       {std::string("x=1\r\n"), std::string("imagedir=NONE\r\n"), std::string("imagedir=None/img\r\n"),
        std::string("imagedir=\r\n"), "imagedir=;" + (root / "img2") + "\r\n"}) {
    WriteConfig(lines);
    EXPECT_FALSE(LoadImages()) << lines;
    ExpectOnlyMessage("Missing imagedir= statement in C:\\KESTRAND\\KESTRAND.INI file!", "Configuration error");
  }
}

TEST_F(InstallConfigTest, LayerTwoThatAgreesWithTheStartOfLayerOneIsRefused) {
  MakeDirs(root / "IMG");
  for (const std::string& value : {(root / "img") + ";" + (root / "IMG"), (root / "img2") + ";" + (root / "img"),
                                   (root / "img") + ";"}) {
    WriteConfig("imagedir=" + value + "\r\n");
    EXPECT_FALSE(LoadImages()) << value;
    std::string layer1 = value.substr(0, value.find(';'));
    ExpectOnlyMessage(
        "Layer 1 and Layer 2 directory pointers can not be the same. You have each set to: " + layer1 + "/",
        "Configuration error!");
  }
  WriteConfig("imagedir=" + (root / "img") + ";" + (root / "img2") + "\r\n");
  EXPECT_TRUE(LoadImages());
  EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(InstallConfigTest, UnusableImageDirectoryIsNamedInTheMessage) {
  std::string tooLong = "/" + std::string(243, 'i');
  struct Case {
    std::string value, named;
  };
  for (const Case& c : {Case{root / "afile/sub", root / "afile/sub"}, Case{root / "missing", root / "missing"},
                        Case{(root / "img") + ";" + (root / "afile/sub"), root / "afile/sub"},
                        Case{tooLong, tooLong}}) {
    WriteConfig("imagedir=" + c.value + "\r\n");
    EXPECT_FALSE(LoadImages()) << c.value;
    ExpectOnlyMessage("Can not access directory " + c.named + "/", "Configuration error!");
  }
  EXPECT_TRUE(IsEmptyDir(root / "img")) << "the layer-1 test file is gone after a layer-2 failure";
}

TEST_F(InstallConfigTest, ImageDirectoryOfTheLongestLengthIsAccepted) {
  std::string longest = root.path();
  while (longest.size() < 243) {
    const size_t letters = std::min<size_t>(60, 242 - longest.size());
    longest.append(1, '/').append(letters, 'l');
  }
  ASSERT_EQ(longest.size(), 243u);
  MakeDirs(longest);
  WriteConfig("imagedir=" + longest + "\r\n");
  ASSERT_TRUE(LoadImages());
  EXPECT_EQ(t.job.imagePath1.size(), 255u);
}

}  // namespace
}  // namespace pravel
