// A picture copied out of a device context as device-independent pixels, and written as a
// .bmp file (the test hosts' screenshots; testing/hosts/bmp_picture.h reads the 24-bit ones).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kiv_test {

struct DibPixels {
  BITMAPINFOHEADER format = {};
  std::vector<char> bytes;  // rows of 4-byte multiples, in the format's row order
};

// `width` x `height` pixels from (x, y) of `source`, 24 or 32 bits each, the top row first
// when `topDown`, else the bottom row first. Empty bytes when GDI fails.
DibPixels CopyPixels(HDC source, int x, int y, int width, int height, int bitCount, bool topDown);

bool WriteBmp(const std::string& path, const DibPixels& picture);

}  // namespace kiv_test
