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
  ZORVANTE::WAutoLock guard(&m_lock);
  m_listeners.insert(listener);
  return true;
}

void MsgWindow::RemoveListener(IWndMsgListener* listener) {
  ZORVANTE::WAutoLock guard(&m_lock);
  m_listeners.erase(listener);
}

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
  ZORVANTE::WAutoLock guard(&m_lock);
  m_listeners.clear();
}

void MsgWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  ZORVANTE::WAutoLock guard(&m_lock);
  // A listener may add or remove listeners (itself included) while it runs, so the next
  // listener is looked up in the live set after each call.
  auto it = m_listeners.begin();
  while (it != m_listeners.end()) {
    IWndMsgListener* listener = *it;
    listener->OnWndMsg(message, wParam, lParam);
    it = m_listeners.upper_bound(listener);
  }
}

LRESULT CALLBACK MsgWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MsgWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && self->m_window == window) self->Dispatch(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kiv
