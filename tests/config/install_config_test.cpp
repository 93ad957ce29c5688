#include "config/install_config.h"

#include <algorithm>
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
    for (const char* sub : {"home", "tmp", "template", "img", "img2", "IMG"}) MakeDirs(root / sub);
    WriteFile(root / "afile", "a regular file, so nothing can be created below it");
  }

  std::string Home() const { return root / "home"; }
  std::string ConfigPath() const { return Home() + "/kestrand.ini"; }
  std::string TempDirLine() const { return "tempdir=" + (root / "tmp") + "\r\n"; }

  void WriteConfig(const std::string& lines) {
    WriteFile(ConfigPath(), "[kestrand]\r\n" + lines);
    platform::WritePrivateProfileString(nullptr, nullptr, nullptr, ConfigPath());
  }
  bool Load() { return LoadInstallConfig(t.job, ConfigPath()); }
  bool LoadImages() { return LoadImageDirectories(t.job, ConfigPath()); }
  // A directory of `size` characters below the root.
  std::string Padded(size_t size, char letter) const { return root / std::string(size - root.path().size() - 1, letter); }
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

TEST_F(InstallConfigTest, FullConfigurationFillsTheJobAndLeavesNoTestFiles) {
  for (const char* stale : {"xmorel.exe", "dos4gw.exe", "xm.pif"}) WriteFile(Home() + "/" + stale, "old");
  WriteConfig(TempDirLine() + "template=" + (root / "template/") + "\r\nautorun=setup.exe;setup.ico\r\nimagedir=" +
              (root / "img") + ";" + (root / "img2") + "\r\n");
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
  EXPECT_GT(t.job.freeSectors2, 0u);
  for (const char* dir : {"tmp", "template", "img", "img2"}) EXPECT_TRUE(IsEmptyDir(root / dir)) << dir;
  for (const char* stale : {"xmorel.exe", "dos4gw.exe", "xm.pif"}) EXPECT_FALSE(Exists(Home() + "/" + stale));
}

// Values the directories are read from, each as accepted, and the value the job takes.
TEST_F(InstallConfigTest, AcceptedDirectoriesAndAutorunValues) {
  const std::string temp62 = Padded(62, 'd'), template63 = Padded(63, 't');
  std::string image243 = root.path();
  while (image243.size() < 243) {
    const size_t letters = std::min<size_t>(60, 242 - image243.size());
    image243.append(1, '/').append(letters, 'l');
  }
  for (const std::string& dir : {temp62, template63, image243}) MakeDirs(dir);
  struct Case {
    std::string lines;
    std::string Job::*field;
    std::string expected;
  };
  for (const Case& c : {Case{"tempdir=" + (root / "tmp") + "\r\n", &Job::tempDir, root / "tmp/"},
                        Case{"tempdir=" + (root / "tmp//") + "\r\n", &Job::tempDir, root / "tmp/"},
                        Case{"tempdir=" + (root / "tmp/") + "\r\n", &Job::templateDir, root / "tmp"},
                        // a template value beginning with none counts as absent
                        Case{TempDirLine() + "template=nonesuch\r\n", &Job::templateDir, root / "tmp"},
                        Case{"tempdir=" + temp62 + "/\r\n", &Job::tempDir, temp62 + "/"},  // fills the field
                        Case{TempDirLine() + "template=" + template63 + "/\r\n", &Job::templateDir, template63},
                        Case{TempDirLine() + "autorun=setup.exe\r\n", &Job::autorunOpen, "SETUP.EXE"},
                        Case{TempDirLine() + "autorun=setup.exe\r\n", &Job::autorunIcon, ""},
                        Case{TempDirLine() + "autorun=run.exe;a.ico;b\r\n", &Job::autorunIcon, "A.ICO;B"},
                        Case{TempDirLine() + "autorun=\r\n", &Job::autorunOpen, ""},
                        Case{"imagedir=" + (root / "img") + "\r\n", &Job::imagePath3, ""},
                        Case{"imagedir=" + image243 + "\r\n", &Job::imagePath1, image243 + "/CONTROL.IMG"}}) {
    SCOPED_TRACE(c.lines);
    t.job.*c.field = "stale";
    WriteConfig(c.lines);
    ASSERT_TRUE(c.lines.starts_with("imagedir") ? LoadImages() : Load());
    EXPECT_EQ(t.job.*c.field, c.expected);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_TRUE(IsEmptyDir(root / "tmp"));
  }
}

TEST_F(InstallConfigTest, OneImageDirectoryGivesTwoPathsAndNoLayerTwo) {
  t.job.freeSectors2 = 7;
  WriteConfig("imagedir=" + (root / "img") + "\r\n");
  ASSERT_TRUE(LoadImages());
  EXPECT_EQ(t.job.imagePath2, root / "img/LAYER01.IMG");
  EXPECT_EQ(t.job.freeSectors2, 0u);
  const uint64_t expected = platform::FreeBytes(root / "img").value_or(0) / 2048;
  EXPECT_NEAR(static_cast<double>(t.job.freeSectors1), static_cast<double>(expected), 4096.0);
  EXPECT_TRUE(IsEmptyDir(root / "img"));
}

TEST_F(InstallConfigTest, EachUnusableStatementStopsWithItsMessage) {
  EXPECT_FALSE(Load());
  testing::ExpectOneMessage(t.ui, {"Can not locate the " + ConfigPath() + " file. Please check your installation."},
                            "Installation error?");
  EXPECT_EQ(t.job.installDir, Home());

  const std::string tempMissing = "The tempdir= statement is missing in KESTRAND.INI file.";
  const std::string tempInvalid = "The tempdir= path is not valid in KESTRAND.INI file.";
  const std::string templateInvalid = "The template= path is not valid in KESTRAND.INI file.";
  const std::string imagesMissing = "Missing imagedir= statement in C:\\KESTRAND\\KESTRAND.INI file!";
  const std::string sameLayers = "Layer 1 and Layer 2 directory pointers can not be the same. You have each set to: ";
  const std::string noAccess = "Can not access directory ";
  const std::string img = root / "img", afileSub = root / "afile/sub", tooLong = "/" + std::string(243, 'i');
  MakeDirs(Padded(62, 'd') + "x");
  MakeDirs(Padded(63, 't') + "x");
  struct Case {
    std::string lines, message, caption;
  };
  for (const Case& c : {
           Case{"other=1\r\n", tempMissing, "Installation error?"},
           Case{"tempdir=none\r\n", tempMissing, "Installation error?"},
           Case{"tempdir=nonexistent\r\n", tempMissing, "Installation error?"},
           Case{"tempdir=\r\n", tempMissing, "Installation error?"},
           Case{"tempdir=" + afileSub + "\r\n", tempInvalid, "Installation Error!"},
           Case{"tempdir=" + (root / "missing") + "\r\n", tempInvalid, "Installation Error!"},
           Case{"tempdir=None" + root.path() + "\r\n", tempInvalid, "Installation Error!"},
           Case{"tempdir=" + Padded(62, 'd') + "x\r\n", tempInvalid, "Installation Error!"},
           Case{TempDirLine() + "template=" + afileSub + "\r\n", templateInvalid, "Installation Error!"},
           Case{TempDirLine() + "template=" + Padded(63, 't') + "x\r\n", templateInvalid, "Installation Error!"},
           Case{"imagedir=NONE\r\n", imagesMissing, "Configuration error"},
           Case{"imagedir=None/img\r\n", imagesMissing, "Configuration error"},
           Case{"imagedir=\r\n", imagesMissing, "Configuration error"},
           Case{"imagedir=;" + (root / "img2") + "\r\n", imagesMissing, "Configuration error"},
           Case{"imagedir=" + img + ";" + (root / "IMG") + "\r\n", sameLayers + img + "/", "Configuration error!"},
           Case{"imagedir=" + (root / "img2") + ";" + img + "\r\n", sameLayers + (root / "img2/"),
                "Configuration error!"},
           Case{"imagedir=" + img + ";\r\n", sameLayers + img + "/", "Configuration error!"},
           Case{"imagedir=" + afileSub + "\r\n", noAccess + afileSub + "/", "Configuration error!"},
           Case{"imagedir=" + (root / "missing") + "\r\n", noAccess + (root / "missing/"), "Configuration error!"},
           Case{"imagedir=" + img + ";" + afileSub + "\r\n", noAccess + afileSub + "/", "Configuration error!"},
           Case{"imagedir=" + tooLong + "\r\n", noAccess + tooLong + "/", "Configuration error!"}}) {
    SCOPED_TRACE(c.lines);
    t.ui.messages.clear();
    WriteConfig(c.lines);
    EXPECT_FALSE(c.lines.starts_with("imagedir") ? LoadImages() : Load());
    testing::ExpectOneMessage(t.ui, {c.message}, c.caption);
    for (const char* dir : {"tmp", "img"}) EXPECT_TRUE(IsEmptyDir(root / dir)) << "the test files are gone";
  }
}

}  // namespace
}  // namespace pravel
