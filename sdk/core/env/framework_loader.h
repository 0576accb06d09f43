// Finds Tessarine32.dll at run time, binds its entry point, initialises it and obtains
// its root object. The core environment is the only caller.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "avcore/base_core.h"

namespace kiv_core {

// Search-list buffer, in wide characters.
constexpr size_t kFrameworkSearchListUnits = 2048;
// Log-directory buffer, in wide characters.
constexpr size_t kFrameworkLogDirUnits = 260;

// Searches the host program's directory, then each directory of `directoryList`
// (';'-separated, may be null). A log directory that does not exist is passed as "".
HRESULT LoadFramework(int flag, const wchar_t* directoryList, const wchar_t* logDirectory, avcore::IBaseCore** root,
                      intptr_t extra);
// Tries the directories of `fullList` in order; the first success wins, else the last result.
HRESULT TryFrameworkDirs(int flag, const wchar_t* fullList, const wchar_t* logDirectory, avcore::IBaseCore** root,
                         intptr_t reserved, intptr_t extra);
// Loads and initialises the framework from one directory.
HRESULT LoadFrameworkFrom(int flag, const wchar_t* fullList, const wchar_t* directory, const wchar_t* logDirectory,
                          avcore::IBaseCore** root, intptr_t reserved, intptr_t extra);
// The framework library's path in `directory` (cut to 256 characters): one backslash
// between them, none added when the directory already ends in one.
std::wstring FrameworkPathIn(const wchar_t* directory);
// Uninitialises and frees a loaded framework; always 0.
HRESULT UnloadFramework();
bool IsFrameworkLoaded();

}  // namespace kiv_core
