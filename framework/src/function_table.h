// The operations of the PMDll function table: Init, Uninit, GetObject.
#pragma once

#include "avcore/entry.h"

namespace tessarine {

// Fills `table` for PMDll (its size already checked by the caller).
void FillFunctionTable(avcore::PMDllFunctionTable* table);

// True between a successful Init and Uninit.
[[nodiscard]] bool FrameworkInitialised();

}  // namespace tessarine
