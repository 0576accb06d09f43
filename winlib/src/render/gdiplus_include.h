// GDI+ needs min/max and the COM declarations that NOMINMAX and WIN32_LEAN_AND_MEAN remove.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

namespace DuiLib {

// Starts GDI+ once for the process; it stays up until the process ends.
void EnsureGdiplus();

}  // namespace DuiLib
