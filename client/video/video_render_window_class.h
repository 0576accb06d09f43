// The window class of the native windows that video panels hand to the SDK's renders.
#pragma once

#include <windows.h>

constexpr wchar_t kVideoRenderWindowClass[] = L"VideoRenderWnd";

// Registers the class once per process; true when it is registered.
bool RegisterVideoRenderClass(HINSTANCE instance);
