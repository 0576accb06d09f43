#include "input_injector.h"

namespace tessarine::media {
namespace {

DWORD ButtonFlag(InputKind kind, int32_t button) {
  const bool down = kind == InputKind::kMouseDown;
  switch (button) {
    case kButtonRight:
      return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    case kButtonMiddle:
      return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    default:
      return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  }
}

// A pixel of the virtual screen on SendInput's 0..65535 absolute axis.
LONG Absolute(int32_t pixel, int32_t origin, int32_t size) {
  if (size <= 1) return 0;
  return static_cast<LONG>((static_cast<int64_t>(pixel - origin) * 65535 + (size - 1) / 2) / (size - 1));
}

}  // namespace

InputInjector::InputInjector(Sender sender) : sender_(std::move(sender)) {
  if (!sender_) sender_ = [](UINT count, INPUT* inputs) { return SendInput(count, inputs, sizeof(INPUT)); };
}

UINT InputInjector::Apply(const std::vector<InputEvent>& events, const RECT& area, const InputPermissions& allowed) {
  const int32_t vx = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int32_t vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int32_t vw = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int32_t vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const int32_t width = area.right - area.left;
  const int32_t height = area.bottom - area.top;
  std::vector<INPUT> inputs;
  for (const InputEvent& e : events) {
    INPUT in = {};
    switch (e.kind) {
      case InputKind::kMouseMove:
      case InputKind::kMouseDown:
      case InputKind::kMouseUp: {
        if (!allowed.mouse) continue;
        in.type = INPUT_MOUSE;
        in.mi.dx = Absolute(area.left + FromInputAxis(e.x, width), vx, vw);
        in.mi.dy = Absolute(area.top + FromInputAxis(e.y, height), vy, vh);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
        if (e.kind != InputKind::kMouseMove) in.mi.dwFlags |= ButtonFlag(e.kind, e.button);
        if (e.kind == InputKind::kMouseDown) {
          // A press activates the window under it, as at the sharer's own mouse, so that
          // the keys that follow reach it (a desktop without a window manager would not).
          const POINT at{area.left + FromInputAxis(e.x, width), area.top + FromInputAxis(e.y, height)};
          if (HWND under = WindowFromPoint(at)) SetForegroundWindow(GetAncestor(under, GA_ROOT));
        }
        break;
      }
      case InputKind::kWheel:
        if (!allowed.wheel) continue;
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = MOUSEEVENTF_WHEEL;
        in.mi.mouseData = static_cast<DWORD>(e.delta);
        break;
      case InputKind::kKeyDown:
      case InputKind::kKeyUp:
        if (!allowed.keyboard) continue;
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = static_cast<WORD>(e.key);
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(e.key), MAPVK_VK_TO_VSC));
        in.ki.dwFlags = e.kind == InputKind::kKeyUp ? KEYEVENTF_KEYUP : 0;
        break;
    }
    inputs.push_back(in);
  }
  if (inputs.empty()) return 0;
  return sender_(static_cast<UINT>(inputs.size()), inputs.data());
}

}  // namespace tessarine::media
