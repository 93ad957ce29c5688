// A batch run of build/pravel through the whole pipeline (scan, builder, UDF
// writer, output stage with its closing anchor), and the UDF volume of its
// LAYER01.IMG as udfinfo, pycdlib and 7z read it.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::MakeDirs;
using testing::Outcome;
using testing::PravelBinary;
using testing::RunShell;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

bool Have(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Walks the UDF tree, reads every file and compares it with its source.
constexpr const char* kWalk = R"PY(
import os, sys, pycdlib
image, root = sys.argv[1], sys.argv[2]
iso = pycdlib.PyCdlib()
iso.open(image)
seen = set()
for path, dirs, files in iso.walk(udf_path='/'):
    for f in files:
        p = path.rstrip('/') + '/' + f
        seen.add(p)
        with iso.open_file_from_iso(udf_path=p) as udf, open(root + p, 'rb') as src:
            assert udf.read() == src.read(), p
want = set()
for path, dirs, files in os.walk(root):
    rel = os.path.relpath(path, root)
    for f in files:
        want.add(('' if rel == '.' else '/' + rel) + '/' + f)
assert seen == want, sorted(seen ^ want)
print('read %d files' % len(seen))
)PY";

TEST(UdfPipeline, BatchRunImageReadsBackThroughUdf) {
  TempDir root;
  for (const char* sub : {"home", "tmp", "template", "images", "title"}) MakeDirs(root / sub);
  WriteFile(root / "home/kestrand.ini", "[kestrand]\r\ntempdir=" + (root / "tmp") + "\r\ntemplate=" +
                                            (root / "template") + "\r\nimagedir=" + (root / "images") + "\r\n");
  WriteFile(root / "home/DVDFROM.INI", "[cdformat]\r\nvolume_id=PIPELINE_TITLE\r\n");
  WriteFile(root / "title/README.TXT", "read me\n");
  WriteFile(root / "title/EMPTY.DAT", "");
  WriteFile(root / "title/Docs/Manual \xC3\xA9" "dition.txt", std::string(70000, 'm'));
  WriteFile(root / "title/Docs/Deep/Er/LAST.BIN", std::string(4096, '\x01'));
  MakeDirs(root / "title/Nothing");

  Outcome run = RunShell("SOURCE_DATE_EPOCH=1767225600 KESTRAND_HOME='" + (root / "home") + "' '" + PravelBinary() +
                          "' --console --yes -p='" + (root / "title") + "' </dev/null",
                      root / "run.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string image = root / "images/LAYER01.IMG";
  ASSERT_TRUE(fs::exists(image));
  const uint64_t sectors = fs::file_size(image) / 2048;

  if (Have("command -v udfinfo")) {
    Outcome info = RunShell("udfinfo '" + image + "'", root / "udfinfo.txt");
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_EQ(info.output.find("arning"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("\nvid=PIPELINE_TITLE\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("\nnumdirs=5\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("\nnumfiles=9\n"), std::string::npos) << info.output;  // files and directories
    EXPECT_NE(info.output.find("blocks=1, type=ANCHOR\n", info.output.find("type=PSPACE")), std::string::npos)
        << "closing anchor at " << sectors - 1 << "\n" << info.output;
  }
  if (Have("/usr/bin/python3 -c 'import pycdlib'")) {
    WriteFile(root / "walk.py", kWalk);
    Outcome walk = RunShell("/usr/bin/python3 '" + (root / "walk.py") + "' '" + image + "' '" + (root / "title") + "'",
                         root / "walk.txt");
    EXPECT_EQ(walk.status, 0) << walk.output;
    EXPECT_NE(walk.output.find("read 4 files"), std::string::npos) << walk.output;
  }
  if (Have("command -v 7z")) {
    Outcome extract = RunShell("7z x -y '-o" + (root / "out") + "' '" + image + "'", root / "7z.txt");
    EXPECT_EQ(extract.status, 0) << extract.output;
    EXPECT_NE(extract.output.find("Type = Udf"), std::string::npos) << extract.output;
    Outcome diff = RunShell("diff -r '" + (root / "title") + "' '" + (root / "out") + "'", root / "diff.txt");
    EXPECT_EQ(diff.status, 0) << diff.output;
  }
}

}  // namespace
}  // namespace pravel
