#include "text_codec.h"

#include <windows.h>

namespace {

std::wstring ToWide(UINT code_page, const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string FromWide(UINT code_page, const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = ::WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text) { return ToWide(CP_THREAD_ACP, text); }
std::string WideToAnsi(const std::wstring& text) { return FromWide(CP_THREAD_ACP, text); }
std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }
