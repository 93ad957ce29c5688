// The installation file and the format descriptor.
#include "config/format_descriptor.h"
#include "config/install_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using namespace testing;

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
  WriteConfig(TempDirLine() + "template=" + (root / "template/") + "\r\nimagedir=" + (root / "img") + ";" +
              (root / "img2") + "\r\n");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(LoadImages());
  EXPECT_TRUE(t.ui.messages.empty());
  EXPECT_EQ(t.job.installDir, Home());
  EXPECT_EQ(t.job.imagePath1, root / "img/CONTROL.IMG");
  EXPECT_EQ(t.job.imagePath2, root / "img/LAYER01.IMG");
  EXPECT_EQ(t.job.imagePath3, root / "img2/LAYER02.IMG");
  EXPECT_GT(t.job.freeSectors2, 0u);
  for (const char* dir : {"tmp", "template", "img", "img2"}) EXPECT_TRUE(IsEmptyDir(root / dir)) << dir;
  for (const char* stale : {"xmorel.exe", "dos4gw.exe", "xm.pif"}) EXPECT_FALSE(Exists(Home() + "/" + stale));

  // One image directory gives two paths and no layer 2.
  WriteConfig("imagedir=" + (root / "img") + "\r\n");
  ASSERT_TRUE(LoadImages());
  EXPECT_EQ(t.job.imagePath2, root / "img/LAYER01.IMG");
  EXPECT_EQ(t.job.imagePath3, "");
  EXPECT_EQ(t.job.freeSectors2, 0u);
  const uint64_t expected = platform::FreeBytes(root / "img").value_or(0) / 2048;
  EXPECT_NEAR(static_cast<double>(t.job.freeSectors1), static_cast<double>(expected), 4096.0);
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
  struct Case { std::string lines; std::string Job::*field; std::string expected; };
  for (const Case& c : {Case{"tempdir=" + (root / "tmp//") + "\r\n", &Job::tempDir, root / "tmp/"},
                        Case{"tempdir=" + (root / "tmp/") + "\r\n", &Job::templateDir, root / "tmp"},
                        // a template value beginning with none counts as absent
                        Case{TempDirLine() + "template=nonesuch\r\n", &Job::templateDir, root / "tmp"},
                        Case{"tempdir=" + temp62 + "/\r\n", &Job::tempDir, temp62 + "/"},  // fills the field
                        Case{TempDirLine() + "template=" + template63 + "/\r\n", &Job::templateDir, template63},
                        Case{TempDirLine() + "autorun=setup.exe\r\n", &Job::autorunOpen, "SETUP.EXE"},
                        Case{TempDirLine() + "autorun=setup.exe\r\n", &Job::autorunIcon, ""},
                        Case{TempDirLine() + "autorun=run.exe;a.ico;b\r\n", &Job::autorunOpen, "RUN.EXE"},
                        Case{TempDirLine() + "autorun=run.exe;a.ico;b\r\n", &Job::autorunIcon, "A.ICO;B"},
                        Case{TempDirLine() + "autorun=\r\n", &Job::autorunOpen, ""},
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
  const std::string missing = root / "missing";
  struct Case {
    std::vector<std::string> lines;  // each alone in the file
    std::string message, caption;
  };
  for (const Case& c :
       {Case{{"other=1", "tempdir=none", "tempdir=nonexistent", "tempdir="}, tempMissing, "Installation error?"},
        Case{{"tempdir=" + afileSub, "tempdir=" + missing, "tempdir=None" + root.path(), "tempdir=" + Padded(62, 'd') + "x"},
             tempInvalid, "Installation Error!"},
        Case{{TempDirLine() + "template=" + afileSub, TempDirLine() + "template=" + Padded(63, 't') + "x"},
             templateInvalid, "Installation Error!"},
        Case{{"imagedir=NONE", "imagedir=None/img", "imagedir=", "imagedir=;" + (root / "img2")}, imagesMissing,
             "Configuration error"},
        Case{{"imagedir=" + img + ";" + (root / "IMG"), "imagedir=" + img + ";"}, sameLayers + img + "/",
             "Configuration error!"},
        Case{{"imagedir=" + (root / "img2") + ";" + img}, sameLayers + (root / "img2/"), "Configuration error!"},
        Case{{"imagedir=" + afileSub, "imagedir=" + img + ";" + afileSub}, noAccess + afileSub + "/",
             "Configuration error!"},
        Case{{"imagedir=" + missing}, noAccess + missing + "/", "Configuration error!"},
        Case{{"imagedir=" + tooLong}, noAccess + tooLong + "/", "Configuration error!"}}) {
    for (const std::string& line : c.lines) {
      SCOPED_TRACE(line);
      t.ui.messages.clear();
      WriteConfig(line + "\r\n");
      EXPECT_FALSE(line.starts_with("imagedir") ? LoadImages() : Load());
      testing::ExpectOneMessage(t.ui, {c.message}, c.caption);
      for (const char* dir : {"tmp", "img"}) EXPECT_TRUE(IsEmptyDir(root / dir)) << "the test files are gone";
    }
  }
}

constexpr const char* kClockDate = "2026030405060700";  // the test clock's time

class FormatDescriptorTest : public ::testing::Test {
 protected:
  FormatDescriptorTest() { t.job.descriptorPath = dir / "DVDFROM.INI"; }

  void WriteDescriptor(const std::string& lines) {
    WriteFile(t.job.descriptorPath, "[cdformat]\r\n" + lines);
    platform::WritePrivateProfileString(nullptr, nullptr, nullptr, t.job.descriptorPath);
  }

  // The dialog's fifteen texts, all legal once upper-cased.
  static DiscIdentification LegalTexts() {
    return {"linux",      "my_disc",          "copy.txt;1",       "abs.txt",          "bib.txt",
            "acme, inc.", "the preparer",     "app",              "2001020304050600", "2002020304050600",
            "",           "2003020304050600", "album_1",          "2a",               "3b"};
  }

  // The legal texts saved over the defaults, the messages forgotten.
  void SaveLegalTexts() {
    LoadFormatDescriptor(t.job);
    ASSERT_TRUE(SaveDiscIdentification(t.job, LegalTexts()).mayClose);
    t.ui.messages.clear();
  }

  TempDir dir;
  testing::TestJob t;
};

TEST_F(FormatDescriptorTest, WithoutAFileOnlyTheVolumeIdDefaultDrawsAWarning) {
  LoadFormatDescriptor(t.job);
  testing::ExpectOneMessage(t.ui, {"Warning: Illegal volume_id DVD-ROM specified in DVDF**.INI file."},
                            "Configuration error!");
  const Job& job = t.job;
  EXPECT_EQ(job.loadedDescriptorPath, job.descriptorPath);
  const std::vector<std::string> loaded = {
      job.preparerId,   job.publisherId,  job.systemId,       job.volumeId,         job.applicationId,
      job.volumeSetSize, job.volumeNumber, job.albumId,        job.creationDate,     job.modificationDate,
      job.effectiveDate, job.expirationDate, job.copyrightFileId, job.abstractFileId, job.biblioFileId};
  EXPECT_EQ(loaded, (std::vector<std::string>{"KESTRAND FOR DVD-ROM", "KESTRAND FOR DVD-ROM", "MS-DOS", "DVD-ROM",
                                              "KESTRAND FOR DVD-ROM TITLE", "1", "1", "KESTRAND_DISC", kClockDate,
                                              kClockDate, kClockDate, "0000000000000000", " ", " ", " "}));
  EXPECT_EQ(t.ui.cursor, platform::Cursor::kArrow);
}

TEST_F(FormatDescriptorTest, IllegalValuesWarnInLoadingOrderAndStayAsWritten) {
  WriteDescriptor(
      "preparer=kestrand prep\r\npublisher=pub\r\nsystem_id=sys\r\nvolume_id=VOL-1\r\n"
      "application_id=app\r\nalbum=ALBUM.1\r\ncopyright=c-r\r\nabstract=a,b\r\nbiblio=b/c\r\n"
      "volume_number=x\r\nvolume_set_size=y\r\n");
  LoadFormatDescriptor(t.job);
  const std::vector<std::string> warnings = {
      "Warning:: Illegal Preparer ID kestrand prep specified in DVDF**.INI file.",
      "Warning: Illegal Publisher ID pub specified in DVDF**.INI file.",
      "Warning: Illegal system_id sys specified in DVDF**.INI file.",
      "Warning: Illegal volume_id VOL-1 specified in DVDF**.INI file.",
      "Warning: Illegal application identifier app specified in DVDF**.INI file.",
      "Warning: Illegal album ALBUM.1 specified in DVDF**.INI file.",
      "Warning: Illegal copy right c-r specified in DVDF**.INI file.",
      "Warning: Illegal abstract a,b specified in DVDF**.INI file.",
      "Warning: Illegal bibliographic b/c specified in DVDF**.INI file."};
  ASSERT_EQ(t.ui.messages.size(), warnings.size());
  for (size_t i = 0; i < warnings.size(); ++i) {
    EXPECT_EQ(t.ui.messages[i].text, warnings[i]);
    EXPECT_EQ(t.ui.messages[i].caption, "Configuration error!");
  }
  EXPECT_EQ(t.job.preparerId, "kestrand prep");
  EXPECT_EQ(t.job.biblioFileId, "b/c");
  EXPECT_EQ(t.job.volumeSetSize, "y");
}

TEST_F(FormatDescriptorTest, LongValuesAreCutAndShortDatesReplaced) {
  WriteDescriptor("system_id=" + std::string(40, 'S') + "\r\nalbum=" + std::string(130, 'A') +
                  "\r\ncopyright=" + std::string(40, 'C') + "\r\nvolume_number=123456789\r\n" +
                  "creation=12345678901234567890\r\nmodification=123456789012345\r\n" +
                  "effective=1234567890123456\r\nexpiration=99\r\n");
  LoadFormatDescriptor(t.job);
  EXPECT_EQ(t.job.systemId, std::string(31, 'S'));
  EXPECT_EQ(t.job.albumId, std::string(127, 'A'));
  EXPECT_EQ(t.job.copyrightFileId, std::string(36, 'C'));
  EXPECT_EQ(t.job.volumeNumber, "1234567");
  EXPECT_EQ(t.job.creationDate, "1234567890123456");
  EXPECT_EQ(t.job.modificationDate, kClockDate);
  EXPECT_EQ(t.job.effectiveDate, "1234567890123456");
  EXPECT_EQ(t.job.expirationDate, "99") << "only an empty expiration means none";

  WriteDescriptor("expiration=\r\n");
  LoadFormatDescriptor(t.job);
  EXPECT_EQ(t.job.expirationDate, "0000000000000000");
}

TEST_F(FormatDescriptorTest, SaveStoresUpperCasedTextsCutToTheirLengthsAndWritesThemBack) {
  LoadFormatDescriptor(t.job);
  t.ui.messages.clear();
  EXPECT_TRUE(SaveDiscIdentification(t.job, LegalTexts()).mayClose);
  EXPECT_TRUE(t.ui.messages.empty());
  EXPECT_EQ(t.job.publisherId, "ACME, INC.");
  EXPECT_EQ(t.job.expirationDate, "0000000000000000") << "an empty expiration date means none";
  EXPECT_EQ(t.job.volumeNumber, "2A");
  EXPECT_EQ(t.job.volumeSetSize, "3B");
  EXPECT_EQ(ReadFile(t.job.descriptorPath),
            "[cdformat]\r\nsystem_id=LINUX\r\nvolume_id=MY_DISC\r\ncopyright=COPY.TXT;1\r\nabstract=ABS.TXT\r\n"
            "biblio=BIB.TXT\r\npublisher=ACME, INC.\r\npreparer=THE PREPARER\r\napplication_id=APP\r\n"
            "creation=2001020304050600\r\nmodification=2002020304050600\r\nexpiration=0000000000000000\r\n"
            "effective=2003020304050600\r\nalbum=ALBUM_1\r\nvolume_number=2A\r\nvolume_set_size=3B\r\n");

  // What is saved comes back unchanged at the next start, blanks at the ends
  // and quotes around a value included.
  DiscIdentification texts = LegalTexts();
  texts.publisher = "\"ACME\"";
  texts.preparer = "  SPACED  ";
  texts.applicationId = "'QUOTED'";
  ASSERT_TRUE(SaveDiscIdentification(t.job, texts).mayClose);
  const Job saved = t.job;
  LoadFormatDescriptor(t.job);
  EXPECT_TRUE(t.ui.messages.empty());
  for (auto field : {&Job::publisherId, &Job::preparerId, &Job::applicationId, &Job::volumeSetSize, &Job::creationDate})
    EXPECT_EQ(t.job.*field, saved.*field);
  EXPECT_EQ(t.job.publisherId, "\"ACME\"");
}

// One text of the dialog changed from the legal set: what the Job then holds,
// or that the text is refused (the operator answering No to the question).
TEST_F(FormatDescriptorTest, EachTextIsStoredUpperCasedOrRefusedByItsCheck) {
  using Text = std::string DiscIdentification::*;
  struct Case {
    Text text;
    std::string Job::*field;
    std::string typed;
    std::string stored;  // empty: refused
  };
  const std::string longDate = "20020203040506001234";
  const Case cases[] = {
      {&DiscIdentification::systemId, &Job::systemId, "linux 2.6", "LINUX 2.6"},
      {&DiscIdentification::systemId, &Job::systemId, "a~b", ""},
      {&DiscIdentification::systemId, &Job::systemId, std::string(40, 'x'), std::string(31, 'X')},
      {&DiscIdentification::volumeId, &Job::volumeId, "my disc_2", "MY DISC_2"},
      {&DiscIdentification::volumeId, &Job::volumeId, "my-disc", ""},
      {&DiscIdentification::copyrightsFile, &Job::copyrightFileId, "c.txt;1", "C.TXT;1"},
      {&DiscIdentification::abstractFile, &Job::abstractFileId, "a/b", ""},
      {&DiscIdentification::publisher, &Job::publisherId, "caf\xC3\xA9", ""},
      {&DiscIdentification::albumId, &Job::albumId, "album.1", ""},
      {&DiscIdentification::creationDate, &Job::creationDate, "2002020304050600", "2002020304050600"},
      {&DiscIdentification::creationDate, &Job::creationDate, longDate, longDate.substr(0, 16)},
      {&DiscIdentification::modificationDate, &Job::modificationDate, "20020203040506", ""},
      {&DiscIdentification::effectiveDate, &Job::effectiveDate, "200202030405060x", ""},
      {&DiscIdentification::effectiveDate, &Job::effectiveDate, "2002133104050600", ""},
      {&DiscIdentification::effectiveDate, &Job::effectiveDate, "2002022904050600", ""},
      {&DiscIdentification::effectiveDate, &Job::effectiveDate, "2004022923595999", "2004022923595999"},
      {&DiscIdentification::creationDate, &Job::creationDate, "0000000000000000", "0000000000000000"},
      {&DiscIdentification::expirationDate, &Job::expirationDate, "", "0000000000000000"},
      {&DiscIdentification::expirationDate, &Job::expirationDate, "2030010100000000", "2030010100000000"},
      {&DiscIdentification::expirationDate, &Job::expirationDate, "later", ""},
      {&DiscIdentification::expirationDate, &Job::expirationDate, "0", ""},
      // Unchecked; only a-z change, never the bytes of other characters.
      {&DiscIdentification::discNumber, &Job::volumeNumber, "2a\xC3\xA9", "2A\xC3\xA9"},
      {&DiscIdentification::discNumber, &Job::volumeNumber, "123456789", "1234567"},
  };
  SaveLegalTexts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    t.ui.messages.clear();
    const Job before = t.job;
    const std::string fileBefore = ReadFile(t.job.descriptorPath);
    DiscIdentification texts = LegalTexts();
    texts.*c.text = c.typed;
    const bool refused = c.stored.empty();
    if (refused) t.ui.QueueAnswers({Answer::kNo});
    const DiscIdentificationSave result = SaveDiscIdentification(t.job, texts);
    EXPECT_EQ(result.mayClose, !refused);
    EXPECT_EQ(t.ui.messages.size(), refused ? 1u : 0u);
    if (refused) {
      EXPECT_TRUE(result.refusedText == c.text);
      EXPECT_EQ(t.job.*c.field, before.*c.field);
      EXPECT_EQ(ReadFile(t.job.descriptorPath), fileBefore);
    } else {
      EXPECT_TRUE(result.refusedText == nullptr);
      EXPECT_EQ(t.job.*c.field, c.stored);
    }
  }
}

// A save refused by No to the character-set question, by a line break
// (refused before anything is asked) or by a file that can not be written
// (below a regular file, or a folder in its place) keeps the dialog open and
// stores and writes nothing; Yes stores what No refused. The first refused
// text in saving order shows through the dialog (tests/ui/option_dialogs_test.cpp).
TEST_F(FormatDescriptorTest, RefusedSavesStoreAndWriteNothingAndYesStoresWhatNoRefused) {
  SaveLegalTexts();
  const std::string fileBefore = ReadFile(t.job.descriptorPath);
  WriteFile(dir / "afile", "x");  // below a regular file nothing can be created, not even by root
  MakeDirs(dir / "DVDFDIR.INI");
  const std::string belowFile = dir / "afile/DVDFROM.INI", folder = dir / "DVDFDIR.INI";
  const std::string unchanged = ". The values in use are unchanged.";
  struct Case {
    // The path the save goes to is the loaded one when none is given.
    std::string discNumber, modificationDate, loadedPath;
    std::string text, caption;
    const std::string DiscIdentification::*refused;
  };
  const Case cases[] = {
      {"1", "20020203040506", "", "One or more use characters outside the standards character set.",
       "Ignor these errors?", &DiscIdentification::modificationDate},
      {"1\n2", "20020203040506", "",
       "The \"Disc Number\" text holds a line break, which a format descriptor file can not keep.",
       "Usage error", &DiscIdentification::discNumber},
      {"1", "2002020304050600", belowFile,
       "Could not write the disc identification to " + belowFile + ": Not a directory" + unchanged,
       "Configuration error!", nullptr},
      {"1", "2002020304050600", folder,
       "Could not write the disc identification to " + folder + ": it is a folder" + unchanged,
       "Configuration error!", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    t.ui.messages.clear();
    if (!c.loadedPath.empty()) t.job.loadedDescriptorPath = c.loadedPath;
    DiscIdentification texts = LegalTexts();
    texts.systemId = "new system";
    texts.discNumber = c.discNumber;
    texts.modificationDate = c.modificationDate;
    if (c.caption == "Ignor these errors?") t.ui.QueueAnswers({Answer::kNo});
    const DiscIdentificationSave result = SaveDiscIdentification(t.job, texts);
    EXPECT_FALSE(result.mayClose);
    EXPECT_TRUE(result.refusedText == c.refused);
    ExpectOneMessage(t.ui, {}, c.caption);
    EXPECT_EQ(t.ui.messages[0].text, c.text);
    EXPECT_EQ(ReadFile(t.job.descriptorPath), fileBefore);
    EXPECT_EQ(ReadFile(dir / "afile"), "x");
    EXPECT_EQ(t.job.systemId, "LINUX");
  }

  t.ui.messages.clear();
  t.job.loadedDescriptorPath = t.job.descriptorPath;
  DiscIdentification texts = LegalTexts();
  texts.systemId = "new system";
  texts.modificationDate = "20020203040506";
  t.ui.QueueAnswers({Answer::kYes});
  EXPECT_TRUE(SaveDiscIdentification(t.job, texts).mayClose) << "Yes ignores the errors";
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(t.ui.messages[0].icon, platform::Icon::kQuestion);
  EXPECT_EQ(t.job.systemId, "NEW SYSTEM");
  EXPECT_TRUE(testing::Contains(ReadFile(t.job.descriptorPath), "\r\nmodification=20020203040506\r\n"));
}

// A chosen file is taken by its path exactly as chosen, whatever the
// upper-case names option says, and loaded; the extension must be INI or
// ini, and the path must fit the 128-byte field. A refused choice, or none
// (Cancel), changes nothing. Each accepted file has an upper-case twin with
// another volume_id, so loading the wrong spelling shows.
TEST_F(FormatDescriptorTest, ChoosingKeepsThePathAsChosenAndRefusesWrongExtensionsAndOverlongPaths) {
  const std::string badExtension = "Illegal CD format descriptor file name extension";
  auto padded = [&](size_t size) { return dir / (std::string(size - dir.path().size() - 1 - 4, 'D') + ".INI"); };
  const std::string longest = padded(127);
  const std::string overlong = padded(128);
  struct Case {
    std::string chosen;  // empty: Cancel
    bool upperCaseNames;
    std::string refusal;  // empty: accepted
  };
  for (const Case& c :
       {Case{"", false, ""}, Case{dir / "DVDFNEW.INI", false, ""},
        Case{dir / "DVDFNEW.ini", false, ""}, Case{dir / "Mixed/DvdfNew.ini", true, ""},
        Case{dir / "Mixed/DvdfNew.ini", false, ""}, Case{longest, true, ""},
        Case{dir / "DVDFNEW.Ini", false, badExtension},
        Case{dir / "DVDFNEW.TXT", true, badExtension},
        Case{overlong, false,
             "The format descriptor file name " + overlong +
                 " is too long. It may hold at most 127 characters."}}) {
    SCOPED_TRACE(c.chosen);
    testing::TestJob chooser;
    Job& job = chooser.job;
    job.descriptorPath = job.loadedDescriptorPath = dir / "DVDFROM.INI";
    job.volumeId = "BEFORE";
    job.upperCaseNames = c.upperCaseNames;
    const bool taken = !c.chosen.empty() && c.refusal.empty();
    if (taken) {
      WriteFile(c.chosen, "[cdformat]\r\nvolume_id=CHOSEN\r\n");
      std::string twin = c.chosen;
      std::transform(twin.begin() + static_cast<long>(dir.path().size()), twin.end(),
                     twin.begin() + static_cast<long>(dir.path().size()),
                     [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
      if (twin != c.chosen) WriteFile(twin, "[cdformat]\r\nvolume_id=TWIN\r\n");
      platform::WritePrivateProfileString(nullptr, nullptr, nullptr, c.chosen);
    }
    if (!c.chosen.empty()) chooser.ui.fileToChoose = c.chosen;
    ChooseFormatDescriptor(job);
    ASSERT_EQ(chooser.ui.fileRequests.size(), 1u);
    EXPECT_EQ(chooser.ui.fileRequests[0].filter, "Formats(DVDF*.INI)|DVDF*.INI|");
    EXPECT_EQ(chooser.ui.fileRequests[0].initialDir, InstallationDirectory());
    EXPECT_TRUE(chooser.ui.fileRequests[0].mustExist);
    if (c.refusal.empty()) {
      EXPECT_TRUE(chooser.ui.messages.empty());
    } else {
      testing::ExpectOneMessage(chooser.ui, {c.refusal}, "Project Error!");
    }
    EXPECT_EQ(job.descriptorPath, taken ? c.chosen : dir / "DVDFROM.INI");
    EXPECT_EQ(chooser.ui.shownDescriptorPath, taken ? c.chosen : "");
    EXPECT_EQ(job.loadedDescriptorPath, job.descriptorPath)
        << "saves go to the file that was loaded";
    EXPECT_EQ(job.volumeId, taken ? "CHOSEN" : "BEFORE");
  }
}

TEST(CharacterSets, MembersOfEachSetAndOnlyTheGivenLengthIsChecked) {
  using Check = bool (*)(const std::string&, size_t);
  for (const auto& [check, members] : {std::pair<Check, size_t>{IsACharacters, 57}, {IsDCharacters, 38},
                                       {IsFileIdCharacters, 40}}) {
    size_t count = 0;
    for (int c = 1; c < 256; ++c) count += check(std::string(1, static_cast<char>(c)), 1) ? 1 : 0;
    EXPECT_EQ(count, members) << "codes of 128 and above belong to no set";
  }
  EXPECT_TRUE(IsACharacters(" !\"%&'()*+,-./09:;<=>?AZ_", 25));
  EXPECT_TRUE(IsDCharacters("AZ 09_", 6));
  EXPECT_FALSE(IsDCharacters("A-B", 3));
  EXPECT_TRUE(IsFileIdCharacters("FILE.TXT;1", 10));
  EXPECT_FALSE(IsFileIdCharacters("file.txt", 8));
  EXPECT_TRUE(IsDCharacters("ABc", 2));
  EXPECT_FALSE(IsDCharacters("AB", 3)) << "the end of the text is outside every set";
}

}  // namespace
}  // namespace pravel
