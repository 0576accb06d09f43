#include "session_manager.h"

#include "avcore/ids.h"
#include "framework_log.h"

namespace tessarine {

SessionManager::SessionManager() : ComObject(avcore::IID_ISessionManager) {}

HRESULT AVCORE_CALL SessionManager::Init() {
  if (inited_.exchange(true)) return S_FALSE;
  FW_LOG("session manager started");
  return S_OK;
}

HRESULT AVCORE_CALL SessionManager::Uninit() {
  if (!inited_.exchange(false)) return S_FALSE;
  FW_LOG("session manager stopped");
  return S_OK;
}

BOOL AVCORE_CALL SessionManager::IsInited() { return inited_.load() ? TRUE : FALSE; }

}  // namespace tessarine
