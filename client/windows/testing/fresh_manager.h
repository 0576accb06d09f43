// Set-up shared by the tests of the client's windows.
#pragma once

#include "config/app_config.h"
#include "sdk_glue/sdk_manager.h"
#include "sdk_glue/testing/fake_sdk_state.h"
#include "testing/client_test_support.h"
#include "windows/meeting_windows.h"

// The SDK manager as the program finds it: no session, the real windows, a fresh stand-in SDK.
inline void StartFromFreshManager() {
  CSdkManager::GetInstance().Shutdown();
  CSdkManager::GetInstance().SetWindowsFactory(&CMeetingWindows::Make);
  PumpFor(20);  // the destroyed windows' quit messages
  FakeSdkReset();
}

// The demo application on the default server, as the launch arguments of the tests give it.
inline void UseDemoApplication(AppConfig& config) {
  config.AppUserDefine = false;
  config.AppId = "demo1";
  config.AppSecret = "0123456789abcdef";
  config.ServerUserDefine = false;
  config.ServerAddr = "127.0.0.1:5000";
}
