#include "base/text/text_holders.h"

#include <cstring>
#include <new>

#include "base/text/code_page.h"

unsigned WideStrLen(const wchar_t* text) {
  if (!text) return 0;
  unsigned n = 0;
  while (text[n]) ++n;
  return n;
}

namespace {

template <int (*Convert)(const char*, wchar_t*, int)>
std::unique_ptr<wchar_t[]> NarrowToWide(const std::string& text) {
  if (text.empty()) return nullptr;
  const size_t units = text.size() + 4;
  std::unique_ptr<wchar_t[]> block(new (std::nothrow) wchar_t[units]);
  if (!block) return nullptr;
  block[0] = 0;
  block[1] = 0;
  Convert(text.c_str(), block.get(), static_cast<int>(units));
  return block;
}

}  // namespace

AnsiToWide::AnsiToWide(const std::string& text) : m_text(NarrowToWide<ZORVANTE::AnsiToUnicode>(text)) {}

AnsiToWide::~AnsiToWide() = default;

Utf8ToWide::Utf8ToWide(const std::string& text) : m_text(NarrowToWide<ZORVANTE::Utf8ToUnicode>(text)) {}

Utf8ToWide::~Utf8ToWide() = default;

WideToUtf8::WideToUtf8(const wchar_t* text) {
  if (!text) return;
  const unsigned size = 4 * WideStrLen(text) + 64;
  m_text.reset(new (std::nothrow) char[size]);
  if (!m_text) return;
  std::memset(m_text.get(), 0, size);
  m_size = size;
  ZORVANTE::UnicodeToUtf8(text, m_text.get(), static_cast<int>(size));
}

WideToUtf8::~WideToUtf8() = default;
