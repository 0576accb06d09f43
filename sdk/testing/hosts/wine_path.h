// A Unix path as the Windows test hosts under Wine see it (drive Z: is the root).
#pragma once

#include <climits>
#include <cstdlib>
#include <string>

namespace kiv_test {

// The absolute path when the file exists, else the path as given, with backslashes.
inline std::string WinePath(const std::string& path) {
  char full[PATH_MAX];
  std::string text = realpath(path.c_str(), full) ? full : path;
  for (char& c : text) c = c == '/' ? '\\' : c;
  return "Z:" + text;
}

}  // namespace kiv_test
