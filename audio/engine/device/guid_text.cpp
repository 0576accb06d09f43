#include "device/guid_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#ifdef _WIN32
#include <windows.h>
#endif

bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }

bool ParseGuidText(const std::wstring& text, Guid* out) {
  std::memset(out, 0, sizeof *out);
  unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
  const int got = std::swscanf(text.c_str(), L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", &d1, &d2, &d3,
                               &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]);
  if (got != 11) return false;
  out->data1 = d1;
  out->data2 = static_cast<uint16_t>(d2);
  out->data3 = static_cast<uint16_t>(d3);
  for (int i = 0; i < 8; ++i) out->data4[i] = static_cast<uint8_t>(b[i]);
  return true;
}

std::wstring FormatGuidText(const Guid& g) {
  char narrow[64];
  std::snprintf(narrow, sizeof narrow, "{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  wchar_t wide[64] = {};
  const size_t n = std::mbstowcs(wide, narrow, 63);
  if (n == static_cast<size_t>(-1)) return std::wstring();
  return std::wstring(wide, n);
}

bool SameDeviceId(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

std::string NarrowText(const std::wstring& text, size_t max_bytes) {
  if (max_bytes == 0) return std::string();
#ifdef _WIN32
  std::string out(max_bytes, '\0');
  const int n =
      WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], static_cast<int>(max_bytes), nullptr, nullptr);
  if (n <= 0) {
    // Too long for the buffer: keep what fits.
    out[max_bytes - 1] = '\0';
  }
  out.resize(std::strlen(out.c_str()));
  return out;
#else
  std::string out;
  for (wchar_t c : text) {
    if (out.size() + 1 >= max_bytes) break;
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return out;
#endif
}
