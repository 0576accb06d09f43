#include "server/documents/jpeg_size.h"

#include <fstream>

namespace kiv_server {
namespace {

bool IsFrameMarker(int m) { return m >= 0xc0 && m <= 0xcf && m != 0xc4 && m != 0xc8 && m != 0xcc; }

}  // namespace

bool ReadJpegSize(const std::string& path, ImageSize* size) {
  std::ifstream in(path, std::ios::binary);
  if (in.get() != 0xff || in.get() != 0xd8) return false;
  for (int segments = 0; segments < 1000; ++segments) {
    int c = in.get();
    if (c != 0xff) return false;
    while (c == 0xff) c = in.get();
    if (!in) return false;
    const int marker = c;
    if (marker == 0xd8 || (marker >= 0xd0 && marker <= 0xd7) || marker == 0x01) continue;
    const int len = (in.get() << 8) | in.get();
    if (!in || len < 2) return false;
    if (IsFrameMarker(marker)) {
      unsigned char f[5];
      if (len < 7 || !in.read(reinterpret_cast<char*>(f), 5)) return false;
      size->height = (f[1] << 8) | f[2];
      size->width = (f[3] << 8) | f[4];
      return size->width > 0 && size->height > 0;
    }
    in.seekg(len - 2, std::ios::cur);
  }
  return false;
}

}  // namespace kiv_server
