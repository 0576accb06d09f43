#include "log_level_overrides.h"

#include <cstdlib>

namespace tessarine {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A whole, optionally signed decimal number; false for anything else.
bool ParseInt(std::string_view s, int* value) {
  if (s.empty() || s.size() > 9) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  int v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  *value = negative ? -v : v;
  return true;
}

}  // namespace

LogLevelOverrides::LogLevelOverrides(std::string_view text) {
  while (!text.empty()) {
    const size_t end = text.find_first_of(",;");
    std::string_view item = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view module = Trim(item.substr(0, eq));
    int level = 0;
    if (module.empty() || !ParseInt(Trim(item.substr(eq + 1)), &level)) continue;
    levels_[std::string(module)] = level;
  }
}

int LogLevelOverrides::LevelOf(const std::string& module, int fallback) const {
  auto it = levels_.find(module);
  return it == levels_.end() ? fallback : it->second;
}

}  // namespace tessarine
