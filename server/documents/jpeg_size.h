// The pixel size of a JPEG file, read from its frame header (no decoding).
#pragma once

#include <string>

namespace kiv_server {

struct ImageSize {
  int width = 0;
  int height = 0;
};

// false when the file is not a JPEG with a frame header.
bool ReadJpegSize(const std::string& path, ImageSize* size);

}  // namespace kiv_server
