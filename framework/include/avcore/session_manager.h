// The framework's session manager: the sessions of the framework's services.
#pragma once

#include "avcore/platform.h"

namespace avcore {

struct ISessionManager : public IUnknown {
  // Starts the session services; the root does this when the framework is initialised.
  // S_FALSE when already running.
  virtual HRESULT AVCORE_CALL Init() = 0;
  // Ends every session; the SDK calls it at teardown. S_FALSE when not running.
  virtual HRESULT AVCORE_CALL Uninit() = 0;
  // TRUE between Init and Uninit.
  virtual BOOL AVCORE_CALL IsInited() = 0;
};

}  // namespace avcore
