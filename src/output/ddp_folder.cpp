#include "output/ddp_folder.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <optional>
#include <utility>
#include <vector>

#include "job/runtime.h"
#include "output/ddp_description.h"
#include "output/md5.h"
#include "output/tape_labels.h"
#include "platform/files.h"

namespace pravel {

namespace {

using platform::tape_status::kGood;
using platform::tape_status::kWriteError;

constexpr int kDriveIndex = 0;
constexpr size_t kWriteGather = 1 << 20;

// The names a set written here can hold; only these are replaced.
constexpr const char* kSetFiles[] = {"DDPID", "CONTROL.DAT", "LAYER0.DAT", "LAYER1.DAT", "MD5SUMS"};
constexpr const char* kLayerFolders[] = {"LAYER0", "LAYER1"};

std::string Trimmed(const uint8_t* text, size_t width) {
  std::string value(reinterpret_cast<const char*>(text), width);
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

bool IsLabel(const uint8_t* data, size_t length, const char* identifier) {
  return length == kLabelBytes && std::equal(identifier, identifier + 4, data);
}

// Digests the bytes handed to it, in order, on a thread of its own, so that
// the digest of a large file costs no time of the copy.
class DigestThread {
 public:
  DigestThread() : worker_([this] { Run(); }) {}
  ~DigestThread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  DigestThread(const DigestThread&) = delete;
  DigestThread& operator=(const DigestThread&) = delete;

  // Digests `bytes` after those added before; gives back an emptied buffer
  // to fill next. Waits while a few buffers are still to be digested.
  std::vector<uint8_t> Add(std::vector<uint8_t> bytes) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedBuffers; });
    queue_.push_back(std::move(bytes));
    changed_.notify_all();
    if (spare_.empty()) return {};
    std::vector<uint8_t> spare = std::move(spare_.back());
    spare_.pop_back();
    return spare;
  }

  // The digest of everything added since the last call.
  std::string Finish() {
    std::unique_lock lock(mutex_);
    finishing_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return digest_.has_value(); });
    std::string digest = std::move(*digest_);
    digest_.reset();
    return digest;
  }

 private:
  static constexpr size_t kQueuedBuffers = 4;

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !queue_.empty() || finishing_ || stopping_; });
      if (!queue_.empty()) {
        std::vector<uint8_t> bytes = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        md5_.Update(bytes.data(), bytes.size());
        bytes.clear();
        lock.lock();
        spare_.push_back(std::move(bytes));
        changed_.notify_all();
      } else if (finishing_) {
        digest_ = md5_.HexDigest();
        md5_ = Md5();
        finishing_ = false;
        changed_.notify_all();
      } else {
        return;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> queue_;
  std::vector<std::vector<uint8_t>> spare_;
  bool finishing_ = false;
  bool stopping_ = false;
  std::optional<std::string> digest_;
  Md5 md5_;
  std::thread worker_;
};

class DdpFolderLibrary final : public platform::TapeLibrary {
 public:
  DdpFolderLibrary(Job& job, std::string folder) : job_(job), folder_(std::move(folder)) {}

  int GetDeviceType(int index) override {
    return index == kDriveIndex ? platform::kSequentialAccessDevice : platform::kNoDevice;
  }
  int TestUnitReady(int) override { return kGood; }
  int Erase(int, int) override { return kGood; }
  bool MountsNextCartridgeItself() const override { return true; }

  int Load(int) override {
    if (!confirmed_ && !ClearEarlierSet()) return platform::tape_status::kNoMedium;
    confirmed_ = true;
    loaded_ = true;
    return kGood;
  }

  int Rewind(int) override { return FinishTape() ? kGood : kWriteError; }

  int WriteVariableBlock(int, const uint8_t* data, size_t length) override {
    if (!loaded_) return platform::tape_status::kNoMedium;
    if (inData_) return AppendData(data, length) ? kGood : kWriteError;
    if (IsLabel(data, length, "HDR1")) fileName_ = Trimmed(data + file_label1::kFileIdentifier, file_label1::kFileIdentifierWidth);
    lastLabel_.assign(reinterpret_cast<const char*>(data), std::min<size_t>(length, 4));
    return kGood;
  }

  int WriteFilemarks(int, int count) override {
    for (int i = 0; i < count; ++i) {
      if (inData_) {
        inData_ = false;
        if (!EndFile()) return kWriteError;
      } else if (lastLabel_ == "HDR2") {
        inData_ = true;
        lastLabel_.clear();
      }
    }
    return kGood;
  }

 private:
  // Asks before a folder with files in it is written over, then removes the
  // files of an earlier set (and only those).
  bool ClearEarlierSet() {
    std::vector<platform::DirEntry> entries;
    std::string error;
    if (platform::ListDirectory(folder_, entries, error) && !entries.empty() &&
        !AskYesNo(job_, Format("The folder %s already holds files. Overwrite the DDP set in it?", folder_.c_str()),
                  "Are you sure?"))
      return false;
    // A file of the earlier set that stays would pass for part of the new one.
    for (const char* layer : kLayerFolders) {
      for (const char* name : kSetFiles) {
        const std::string path = folder_ + "/" + layer + "/" + name;
        if (platform::RemoveFile(path)) continue;
        const std::string why = platform::LastErrorText();
        if (platform::PathExists(path)) return Failed(path, "the file of an earlier set can not be removed: " + why);
      }
    }
    return true;
  }

  bool AppendData(const uint8_t* data, size_t length) {
    if (!file_ && !StartFile(data, length)) return false;
    gathered_.insert(gathered_.end(), data, data + length);
    return gathered_.size() < kWriteGather || Flush();
  }

  // The tape's folder follows from its description: the layer it carries.
  bool StartFile(const uint8_t* data, size_t length) {
    if (tapeFolder_.empty()) {
      const bool layer2 = fileName_ == "DDPID" && length > ddp_identifier::kLayer && data[ddp_identifier::kLayer] == '1';
      tapeFolder_ = folder_ + "/" + kLayerFolders[layer2 ? 1 : 0];
      if (!platform::CreateDirectories(tapeFolder_)) return Failed(tapeFolder_, platform::LastErrorText());
    }
    path_ = tapeFolder_ + "/" + fileName_;
    file_ = platform::File::Open(path_, platform::File::Mode::kCreate);
    if (!file_) return Failed(path_, platform::LastErrorText());
    return true;
  }

  bool Flush() {
    if (gathered_.empty()) return true;
    const bool written = file_->Write(gathered_.data(), gathered_.size());
    gathered_ = digests_.Add(std::move(gathered_));
    return written || Failed(path_, file_->LastError());
  }

  bool EndFile() {
    if (!file_) return true;
    const bool done = Flush() && (file_->Close() || Failed(path_, file_->LastError()));
    file_.reset();
    sums_.emplace_back(fileName_, digests_.Finish());
    return done;
  }

  bool FinishTape() {
    if (!EndFile()) return false;
    if (tapeFolder_.empty()) return true;
    std::string list;
    for (const auto& [name, digest] : sums_) list += digest + "  " + name + "\n";
    const std::string path = tapeFolder_ + "/MD5SUMS";
    auto file = platform::File::Open(path, platform::File::Mode::kCreate);
    const bool written = file && file->WriteText(list) && file->Close();
    if (!written) return Failed(path, file ? file->LastError() : platform::LastErrorText());
    tapeFolder_.clear();
    sums_.clear();
    return true;
  }

  bool Failed(const std::string& path, const std::string& reason) {
    ShowMessage(job_, Format("Can not write %s: %s", path.c_str(), reason.c_str()), "Fatal IO error!");
    return false;
  }

  Job& job_;
  std::string folder_;
  bool confirmed_ = false;
  bool loaded_ = false;
  bool inData_ = false;
  std::string lastLabel_;
  std::string fileName_;
  std::string tapeFolder_;
  std::string path_;
  std::optional<platform::File> file_;
  std::vector<uint8_t> gathered_;
  DigestThread digests_;
  std::vector<std::pair<std::string, std::string>> sums_;
};

}  // namespace

std::unique_ptr<platform::TapeLibrary> MakeDdpFolderLibrary(Job& job, const std::string& folder) {
  return std::make_unique<DdpFolderLibrary>(job, folder);
}

}  // namespace pravel
