#include "winlib/offscreen_buffer.h"

#include "render_internal.h"

namespace DuiLib {

HDC OffscreenBuffer::Ensure(HDC screen, int cx, int cy) {
  if (m_buffer.dc() && m_size.cx >= cx && m_size.cy >= cy) return m_buffer.dc();
  void* bits = nullptr;
  if (!m_buffer.Reset(screen, CreateTopDownDib(screen, cx, cy, &bits))) {
    m_size = SIZE{0, 0};
    return nullptr;
  }
  m_size = SIZE{cx, cy};
  return m_buffer.dc();
}

}  // namespace DuiLib
