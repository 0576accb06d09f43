// Layouts of the YUV frames a render accepts, their sizes, and their conversion to
// 32-bit BGRA rows for drawing (BT.601 studio range). Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessarine {

enum class FrameLayout { kI420, kYV12, kNV12, kNV21 };

// The layout of a FourCC (I420, YV12, NV12, NV21); false for any other.
bool LayoutOfFourcc(uint32_t fourcc, FrameLayout* layout);

// Bytes a frame needs: luma rows of `stride` bytes (stride >= width), chroma at half
// resolution (rounded up) with rows of (stride + 1) / 2 bytes per plane, or `stride`
// bytes of interleaved pairs. 0 when the size is impossible.
size_t FrameBytes(FrameLayout layout, int32_t width, int32_t height, int32_t stride);

// Converts the frame into `width` x `height` BGRA pixels (0xAARRGGBB words, alpha 255),
// top row first.
void ConvertToBgra(FrameLayout layout, const uint8_t* data, int32_t width, int32_t height, int32_t stride,
                   uint32_t* out);

}  // namespace tessarine
