#include "platform/system_access.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>

#include <shlobj.h>
#endif

namespace {

#ifdef _WIN32

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  long EnumSubKey(uint32_t index, std::string* name) override {
    char buffer[256];
    DWORD size = sizeof buffer;
    const LONG r = RegEnumKeyExA(key_, index, buffer, &size, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_SUCCESS) name->assign(buffer, size);
    return r;
  }

  long QueryString(const std::string& value, std::string* out, size_t max_bytes) override {
    std::string buffer(max_bytes + 1, '\0');
    DWORD size = static_cast<DWORD>(max_bytes);
    DWORD type = 0;
    const LONG r = RegQueryValueExA(key_, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &size);
    if (r != ERROR_SUCCESS) return r;
    buffer.resize(size < max_bytes ? size : max_bytes);
    out->assign(buffer.c_str());
    return r;
  }

  long QueryDword(const std::string& value, uint32_t* out) override {
    DWORD data = 0, size = sizeof data, type = 0;
    const LONG r = RegQueryValueExA(key_, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (r == ERROR_SUCCESS) *out = data;
    return r;
  }

  long SetDword(const std::string& value, uint32_t data) override {
    const DWORD v = data;
    return RegSetValueExA(key_, value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }

 private:
  HKEY key_;
};

class Win32SystemAccess : public SystemAccess {
 public:
  bool DocumentsFolder(std::wstring* path) override {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &list)) || !list) return false;
    wchar_t buffer[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(list, buffer);
    CoTaskMemFree(list);
    if (!ok) return false;
    *path = buffer;
    return true;
  }

  bool Is64BitWindows() override {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
  }

  long OpenLocalMachineKey(const std::string& path, uint32_t access, std::unique_ptr<RegistryKey>* key) override {
    HKEY handle = nullptr;
    const LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &handle);
    if (r == ERROR_SUCCESS) key->reset(new Win32RegistryKey(handle));
    return r;
  }
};

using DefaultAccess = Win32SystemAccess;

#else

class NoSystemAccess : public SystemAccess {
 public:
  bool DocumentsFolder(std::wstring*) override { return false; }
  bool Is64BitWindows() override { return sizeof(void*) == 8; }
  long OpenLocalMachineKey(const std::string&, uint32_t, std::unique_ptr<RegistryKey>*) override {
    return kRegistryNotFound;
  }
};

using DefaultAccess = NoSystemAccess;

#endif

std::atomic<SystemAccess*> g_access{nullptr};

}  // namespace

SystemAccess* ActiveSystemAccess() {
  static DefaultAccess access;
  SystemAccess* a = g_access.load();
  return a ? a : &access;
}

void SetActiveSystemAccess(SystemAccess* access) { g_access.store(access); }
