// The session manager: running from the root's creation until Uninit.
#pragma once

#include <atomic>

#include "avcore/session_manager.h"
#include "com_object.h"

namespace tessarine {

class SessionManager final : public ComObject<avcore::ISessionManager> {
 public:
  SessionManager();

  HRESULT AVCORE_CALL Init() override;
  HRESULT AVCORE_CALL Uninit() override;
  BOOL AVCORE_CALL IsInited() override;

 private:
  std::atomic<bool> inited_{false};
};

}  // namespace tessarine
