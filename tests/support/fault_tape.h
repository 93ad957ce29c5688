// A tape library for tests: one drive that keeps what was written in memory,
// logs every command, and fails where it is told to.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/tape_library.h"

namespace pravel::testing {

// One thing on a tape: a block's bytes, or a tape mark.
struct TapeRecord {
  bool mark = false;
  std::string bytes;
  bool operator==(const TapeRecord&) const = default;
};
using Cartridge = std::vector<TapeRecord>;

// A tape's shape: block lengths and "*" for marks, space separated
// ("80 80 80 * 384 * 80 80 * *").
inline std::string Shape(const Cartridge& tape) {
  std::string shape;
  for (const TapeRecord& record : tape) {
    if (!shape.empty()) shape += ' ';
    shape += record.mark ? std::string("*") : std::to_string(record.bytes.size());
  }
  return shape;
}

class FaultTape : public platform::TapeLibrary {
 public:
  // --- What goes wrong. Counts start at 1; 0 means never.
  int deviceIndex = 0;        // where the drive answers; -1: no tape drive at all
  int notReadyPolls = 0;      // the first this many TestUnitReady answer kNotReady
  int loadStatus = 0;         // what every Load answers
  int failingWrite = 0;       // the Nth WriteVariableBlock answers writeStatus and writes nothing
  int writeStatus = platform::tape_status::kWriteError;
  int failingMark = 0;        // the Nth WriteFilemarks answers kWriteError and writes nothing
  int rewindStatus = 0;       // what every Rewind answers

  // --- What was sent.
  // Commands in order: "TestUnitReady", "Load", "Rewind", "Write 80",
  // "Filemarks 1", "Erase 1". GetDeviceType is only counted.
  std::vector<std::string> log;
  int deviceTypeQueries = 0;
  // One per successful Load, as written from its start.
  std::vector<Cartridge> cartridges;

  int GetDeviceType(int index) override {
    ++deviceTypeQueries;
    return index == deviceIndex ? platform::kSequentialAccessDevice : platform::kNoDevice;
  }

  int TestUnitReady(int index) override {
    Log(index, "TestUnitReady");
    if (polls_ >= notReadyPolls) return platform::tape_status::kGood;
    ++polls_;
    return platform::tape_status::kNotReady;
  }

  int Load(int index) override {
    Log(index, "Load");
    if (loadStatus != 0) return loadStatus;
    cartridges.emplace_back();
    position_ = 0;
    return platform::tape_status::kGood;
  }

  int Rewind(int index) override {
    Log(index, "Rewind");
    position_ = 0;
    return rewindStatus;
  }

  int WriteVariableBlock(int index, const uint8_t* data, size_t length) override {
    Log(index, "Write " + std::to_string(length));
    if (++writes_ == failingWrite) return writeStatus;
    return Put(TapeRecord{false, std::string(reinterpret_cast<const char*>(data), length)});
  }

  int WriteFilemarks(int index, int count) override {
    Log(index, "Filemarks " + std::to_string(count));
    if (++marks_ == failingMark) return platform::tape_status::kWriteError;
    for (int i = 0; i < count; ++i) Put(TapeRecord{true, {}});
    return platform::tape_status::kGood;
  }

  int Erase(int index, int longErase) override {
    Log(index, "Erase " + std::to_string(longErase));
    if (!cartridges.empty()) cartridges.back().clear();
    position_ = 0;
    return platform::tape_status::kGood;
  }

 private:
  void Log(int index, const std::string& entry) {
    if (index != deviceIndex) ADD_FAILURE() << entry << " sent to index " << index << ", no drive there";
    log.push_back(entry);
  }

  // Writing ends the tape behind the record written.
  int Put(TapeRecord record) {
    if (cartridges.empty()) return platform::tape_status::kNoMedium;
    Cartridge& tape = cartridges.back();
    tape.resize(position_);
    tape.push_back(std::move(record));
    ++position_;
    return platform::tape_status::kGood;
  }

  int polls_ = 0;
  int writes_ = 0;
  int marks_ = 0;
  size_t position_ = 0;
};

}  // namespace pravel::testing
