// The library's one hidden message-only window. It runs on the thread that called the
// engine's Init; every message it receives is offered to every registered listener.
#pragma once

#include <windows.h>

#include "base/system/callback_slot.h"
#include "engine/window/wnd_msg_listener.h"

namespace kiv {

class MsgWindow {
 public:
  static constexpr const wchar_t* kClassName = L"{3B32C1AA-AE53-4AE7-A159-AEBC6D0E03F5}";

  // Created on first use, never deleted.
  static MsgWindow* Instance();

  // Creates the window on the calling thread unless one exists.
  void EnsureCreated();
  void Create();
  // Listeners are called in the order added, with no lock held; one removed is not called
  // again, and RemoveListener returns once no message is in it on another thread.
  bool AddListener(IWndMsgListener* listener);
  void RemoveListener(IWndMsgListener* listener);
  // FALSE when there is no window: the caller keeps what wParam points to.
  BOOL Post(UINT message, WPARAM wParam, LPARAM lParam);
  // Destroys the window and drops every listener; a later Create works again.
  void Destroy();

  HWND Window() const { return m_window; }

 private:
  MsgWindow() = default;
  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  ZORVANTE::CallbackSet<IWndMsgListener> m_listeners;
  HWND m_window = nullptr;
};

}  // namespace kiv
