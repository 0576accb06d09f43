// Where "appinfo.xml" is: the program's own folder.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "config/app_config.h"
#include "text_codec.h"

bool AppConfig::LoadAppInfo() {
  wchar_t module[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    FilePath.clear();
    return false;
  }
  wchar_t drive[_MAX_DRIVE] = {}, dir[_MAX_DIR] = {};
  if (_wsplitpath_s(module, drive, _MAX_DRIVE, dir, _MAX_DIR, nullptr, 0, nullptr, 0) != 0) return false;
  std::wstring path = std::wstring(drive) + dir + L"appinfo.xml";
  return LoadFromFile(WideToAnsi(path));
}
