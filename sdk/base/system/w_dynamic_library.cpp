#include "base/system/w_dynamic_library.h"

namespace ZORVANTE {

WDynamicLibrary::~WDynamicLibrary() { Free(); }

bool WDynamicLibrary::Load(const wchar_t* path) {
  if (!path) return false;
  m_module = LoadLibraryW(path);
  return m_module != nullptr;
}

FARPROC WDynamicLibrary::GetProc(const char* name) const {
  if (!m_module || !name) return nullptr;
  return GetProcAddress(m_module, name);
}

void WDynamicLibrary::Free() {
  if (m_module) {
    FreeLibrary(m_module);
    m_module = nullptr;
  }
}

}  // namespace ZORVANTE
