#include "winlib/dui_string.h"

#include <stdarg.h>
#include <stdio.h>
#include <wctype.h>

#include <vector>

namespace DuiLib {

CDuiString::CDuiString(const wchar_t* text, int length) { Assign(text, length); }

wchar_t CDuiString::GetAt(int index) const {
  return (index >= 0 && index < GetLength()) ? m_text[static_cast<size_t>(index)] : L'\0';
}

void CDuiString::Assign(const wchar_t* text, int length) {
  if (!text) {
    m_text.clear();
    return;
  }
  if (length < 0) {
    m_text.assign(text);
  } else {
    size_t n = 0;
    while (n < static_cast<size_t>(length) && text[n]) ++n;
    m_text.assign(text, n);
  }
}

void CDuiString::Append(const wchar_t* text) {
  if (text) m_text.append(text);
}

CDuiString& CDuiString::operator=(const wchar_t* text) {
  Assign(text);
  return *this;
}

CDuiString& CDuiString::operator=(wchar_t ch) {
  m_text.assign(1, ch);
  return *this;
}

CDuiString& CDuiString::operator+=(const wchar_t* text) {
  Append(text);
  return *this;
}

CDuiString& CDuiString::operator+=(const CDuiString& text) {
  m_text += text.m_text;
  return *this;
}

CDuiString& CDuiString::operator+=(wchar_t ch) {
  m_text.push_back(ch);
  return *this;
}

CDuiString CDuiString::operator+(const wchar_t* text) const {
  CDuiString r(*this);
  r += text;
  return r;
}

CDuiString CDuiString::operator+(const CDuiString& text) const {
  CDuiString r(*this);
  r += text;
  return r;
}

int CDuiString::Compare(const wchar_t* text) const { return wcscmp(m_text.c_str(), text ? text : L""); }

int CDuiString::CompareNoCase(const wchar_t* text) const {
  const wchar_t* a = m_text.c_str();
  const wchar_t* b = text ? text : L"";
  for (;; ++a, ++b) {
    wint_t ca = towlower(static_cast<wint_t>(*a));
    wint_t cb = towlower(static_cast<wint_t>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (!*a) return 0;
  }
}

void CDuiString::MakeUpper() {
  for (auto& c : m_text) c = static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
}

void CDuiString::MakeLower() {
  for (auto& c : m_text) c = static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
}

CDuiString CDuiString::Left(int length) const {
  if (length < 0) length = 0;
  return CDuiString(m_text.substr(0, static_cast<size_t>(length)));
}

CDuiString CDuiString::Mid(int pos, int length) const {
  if (pos < 0) pos = 0;
  if (pos >= GetLength()) return CDuiString();
  return CDuiString(
      m_text.substr(static_cast<size_t>(pos), length < 0 ? std::wstring::npos : static_cast<size_t>(length)));
}

CDuiString CDuiString::Right(int length) const {
  if (length < 0) length = 0;
  if (length >= GetLength()) return *this;
  return CDuiString(m_text.substr(m_text.size() - static_cast<size_t>(length)));
}

int CDuiString::Find(wchar_t ch, int pos) const {
  if (pos < 0) pos = 0;
  size_t r = m_text.find(ch, static_cast<size_t>(pos));
  return r == std::wstring::npos ? -1 : static_cast<int>(r);
}

int CDuiString::Find(const wchar_t* text, int pos) const {
  if (!text || pos < 0) return -1;
  size_t r = m_text.find(text, static_cast<size_t>(pos));
  return r == std::wstring::npos ? -1 : static_cast<int>(r);
}

int CDuiString::ReverseFind(wchar_t ch) const {
  size_t r = m_text.rfind(ch);
  return r == std::wstring::npos ? -1 : static_cast<int>(r);
}

int CDuiString::Replace(const wchar_t* from, const wchar_t* to) {
  if (!from || !*from) return 0;
  std::wstring f(from), t(to ? to : L"");
  int count = 0;
  size_t pos = 0;
  while ((pos = m_text.find(f, pos)) != std::wstring::npos) {
    m_text.replace(pos, f.size(), t);
    pos += t.size();
    ++count;
  }
  return count;
}

int CDuiString::Format(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list args;
    va_start(args, format);
    // _vsnwprintf keeps the Microsoft meaning of %s in wide formats.
    int n = _vsnwprintf(buffer.data(), buffer.size() - 1, format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < buffer.size() - 1) {
      m_text.assign(buffer.data(), static_cast<size_t>(n));
      return n;
    }
    if (buffer.size() > (1u << 20)) {  // refuse absurd results rather than loop forever
      m_text.clear();
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace DuiLib
