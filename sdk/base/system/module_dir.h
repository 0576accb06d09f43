// Directory of a module's file.
#pragma once

#include <windows.h>

namespace ZORVANTE {

// Drive and directory of the module's file, ending in a backslash (null module: the host
// program). The text lives in one process-wide buffer that every call overwrites.
const wchar_t* GetModuleDir(HMODULE module);

}  // namespace ZORVANTE
