// The configuration centre: writes into the process's ConfigStore.
#pragma once

#include "avcore/config_center.h"
#include "com_object.h"

namespace tessarine {

class ConfigCenter final : public ComObject<avcore::IConfigCenter> {
 public:
  ConfigCenter();

  HRESULT AVCORE_CALL SetConfig(const char* key, const char* value) override;
  HRESULT AVCORE_CALL SetConfigEx(const char* key, const avcore::ConfigScope* scope, int32_t flags,
                                  const char* value) override;
  HRESULT AVCORE_CALL GetConfig(const char* key, char* value, int32_t capacity) override;
};

}  // namespace tessarine
