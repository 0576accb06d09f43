#include "testing/hosts/window_shot.h"

#include "testing/hosts/command_loop.h"
#include "testing/hosts/dib_pixels.h"

namespace kiv_test {

namespace {

// The screen's device context, released with the holder.
class ScreenDc {
 public:
  ScreenDc() : m_dc(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (m_dc) ReleaseDC(nullptr, m_dc);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return m_dc; }

 private:
  HDC m_dc;
};

void SetTopmost(HWND window, bool topmost) {
  SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

bool SaveWindowShot(HWND window, const std::string& path) {
  RECT r;
  if (!window || !GetWindowRect(window, &r)) return false;
  ScreenDc screen;
  if (!screen.get()) return false;
  const DibPixels picture = CopyPixels(screen.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, 24, false);
  return !picture.bytes.empty() && WriteBmp(path, picture);
}

bool SaveShotInFront(HWND top, HWND shown, const std::string& path, DWORD settleMs) {
  SetTopmost(top, true);
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages(settleMs);
  const bool saved = SaveWindowShot(shown, path);
  SetTopmost(top, false);
  return saved;
}

}  // namespace kiv_test
