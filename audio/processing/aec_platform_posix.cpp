#include "aec_platform.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {
bool g_open = false;
std::map<std::string, uint32_t>& Store() {
  static std::map<std::string, uint32_t> store;
  return store;
}
}  // namespace

bool aec_settings_open() {
  g_open = true;
  return true;
}

void aec_settings_close() { g_open = false; }

bool aec_settings_is_open() { return g_open; }

bool aec_settings_read_dword(const char* name, uint32_t* value) {
  if (!g_open || name == nullptr || value == nullptr) return false;
  auto it = Store().find(name);
  if (it == Store().end()) return false;
  *value = it->second;
  return true;
}

void aec_settings_fallback_set_dword(const char* name, uint32_t value) { Store()[name] = value; }

void aec_settings_fallback_clear() { Store().clear(); }

std::string aec_debug_folder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return std::string();
  return std::string(home) + "/Documents/Larkmoot";
}

std::string aec_path_join(const std::string& folder, const char* name) {
  return folder + "/" + name;
}

bool aec_file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void aec_debugger_output(const char*, ...) {}
