// The configuration centre's store: every key written, with its last value. Thread-safe.
// Pure logic (no Win32).
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace tessarine {

class ConfigStore {
 public:
  void Set(const std::string& key, const std::string& value);
  [[nodiscard]] std::optional<std::string> Get(const std::string& key) const;
  [[nodiscard]] size_t size() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> values_;
};

// The process's store, shared by every configuration centre of the library; emptied when
// the framework is initialised, kept after Uninit so that tests can read it back.
ConfigStore& GlobalConfigStore();

}  // namespace tessarine
