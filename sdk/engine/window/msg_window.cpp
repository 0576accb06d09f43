#include "engine/window/msg_window.h"

namespace kiv {

MsgWindow* MsgWindow::Instance() {
  static MsgWindow* s_instance = nullptr;
  if (!s_instance) s_instance = new MsgWindow();
  return s_instance;
}

void MsgWindow::EnsureCreated() {
  if (!m_window) Create();
}

void MsgWindow::Create() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MsgWindow::WndProc;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // an already registered class is fine
  HWND window = CreateWindowExW(0, kClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (window) {
    m_window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

bool MsgWindow::AddListener(IWndMsgListener* listener) {
  (void)m_listeners.Add(listener);
  return true;
}

void MsgWindow::RemoveListener(IWndMsgListener* listener) { (void)m_listeners.Remove(listener); }

BOOL MsgWindow::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  // Without a window PostMessageW would post to the calling thread's own queue.
  if (!m_window) return FALSE;
  return PostMessageW(m_window, message, wParam, lParam);
}

void MsgWindow::Destroy() {
  if (m_window) {
    DestroyWindow(m_window);
    m_window = nullptr;
  }
  m_listeners.Clear();
}

void MsgWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  // No lock held: a listener runs posted work that calls out of the library. One may add or
  // remove listeners (itself included) while it runs.
  m_listeners.ForEach([&](IWndMsgListener& listener) { (void)listener.OnWndMsg(message, wParam, lParam); });
}

LRESULT CALLBACK MsgWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MsgWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && self->m_window == window) self->Dispatch(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kiv
