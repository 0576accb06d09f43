#include "winlib/skin_values.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <vector>

namespace DuiLib {
namespace {

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Reads the comma-separated integers of `text`; stops at the first item without digits.
std::vector<int> ReadIntegers(const std::wstring& text) {
  std::vector<int> out;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == L'-' || text[i] == L'+')) {
      negative = text[i] == L'-';
      ++i;
    }
    if (i >= n || text[i] < L'0' || text[i] > L'9') break;
    // Saturates at the ends of int: a huge size stays huge rather than turning negative.
    long long value = 0;
    while (i < n && text[i] >= L'0' && text[i] <= L'9') {
      if (value <= INT_MAX) value = value * 10 + (text[i] - L'0');
      ++i;
    }
    if (negative) value = -value;
    out.push_back(static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value))));
    while (i < n && IsSpace(text[i])) ++i;
    if (i < n && text[i] == L',') {
      ++i;
      continue;
    }
    break;
  }
  return out;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  c = LowerAscii(c);
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

}  // namespace

uint32_t ParseColor(const std::wstring& text, uint32_t fallback) {
  size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  if (start < text.size() && text[start] == L'#') {
    ++start;
  } else if (start + 1 < text.size() && text[start] == L'0' && LowerAscii(text[start + 1]) == L'x') {
    start += 2;
  } else {
    return fallback;
  }
  uint32_t value = 0;
  size_t digits = 0;
  for (size_t i = start; i < text.size() && !IsSpace(text[i]); ++i) {
    int d = HexDigit(text[i]);
    if (d < 0) return fallback;
    value = (value << 4) | static_cast<uint32_t>(d);
    ++digits;
  }
  if (digits == 6) return 0xFF000000u | value;
  if (digits == 8) return value;
  return fallback;
}

bool ParseRect(const std::wstring& text, SkinRect* rect) {
  std::vector<int> v = ReadIntegers(text);
  if (v.empty()) return false;
  v.resize(4, 0);
  *rect = SkinRect{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseSize(const std::wstring& text, SkinSize* size) {
  std::vector<int> v = ReadIntegers(text);
  if (v.empty()) return false;
  v.resize(2, 0);
  *size = SkinSize{v[0], v[1]};
  return true;
}

int ParseInt(const std::wstring& text, int fallback) {
  std::vector<int> v = ReadIntegers(text);
  return v.empty() ? fallback : v[0];
}

bool ParseBool(const std::wstring& text) {
  if (EqualsNoCase(text, L"true")) return true;
  return ParseInt(text, 0) != 0;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

ImageDescription ParseImageDescription(const std::wstring& text) {
  ImageDescription desc;
  if (text.find(L'=') == std::wstring::npos) {
    // A plain path.
    size_t b = 0, e = text.size();
    while (b < e && IsSpace(text[b])) ++b;
    while (e > b && IsSpace(text[e - 1])) --e;
    desc.file = text.substr(b, e - b);
    return desc;
  }
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && IsSpace(text[i])) ++i;
    size_t key_start = i;
    while (i < n && text[i] != L'=' && !IsSpace(text[i])) ++i;
    std::wstring key = text.substr(key_start, i - key_start);
    while (i < n && IsSpace(text[i])) ++i;
    if (i >= n || text[i] != L'=') break;
    ++i;
    while (i < n && IsSpace(text[i])) ++i;
    if (i >= n) break;
    std::wstring value;
    if (text[i] == L'\'' || text[i] == L'"') {
      wchar_t quote = text[i++];
      size_t end = text.find(quote, i);
      if (end == std::wstring::npos) end = n;
      value = text.substr(i, end - i);
      i = end < n ? end + 1 : n;
    } else {
      size_t start = i;
      while (i < n && !IsSpace(text[i])) ++i;
      value = text.substr(start, i - start);
    }
    if (EqualsNoCase(key, L"file") || EqualsNoCase(key, L"res")) {
      desc.file = value;
    } else if (EqualsNoCase(key, L"dest")) {
      desc.has_dest = ParseRect(value, &desc.dest);
    } else if (EqualsNoCase(key, L"source")) {
      desc.has_source = ParseRect(value, &desc.source);
    } else if (EqualsNoCase(key, L"corner")) {
      ParseRect(value, &desc.corner);
    } else if (EqualsNoCase(key, L"fade")) {
      int f = ParseInt(value, 255);
      desc.fade = f < 0 ? 0 : (f > 255 ? 255 : f);
    }
  }
  return desc;
}

}  // namespace DuiLib
