// Receiver of every message of the library's hidden window.
#pragma once

#include <windows.h>

namespace kiv {

class IWndMsgListener {
 public:
  // Called on the window's thread; the result is not used.
  virtual int OnWndMsg(unsigned message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~IWndMsgListener() = default;
};

// Messages of the library (lParam is always 0).
enum : unsigned {
  // Device changes have settled; wParam 0.
  WM_KIV_DEVICE_CHANGED = 0x8B0,
  // A remote video was unpublished; wParam: a new RemoteVideoRemoval.
  WM_KIV_REMOTE_VIDEO_REMOVED = 0x8B1,
  // A task of the core; wParam: a new std::function<void()>.
  WM_KIV_RUN_TASK = 0x8B2,
};

}  // namespace kiv
