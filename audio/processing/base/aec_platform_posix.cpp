#include "aec_platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
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

std::string aec_path_join(const std::string& folder, const char* name) { return folder + "/" + name; }

bool aec_file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

std::string Narrow(const std::wstring& path) {
  std::string out;
  for (wchar_t wc : path) {
    uint32_t c = static_cast<uint32_t>(wc);
    if (c == '\\') c = '/';
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

FILE* aec_open_wide(const std::wstring& path, const char* mode) { return std::fopen(Narrow(path).c_str(), mode); }

bool aec_replace_file(const std::wstring& from, const std::wstring& to) {
  return std::rename(Narrow(from).c_str(), Narrow(to).c_str()) == 0;
}

bool aec_remove_file(const std::wstring& path) { return std::remove(Narrow(path).c_str()) == 0; }

bool aec_path_missing(const std::wstring& path) {
  struct stat st;
  return stat(Narrow(path).c_str(), &st) != 0 && errno == ENOENT;
}

bool aec_flush_file(FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

uint32_t aec_process_id() { return static_cast<uint32_t>(getpid()); }

std::string aec_path_to_ansi(const std::wstring& path) { return Narrow(path); }

void aec_debugger_output(const char*, ...) {}

struct AecFileLock::File {
  explicit File(int descriptor) : fd(descriptor) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { close(fd); }
  const int fd;
};

AecFileLock::AecFileLock(const std::wstring& path) {
  const int fd = open(Narrow(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  file_ = std::make_unique<File>(fd);
  held_ = flock(fd, LOCK_EX | LOCK_NB) == 0;
}

AecFileLock::~AecFileLock() = default;
