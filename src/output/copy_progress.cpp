#include "output/copy_progress.h"

#include "job/runtime.h"

namespace pravel {
namespace {

std::string FormatTimeLeft(uint64_t seconds) {
  using ull = unsigned long long;
  if (seconds >= 3600) {
    return Format("%llu:%02llu:%02llu", static_cast<ull>(seconds / 3600), static_cast<ull>(seconds / 60 % 60),
                  static_cast<ull>(seconds % 60));
  }
  return Format("%llu:%02llu", static_cast<ull>(seconds / 60), static_cast<ull>(seconds % 60));
}

std::string FormatRate(double bytesPerSecond) {
  double megabytes = bytesPerSecond / 1e6;
  return megabytes >= 10 ? Format("%.0f MB/s", megabytes) : Format("%.1f MB/s", megabytes);
}

}  // namespace

std::string FormatByteSize(uint64_t bytes) {
  constexpr double kKiB = 1024.0;
  if (bytes < 1024) return Format("%llu bytes", static_cast<unsigned long long>(bytes));
  double value = static_cast<double>(bytes);
  if (value < kKiB * kKiB) return Format("%.1f KiB", value / kKiB);
  if (value < kKiB * kKiB * kKiB) return Format("%.1f MiB", value / (kKiB * kKiB));
  return Format("%.1f GiB", value / (kKiB * kKiB * kKiB));
}

std::string FormatCopyProgress(const std::string& name, uint64_t done, uint64_t total, uint64_t elapsedMs) {
  std::string text = "Add to image -> " + name + "  " + FormatByteSize(done) + " of " + FormatByteSize(total);
  if (elapsedMs == 0 || done == 0) return text;
  double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs);
  uint64_t left = done >= total ? 0 : static_cast<uint64_t>(static_cast<double>(total - done) / rate + 0.5);
  return text + ", " + FormatRate(rate) + ", " + FormatTimeLeft(left) + " left";
}

CopyProgress::CopyProgress(Job& job, uint64_t totalBytes) : job_(job), total_(totalBytes) { startTick_ = Now(); }

uint64_t CopyProgress::Now() {
  return job_.clock ? job_.clock->ElapsedMilliseconds() : systemClock_.ElapsedMilliseconds();
}

void CopyProgress::StartFile(const std::string& name) {
  name_ = name;
  Show();
}

void CopyProgress::Advance(uint64_t bytes) {
  done_ += bytes;
  Show();
}

void CopyProgress::Show() {
  uint64_t now = Now();
  // Tick counts wrap; unsigned differences stay right across the wrap.
  if (shown_ && now - lastShown_ < kIntervalMs) return;
  shown_ = true;
  lastShown_ = now;
  ShowStatus(job_, FormatCopyProgress(name_, done_, total_, now - startTick_));
}

}  // namespace pravel
