// The operations of the PMDll function table: Init, Uninit, GetObject.
#pragma once

#include <string>
#include <vector>

#include "avcore/entry.h"

namespace tessarine {

// Fills `table` for PMDll (its size already checked by the caller).
void FillFunctionTable(avcore::PMDllFunctionTable* table);

// True between a successful Init and Uninit.
[[nodiscard]] bool FrameworkInitialised();

// The directories of the list the last successful Init received, in order (each ending
// in a backslash); kept after Uninit.
[[nodiscard]] std::vector<std::wstring> FrameworkDirectories();

}  // namespace tessarine
