#include "core/env/framework_loader.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "avcore/entry.h"
#include "avcore/ids.h"
#include "base/system/module_dir.h"
#include "base/system/w_dynamic_library.h"

namespace kiv_core {

namespace {

constexpr size_t kDirectoryUnits = 256;

ZORVANTE::WDynamicLibrary g_library;
avcore::PMDllFunctionTable g_table;
bool g_loaded = false;

// Appends `text` to the zero-filled buffer, cut to what still fits with a terminator.
void AppendCut(wchar_t* buffer, size_t units, const wchar_t* text) {
  const size_t used = std::wcslen(buffer);
  if (used + 1 >= units) return;
  std::wcsncat(buffer, text, units - used - 1);
}

bool DirectoryExists(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

HRESULT LoadFramework(int flag, const wchar_t* directoryList, const wchar_t* logDirectory, avcore::IBaseCore** root,
                      intptr_t extra) {
  // Tested in UTF-16: a folder name the ANSI code page cannot hold still counts.
  if (logDirectory && (wcsnlen(logDirectory, MAX_PATH) >= MAX_PATH || !DirectoryExists(logDirectory)))
    logDirectory = nullptr;
  static wchar_t list[kFrameworkSearchListUnits];
  std::wmemset(list, 0, kFrameworkSearchListUnits);
  AppendCut(list, kFrameworkSearchListUnits, ZORVANTE::GetModuleDir(nullptr));
  AppendCut(list, kFrameworkSearchListUnits, L";");
  if (directoryList) AppendCut(list, kFrameworkSearchListUnits, directoryList);
  return TryFrameworkDirs(flag, list, logDirectory, root, 0, extra);
}

HRESULT TryFrameworkDirs(int flag, const wchar_t* fullList, const wchar_t* logDirectory, avcore::IBaseCore** root,
                         intptr_t reserved, intptr_t extra) {
  if (!fullList) return E_INVALIDARG;
  if (g_loaded) return S_OK;
  std::wstring copy(fullList, wcsnlen(fullList, kFrameworkSearchListUnits - 1));
  size_t start = 0;
  for (size_t sep = copy.find(L';', start); sep != std::wstring::npos; sep = copy.find(L';', start)) {
    const std::wstring directory = copy.substr(start, sep - start);
    start = sep + 1;
    const HRESULT hr = LoadFrameworkFrom(flag, fullList, directory.c_str(), logDirectory, root, reserved, extra);
    if (hr >= 0) return hr;
  }
  const std::wstring rest = copy.substr(start);
  if (rest.empty()) return E_FAIL;
  return LoadFrameworkFrom(flag, fullList, rest.c_str(), logDirectory, root, reserved, extra);
}

std::wstring FrameworkPathIn(const wchar_t* directory) {
  std::wstring path(directory, wcsnlen(directory, kDirectoryUnits));
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + avcore::kFrameworkFileName;
}

HRESULT LoadFrameworkFrom(int flag, const wchar_t* fullList, const wchar_t* directory, const wchar_t* logDirectory,
                          avcore::IBaseCore** root, intptr_t reserved, intptr_t extra) {
  if (!fullList || !directory || !root) return E_INVALIDARG;
  // An empty segment names no directory (it would resolve against the drive's root).
  if (directory[0] == 0) return E_FAIL;

  const std::wstring path = FrameworkPathIn(directory);
  if (!g_library.Load(path.c_str())) return E_FAIL;
  auto entry = reinterpret_cast<avcore::PMDllProc>(reinterpret_cast<void*>(g_library.GetProc(avcore::kEntryPointName)));
  if (!entry) {
    g_library.Free();
    return E_NOINTERFACE;
  }
  std::memset(&g_table, 0, sizeof(g_table));
  g_table.size = sizeof(g_table);
  HRESULT hr = entry(&g_table);
  if (FAILED(hr)) {
    g_library.Free();
    return hr;
  }
  if (!g_table.Init || !g_table.GetObject) {
    g_library.Free();
    return E_FAIL;
  }

  static wchar_t listCopy[kFrameworkSearchListUnits];
  static wchar_t logCopy[kFrameworkLogDirUnits];
  std::wmemset(listCopy, 0, kFrameworkSearchListUnits);
  std::wmemset(logCopy, 0, kFrameworkLogDirUnits);
  std::wcsncpy(listCopy, fullList, kFrameworkSearchListUnits - 1);
  if (logDirectory) std::wcsncpy(logCopy, logDirectory, kFrameworkLogDirUnits - 1);
  hr = g_table.Init(flag, listCopy, logCopy, reserved, extra);
  if (FAILED(hr)) {
    g_library.Free();
    return hr;
  }
  hr = g_table.GetObject(avcore::CLSID_BaseCore, reinterpret_cast<void**>(root));
  if (FAILED(hr) || !*root) {
    // Initialised: it is uninitialised before it goes, so that nothing of it keeps running.
    if (g_table.Uninit) g_table.Uninit();
    g_library.Free();
    return FAILED(hr) ? hr : E_POINTER;
  }
  g_loaded = true;
  return hr;
}

HRESULT UnloadFramework() {
  if (g_loaded) {
    if (g_table.Uninit) g_table.Uninit();
    g_library.Free();
    g_loaded = false;
  }
  return S_OK;
}

bool IsFrameworkLoaded() { return g_loaded; }

}  // namespace kiv_core
