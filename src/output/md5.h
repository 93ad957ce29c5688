// The MD5 message digest, for the checksum lists that go with a DDP set
// written as files (a list that `md5sum -c` reads).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pravel {

class Md5 {
 public:
  Md5();
  void Update(const uint8_t* data, size_t size);
  // The digest as 32 lower-case hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Transform(const uint8_t* block);

  std::array<uint32_t, 4> state_;
  std::array<uint8_t, 64> block_{};
  size_t blockUsed_ = 0;
  uint64_t totalBytes_ = 0;
};

}  // namespace pravel
