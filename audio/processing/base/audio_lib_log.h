// The audio library's one log function and the callback it writes through.
#pragma once

#include <cstdarg>

using AudioLibLogCallback = void (*)(const char* format, va_list args);

// Stores the callback that every later AudioLibLog call hands its lines to (null: none).
void SetAudioLibLogCallback(AudioLibLogCallback callback);
AudioLibLogCallback GetAudioLibLogCallback();

// Hands the format and its arguments to the callback unchanged: no prefix, no line end.
// Returns 0 when no callback is set, 1 when the line went to the callback. Formats follow
// the Windows C library (wide strings are "%ws"), so the compiler does not check them.
int AudioLibLog(const char* format, ...);
