// Winlib's names of the GDI owners: a font, bitmap or brush (DeleteObject) and a memory device
// context that puts back its original bitmap before DeleteDC.
#pragma once

#include <windows.h>

#include "common/win/gdi_object.h"

namespace DuiLib {

using kiv_common::UniqueGdiObject;

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

using kiv_common::MemoryDcWithBitmap;

}  // namespace DuiLib
