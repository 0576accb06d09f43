// Test hooks of the stand-in Tessarine32.dll (not part of the framework's interfaces).
// Tests find them in the loaded library by name:
//   auto live = tessarine_test::Export<tessarine_test::LiveObjectsProc>(
//       GetModuleHandleW(L"Tessarine32.dll"), tessarine_test::kLiveObjects);
#pragma once

#include <windows.h>

namespace tessarine_test {

// GetProcAddress typed as `Proc` (null when the module or the export is missing).
template <typename Proc>
Proc Export(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// long FwTestLiveObjects(): the library's live objects (roots, services, components,
// open log records). 0 once every object handed out was released.
inline constexpr char kLiveObjects[] = "FwTestLiveObjects";
typedef long (*LiveObjectsProc)();

// int FwTestGetConfig(key, value, capacity): the value the configuration centre keeps
// for `key` (since the last Init, also after Uninit): its length, -1 when the key was
// never set, -2 when `capacity` bytes cannot hold it with its terminator.
inline constexpr char kGetConfig[] = "FwTestGetConfig";
typedef int (*GetConfigProc)(const char* key, char* value, int capacity);

// int FwTestLogFilePath(path, capacity): the open log file's path, its length; -1 when
// no log file is open, -2 when the buffer is too small.
inline constexpr char kLogFilePath[] = "FwTestLogFilePath";
typedef int (*LogFilePathProc)(wchar_t* path, int capacity);

// void FwTestCutLinks(ms): the control connection's socket is shut down and connections
// fail for `ms` milliseconds, as when the network goes away for that long.
inline constexpr char kCutLinks[] = "FwTestCutLinks";
typedef void (*CutLinksProc)(int ms);

// When FreeLibrary unloads the library it stores its final live-object count (decimal)
// in this environment variable of the process.
inline constexpr wchar_t kLiveObjectsAtUnloadVariable[] = L"TESSARINE_LIVE_OBJECTS_AT_UNLOAD";

// Comma-separated steps that fail on purpose (see framework/README.md).
inline constexpr wchar_t kFailVariable[] = L"TESSARINE_FAIL";

// "module=level,..." overriding the level loggers are created with.
inline constexpr wchar_t kLogLevelVariable[] = L"TESSARINE_LOG_LEVEL";

}  // namespace tessarine_test
