// UTF-8 <-> wide text without the platform: UTF-16 where wchar_t has 16 bits (Windows),
// UTF-32 elsewhere. Invalid input bytes become U+FFFD.
#pragma once

#include <string>

namespace DuiLib {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace DuiLib
