// 16-byte identifiers of audio endpoints and their text form "{xxxxxxxx-xxxx-...}".
#pragma once

#include <cstdint>
#include <string>

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16, "a GUID is 16 bytes");

bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

// Parses "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}"; false leaves `out` zeroed.
bool ParseGuidText(const std::wstring& text, Guid* out);
// "{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}" (third group in lower case), widened.
std::wstring FormatGuidText(const Guid& guid);
// Case-insensitive comparison of two endpoint id texts.
bool SameDeviceId(const std::wstring& a, const std::wstring& b);
// Wide text to the narrow code page (the ANSI code page on Windows), at most `max_bytes` - 1.
std::string NarrowText(const std::wstring& text, size_t max_bytes);
