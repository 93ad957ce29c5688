#include "output/md5.h"

#include <algorithm>
#include <cstring>

#include "iso/byte_fields.h"

namespace pravel {

namespace {

// Per-round left rotations.
constexpr uint8_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// floor(abs(sin(i + 1)) * 2^32).
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t value, unsigned count) { return (value << count) | (value >> (32 - count)); }

struct Registers {
  uint32_t a, b, c, d;
};

// One step: a = b + ((a + f + sine + word) <<< shift), then the registers turn.
inline void Step(Registers& r, uint32_t f, int i, uint32_t word) {
  const uint32_t next = r.b + RotateLeft(r.a + f + kSine[i] + word, kShift[i]);
  r.a = r.d;
  r.d = r.c;
  r.c = r.b;
  r.b = next;
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Transform(const uint8_t* block) {
  uint32_t words[16];
  for (int i = 0; i < 16; ++i) words[i] = GetLe32(block + 4 * i);
  Registers r{state_[0], state_[1], state_[2], state_[3]};
  for (int i = 0; i < 16; ++i) Step(r, (r.b & r.c) | (~r.b & r.d), i, words[i]);
  for (int i = 16; i < 32; ++i) Step(r, (r.d & r.b) | (~r.d & r.c), i, words[(5 * i + 1) & 15]);
  for (int i = 32; i < 48; ++i) Step(r, r.b ^ r.c ^ r.d, i, words[(3 * i + 5) & 15]);
  for (int i = 48; i < 64; ++i) Step(r, r.c ^ (r.b | ~r.d), i, words[(7 * i) & 15]);
  state_[0] += r.a;
  state_[1] += r.b;
  state_[2] += r.c;
  state_[3] += r.d;
}

void Md5::Update(const uint8_t* data, size_t size) {
  totalBytes_ += size;
  while (size > 0) {
    if (blockUsed_ == 0 && size >= block_.size()) {
      Transform(data);
      data += block_.size();
      size -= block_.size();
      continue;
    }
    const size_t chunk = std::min(size, block_.size() - blockUsed_);
    std::memcpy(block_.data() + blockUsed_, data, chunk);
    blockUsed_ += chunk;
    data += chunk;
    size -= chunk;
    if (blockUsed_ == block_.size()) {
      Transform(block_.data());
      blockUsed_ = 0;
    }
  }
}

std::string Md5::HexDigest() {
  const uint64_t bits = totalBytes_ * 8;
  const uint8_t one = 0x80;
  Update(&one, 1);
  const uint8_t zero = 0;
  while (blockUsed_ != 56) Update(&zero, 1);
  uint8_t length[8];
  PutLe64(length, bits);
  Update(length, sizeof length);
  static const char kHex[] = "0123456789abcdef";
  std::string digest;
  for (uint32_t word : state_) {
    for (int i = 0; i < 4; ++i) {
      const auto byte = static_cast<uint8_t>(word >> (8 * i));
      digest += kHex[byte >> 4];
      digest += kHex[byte & 0x0F];
    }
  }
  return digest;
}

}  // namespace pravel
