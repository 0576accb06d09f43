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
    dc_ = ::CreateCompatibleDC(reference);
    bitmap_.Reset(bitmap);
    if (!dc_) return false;
    old_ = ::SelectObject(dc_, bitmap);
    return true;
  }
  void Reset() {
    if (dc_) {
      ::SelectObject(dc_, old_);
      ::DeleteDC(dc_);
    }
    dc_ = nullptr;
    old_ = nullptr;
    bitmap_.Reset();
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  UniqueBitmap bitmap_;  // released after the DC lets go of it
};

}  // namespace DuiLib
