// Parsed value of TESSARINE_LOG_LEVEL: "module=level" pairs separated by ',' or ';'
// (e.g. "kivcore=3,kiv_wb=1"), overriding the level a logger is created with.
// Pure logic (no Win32).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tessarine {

class LogLevelOverrides {
 public:
  explicit LogLevelOverrides(std::string_view text);
  // The level given for `module` (exact name), else `fallback`.
  [[nodiscard]] int LevelOf(const std::string& module, int fallback) const;

 private:
  std::map<std::string, int> levels_;
};

}  // namespace tessarine
