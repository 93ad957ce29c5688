// The tape library over the system's SCSI tape driver: index i is the
// no-rewind device /dev/nst<i>, driven with the magnetic tape ioctls.
#include "platform/system_tape.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mtio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "platform/tape_library.h"

namespace pravel::platform {

int TapeStatusFromErrno(int error) {
  switch (error) {
    case ENOSPC: return tape_status::kEndOfMedium;
    case EROFS:
    case EACCES: return tape_status::kWriteProtected;
    case ENOMEDIUM: return tape_status::kNoMedium;
    default: return tape_status::kWriteError;
  }
}

namespace {

constexpr int kDeviceCount = 16;

std::string DevicePath(int index) { return "/dev/nst" + std::to_string(index); }

bool ValidIndex(int index) { return index >= 0 && index < kDeviceCount; }

// Opened without waiting for a cartridge, so that a drive without one still
// answers its status.
int OpenDevice(int index, int access) {
  return ::open(DevicePath(index).c_str(), access | O_NONBLOCK | O_CLOEXEC);
}

bool ReadStatus(int fd, mtget& status) { return ::ioctl(fd, MTIOCGET, &status) == 0; }

class SystemTapeLibrary final : public TapeLibrary {
 public:
  SystemTapeLibrary() { handles_.fill(-1); }
  ~SystemTapeLibrary() override {
    for (int fd : handles_)
      if (fd >= 0) ::close(fd);
  }

  int GetDeviceType(int index) override {
    if (!ValidIndex(index)) return kNoDevice;
    struct stat info;
    if (::stat(DevicePath(index).c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return kNoDevice;
    // The driver lets one open at a time: a drive already held answers on
    // its own handle (the next tape's search comes while it is held).
    mtget held{};
    if (handles_[index] >= 0) return ReadStatus(handles_[index], held) ? kSequentialAccessDevice : kNoDevice;
    const int fd = OpenDevice(index, O_RDONLY);
    if (fd < 0) return kNoDevice;
    mtget status{};
    const bool answers = ReadStatus(fd, status);
    ::close(fd);
    return answers ? kSequentialAccessDevice : kNoDevice;
  }

  int TestUnitReady(int index) override {
    int status = tape_status::kGood;
    const int fd = Handle(index, status);
    if (fd < 0) return status;
    mtget drive{};
    if (!ReadStatus(fd, drive)) return TapeStatusFromErrno(errno);
    if (GMT_DR_OPEN(drive.mt_gstat)) return tape_status::kNoMedium;
    return GMT_ONLINE(drive.mt_gstat) ? tape_status::kGood : tape_status::kNotReady;
  }

  // The cartridge just loaded may differ from the one before (write
  // protection, its own block mode): the device is opened afresh after it.
  int Load(int index) override {
    const int status = Command(index, MTLOAD, 0);
    if (status != tape_status::kGood) return status;
    Close(index);
    int reopened = tape_status::kGood;
    Handle(index, reopened);
    return reopened;
  }

  int Rewind(int index) override { return Command(index, MTREW, 0); }

  int WriteVariableBlock(int index, const uint8_t* data, size_t length) override {
    int status = tape_status::kGood;
    const int fd = Handle(index, status);
    if (fd < 0) return status;
    for (;;) {
      const ssize_t written = ::write(fd, data, length);
      if (written == static_cast<ssize_t>(length)) return tape_status::kGood;
      if (written >= 0) return tape_status::kEndOfMedium;  // a short block: the driver met the end
      if (errno != EINTR) return TapeStatusFromErrno(errno);
    }
  }

  int WriteFilemarks(int index, int count) override { return Command(index, MTWEOF, count); }

  // The driver's erase is long when its count is nonzero.
  int Erase(int index, int longErase) override { return Command(index, MTERASE, longErase); }

 private:
  // The open handle of a device, opened and set to variable-length blocks
  // on first use; -1 with `status` set when that fails.
  int Handle(int index, int& status) {
    if (!ValidIndex(index)) {
      status = tape_status::kNotReady;
      return -1;
    }
    int& fd = handles_[static_cast<size_t>(index)];
    if (fd >= 0) return fd;
    fd = OpenDevice(index, O_RDWR);
    if (fd < 0) {
      status = TapeStatusFromErrno(errno);
      return -1;
    }
    mtop variableBlocks{MTSETBLK, 0};
    if (::ioctl(fd, MTIOCTOP, &variableBlocks) != 0) {
      status = TapeStatusFromErrno(errno);
      Close(index);
      return -1;
    }
    return fd;
  }

  void Close(int index) {
    int& fd = handles_[static_cast<size_t>(index)];
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  int Command(int index, short operation, int count) {
    int status = tape_status::kGood;
    const int fd = Handle(index, status);
    if (fd < 0) return status;
    mtop command{operation, count};
    return ::ioctl(fd, MTIOCTOP, &command) == 0 ? tape_status::kGood : TapeStatusFromErrno(errno);
  }

  std::array<int, kDeviceCount> handles_;
};

}  // namespace

std::unique_ptr<TapeLibrary> MakeSystemTapeLibrary() { return std::make_unique<SystemTapeLibrary>(); }

}  // namespace pravel::platform
