// The library's wide string: value semantics, comparisons, printf-style formatting
// (Microsoft conventions: %s takes a wide string).
#pragma once

#include <wchar.h>

#include <string>

namespace DuiLib {

class CDuiString {
 public:
  CDuiString() = default;
  CDuiString(const wchar_t* text, int length = -1);
  CDuiString(wchar_t ch) : m_text(1, ch) {}
  CDuiString(const std::wstring& text) : m_text(text) {}

  const wchar_t* GetData() const { return m_text.c_str(); }
  operator const wchar_t*() const { return m_text.c_str(); }
  const std::wstring& str() const { return m_text; }

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  void Empty() { m_text.clear(); }
  wchar_t GetAt(int index) const;
  wchar_t operator[](int index) const { return GetAt(index); }

  void Assign(const wchar_t* text, int length = -1);
  void Append(const wchar_t* text);
  CDuiString& operator=(const wchar_t* text);
  CDuiString& operator=(wchar_t ch);
  CDuiString& operator+=(const wchar_t* text);
  CDuiString& operator+=(const CDuiString& text);
  CDuiString& operator+=(wchar_t ch);
  CDuiString operator+(const wchar_t* text) const;
  CDuiString operator+(const CDuiString& text) const;

  int Compare(const wchar_t* text) const;
  int CompareNoCase(const wchar_t* text) const;
  bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
  bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
  bool operator==(const CDuiString& text) const { return m_text == text.m_text; }
  bool operator!=(const CDuiString& text) const { return m_text != text.m_text; }
  bool operator<(const CDuiString& text) const { return m_text < text.m_text; }

  void MakeUpper();
  void MakeLower();
  CDuiString Left(int length) const;
  CDuiString Mid(int pos, int length = -1) const;
  CDuiString Right(int length) const;
  int Find(wchar_t ch, int pos = 0) const;
  int Find(const wchar_t* text, int pos = 0) const;
  int ReverseFind(wchar_t ch) const;
  int Replace(const wchar_t* from, const wchar_t* to);

  // Formats like _snwprintf; returns the length of the result.
  int Format(const wchar_t* format, ...);

 private:
  std::wstring m_text;
};

}  // namespace DuiLib
