#include "text_convert.h"

#include <cstring>

namespace tessarine {

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

bool Utf8ToWide(const std::string& text, std::wstring* out) {
  out->clear();
  if (text.empty()) return true;
  const int n =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &(*out)[0], n);
  return true;
}

std::wstring AnsiToWide(const char* text) {
  if (text == nullptr || *text == '\0') return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

HRESULT CopyName(const std::wstring& name, wchar_t* buffer, int32_t capacity) {
  if (buffer == nullptr) return E_POINTER;
  if (capacity < 1) return E_INVALIDARG;
  if (name.size() + 1 > static_cast<size_t>(capacity)) {
    buffer[0] = L'\0';
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  return S_OK;
}

}  // namespace tessarine
