#include "winlib/offscreen_buffer.h"

#include "render_internal.h"

namespace DuiLib {

HDC OffscreenBuffer::Ensure(HDC screen, int cx, int cy) {
  if (buffer_.dc() && size_.cx >= cx && size_.cy >= cy) return buffer_.dc();
  void* bits = nullptr;
  if (!buffer_.Reset(screen, CreateTopDownDib(screen, cx, cy, &bits))) {
    size_ = SIZE{0, 0};
    return nullptr;
  }
  size_ = SIZE{cx, cy};
  return buffer_.dc();
}

}  // namespace DuiLib
