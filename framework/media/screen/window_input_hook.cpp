#include "window_input_hook.h"

#include <map>
#include <memory>
#include <mutex>

namespace tessarine::media {
namespace {

struct Hooked {
  WNDPROC original = nullptr;
  std::shared_ptr<WindowInputHook::Sink> sink;
};

std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}

std::map<HWND, Hooked>& Hooks() {
  static std::map<HWND, Hooked> hooks;
  return hooks;
}

bool IsInput(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN || message == WM_KEYUP ||
         message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = nullptr;
  std::shared_ptr<WindowInputHook::Sink> sink;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    auto it = Hooks().find(window);
    if (it != Hooks().end()) {
      original = it->second.original;
      sink = it->second.sink;
      if (message == WM_NCDESTROY) Hooks().erase(it);
    }
  }
  if (sink && IsInput(message)) {
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) SetFocus(window);
    (*sink)(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY && original != nullptr) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
  }
  return original != nullptr ? CallWindowProcW(original, window, message, wParam, lParam)
                             : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool WindowInputHook::Attach(HWND window, Sink sink) {
  DWORD process = 0;
  if (window == nullptr || !GetWindowThreadProcessId(window, &process) || process != GetCurrentProcessId()) {
    return false;
  }
  std::lock_guard<std::mutex> lock(HookMutex());
  auto it = Hooks().find(window);
  if (it != Hooks().end()) {
    it->second.sink = std::make_shared<Sink>(std::move(sink));
    return true;
  }
  Hooked hooked;
  hooked.sink = std::make_shared<Sink>(std::move(sink));
  hooked.original =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc)));
  if (hooked.original == nullptr) return false;
  Hooks()[window] = hooked;
  return true;
}

void WindowInputHook::Detach(HWND window) {
  std::lock_guard<std::mutex> lock(HookMutex());
  auto it = Hooks().find(window);
  if (it == Hooks().end()) return;
  if (IsWindow(window) && GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&HookProc)) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.original));
    Hooks().erase(it);
  } else {
    it->second.sink.reset();  // subclassed again after us: stay in the chain, silent
  }
}

}  // namespace tessarine::media
