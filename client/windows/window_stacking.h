// Keeps a pop-up above the window that owns it. Without a window manager (Wine under
// Xvfb) a top-most owner is stacked above its owned pop-ups; Windows never does that.
#pragma once

#include <windows.h>

void RaiseAboveOwner(HWND popup);
