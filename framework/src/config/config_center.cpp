#include "config_center.h"

#include <cstring>

#include "avcore/ids.h"
#include "config_store.h"
#include "framework_log.h"

namespace tessarine {

ConfigCenter::ConfigCenter() : ComObject(avcore::IID_IConfigCenter) {}

HRESULT AVCORE_CALL ConfigCenter::SetConfig(const char* key, const char* value) {
  if (key == nullptr || value == nullptr) return E_POINTER;
  if (*key == '\0') return E_INVALIDARG;
  GlobalConfigStore().Set(key, value);
  FW_LOG("config %s = %s", key, value);
  return S_OK;
}

HRESULT AVCORE_CALL ConfigCenter::SetConfigEx(const char* key, const avcore::ConfigScope* scope, int32_t flags,
                                              const char* value) {
  if (key == nullptr || value == nullptr) return E_POINTER;
  if (*key == '\0') return E_INVALIDARG;
  GlobalConfigStore().Set(key, value);
  FW_LOG("config %s = %s (scope %d/%d, flags %d)", key, value, scope ? scope->kind : 0, scope ? scope->id : 0, flags);
  return S_OK;
}

HRESULT AVCORE_CALL ConfigCenter::GetConfig(const char* key, char* value, int32_t capacity) {
  if (key == nullptr || value == nullptr) return E_POINTER;
  const auto stored = GlobalConfigStore().Get(key);
  if (!stored) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  if (capacity < 0 || stored->size() + 1 > static_cast<size_t>(capacity)) {
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(value, stored->c_str(), stored->size() + 1);
  return S_OK;
}

}  // namespace tessarine
