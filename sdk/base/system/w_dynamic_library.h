// Holder of one loaded library; frees it when destroyed.
#pragma once

#include <windows.h>

namespace ZORVANTE {

class WDynamicLibrary {
 public:
  WDynamicLibrary() = default;
  virtual ~WDynamicLibrary();
  WDynamicLibrary(const WDynamicLibrary&) = delete;
  WDynamicLibrary& operator=(const WDynamicLibrary&) = delete;

  // LoadLibraryW; a handle held before is not freed. False for a null path.
  bool Load(const wchar_t* path);
  // Null when nothing is loaded or the name is missing.
  FARPROC GetProc(const char* name) const;
  void Free();
  HMODULE Handle() const { return m_module; }

 private:
  HMODULE m_module = nullptr;
};

}  // namespace ZORVANTE
