#include "aec_platform.h"

#include <windows.h>

#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "common/win/unique_handle.h"

namespace {
HKEY g_settings_key = nullptr;  // one per library; used on the capture thread
}  // namespace

bool aec_settings_open() {
  aec_settings_close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvex\\SERRIN\\Settings", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  g_settings_key = key;
  return true;
}

void aec_settings_close() {
  if (g_settings_key != nullptr) {
    RegCloseKey(g_settings_key);
    g_settings_key = nullptr;
  }
}

bool aec_settings_is_open() { return g_settings_key != nullptr; }

bool aec_settings_read_dword(const char* name, uint32_t* value) {
  if (g_settings_key == nullptr || name == nullptr || value == nullptr) return false;
  DWORD data = 0;
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (RegQueryValueExA(g_settings_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      size != sizeof(data)) {
    return false;
  }
  *value = data;
  return true;
}

std::string aec_debug_folder() {
  const char* home = std::getenv("HOMEPATH");
  if (home == nullptr || home[0] == '\0') return std::string();
  char folder[MAX_PATH];
  std::snprintf(folder, sizeof(folder), "c:\\%s\\Documents\\Larkmoot", home);
  return folder;
}

std::string aec_path_join(const std::string& folder, const char* name) { return folder + "\\" + name; }

bool aec_file_exists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void aec_debugger_output(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  OutputDebugStringA(line);
}

FILE* aec_open_wide(const std::wstring& path, const char* mode) {
  std::wstring wide_mode;
  for (const char* m = mode; *m != '\0'; ++m) wide_mode += static_cast<wchar_t>(*m);
  return _wfopen(path.c_str(), wide_mode.c_str());
}

bool aec_replace_file(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool aec_remove_file(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }

bool aec_path_missing(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool aec_flush_file(FILE* file) {
  if (std::fflush(file) != 0) return false;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h) != 0;
}

uint32_t aec_process_id() { return GetCurrentProcessId(); }

std::string aec_path_to_ansi(const std::wstring& path) {
  const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

struct AecFileLock::File {
  kiv_common::UniqueHandle handle;
};

// Opened without sharing: a second opener fails until this one closes it.
AecFileLock::AecFileLock(const std::wstring& path) {
  kiv_common::UniqueHandle h(
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return;
  file_.reset(new File{std::move(h)});
  held_ = true;
}

AecFileLock::~AecFileLock() = default;
