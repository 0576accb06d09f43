#include "core/env/config_file.h"

#include <cstdio>
#include <memory>

namespace kiv_core {

namespace {
// Larger files are not configuration files; they are refused rather than read.
constexpr long kMaxConfigBytes = 4 * 1024 * 1024;
}  // namespace

bool ReadConfigFile(const std::wstring& path, std::string* text) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> closer(file, &fclose);
  if (fseek(file, 0, SEEK_END) != 0) return false;
  const long size = ftell(file);
  if (size < 0 || size > kMaxConfigBytes || fseek(file, 0, SEEK_SET) != 0) return false;
  text->assign(static_cast<size_t>(size), '\0');
  return size == 0 || fread(&(*text)[0], 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
}

}  // namespace kiv_core
