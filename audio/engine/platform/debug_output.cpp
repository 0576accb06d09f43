#include "platform/debug_output.h"

#ifdef _WIN32
#include <windows.h>
void DebugOutput(const char* text) { OutputDebugStringA(text); }
#else
void DebugOutput(const char*) {}
#endif
