// Text for an attached debugger (OutputDebugStringA on Windows; nothing elsewhere).
#pragma once

void DebugOutput(const char* text);
