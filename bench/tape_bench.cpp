// Benchmark of the virtual tape drive: writes a title's worth of
// 32,768-byte blocks to an AWS file the way the tape output does (labels,
// marks, data blocks, a rewind), and the same bytes to a plain file in
// 1 MiB writes, and prints the time and rate of each.
//
// Usage: bench_tape FOLDER [MiB]   (default 1024 MiB; the files are removed)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/tape_library.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Report(const char* what, double seconds, double mebibytes) {
  std::printf("%-28s %8.2f s %9.1f MiB/s\n", what, seconds, mebibytes / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_tape FOLDER [MiB]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const long mebibytes = argc > 2 ? std::atol(argv[2]) : 1024;
  const long blocks = mebibytes * 32;
  std::vector<uint8_t> block(32768, 0x5A), label(80, ' ');

  auto tape = pravel::platform::MakeVirtualTapeLibrary(folder, [](const std::string&) { return true; });
  Clock::time_point start = Clock::now();
  if (tape->Load(0) != 0 || tape->Rewind(0) != 0) return 1;
  for (int i = 0; i < 3; ++i) tape->WriteVariableBlock(0, label.data(), label.size());
  tape->WriteFilemarks(0, 1);
  for (long i = 0; i < blocks; ++i)
    if (tape->WriteVariableBlock(0, block.data(), block.size()) != 0) return 1;
  tape->WriteFilemarks(0, 1);
  const double written = Seconds(start);
  if (tape->Rewind(0) != 0) return 1;
  Report("tape: blocks written", written, static_cast<double>(mebibytes));
  Report("tape: with the rewind's sync", Seconds(start), static_cast<double>(mebibytes));
  tape.reset();
  pravel::platform::RemoveFile(folder + "/TAPE0001.AWS");

  std::vector<uint8_t> chunk(1 << 20, 0x5A);
  const std::string plain = folder + "/plain.bin";
  start = Clock::now();
  auto file = pravel::platform::File::Open(plain, pravel::platform::File::Mode::kCreate);
  if (!file) return 1;
  for (long i = 0; i < mebibytes; ++i)
    if (!file->Write(chunk.data(), chunk.size())) return 1;
  if (!file->Sync()) return 1;
  Report("plain file, 1 MiB writes", Seconds(start), static_cast<double>(mebibytes));
  file->Close();
  pravel::platform::RemoveFile(plain);
  return 0;
}
