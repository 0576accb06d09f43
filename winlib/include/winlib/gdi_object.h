// Winlib's names of the GDI owners: a font or bitmap (DeleteObject) and a memory device
// context that puts back its original bitmap before DeleteDC.
#pragma once

#include <windows.h>

#include "common/win/gdi_object.h"

namespace DuiLib {

using kiv_common::UniqueGdiObject;

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

// A memory DC with one bitmap selected into it; the bitmap is owned too.
class MemoryDcWithBitmap {
 public:
  MemoryDcWithBitmap() = default;
  MemoryDcWithBitmap(const MemoryDcWithBitmap&) = delete;
  MemoryDcWithBitmap& operator=(const MemoryDcWithBitmap&) = delete;
  ~MemoryDcWithBitmap() { Reset(); }

  // Replaces what is held by a DC compatible with `reference` holding `bitmap`.
  bool Reset(HDC reference, HBITMAP bitmap) {
    Reset();
    if (!bitmap) return false;
    m_dc = ::CreateCompatibleDC(reference);
    m_bitmap.Reset(bitmap);
    if (!m_dc) return false;
    m_old = ::SelectObject(m_dc, bitmap);
    return true;
  }
  void Reset() {
    if (m_dc) {
      ::SelectObject(m_dc, m_old);
      ::DeleteDC(m_dc);
    }
    m_dc = nullptr;
    m_old = nullptr;
    m_bitmap.Reset();
  }
  HDC dc() const { return m_dc; }

 private:
  HDC m_dc = nullptr;
  HGDIOBJ m_old = nullptr;
  UniqueBitmap m_bitmap;  // released after the DC lets go of it
};

}  // namespace DuiLib
