// Answers questions about a window's controls, for test programs that drive a skinned
// window from another process as a person would (they click at the rectangles it gives).
// Off unless the environment variable WINLIB_UI_PROBE is "1".
//
// A question is a WM_COPYDATA sent to the window with dwData kUiProbeQuery, wParam the
// asking window, and tab-separated UTF-16 text; the answer comes back as a WM_COPYDATA
// with dwData kUiProbeAnswer sent to the asking window before the question returns.
//   rect <name>                     "left top right bottom visible enabled" (client pixels)
//   text <name>                     the control's text
//   bkimage <name>                  the control's background image
//   normalimage <name>              a button's normal image
//   items <list> <label>            one line per item: the text of its <label> control
//   itemrect <list> <index>         rectangle of an item, as for rect
//   subimage <list> <label> <data> <sub>  background image of <sub> in the item whose
//                                   <label> carries <data> as user data
//   checked <list> <label> <check>  one line per item: "<label text> <0|1>"
#pragma once

#include <windows.h>

namespace DuiLib {

class CPaintManagerUI;

constexpr ULONG_PTR kUiProbeQuery = 0x5750524F;   // 'WPRO'
constexpr ULONG_PTR kUiProbeAnswer = 0x57505241;  // 'WPRA'

bool IsUiProbeEnabled();
// Handles a probe question; false when the message is none (or the probe is off).
bool AnswerUiProbe(CPaintManagerUI& pm, HWND self, WPARAM wParam, LPARAM lParam);

}  // namespace DuiLib
