// The virtual tape drive (AWS tape files) and the system tape driver's status
// mapping.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "platform/system_tape.h"
#include "platform/tape_library.h"
#include "support/test_support.h"

namespace pravel::platform {
namespace {

using namespace testing;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

std::string Pattern(size_t length, char seed) {
  std::string block(length, '\0');
  for (size_t i = 0; i < length; ++i) block[i] = static_cast<char>(seed + i * 7);
  return block;
}

int Write(TapeLibrary& tape, const std::string& block) {
  return tape.WriteVariableBlock(0, reinterpret_cast<const uint8_t*>(block.data()), block.size());
}

// A drive over a fresh folder, with every overwrite question answered by `answer`.
struct Drive {
  explicit Drive(bool answer = true)
      : tape(MakeVirtualTapeLibrary(folder.path(), [this, answer](const std::string& path) {
          asked.push_back(path);
          return answer;
        })) {}
  std::string Cartridge(int number) const { return folder / ("TAPE000" + std::to_string(number) + ".AWS"); }
  TempDir folder;
  std::vector<std::string> asked;
  std::unique_ptr<TapeLibrary> tape;
};

// Blocks of 1 to 65,535 bytes; a write after a rewind ends the tape there;
// erase empties the mounted cartridge. (Other programs' AWS readers read whole
// tapes of the tape output.)
TEST(VirtualTape, BlockLengthsAWriteAfterARewindAndErase) {
  Drive drive;
  TapeLibrary& tape = *drive.tape;
  EXPECT_NE(tape.Erase(0, 1), 0);  // no cartridge yet
  ASSERT_EQ(tape.Load(0), 0);
  for (char seed : {'a', 'b', 'c'}) ASSERT_EQ(Write(tape, Pattern(32768, seed)), 0);
  ASSERT_EQ(tape.WriteFilemarks(0, 1), 0);
  EXPECT_EQ(Write(tape, std::string(65536, 'x')), tape_status::kInvalidField);
  EXPECT_EQ(Write(tape, std::string()), tape_status::kInvalidField);
  ASSERT_EQ(tape.Rewind(0), 0);
  ASSERT_EQ(Write(tape, std::string(65535, 'x')), 0);
  ASSERT_EQ(tape.Rewind(0), 0);
  EXPECT_EQ(ReadFile(drive.Cartridge(1)), Bytes({0xFF, 0xFF, 0, 0, 0xA0, 0}) + std::string(65535, 'x'));
  EXPECT_EQ(tape.Erase(0, 1), 0);
  EXPECT_EQ(tape.Rewind(0), 0);
  EXPECT_EQ(ReadFile(drive.Cartridge(1)), "");
}

TEST(VirtualTape, ALoadAfterWritingMountsTheNextCartridge) {
  Drive drive;
  TapeLibrary& tape = *drive.tape;
  ASSERT_EQ(tape.Load(0), 0);
  ASSERT_EQ(tape.Load(0), 0);  // nothing written: the same cartridge
  ASSERT_EQ(Write(tape, "first"), 0);
  ASSERT_EQ(tape.Rewind(0), 0);
  ASSERT_EQ(tape.Load(0), 0);
  ASSERT_EQ(Write(tape, "second"), 0);
  ASSERT_EQ(tape.Load(0), 0);  // without a rewind between
  const std::string third = Pattern(32768, 't');
  ASSERT_EQ(Write(tape, third), 0);
  drive.tape.reset();  // the end of the library writes what it holds

  EXPECT_EQ(ReadFile(drive.Cartridge(1)).substr(6), "first");
  EXPECT_EQ(ReadFile(drive.Cartridge(2)).substr(6), "second");
  EXPECT_EQ(ReadFile(drive.Cartridge(3)).substr(6), third);
  EXPECT_FALSE(Exists(drive.Cartridge(4)));
  EXPECT_TRUE(drive.asked.empty());
}

TEST(VirtualTape, ACartridgeHoldingDataIsOverwrittenOnlyWhenAllowed) {
  for (bool answer : {false, true}) {
    SCOPED_TRACE(answer);
    Drive drive(answer);
    WriteFile(drive.Cartridge(1), "an earlier run's tape");
    WriteFile(drive.Cartridge(2), "");  // empty: no question

    const int loaded = drive.tape->Load(0);
    ASSERT_EQ(drive.asked, std::vector<std::string>{drive.Cartridge(1)});
    if (!answer) {
      EXPECT_NE(loaded, 0);
      EXPECT_NE(Write(*drive.tape, "new"), 0);  // nothing mounted
      EXPECT_EQ(ReadFile(drive.Cartridge(1)), "an earlier run's tape");
      continue;
    }
    ASSERT_EQ(loaded, 0);
    ASSERT_EQ(drive.tape->Load(0), 0);  // still the same cartridge: asked once
    ASSERT_EQ(Write(*drive.tape, "new"), 0);
    ASSERT_EQ(drive.tape->Load(0), 0);
    EXPECT_EQ(drive.asked.size(), 1u);
    EXPECT_EQ(ReadFile(drive.Cartridge(1)), Bytes({3, 0, 0, 0, 0xA0, 0}) + "new");
  }
}

// Only index 0 of an existing folder is a drive, and only a writable one is ready.
TEST(VirtualTape, OnlyIndexZeroOfAnExistingWritableFolderIsAReadyDrive) {
  TempDir folder;
  auto tape = MakeVirtualTapeLibrary(folder.path(), nullptr);
  auto missing = MakeVirtualTapeLibrary(folder / "missing", nullptr);
  EXPECT_EQ(tape->GetDeviceType(0), kSequentialAccessDevice);
  EXPECT_EQ(tape->TestUnitReady(0), 0);
  for (int index : {1, 15, -1}) EXPECT_EQ(tape->GetDeviceType(index), kNoDevice) << index;
  EXPECT_EQ(missing->GetDeviceType(0), kNoDevice);
  EXPECT_NE(missing->Load(0), 0);
  ::chmod(folder.path().c_str(), 0555);
  if (::access(folder.path().c_str(), W_OK) == 0) GTEST_SKIP() << "running with the right to write anywhere";
  EXPECT_EQ(tape->GetDeviceType(0), kSequentialAccessDevice);
  EXPECT_NE(tape->TestUnitReady(0), 0);
  EXPECT_NE(tape->Load(0), 0);
}

// Files of this process may grow to `limit` bytes; a write past it fails
// with EFBIG instead of killing the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    savedSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved_;
    lower.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedSignal_);
  }

 private:
  rlimit saved_{};
  void (*savedSignal_)(int) = SIG_DFL;
};

TEST(VirtualTape, AFailedFileWriteIsAWriteErrorToldByTheNextLabelMarkOrRewind) {
  // After a label and three data blocks, which do not fit under the limit, comes:
  for (const std::string next : {"mark", "label", "rewind", "load"}) {
    SCOPED_TRACE(next);
    Drive drive;
    TapeLibrary& tape = *drive.tape;
    ASSERT_EQ(tape.Load(0), 0);
    FileSizeLimit limit(65536);
    EXPECT_EQ(Write(tape, Pattern(80, 'l')), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Write(tape, Pattern(32768, 'd')), 0) << i;
    const int told = next == "label"  ? Write(tape, Pattern(80, 'e'))
                     : next == "mark"   ? tape.WriteFilemarks(0, 1)
                     : next == "rewind" ? tape.Rewind(0)
                                          : tape.Load(0);
    EXPECT_EQ(told, tape_status::kWriteError);
    if (next == "load") {
      EXPECT_EQ(tape.Load(0), 0);  // told once; this one mounts the next cartridge
      EXPECT_TRUE(Exists(drive.Cartridge(2)));
      continue;
    }
    if (next != "rewind") {
      // It stays until the tape is rewound, which tells it once more.
      EXPECT_EQ(Write(tape, Pattern(80, 'e')), tape_status::kWriteError);
      EXPECT_EQ(tape.WriteFilemarks(0, 1), tape_status::kWriteError);
      EXPECT_EQ(tape.Rewind(0), tape_status::kWriteError);
    }
    EXPECT_EQ(Write(tape, Pattern(80, 'f')), 0);  // written from the start again
    EXPECT_EQ(tape.Rewind(0), 0);
  }
}

TEST(VirtualTape, ALongRunOfDataBlocksFailsAtTheWriteThatGoesToDisk) {
  Drive drive;
  ASSERT_EQ(drive.tape->Load(0), 0);
  FileSizeLimit limit(65536);
  std::vector<int> statuses;
  for (int i = 0; i < 40; ++i) statuses.push_back(Write(*drive.tape, Pattern(32768, 'd')));
  // about 1 MiB is gathered before it is written
  EXPECT_EQ(statuses[0], 0);
  EXPECT_EQ(statuses[30], 0);
  EXPECT_EQ(statuses[39], tape_status::kWriteError);
}

TEST(SystemTape, DriverErrorsAsDeviceStatus) {
  const std::pair<int, int> cases[] = {{ENOSPC, 0x0002}, {EROFS, 0x2700}, {EACCES, 0x2700},
                                       {ENOMEDIUM, 0x3A00}, {EIO, 0x0C00}, {EINVAL, 0x0C00}};
  for (const auto& [error, status] : cases) EXPECT_EQ(TapeStatusFromErrno(error), status) << error;
}

TEST(SystemTape, NoDriveAnswersWhereThereIsNoDevice) {
  auto tape = MakeSystemTapeLibrary();
  for (int index : {15, 16, -1}) EXPECT_EQ(tape->GetDeviceType(index), kNoDevice) << index;
  EXPECT_NE(tape->TestUnitReady(15), 0);
  EXPECT_NE(tape->Load(15), 0);
  EXPECT_NE(Write(*tape, "x"), 0);  // index 0: no /dev/nst0 here either, or no cartridge
}

}  // namespace
}  // namespace pravel::platform
