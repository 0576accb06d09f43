#include "base/system/module_dir.h"

#include <cstdlib>
#include <cwchar>

namespace ZORVANTE {

const wchar_t* GetModuleDir(HMODULE module) {
  static wchar_t s_dir[MAX_PATH];
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(module, path, MAX_PATH);
  wchar_t drive[_MAX_DRIVE] = {0};
  wchar_t dir[_MAX_DIR] = {0};
  _wsplitpath(path, drive, dir, nullptr, nullptr);
  wchar_t joined[_MAX_DRIVE + _MAX_DIR] = {0};
  std::swprintf(joined, sizeof(joined) / sizeof(joined[0]), L"%ls%ls", drive, dir);
  std::wcsncpy(s_dir, joined, MAX_PATH - 1);
  s_dir[MAX_PATH - 1] = 0;
  return s_dir;
}

}  // namespace ZORVANTE
