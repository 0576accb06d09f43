#include "config_store.h"

namespace tessarine {

void ConfigStore::Set(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  values_[key] = value;
}

std::optional<std::string> ConfigStore::Get(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

size_t ConfigStore::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return values_.size();
}

void ConfigStore::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  values_.clear();
}

ConfigStore& GlobalConfigStore() {
  static ConfigStore store;
  return store;
}

}  // namespace tessarine
