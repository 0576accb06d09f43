// Reads the 24-bit bottom-up BMP screenshots that the test hosts write.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kiv_test {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// An empty picture when the file is missing or short.
inline Picture ReadBmp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Picture p;
  if (b.size() < 54) return p;
  auto u32 = [&](size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
  };
  const uint32_t offset = u32(10);
  p.width = static_cast<int>(u32(18));
  p.height = static_cast<int>(u32(22));
  const size_t stride = ((p.width * 3 + 3) / 4) * 4;
  if (b.size() < offset + stride * p.height) return Picture();
  for (int y = 0; y < p.height; ++y) {
    const unsigned char* row = &b[offset + stride * (p.height - 1 - y)];
    for (int x = 0; x < p.width; ++x) {
      p.pixels.push_back(uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x]);
    }
  }
  return p;
}

}  // namespace kiv_test
