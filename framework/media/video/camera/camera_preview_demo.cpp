// Shows the synthetic cameras for a look or a screenshot: camera 1 (mode 3), camera 2
// (mode 1) and an RTSP plug-in camera (mode 2), each previewed in a window of its own
// through its device's preview render manager, for the seconds given (default 10).
//   camera_preview_demo.exe [seconds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "avcore/avcore.h"
#include "common/win/com_ref.h"

namespace {

using kiv_common::ComRef;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return 1;
  if (message == WM_PAINT) {
    ValidateRect(hwnd, nullptr);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

int AVCORE_CALLBACK OnRenderEvent(uintptr_t render, uintptr_t code, uintptr_t, uintptr_t, void*) {
  std::printf("render %u: event %u\n", static_cast<unsigned>(render), static_cast<unsigned>(code));
  return 1;
}

struct Preview {
  ComRef<avcore::IVideoDevice> device;
  ComRef<avcore::IVideoRenderManager> renders;
  avcore::RenderId id = 0;
};

bool StartPreview(avcore::IBaseCore* root, int camera, int mode, HWND window, Preview* p) {
  if (FAILED(root->CreateComponent(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice, nullptr,
                                   p->device.ReceiveVoid())) ||
      FAILED(p->device->QueryInterface(avcore::IID_IVideoRenderManager, p->renders.ReceiveVoid()))) {
    return false;
  }
  const avcore::EventRecord events{avcore::kEventRecordVersion, &OnRenderEvent, 0, nullptr};
  p->renders->AddRender(window, &events, &p->id);
  p->renders->SetRenderMode(p->id, mode);
  avcore::VideoCaptureParam param{};
  p->device->GetParam(&param);
  param.mode = 0;
  param.camera_index = camera;
  return SUCCEEDED(p->device->StartCapture(&param));
}

void StopPreview(Preview* p) {
  if (p->device) p->device->StopCapture();
  if (p->renders) p->renders->RemoveRender(p->id);
  p->renders.Reset();
  p->device.Reset();
}

// The windows and previews for `seconds`, with the framework started; false when its root
// object cannot be had. Every reference is gone on return.
bool RunPreviews(avcore::PMDllFunctionTable* table, int seconds) {
  ComRef<avcore::IBaseCore> root;
  if (FAILED(table->GetObject(avcore::CLSID_BaseCore, root.ReceiveVoid()))) return false;

  ComRef<avcore::IAVDevManager> manager;
  {
    ComRef<avcore::IAVEnv> env;
    root->CreateComponent(avcore::CLSID_AVEnv, avcore::IID_IAVEnv, nullptr, env.ReceiveVoid());
    env->QueryInterface(avcore::IID_IAVDevManager, manager.ReceiveVoid());
  }
  manager->SetupRtspVideoPlugins(4);
  const int32_t plugin = manager->AddVideoPlugin("rtsp-ex100", "rtsp://192.0.2.10:554/live/main", 2);

  WNDCLASSW wc{};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CameraPreviewDemo";
  RegisterClassW(&wc);
  const struct {
    int camera, mode, x, y, w, h;
  } layout[] = {{0, 3, 10, 10, 480, 300}, {1, 1, 500, 10, 400, 300}, {2, 2, 10, 320, 560, 400}};
  Preview previews[3];
  HWND windows[3] = {};
  for (int i = 0; i < 3; ++i) {
    windows[i] = CreateWindowExW(0, wc.lpszClassName, L"preview", WS_POPUP | WS_VISIBLE, layout[i].x, layout[i].y,
                                 layout[i].w, layout[i].h, nullptr, nullptr, wc.hInstance, nullptr);
    if (!StartPreview(root.get(), layout[i].camera, layout[i].mode, windows[i], &previews[i])) {
      std::printf("preview of camera %d failed\n", layout[i].camera);
    }
  }

  const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }

  for (int i = 0; i < 3; ++i) {
    StopPreview(&previews[i]);
    DestroyWindow(windows[i]);
  }
  manager->RemoveVideoPlugin(plugin);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  HMODULE module = LoadLibraryW(avcore::kFrameworkFileName);
  auto pmdll = reinterpret_cast<avcore::PMDllProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, avcore::kEntryPointName)));
  avcore::PMDllFunctionTable table{};
  table.size = sizeof(table);
  if (!pmdll || FAILED(pmdll(&table)) || FAILED(table.Init(1, L"", L"", 0, 0)) || !RunPreviews(&table, seconds)) {
    std::printf("cannot start Tessarine32.dll\n");
    return 1;
  }
  table.Uninit();
  FreeLibrary(module);
  return 0;
}
