// The root object: the log centre, configuration centre and session manager as its
// services, and the factory of every other component.
#pragma once

#include "avcore/base_core.h"
#include "com_object.h"
#include "config_center.h"
#include "log_center.h"
#include "session_manager.h"

namespace tessarine {

class BaseCore final : public ComObject<avcore::IBaseCore> {
 public:
  // A root with its services, or null when they cannot be made.
  static BaseCore* Create();

  HRESULT AVCORE_CALL CreateComponent(REFCLSID classId, REFIID interfaceId, IUnknown* outer, void** object) override;

 protected:
  HRESULT QueryOther(REFIID iid, void** object) override;

 private:
  BaseCore();

  ComRef<LogCenter> log_center_;
  ComRef<ConfigCenter> config_center_;
  ComRef<SessionManager> session_manager_;
};

}  // namespace tessarine
