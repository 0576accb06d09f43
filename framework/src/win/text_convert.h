// Text conversions of the library (Win32 code pages) and the copying of a name into a
// caller's UTF-16 buffer.
#pragma once

#include <string>

#include "avcore/platform.h"

namespace tessarine {

std::string WideToUtf8(const std::wstring& text);
// False (out empty) for text that is not valid UTF-8.
bool Utf8ToWide(const std::string& text, std::wstring* out);
std::wstring AnsiToWide(const char* text);

// Copies `name` with its terminator into `buffer` of `capacity` units: E_POINTER for a
// null buffer, E_INVALIDARG for a capacity below 1, ERROR_INSUFFICIENT_BUFFER (leaving
// "") when it does not fit.
HRESULT CopyName(const std::wstring& name, wchar_t* buffer, int32_t capacity);

}  // namespace tessarine
