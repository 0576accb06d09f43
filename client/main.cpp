// Parleywright: start-up, message loop and teardown.
#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "config/app_config.h"
#include "process_scope.h"
#include "sdk_glue/sdk_manager.h"
#include "text_codec.h"
#include "video/video_render_window_class.h"
#include "windows/meeting_windows.h"
#include "winlib/ui_lib.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR lpCmdLine, int /*nCmdShow*/) {
  // Declared in set-up order, so they are undone in reverse on every return.
  LoadedLibrary richEdit(L"Riched20.dll");
  ComApartment com;
  if (!com.ok()) return 0;
  OleSession ole;
  if (!RegisterVideoRenderClass(hInstance)) return 0;
  DuiLib::CPaintManagerUI::SetInstance(hInstance);
  DuiLib::CWndShadow::Initialize(hInstance);

  // Failures of the configuration and the engine end the program without a message box;
  // the debugger output says why.
  if (!AppConfig::Instance().LoadAppInfo()) {
    ::OutputDebugStringW(L"Parleywright: appinfo.xml is missing, malformed or lacks AppId/AppSecret\n");
    return -1;
  }
  CSdkManager& sdk = CSdkManager::GetInstance();
  ShutdownOnExit<CSdkManager> shutdown(sdk);
  sdk.SetWindowsFactory(&CMeetingWindows::Make);
  if (!sdk.Init(lpCmdLine)) {
    ::OutputDebugStringW(L"Parleywright: the SDK engine could not be initialised\n");
    return -1;
  }
  if (!sdk.Start()) {
    // Without its windows the program cannot be used: say so, also to someone watching.
    const std::wstring why = L"Parleywright 无法启动：" + sdk.StartFailure();
    ::OutputDebugStringW((why + L"\n").c_str());
    std::fputs((WideToUtf8(why) + "\n").c_str(), stderr);
    ::MessageBoxW(nullptr, why.c_str(), L"Parleywright", MB_OK | MB_ICONERROR);
    return -1;
  }

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
