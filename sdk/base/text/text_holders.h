// Holders that convert a text for the length of one call and free the copy afterwards.
// An empty or null input holds null; a failed conversion holds an empty text.
#pragma once

#include <memory>
#include <string>

// Number of characters before the first 0; 0 for null.
unsigned WideStrLen(const wchar_t* text);

// ANSI code page -> UTF-16, in a block of length + 4 characters.
class AnsiToWide {
 public:
  explicit AnsiToWide(const std::string& text);
  ~AnsiToWide();
  AnsiToWide(const AnsiToWide&) = delete;
  AnsiToWide& operator=(const AnsiToWide&) = delete;
  const wchar_t* Get() const { return m_text.get(); }

 private:
  std::unique_ptr<wchar_t[]> m_text;
};

// UTF-8 -> UTF-16, in a block of length + 4 characters.
class Utf8ToWide {
 public:
  explicit Utf8ToWide(const std::string& text);
  ~Utf8ToWide();
  Utf8ToWide(const Utf8ToWide&) = delete;
  Utf8ToWide& operator=(const Utf8ToWide&) = delete;
  const wchar_t* Get() const { return m_text.get(); }

 private:
  std::unique_ptr<wchar_t[]> m_text;
};

// UTF-16 -> UTF-8, in a zeroed block of 4 x length + 64 bytes.
class WideToUtf8 {
 public:
  explicit WideToUtf8(const wchar_t* text);
  ~WideToUtf8();
  WideToUtf8(const WideToUtf8&) = delete;
  WideToUtf8& operator=(const WideToUtf8&) = delete;
  const char* Get() const { return m_text.get(); }
  unsigned BlockSize() const { return m_size; }

 private:
  std::unique_ptr<char[]> m_text;
  unsigned m_size = 0;
};
