// Conversions shared by the local and remote video streams.
#pragma once

#include <cstdint>

namespace kiv_core {

// I420 1, YV12 2, NV12 3, NV21 4, any other FourCC 0.
int VideoFormatCode(uint32_t fourcc);

// 1, 2 and 3 stay; any other render mode becomes 3 (aspect fit).
int ConvertRenderMode(int mode);

// Bits per second for a picture size and frame rate: 10000 per frame at 320x240, growing
// by half for every tripling of the area (23980 at 640x480, 80000 at 1920x1080).
int VideoBitrate(int width, int height, int frameRate);

}  // namespace kiv_core
