// Winlib's names of the GDI owners: a font or bitmap (DeleteObject) and a memory device
// context that puts back its original bitmap before DeleteDC.
#pragma once

#include <windows.h>

#include "common/win/gdi_object.h"

namespace DuiLib {

using kiv_common::UniqueGdiObject;

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

using kiv_common::MemoryDcWithBitmap;

}  // namespace DuiLib
