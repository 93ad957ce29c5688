#include "output/ddp_folder.h"

#include <algorithm>
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
constexpr int kNotLoaded = 0x3A00;  // MEDIUM_NOT_PRESENT

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
    if (!confirmed_ && !ClearEarlierSet()) return kNotLoaded;
    confirmed_ = true;
    loaded_ = true;
    return kGood;
  }

  int Rewind(int) override { return FinishTape() ? kGood : kWriteError; }

  int WriteVariableBlock(int, const uint8_t* data, size_t length) override {
    if (!loaded_) return kNotLoaded;
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
    for (const char* layer : kLayerFolders) {
      for (const char* name : kSetFiles) platform::RemoveFile(folder_ + "/" + layer + "/" + name);
    }
    return true;
  }

  bool AppendData(const uint8_t* data, size_t length) {
    if (!file_ && !StartFile(data, length)) return false;
    md5_.Update(data, length);
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
    md5_ = Md5();
    return true;
  }

  bool Flush() {
    if (gathered_.empty()) return true;
    const bool written = file_->Write(gathered_.data(), gathered_.size());
    gathered_.clear();
    return written || Failed(path_, file_->LastError());
  }

  bool EndFile() {
    if (!file_) return true;
    const bool done = Flush() && (file_->Close() || Failed(path_, file_->LastError()));
    file_.reset();
    sums_.emplace_back(fileName_, md5_.HexDigest());
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
  Md5 md5_;
  std::vector<std::pair<std::string, std::string>> sums_;
};

}  // namespace

std::unique_ptr<platform::TapeLibrary> MakeDdpFolderLibrary(Job& job, const std::string& folder) {
  return std::make_unique<DdpFolderLibrary>(job, folder);
}

}  // namespace pravel
