#include "windows/window_stacking.h"

void RaiseAboveOwner(HWND popup) {
  if (!popup || !::IsWindow(popup)) return;
  HWND owner = ::GetWindow(popup, GW_OWNER);
  const bool ownerTopMost = owner && (::GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST);
  ::SetWindowPos(popup, ownerTopMost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
